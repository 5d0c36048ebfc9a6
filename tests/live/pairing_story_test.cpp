// A user's first meeting with a phone: the address typed in the preferences, the pairing dialog with the
// phone's code confirmed by a click; the next start finds the phone on the cable and connects without asking;
// quitting removes the program's adb forward and leaves no process of its own.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/design/buttons.h"
#include "app/shell/phones/phone_row.h"
#include "app/shell/tray/panel_window.h"
#include "live/live_app.h"
#include "live/live_desktop.h"
#include "live/live_phone.h"

namespace velmora::live {
namespace {

bool contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::ranges::find(lines, text) != lines.end();
}

TEST(PairingStory, TypedAddressAndTheDialogThenTheCableWithoutAskingThenAQuitThatLeavesNothing) {
    Desktop& desktop = Desktop::instance();
    LivePhone phone;
    {
        LiveApp app({.pairingAnswer = std::nullopt});
        ASSERT_TRUE(until([&] { return app.panel().isVisible(); }));
        shot(&app.panel(), "pairing", "1-started");
        app.connectTo(phone.address());
        // The dialog runs its own loop: the user's look and click happen inside it.
        bool confirmed = false;
        const auto answer = whenShown(
            [] {
                QWidget* dialog = topWindow("pairingDialog");
                QAbstractButton* confirm = dialog ? findButton(dialog, tr("pairing.codes_match")) : nullptr;
                return confirm && confirm->isEnabled();
            },
            [&] {
                QWidget* dialog = topWindow("pairingDialog");
                shot(dialog, "pairing", "2-dialog");
                click(findButton(dialog, tr("pairing.codes_match")));
                confirmed = true;
            });
        ASSERT_TRUE(until([&] { return app.connected(); })) << "state " << static_cast<int>(app.kind());
        EXPECT_TRUE(confirmed);
        ASSERT_EQ(phone.shownCodes().size(), 1u);
        ASSERT_TRUE(until([&] { return findButton(&app.panel(), tr("common.disconnect")) != nullptr; }));
        shot(&app.panel(), "pairing", "3-connected");
        EXPECT_EQ(app.model().state().state.label(), "Celular Simulado");
    }
    ASSERT_TRUE(until([&] { return phone.sessions() == 1; }));

    // The next start: the phone is on the cable now, and shows in the list; one press connects, with no
    // dialog (the phone knows this computer).
    desktop.plugCable("SIM0042", "NB_7X", phone.port());
    {
        LiveApp app({.pairingAnswer = false});  // a dialog would be refused, and the session never stand
        PhoneRow* row = nullptr;
        ASSERT_TRUE(until([&] {
            for (auto* r : app.panel().findChildren<PhoneRow*>())
                if (r->isVisible() && r->view().phone.id == "usb:SIM0042") row = r;
            return row != nullptr;
        }));
        shot(&app.panel(), "pairing", "4-cable-phone-listed");
        click(row->button());
        ASSERT_TRUE(until([&] { return app.connected(); })) << "state " << static_cast<int>(app.kind());
        EXPECT_EQ(phone.shownCodes().size(), 1u) << "asked again";
        ASSERT_TRUE(until([&] { return findButton(&app.panel(), tr("common.disconnect")) != nullptr; }));
        shot(&app.panel(), "pairing", "5-cable-connected");
    }
    // And the start after that connects over the known cable by itself.
    {
        LiveApp app({.pairingAnswer = false});
        ASSERT_TRUE(until([&] { return app.connected(); })) << "state " << static_cast<int>(app.kind());
        EXPECT_EQ(phone.shownCodes().size(), 1u) << "asked again";
        const auto forwards = desktop.adbForwards();
        ASSERT_EQ(forwards.size(), 1u);
        EXPECT_EQ(forwards[0], "SIM0042 tcp:" + std::to_string(phone.port()) + " tcp:47625");
        ASSERT_TRUE(until([&] { return findButton(&app.panel(), tr("common.disconnect")) != nullptr; }));
        shot(&app.panel(), "pairing", "6-cable-by-itself");
    }
    // Quitting removed the forward this program made.
    EXPECT_TRUE(
        contains(desktop.adbCalls(), "-s SIM0042 forward --remove tcp:" + std::to_string(phone.port())));
    EXPECT_TRUE(desktop.adbForwards().empty());
    EXPECT_TRUE(desktop.strayChildren().empty());
    desktop.unplugCable();
}

}  // namespace
}  // namespace velmora::live
