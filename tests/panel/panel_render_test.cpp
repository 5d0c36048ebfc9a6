// The panel in each state, light and dark, and its small controls, rendered into build/artifacts/panel/ for
// a person to look at.
#include <gtest/gtest.h>

#include <QDir>
#include <QHBoxLayout>
#include <QMimeData>
#include <QScrollArea>

#include "app/design/appearance.h"
#include "app/shell/panel/panel_controls.h"
#include "core/l10n/l10n.h"
#include "panel/panel_rig.h"

namespace velmora {
namespace {

using namespace testing_support;

const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/panel");

void save(QWidget& widget, const QString& name) {
    QDir().mkpath(dir);
    EXPECT_TRUE(widget.grab().save(dir + "/" + name + ".png")) << name.toStdString();
}

struct Shot {
    const char* name;
    std::function<void(PanelInputs&)> set;
};

TEST(PanelRender, EveryStateLightAndDark) {
    const Shot shots[] = {
        {"connecting", [](PanelInputs& in) { in.state.state = ConnState::connecting("Nimbo 8"); }},
        {"connected",
         [](PanelInputs& in) {
             in.state.state = ConnState::connected("Nimbo 8");
             in.phoneNeedsUpdate = true;
             in.state.lastError = "The phone closed the link.";
         }},
        {"lost", [](PanelInputs& in) { in.state.phoneLost = true; }},
        {"found",
         [](PanelInputs& in) {
             in.state.phones = {testPhone("a1", "Nimbo 8"), testPhone("b2", "Tablet Lume")};
             in.state.paired = {Peer{"old", {}, "Nimbo 7", "android"}};
             in.stalePairs = {{"old", "Nimbo 7", "a1"}};
             in.state.panelNotice = PanelNotice{"Diagnostics copied", "Paste them into your report."};
         }},
        {"local-denied", [](PanelInputs& in) { in.state.localNetworkDenied = true; }},
        {"bluetooth-off", [](PanelInputs& in) { in.state.bluetoothState = kBluetoothPoweredOff; }},
        {"empty", [](PanelInputs&) {}},
        {"tall",  // stops at the maximum height; the middle scrolls
         [](PanelInputs& in) {
             for (int i = 0; i < 40; ++i)
                 in.state.phones.push_back(testPhone("id" + std::to_string(i), "Phone " + std::to_string(i)));
         }},
    };
    for (const auto& shot : shots) {
        for (const auto appearance : {Appearance::light, Appearance::dark}) {
            AppearanceSource::instance().setOverride(appearance);
            PanelRig rig;
            rig.model.state.linkPrefs = LinkPrefs::load(rig.settings);
            shot.set(rig.model);
            auto& panel = rig.open();
            // Within the scrolling middle, not against its window: the tall panel scrolls on purpose.
            EXPECT_EQ(faultsInTheMiddle(panel).join(" | ").toStdString(), "") << shot.name;
            const QString look = appearance == Appearance::dark ? "dark" : "light";
            save(panel, QString("%1-%2").arg(shot.name, look));
            if (panel.state().kind != PanelState::Kind::connected) continue;
            QMimeData files;  // files hovering over the panel: the accent outline
            files.setUrls({QUrl::fromLocalFile("/tmp/a.pdf")});
            QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&panel, &enter);
            save(panel, "drop-" + look);
        }
    }
    AppearanceSource::instance().setOverride(std::nullopt);
}

TEST(PanelRender, SharedControls) {
    for (const auto appearance : {Appearance::light, Appearance::dark}) {
        AppearanceSource::instance().setOverride(appearance);
        auto sheet = activeWindow({360, 300});
        sheet->setAutoFillBackground(true);
        QPalette palette;
        palette.setColor(QPalette::Window, SystemColor::window.resolve(appearance));
        sheet->setPalette(palette);
        auto* column = new QVBoxLayout(sheet.get());
        auto* tiles = new QHBoxLayout();
        tiles->addWidget(new ActionTile("Mirror", PanelSymbol::rectangleOnRectangle));
        tiles->addWidget(new ActionTile("Send files", PanelSymbol::arrowUpDoc));
        tiles->addWidget(
            new ActionTile("Send the clipboard to the phone right now", PanelSymbol::docOnClipboard));
        tiles->addWidget(new ActionTile("Ring", PanelSymbol::bell));
        column->addLayout(tiles);
        auto* glyphs = new QHBoxLayout();
        for (long long level : {0, 15, 50, 100})
            glyphs->addWidget(new BatteryGlyph(level));
        for (auto symbol :
             {PanelSymbol::stopCircle, PanelSymbol::checkmarkCircle, PanelSymbol::xmark,
              PanelSymbol::magnifyingGlass, PanelSymbol::questionmarkCircle, PanelSymbol::stethoscope,
              PanelSymbol::checkmark, PanelSymbol::exclamationmark, PanelSymbol::doc,
              PanelSymbol::line3Horizontal, PanelSymbol::chevronUp, PanelSymbol::chevronDown})
            glyphs->addWidget(new SymbolView(symbol, 16, SystemColor::primary));
        column->addLayout(glyphs);
        auto* hovered = new FooterButton("Guide", std::nullopt, PanelSymbol::questionmarkCircle);
        column->addWidget(hovered);
        column->addWidget(new SearchAgainButton("Search again", {}));
        auto* busy = new SearchAgainButton("Search again", {});
        column->addWidget(busy);
        busy->click();
        column->addWidget(cancelBelow(new QWidget(), {}));
        ASSERT_TRUE(settle(sheet.get()));
        QTest::mouseMove(hovered);
        ASSERT_TRUE(QTest::qWaitFor([&] { return hovered->isHovered(); }, 30000));
        save(*sheet, appearance == Appearance::dark ? "controls-dark" : "controls-light");
    }
    AppearanceSource::instance().setOverride(std::nullopt);
}

}  // namespace
}  // namespace velmora
