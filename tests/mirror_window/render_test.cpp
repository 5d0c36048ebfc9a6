// Renders the mirror window in every phase, light and dark, over a picture decoded the real way, at the
// narrowest width, the default one and a large one, into build/artifacts/mirror/ for a person to look at.
#include <gtest/gtest.h>

#include <QAbstractAnimation>
#include <QDir>

#include "app/design/appearance.h"
#include "app/mirror/window/container.h"
#include "app/mirror/window/overlay.h"
#include "core/l10n/l10n.h"
#include "mirror_window/mirror_rig.h"

namespace velmora {
namespace {

struct Scene {
    const char* name;
    std::function<void(testing::Rig&)> stage;
};

const std::vector<Scene>& scenes() {
    static const std::vector<Scene> all{
        {"loading", [](testing::Rig& r) { r.window.retrying(); }},
        {"awaiting",
         [](testing::Rig& r) {
             r.window.retrying();
             r.window.showAwaitingApproval();
         }},
        {"live",
         [](testing::Rig& r) {
             r.port.link = MirrorLinkInfo{42, "Wi-Fi", false};
         }},
        {"paused-notice",
         [](testing::Rig& r) {
             r.port.link = MirrorLinkInfo{180, "Bluetooth", true};
             r.window.showNotice(L10n::format("mirror.notice.paste_truncated", {100}), 6);
         }},
        {"reconnecting", [](testing::Rig& r) { r.window.setStalled(true); }},
        {"unresponsive",
         [](testing::Rig& r) {
             r.window.connectionLost();
             r.clock.advance(10);
         }},
        {"restored",
         [](testing::Rig& r) {
             r.window.connectionLost();
             r.window.connectionRestored();
         }},
        {"failed",
         [](testing::Rig& r) {
             r.window.fail(L10n::format("err.mirror.denied", {L10n::string("panel.mirror.start")}));
         }},
    };
    return all;
}

QImage shoot(const Scene& scene, const std::vector<Bytes>& picture, double width) {
    testing::Rig rig({.remembersFrame = false, .heightLimit = 10000});
    rig.window.setPreferredWidth(width);
    rig.window.setVideoSize(1080, 2340);
    rig.window.show();
    EXPECT_TRUE(rig.showPicture(picture));
    scene.stage(rig);
    rig.clock.advance(1);  // a tick: latency, pause flag, and the loading spinner's delay
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            for (auto* a : rig.window.findChildren<QAbstractAnimation*>())
                if (a->state() == QAbstractAnimation::Running) return false;
            return true;
        },
        30000));
    QApplication::processEvents();
    return rig.window.grab().toImage();
}

// One sheet of every phase side by side.
void saveSheet(const std::vector<Bytes>& picture, Appearance appearance, double width, const QString& name) {
    AppearanceSource::instance().setOverride(appearance);
    std::vector<QImage> shots;
    for (const Scene& scene : scenes())
        shots.push_back(shoot(scene, picture, width));
    QImage sheet(static_cast<int>(shots.size()) * (shots[0].width() + 16) + 16, shots[0].height() + 32,
                 QImage::Format_RGB32);
    sheet.fill(appearance == Appearance::dark ? QColor(0x1E, 0x1E, 0x1E) : QColor(0xEC, 0xEC, 0xEC));
    QPainter p(&sheet);
    for (std::size_t i = 0; i < shots.size(); ++i)
        p.drawImage(16 + static_cast<int>(i) * (shots[0].width() + 16), 16, shots[i]);
    p.end();
    const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/mirror");
    QDir().mkpath(dir);
    EXPECT_TRUE(sheet.save(dir + "/" + name)) << name.toStdString();
    AppearanceSource::instance().setOverride(std::nullopt);
}

TEST(MirrorRenders, EveryPhaseLightAndDarkAtThreeWidths) {
    const auto picture = testing::encodePicture(testing::phoneScreen(540, 1170));
    for (const auto appearance : {Appearance::light, Appearance::dark}) {
        for (const double width : {220.0, 300.0, 480.0}) {
            const QString name = QString("mirror-%1-%2.png")
                                     .arg(appearance == Appearance::dark ? "dark" : "light")
                                     .arg(static_cast<int>(width));
            saveSheet(picture, appearance, width, name);
        }
    }
}

// The English texts at the narrowest width, where they are most likely not to fit.
TEST(MirrorRenders, EnglishAtTheNarrowestWidth) {
    L10n::setEnvironment([](const std::string& name) -> std::optional<std::string> {
        if (name == "LANGUAGE") return "en";
        return std::nullopt;
    });
    saveSheet(testing::encodePicture(testing::phoneScreen(540, 1170)), Appearance::light, 220,
              "mirror-en-light-220.png");
    L10n::setEnvironment(nullptr);
}

}  // namespace
}  // namespace velmora
