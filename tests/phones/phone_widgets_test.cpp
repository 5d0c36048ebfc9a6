// The phone-list bodies and the permissions fold on screen: a press reaches the right action, the install
// section and the user's fold choice outlive a redraw, and every body is rendered in both appearances into
// build/artifacts/panel/ to look at.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QVBoxLayout>

#include "app/design/appearance.h"
#include "app/design/buttons.h"
#include "app/design/fold_row.h"
#include "app/design/palette.h"
#include "app/links/installer/phone_installer.h"
#include "app/shell/installer/phone_install_section.h"
#include "app/shell/panel/panel_controls.h"
#include "app/shell/phones/permissions_fold.h"
#include "app/shell/phones/phone_list_actions.h"
#include "app/shell/phones/phone_list_body.h"
#include "app/shell/phones/phone_row.h"
#include "core/exec/manual_executor.h"
#include "core/l10n/l10n.h"
#include "design/widget_helpers.h"

namespace velmora {
namespace {

using namespace testing_support;

struct Recorder : PhoneListActions {
    void connectTo(const DiscoveredPhone& phone) override { calls.push_back("connect " + phone.id); }
    void cancelConnecting() override { calls.push_back("cancel"); }
    void searchAgain() override { calls.push_back("search"); }
    void disconnect() override { calls.push_back("disconnect"); }
    void openBluetoothSettings() override { calls.push_back("bluetooth"); }
    void openLocalNetworkSettings() override { calls.push_back("network"); }
    void checkPermissionsAgain() override { calls.push_back("check"); }
    void showInstallSection() override { calls.push_back("install"); }
    std::vector<std::string> calls;
};

DiscoveredPhone phone(std::string id, std::string name, bool ble = false) {
    DiscoveredPhone p;
    p.id = std::move(id);
    p.name = std::move(name);
    if (ble) p.bleID = "AA:BB";
    return p;
}

// Known: a cable phone and a Bluetooth one; new: one refusing, one ready, one silent.
PhoneListValues foundValues() {
    std::map<std::string, std::optional<bool>> flags{{"a01", false}, {"b02", true}};
    const PhoneQueries ask{
        [](const DiscoveredPhone& p) { return p.id == "ble:7"; },
        [flags](const DiscoveredPhone& p) { return flags.contains(p.id) ? flags.at(p.id) : std::nullopt; }};
    const std::vector<ListedPhone> groups{
        {"usb:R5", phone("usb:R5", "NB-7X" + L10n::string("phone.suffix.usb")), true},
        {"ble:7", phone("ble:7", "Nimbo A5", true), true},
        {"a01", phone("a01", "Nimbo 8"), false},
        {"b02", phone("b02", "Lume S2"), false},
        {"c03", phone("c03", "Orla G"), false}};
    return phoneListValues(ListBody::found, {}, groups, ask, false);
}

class PhoneWidgetsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        page = activeWindow({360, 200});
        page->setAutoFillBackground(true);
        auto* column = new QVBoxLayout(page.get());
        column->setContentsMargins(12, 12, 12, 12);
        body = new PhoneListBody(actions, [this](bool adbMissing) {
            auto* section = new PhoneInstallSection(installer);
            section->setAdbMissing(adbMissing);
            section->refresh();
            return section;
        });
        perms = new PermissionsFold(actions);
        column->addWidget(body);
        column->addWidget(perms);
        column->addStretch(1);
        perms->hide();
    }
    void TearDown() override { AppearanceSource::instance().setOverride(std::nullopt); }

    QAbstractButton* button(const std::string& key, QWidget* root = nullptr) {
        for (auto* b : (root ? root : page.get())->findChildren<QAbstractButton*>())
            if (b->isVisible() && b->text().toStdString() == L10n::string(key)) return b;
        ADD_FAILURE() << "no button " << key;
        return nullptr;
    }
    void click(QAbstractButton* b) {
        ASSERT_TRUE(b);
        QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
    }
    void render(const std::string& name) {
        for (Appearance look : {Appearance::light, Appearance::dark}) {
            AppearanceSource::instance().setOverride(look);
            QPalette window;
            window.setColor(QPalette::Window, SystemColor::window.resolve(look));
            page->setPalette(window);
            ASSERT_TRUE(settle(page.get()));  // the replaced parts are gone, the new ones laid out
            QLayout* column = page->layout();
            page->resize(360, column->hasHeightForWidth() ? column->totalHeightForWidth(360)
                                                          : column->totalSizeHint().height());
            ASSERT_TRUE(settle(page.get()));
            EXPECT_EQ(cutTexts(page.get()), QStringList()) << name;
            QDir().mkpath(VELMORA_ARTIFACTS_DIR "/panel");
            const QString file =
                QString(VELMORA_ARTIFACTS_DIR "/panel/phones-%1-%2.png")
                    .arg(QString::fromStdString(name), look == Appearance::dark ? "dark" : "light");
            EXPECT_TRUE(page->grab().save(file)) << file.toStdString();
        }
    }

    Recorder actions;
    PhoneInstaller installer{std::nullopt, std::make_shared<ManualExecutor>()};
    std::unique_ptr<QWidget> page;
    PhoneListBody* body = nullptr;
    PermissionsFold* perms = nullptr;
};

TEST_F(PhoneWidgetsTest, CancelDuringConnectingCallsBack) {
    PublishedState state;
    state.state = ConnState::connecting("NB-7X");
    body->present(phoneListValues(ListBody::connecting, state, {}, {}, false));
    ASSERT_TRUE(settle(page.get()));
    EXPECT_EQ(body->installSection(), nullptr);
    click(button("common.cancel"));
    EXPECT_EQ(actions.calls, std::vector<std::string>{"cancel"});
}

// "Search again" (empty body) and "Try again" (lost body) search once per press and then stay busy for 2 s:
// a second press meanwhile starts nothing; afterwards the button takes a press again.
TEST_F(PhoneWidgetsTest, SearchAgainIsBusyForTwoSecondsAndIgnoresASecondPress) {
    PublishedState state;
    state.lostPeerName = "Nimbo 8";
    for (const auto& [kind, label] :
         {std::pair{ListBody::empty, "panel.search_again"}, std::pair{ListBody::lost, "common.try_again"}}) {
        SCOPED_TRACE(label);
        actions.calls.clear();
        body->present(phoneListValues(kind, state, {}, {}, false));
        ASSERT_TRUE(settle(page.get()));
        auto* search = qobject_cast<SearchAgainButton*>(button(label));
        ASSERT_TRUE(search);
        QElapsedTimer since;
        since.start();
        click(search);
        EXPECT_TRUE(search->isBusy());
        EXPECT_FALSE(search->isEnabled());
        EXPECT_EQ(search->text().toStdString(), L10n::string("common.searching"));
        click(search);
        search->click();  // not even a programmatic click gets through while disabled
        EXPECT_EQ(actions.calls, std::vector<std::string>{"search"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return !search->isBusy(); }, 60000));
        EXPECT_GE(since.elapsed(), SearchAgainButton::busyMs);
        EXPECT_TRUE(search->isEnabled());
        EXPECT_EQ(search->text().toStdString(), L10n::string(label));
        click(search);
        EXPECT_EQ(actions.calls, (std::vector<std::string>{"search", "search"}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !search->isBusy(); }, 60000));
    }
}

TEST_F(PhoneWidgetsTest, AClickOnAFoundPhoneConnectsToThatPhoneAndARefusingOneIsInert) {
    body->present(foundValues());
    ASSERT_TRUE(settle(page.get()));
    QWidget* installBefore = body->installSection();
    std::map<std::string, PhoneRow*> rows;
    for (auto* row : body->findChildren<PhoneRow*>())
        rows[row->view().phone.id] = row;
    ASSERT_EQ(rows.size(), 5u);
    click(rows["b02"]->button());
    click(rows["a01"]->button());  // waiting for pairing on the phone: disabled
    click(rows["usb:R5"]->button());
    EXPECT_EQ(actions.calls, (std::vector<std::string>{"connect b02", "connect usb:R5"}));
    // A new list of the same body keeps the install section (and its open flag).
    PhoneListValues fewer = foundValues();
    fewer.found.fresh.pop_back();
    body->present(fewer);
    EXPECT_EQ(body->installSection(), installBefore);
    EXPECT_EQ(body->findChildren<PhoneRow*>().size(), 4u);
}

TEST_F(PhoneWidgetsTest, ThePermissionsFoldKeepsTheUsersChoice) {
    perms->show();
    perms->present({PublishedState::NotifStatus::unavailable, 4, false, 0, std::nullopt});
    EXPECT_TRUE(perms->binding()->isExpanded());
    perms->row()->header()->click();
    EXPECT_FALSE(perms->binding()->isExpanded());
    perms->present({PublishedState::NotifStatus::unavailable, 5, false, 0, std::nullopt});
    EXPECT_FALSE(perms->binding()->isExpanded());
    perms->binding()->setExpanded(true);
    ASSERT_TRUE(settle(page.get()));
    click(button("perms.usb.how", perms));
    EXPECT_EQ(actions.calls, std::vector<std::string>{"install"});
}

TEST_F(PhoneWidgetsTest, EveryBodyRendersInBothAppearances) {
    PublishedState state;
    state.state = ConnState::connecting("NB-7X");
    state.lostPeerName = "Nimbo 8";
    // A cable phone without the companion app: the install section shows its offer at the head of its bodies.
    installer.setPreview({{"R58N123", "NB-7X"}}, 0, InstallStatus::idle());
    const char* names[] = {"empty", "found",         "connecting",
                           "lost",  "bluetooth-off", "local-denied"};  // by ListBody
    for (int i = 0; i < 6; ++i) {
        const auto kind = static_cast<ListBody>(i);
        body->present(kind == ListBody::found ? foundValues() : phoneListValues(kind, state, {}, {}, true));
        render(names[i]);
    }
    body->hide();
    perms->show();
    perms->present(
        {PublishedState::NotifStatus::unavailable, 4, true, 1, "~/.local/share/Corvix/identity.key"});
    render("permissions-open");
    perms->binding()->setExpanded(false);
    perms->present({PublishedState::NotifStatus::authorized, 5, true, 0, std::nullopt});
    render("permissions-closed");
}

}  // namespace
}  // namespace velmora
