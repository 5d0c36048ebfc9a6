// The panel window over a live model with its real bodies: a phone found on the network shows a row and a
// click on it connects (through the pairing prompt); the phone going away leaves the lost body; the
// preferences fold opens and a switch changes the model's setting. Renders the whole panel in each state,
// light and dark, into build/artifacts/panel/hosted-*.png.
#include <gtest/gtest.h>

#include <QDir>
#include <QScrollArea>
#include <QTest>

#include "app/design/appearance.h"
#include "app/design/buttons.h"
#include "app/design/fold_row.h"
#include "app/shell/model_adapter.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/phones/phone_list_body.h"
#include "app/shell/phones/phone_row.h"
#include "app/shell/prefs/prefs_controls.h"
#include "app/shell/prefs/prefs_section.h"
#include "app/shell/tray/panel_window.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using Kind = PanelState::Kind;

void renderBoth(PanelWindow& panel, const char* name) {
    const QString dir = QStringLiteral(VELMORA_ARTIFACTS_DIR "/panel");
    QDir().mkpath(dir);
    for (const auto& [appearance, suffix] :
         {std::pair{Appearance::light, "light"}, {Appearance::dark, "dark"}}) {
        AppearanceSource::instance().setOverride(appearance);
        // The window follows its content's new height.
        EXPECT_TRUE(QTest::qWaitFor([&] { return panel.height() == panel.contentSize().height(); }, 10000));
        const QString file = dir + QStringLiteral("/hosted-%1-%2.png").arg(name, suffix);
        EXPECT_TRUE(panel.grab().save(file)) << file.toStdString();
    }
    AppearanceSource::instance().setOverride(std::nullopt);
}

TEST(HostedPanel, AFoundPhoneConnectsFromItsRowAndThePreferencesChangeTheModel) {
    test::ModelHarness h;  // neither side knows the other: nothing connects on its own
    AppModel& model = h.start();
    ModelAdapter adapter(h.model);
    PanelWindow panel(adapter, PanelWindow::Mode::window);
    panel.show();
    MenuPanel& frame = panel.content();
    const auto kindIs = [&](Kind kind) {
        QCoreApplication::processEvents();
        return frame.state().kind == kind;
    };

    h.browser->results({{"Nimbo 8", {{"id", h.phone.id()}}, TcpEndpoint{"127.0.0.1", 5555}}});
    ASSERT_TRUE(h.pumpUntil([&] { return kindIs(Kind::found); }));
    QWidget* found = frame.body();
    auto* row = found->findChild<PhoneRow*>();
    ASSERT_NE(row, nullptr);
    const DiscoveredPhone phone = row->view().phone;
    EXPECT_EQ(phone.name, "Nimbo 8");
    renderBoth(panel, "found");
    h.advance(3);  // a heartbeat with nothing new keeps the same body and row
    h.exec->runPending();
    adapter.changed();
    EXPECT_EQ(frame.body(), found);
    EXPECT_EQ(found->findChild<PhoneRow*>(), row);

    QTest::mouseClick(row->button(), Qt::LeftButton);
    h.journal->waitFor("prompt.shown ");
    ASSERT_TRUE(h.pumpUntil([&] { return kindIs(Kind::connecting); }));
    renderBoth(panel, "connecting");
    h.prompt->answer(true);
    ASSERT_TRUE(h.pumpUntil([&] { return kindIs(Kind::connected); }));
    EXPECT_TRUE(model.isPaired(phone)) << "the row connected to the phone it showed";

    h.hangUp();
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().state.kind() == ConnState::Kind::idle; }));
    h.advanceSettled(45.1);
    ASSERT_TRUE(h.pumpUntil([&] { return kindIs(Kind::lost); }));
    renderBoth(panel, "lost");

    // The preferences fold opens; a click on a switch row flips the model's setting and the row follows.
    QTest::mouseClick(frame.prefsRow()->header(), Qt::LeftButton);
    ASSERT_TRUE(frame.prefsRow()->binding()->isExpanded());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame.prefsContent()->graphicsEffect(); }, 10000));  // faded in
    SwitchRow* sync = panel.prefs().switchRow(Preference::syncClipboard);
    const bool was = model.preference(Preference::syncClipboard);
    QTest::mouseClick(sync, Qt::LeftButton, {}, QPoint(20, sync->height() / 2));
    EXPECT_EQ(model.preference(Preference::syncClipboard), !was);
    adapter.changed();
    EXPECT_EQ(sync->isOn(), !was);
    frame.scrollArea()->ensureWidgetVisible(frame.prefsRow(), 0, 0);
    renderBoth(panel, "prefs-open");
}

}  // namespace
}  // namespace velmora
