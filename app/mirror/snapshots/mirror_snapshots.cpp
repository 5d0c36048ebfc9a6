#include "app/mirror/snapshots/mirror_snapshots.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <array>

#include "app/design/appearance.h"
#include "app/design/kit_style.h"
#include "app/design/spoke_spinner.h"
#include "app/mirror/snapshots/phone_picture.h"
#include "app/mirror/window/container.h"
#include "app/mirror/window/mirror_view.h"
#include "app/mirror/window/mirror_window.h"
#include "app/mirror/window/overlay.h"
#include "app/mirror/window/status_pill.h"
#include "core/exec/manual_executor.h"
#include "core/l10n/l10n.h"

namespace velmora::MirrorSnapshots {
namespace {

// A made-up phone, so that no real model's name shows in the pictures.
constexpr const char* kTitle = "Lumo Vesper 5";
constexpr int kDefaultWidth = 300;
constexpr int kPictureWidth = 1080, kPictureHeight = 2340;
constexpr int kSettleMs = 5000;  // at most, for the fades to end

enum class Scene {
    loading,
    awaiting,
    live,
    slow,
    reconnecting,
    unresponsive,
    restored,
    refused,
    paused,
    notice
};

struct Staged {
    Scene scene;
    const char* token;
};

constexpr std::array<Staged, 10> kScenes{{
    {Scene::loading, "carregando"},
    {Scene::awaiting, "aguardando-aprovacao"},
    {Scene::live, "video"},
    {Scene::slow, "conexao-lenta"},
    {Scene::reconnecting, "reconectando"},
    {Scene::unresponsive, "sem-resposta"},
    {Scene::restored, "reconectado"},
    {Scene::refused, "recusado"},
    {Scene::paused, "controle-pausado"},
    {Scene::notice, "aviso"},
}};

// The outside of a window with no phone: a steady link at the scene's latency, nothing sent anywhere.
struct StillPort final : MirrorWindowPort {
    void input(const nlohmann::json&) override {}
    void retry() override {}
    void closed() override {}
    std::optional<MirrorLinkInfo> linkInfo() override { return MirrorLinkInfo{latencyMs, "Wi-Fi", paused}; }
    std::optional<std::string> pasteText() override { return std::nullopt; }
    std::optional<std::int64_t> latencyMs;  // none until the picture runs
    bool paused = false;
};

// Lets the window's fades and layouts finish (bounded).
void settle(const QWidget& window) {
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QApplication::processEvents();
        bool running = false;
        for (const auto* animation : window.findChildren<QAbstractAnimation*>())
            running = running || animation->state() == QAbstractAnimation::Running;
        if (!running || waited.elapsed() > kSettleMs) return;
    }
}

void stage(Scene scene, MirrorWindow& window, StillPort& port, ManualExecutor& clock) {
    if (scene == Scene::loading) {
        clock.advance(1);  // past the spinner's delay
        return;
    }
    if (scene == Scene::awaiting) {
        window.showAwaitingApproval();
        return;
    }
    // The drawn picture takes the phone's video's place; its first painting turns the window live.
    window.view().showImage(fakePhoneScreen(kPictureWidth, kPictureHeight));
    window.view().repaint();
    port.latencyMs = scene == Scene::slow ? 212 : 12;
    port.paused = scene == Scene::paused;
    clock.advance(1);  // a tick reads the latency and the pause
    switch (scene) {
        case Scene::reconnecting:
            window.connectionLost();
            break;
        case Scene::unresponsive:
            window.connectionLost();
            clock.advance(10);
            break;
        case Scene::restored:
            window.connectionLost();
            window.connectionRestored();
            break;
        case Scene::refused:
            window.fail(L10n::format("err.mirror.denied", {L10n::string("panel.mirror.start")}));
            break;
        case Scene::notice:
            window.showNotice(L10n::format("mirror.notice.paste_truncated", {64}), 6);
            break;
        default:
            break;
    }
}

// The window's picture with its status pill's tooltip where a resting pointer shows it: the latency and the
// transport the pill itself does not name. Tooltips are windows of their own, so the two grabs are joined.
QImage withStatusTip(MirrorWindow& window) {
    QImage picture = window.grab().toImage();
    MirrorStatusPill* pill = window.container().overlay()->pill();
    QToolTip::showText(pill->mapToGlobal(pill->rect().center()), window.statusToolTip(), pill);
    QWidget* tip = nullptr;
    for (int turn = 0; turn < 20 && !tip; ++turn) {
        QCoreApplication::processEvents();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QTipLabel") && w->isVisible()) tip = w;
    }
    if (tip) {
        // In the kit's look, as the application shows it (the image tools run without the application's
        // style).
        tip->setStyle(kitStyle());
        tip->setPalette(kitPalette(AppearanceSource::instance().current()));
        tip->resize(tip->sizeHint());
        // Kept inside the picture, over the pill's row.
        const QPoint pillAt = pill->mapTo(&window, QPoint(0, 0));
        const int x = std::clamp(pillAt.x() + pill->width() - tip->width(), 0,
                                 std::max(0, picture.width() - tip->width()));
        const int y = std::max(0, pillAt.y() - tip->height() - 4);
        QPainter(&picture).drawImage(QPoint(x, y), tip->grab().toImage());
    }
    QToolTip::hideText();
    return picture;
}

bool shot(Scene scene, bool dark, int width, const std::filesystem::path& file, bool statusTip = false) {
    AppearanceSource::instance().setOverride(dark ? Appearance::dark : Appearance::light);
    ManualExecutor clock;
    StillPort port;
    MirrorWindow window(kTitle, port, clock, nullptr, {.remembersFrame = false, .heightLimit = 10000});
    window.setPreferredWidth(width);
    window.setVideoSize(kPictureWidth, kPictureHeight);
    window.show();
    settle(window);
    stage(scene, window, port, clock);
    settle(window);
    // The spinners turn on the wall clock; a busy machine would catch them at another spoke each run.
    for (SpokeSpinner* spinner : window.findChildren<SpokeSpinner*>())
        spinner->holdStill();
    QApplication::processEvents();
    const QImage picture = statusTip ? withStatusTip(window) : window.grab().toImage();
    const bool saved = picture.save(QString::fromStdString(file.string()), "PNG");
    window.hide();
    return saved;
}

}  // namespace

int run(const std::filesystem::path& folder) {
    int failed = 0;
    const auto file = [&](const std::string& name) { return folder / name; };
    for (const auto& [scene, token] : kScenes) {
        const std::string base = std::string("espelhamento-") + token;
        failed += shot(scene, false, kDefaultWidth, file(base + ".png")) ? 0 : 1;
        failed += shot(scene, true, kDefaultWidth, file(base + "-escuro.png")) ? 0 : 1;
    }
    for (const int width : {220, 500}) {
        const std::string base = "espelhamento-largura-" + std::to_string(width);
        failed += shot(Scene::live, false, width, file(base + ".png")) ? 0 : 1;
        failed += shot(Scene::live, true, width, file(base + "-escuro.png")) ? 0 : 1;
    }
    // The window in use: live, the pointer resting on the status pill.
    failed += shot(Scene::live, false, kDefaultWidth, file("janela-espelhamento.png"), true) ? 0 : 1;
    AppearanceSource::instance().setOverride(std::nullopt);
    return failed;
}

}  // namespace velmora::MirrorSnapshots
