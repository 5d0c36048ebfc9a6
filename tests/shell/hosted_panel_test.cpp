// The panel window over a live model with its real bodies: a found phone's row connects, the lost body
// follows, a preferences switch changes the model. Renders each state into
// build/artifacts/panel/hosted-*.png.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QScrollArea>
#include <QTest>

#include "app/design/appearance.h"
#include "app/design/fold_row.h"
#include "app/shell/installer/phone_install_section.h"
#include "app/shell/model_adapter.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/phones/phone_row.h"
#include "app/shell/prefs/prefs_controls.h"
#include "app/shell/prefs/prefs_section.h"
#include "app/shell/tray/panel_window.h"
#include "core/l10n/l10n.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using Kind = PanelState::Kind;

// The panel window shown over the model, with the question the stories keep asking of it.
struct ShownPanel {
    explicit ShownPanel(std::shared_ptr<AppModel> model)
        : adapter(std::move(model)), panel(adapter, PanelWindow::Mode::window) {
        panel.show();
    }
    bool is(Kind kind) {
        QCoreApplication::processEvents();
        return panel.content().state().kind == kind;
    }
    ModelAdapter adapter;
    PanelWindow panel;
};

void renderBoth(PanelWindow& panel, const char* name) {
    QDir().mkpath(VELMORA_ARTIFACTS_DIR "/panel");
    for (const auto& [look, suffix] : {std::pair{Appearance::light, "light"}, {Appearance::dark, "dark"}}) {
        AppearanceSource::instance().setOverride(look);
        // The window follows its content's new height.
        EXPECT_TRUE(QTest::qWaitFor([&] { return panel.height() == panel.contentSize().height(); }, 10000));
        EXPECT_TRUE(panel.grab().save(
            QStringLiteral(VELMORA_ARTIFACTS_DIR "/panel/hosted-%1-%2.png").arg(name, suffix)));
    }
    AppearanceSource::instance().setOverride(std::nullopt);
}

TEST(HostedPanel, AFoundPhoneConnectsFromItsRowAndThePreferencesChangeTheModel) {
    test::ModelHarness h;  // neither side knows the other: nothing connects on its own
    AppModel& model = h.start();
    ShownPanel shown(h.model);
    PanelWindow& panel = shown.panel;
    MenuPanel& frame = panel.content();
    const auto kindIs = [&](Kind kind) { return shown.is(kind); };
    // Searching, with nothing for the install section to say: it takes no room above the body.
    ASSERT_TRUE(h.pumpUntil([&] { return kindIs(Kind::empty); }));
    auto* quiet = frame.body()->findChild<PhoneInstallSection*>();
    ASSERT_NE(quiet, nullptr);
    EXPECT_EQ(quiet->content(), SectionContent::nothing);
    EXPECT_FALSE(quiet->isVisible());
    shown.adapter.changed();
    EXPECT_FALSE(quiet->isVisible());

    h.browser->results({{"Nimbo 8", {{"id", h.phone.id()}}, TcpEndpoint{"127.0.0.1", 5555}}});
    ASSERT_TRUE(h.pumpUntil([&] { return kindIs(Kind::found); }));
    QWidget* found = frame.body();
    auto* row = found->findChild<PhoneRow*>();
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->view().phone.name, "Nimbo 8");
    renderBoth(panel, "found");
    shown.adapter.changed();  // a heartbeat with nothing new keeps the body and its row
    EXPECT_EQ(frame.body(), found);
    EXPECT_EQ(found->findChild<PhoneRow*>(), row);

    // A phone on the cable that does not trust this computer yet: the permissions' cable row counts it, and
    // its button unfolds the install section's advice.
    model.installer().setPreview({}, 1, InstallStatus::idle());
    shown.adapter.changed();
    const auto buttons = panel.findChildren<QAbstractButton*>();
    const auto how = std::ranges::find_if(
        buttons, [](auto* b) { return b->text() == QString::fromStdString(L10n::string("perms.usb.how")); });
    ASSERT_NE(how, buttons.end());
    auto* section = found->findChild<PhoneInstallSection*>();
    ASSERT_TRUE(section && section->content() != SectionContent::nothing);
    EXPECT_FALSE(section->open()->isExpanded());
    (*how)->click();
    EXPECT_TRUE(section->open()->isExpanded());

    QTest::mouseClick(row->button(), Qt::LeftButton);
    h.journal->waitFor("prompt.shown ");
    ASSERT_TRUE(h.pumpUntil([&] { return kindIs(Kind::connecting); }));
    renderBoth(panel, "connecting");
    h.prompt->answer(true);
    ASSERT_TRUE(h.pumpUntil([&] { return kindIs(Kind::connected); }));
    h.hangUp();
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().state.kind() == ConnState::Kind::idle; }));
    h.advanceSettled(45.1);
    ASSERT_TRUE(h.pumpUntil([&] { return kindIs(Kind::lost); }));
    renderBoth(panel, "lost");

    QTest::mouseClick(frame.prefsRow()->header(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame.prefsContent()->graphicsEffect(); }, 10000));  // faded in
    SwitchRow* sync = panel.prefs().switchRow(Preference::syncClipboard);
    const bool was = model.preference(Preference::syncClipboard);
    QTest::mouseClick(sync, Qt::LeftButton, {}, QPoint(20, sync->height() / 2));
    EXPECT_EQ(model.preference(Preference::syncClipboard), !was);
    EXPECT_EQ(sync->isOn(), !was);
    frame.scrollArea()->ensureWidgetVisible(frame.prefsRow(), 0, 0);
    renderBoth(panel, "prefs-open");
}

// After the user's "Disconnect" the phone is still announced: it is listed again as a known phone whose
// primary button connects, without a new pairing.
TEST(HostedPanel, AfterDisconnectTheFoundPairedPhoneOffersConnect) {
    test::ModelHarness h;
    h.pairBothSides();
    h.start();
    ShownPanel shown(h.model);
    PanelWindow& panel = shown.panel;
    MenuPanel& frame = panel.content();
    const auto kindIs = [&](Kind kind) { return shown.is(kind); };
    h.browser->results({{"Nimbo 8", {{"id", h.phone.id()}}, TcpEndpoint{"127.0.0.1", 5555}}});
    ASSERT_TRUE(h.pumpUntil([&] { return kindIs(Kind::connected); }));  // paired: it connects on its own
    const auto disconnect = [&]() -> QAbstractButton* {
        for (auto* b : frame.body()->findChildren<QAbstractButton*>())
            if (b->isVisible() && b->text() == QString::fromStdString(L10n::string("common.disconnect")))
                return b;
        return nullptr;
    }();
    ASSERT_NE(disconnect, nullptr);
    QTest::mouseClick(disconnect, Qt::LeftButton);
    ASSERT_TRUE(h.pumpUntil([&] { return kindIs(Kind::found); }));
    h.advanceSettled(10);  // no automatic attempt follows the user's disconnect
    ASSERT_TRUE(kindIs(Kind::found));
    auto* row = frame.body()->findChild<PhoneRow*>();
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->view().buttonLabel, L10n::string("panel.phone.connect"));
    EXPECT_TRUE(row->view().primaryButton && row->view().pairedGlyph);
    EXPECT_TRUE(row->button()->isEnabled());
    renderBoth(panel, "found-after-disconnect");
    QTest::mouseClick(row->button(), Qt::LeftButton);
    EXPECT_TRUE(h.pumpUntil([&] { return kindIs(Kind::connected); }));
    EXPECT_TRUE(h.journal->after("prompt.shown").empty()) << "a known phone connects without pairing again";
}

}  // namespace
}  // namespace velmora
