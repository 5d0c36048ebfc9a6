// The preferences offscreen, on a fake model: a click on a row's text flips its switch, a drop reorders the
// connection kinds, forgetting a phone asks first, and inside the panel nothing is cut. Renders both
// appearances into artifacts/panel.
#include <gtest/gtest.h>

#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollArea>
#include <QTest>

#include "app/design/appearance.h"
#include "app/design/buttons.h"
#include "app/design/text_block.h"
#include "app/shell/prefs/connection_prefs_view.h"
#include "app/shell/prefs/notif_prefs_view.h"
#include "app/shell/prefs/prefs_controls.h"
#include "app/shell/prefs/prefs_section.h"
#include "core/l10n/l10n.h"
#include "design/widget_helpers.h"
#include "panel/panel_rig.h"

namespace velmora {
namespace {

using testing_support::settle;

// The model's side as the preferences see it, in memory, with each call written down.
class FakeActions : public PrefsActions {
  public:
    PrefsValues state;
    std::vector<std::string> calls;

    FakeActions() {
        state.linkPrefs = {
            {ConnKind::usb, true}, {ConnKind::wifi, true}, {ConnKind::hotspot, false}, {ConnKind::ble, true}};
        state.phoneApps = {{"app.conversa", "Conversa"}, {"com.bank", "Banco Seguro"},
                           {"org.cal", "Calendário"},    {"com.mail", "E-mail"},
                           {"com.news", "Notícias"},     {"com.maps", "Mapas"}};
        state.filter = {true, {{"com.news", false}}};
        for (std::size_t i = 0; i < kAllPreferences.size(); ++i)
            state.switches[i] = defaultValue(kAllPreferences[i]);
        state.paired = {{"a1", {}, "Nimbo 7", "android"}, {"b2", {}, "Tablet Lume", "android"}};
        state.connected = true;
        state.benchText = "3 412 KiB/s (27.9 Mbit/s) over Wi-Fi/cable in 4.1 s";
    }
    PrefsValues values() const override { return state; }
    void setLinkEnabled(ConnKind kind, bool on) override {
        apply(LinkPrefs::setEnabled(state.linkPrefs, kind, on));
    }
    void moveLink(ConnKind kind, int by) override { apply(LinkPrefs::move(state.linkPrefs, kind, by)); }
    void reorderLink(ConnKind kind, ConnKind before) override {
        calls.push_back("reorder " + std::string(rawValue(kind)) + " " + std::string(rawValue(before)));
        apply(LinkPrefs::reorder(state.linkPrefs, kind, before));
    }
    void applyPreset(const prefs::LinkPreset& preset) override { state.linkPrefs = preset.prefs; }
    void setNotif(const std::string& pkg, bool on) override {
        calls.push_back("notif " + pkg + (on ? " on" : " off"));
        if (on == state.filter.notifDefault)
            state.filter.overrides.erase(pkg);
        else
            state.filter.overrides[pkg] = on;
    }
    void setAllNotif(bool on) override { state.filter = {on, {}}; }
    void setPreference(Preference which, bool on) override {
        calls.push_back(std::string("set ") + std::string(settingsKey(which)));
        state.switches[static_cast<std::size_t>(which)] = on;
    }
    void forget(const std::string& peerId) override {
        calls.push_back("forget " + peerId);
        std::erase_if(state.paired, [&](const Peer& peer) { return peer.id == peerId; });
    }
    void connectManual(const std::string& text) override { calls.push_back("connect " + text); }
    void runBench() override { calls.push_back("bench"); }

  private:
    void apply(const std::optional<LinkPrefsChange>& change) {
        if (change) state.linkPrefs = change->prefs;
    }
};

struct Panel {
    FakeActions actions;
    std::unique_ptr<QWidget> window = testing_support::activeWindow({360, 1200});
    PrefsSection* prefs = new PrefsSection(actions, window.get());

    Panel() {
        prefs->setFixedWidth(360);
        prefs->show();
        layOut();
    }
    // The height the texts wrap to at the panel's width.
    void layOut() {
        for (int round = 0; round < 2; ++round) {
            const int height = prefs->heightForWidth(360);
            prefs->setFixedHeight(height > 0 ? height : prefs->sizeHint().height());
            EXPECT_TRUE(settle(window.get()));
        }
    }
    std::vector<ConnKind> order() const {
        std::vector<ConnKind> kinds;
        for (auto* row : prefs->connections()->rows())
            if (row->isVisible()) kinds.push_back(row->kind());
        return kinds;
    }
    // A click on the link or button labelled `text` under `root`.
    static bool click(QWidget* root, const std::string& text) {
        for (auto* button : root->findChildren<StyledButton*>())
            if (button->isVisible() && button->text() == QString::fromStdString(text)) {
                QTest::mouseClick(button, Qt::LeftButton);
                return true;
            }
        return false;
    }
};

TEST(PrefsWidgets, AClickOnARowsTextFlipsItsSwitchUnlessTheRowIsDisabled) {
    Panel panel;
    SwitchRow* clipboard = panel.prefs->switchRow(Preference::syncClipboard);
    QTest::mouseClick(clipboard->title(), Qt::LeftButton);
    EXPECT_FALSE(panel.actions.state.preference(Preference::syncClipboard));
    EXPECT_FALSE(clipboard->isOn());
    QTest::mouseClick(clipboard->title(), Qt::LeftButton);
    EXPECT_TRUE(clipboard->isOn());

    // Sound off: the mute row keeps its value, disabled, and ignores clicks until sound is back.
    QTest::mouseClick(panel.prefs->switchRow(Preference::playAudio)->title(), Qt::LeftButton);
    SwitchRow* mute = panel.prefs->switchRow(Preference::muteDevice);
    EXPECT_FALSE(mute->isEnabled());
    QTest::mouseClick(mute->title(), Qt::LeftButton);
    QTest::mouseClick(mute->findChild<SmallSwitch*>(), Qt::LeftButton);
    EXPECT_TRUE(mute->isOn());
    EXPECT_EQ(std::ranges::count(panel.actions.calls, "set muteDevice"), 0);
    QTest::mouseClick(panel.prefs->switchRow(Preference::playAudio)->title(), Qt::LeftButton);
    EXPECT_TRUE(mute->isEnabled());
    EXPECT_TRUE(mute->isOn());
}

// What a drop of `text` onto the row of `target` does; true when the row took it.
bool drop(Panel& panel, ConnKind target, const QString& text) {
    for (auto* row : panel.prefs->connections()->rows()) {
        if (!row->isVisible() || row->kind() != target) continue;
        QMimeData data;
        data.setText(text);
        const QPointF at(row->width() / 2.0, row->height() / 2.0);
        QDragEnterEvent enter(at.toPoint(), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(row, &enter);
        QDropEvent event(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        event.setAccepted(false);
        QApplication::sendEvent(row, &event);
        EXPECT_TRUE(settle(panel.window.get()));
        return event.isAccepted();
    }
    ADD_FAILURE() << "no row";
    return false;
}

TEST(PrefsWidgets, ADropReordersAndForeignTextIsRefused) {
    Panel panel;
    using K = ConnKind;
    EXPECT_TRUE(drop(panel, K::hotspot, "usb"));  // onto a row further down: just after it
    EXPECT_EQ(panel.order(), (std::vector<K>{K::wifi, K::hotspot, K::usb, K::ble}));
    EXPECT_TRUE(drop(panel, K::hotspot, "ble\nwifi"));  // of several texts the first counts
    EXPECT_EQ(panel.order(), (std::vector<K>{K::wifi, K::ble, K::hotspot, K::usb}));
    for (const QString foreign : {"USB", "", "bleach"})
        EXPECT_FALSE(drop(panel, K::wifi, foreign)) << foreign.toStdString();
    EXPECT_EQ(panel.order(), (std::vector<K>{K::wifi, K::ble, K::hotspot, K::usb}));
    EXPECT_EQ(panel.actions.calls, (std::vector<std::string>{"reorder usb hotspot", "reorder ble hotspot"}));

    // The rebuilt rows number themselves and lock the last kind on.
    panel.click(panel.prefs, L10n::string("prefs.preset.ble_only"));
    EXPECT_TRUE(settle(panel.window.get()));
    const auto rows = panel.prefs->connections()->rows();
    std::vector<bool> locked;
    for (auto* row : rows)
        if (row->isVisible()) locked.push_back(!row->findChild<SmallSwitch*>()->isEnabled());
    EXPECT_EQ(locked, (std::vector<bool>{true, false, false, false}));
}

TEST(PrefsWidgets, ForgetAsksFirstAndReturnKeepsThePhone) {
    Panel panel;
    QWidget* list = panel.prefs->pairedList();
    ASSERT_TRUE(panel.click(list, L10n::string("common.forget")));  // the first phone's link
    EXPECT_TRUE(settle(panel.window.get()));
    EXPECT_TRUE(panel.actions.calls.empty());
    const auto asked = QString::fromStdString(L10n::format("prefs.forget.title", {std::string("Nimbo 7")}));
    auto titles = [&] {
        QStringList shown;
        for (auto* text : list->findChildren<TextBlock*>())
            if (text->isVisible()) shown << text->text();
        return shown;
    };
    ASSERT_TRUE(titles().contains(asked));
    ASSERT_NE(QApplication::focusWidget(), nullptr);  // the confirmation takes the focus
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(settle(panel.window.get()));
    EXPECT_FALSE(titles().contains(asked));
    EXPECT_TRUE(panel.actions.calls.empty());

    ASSERT_TRUE(panel.click(list, L10n::string("common.forget")));
    EXPECT_TRUE(settle(panel.window.get()));
    ASSERT_TRUE(panel.click(list, L10n::string("common.forget")));  // the confirmation's button
    EXPECT_TRUE(settle(panel.window.get()));
    EXPECT_EQ(panel.actions.calls, (std::vector<std::string>{"forget a1"}));
    EXPECT_FALSE(titles().contains("Nimbo 7"));
    EXPECT_TRUE(titles().contains("Tablet Lume"));
}

TEST(PrefsWidgets, TheFilterButtonsReachOnlyTheAppsASearchShows) {
    Panel panel;
    NotifPrefsView* view = panel.prefs->notifications();
    auto counted = [&] {
        for (auto* text : view->findChildren<TextBlock*>())
            if (text->text().contains(QString::fromStdString(L10n::format("prefs.notif.count", {6, 6}))))
                return true;
        return false;
    };
    view->search()->setText(" NOTI\t");  // "Notícias" only
    EXPECT_TRUE(panel.click(view, L10n::string("prefs.notif.all_on")));
    EXPECT_EQ(panel.actions.calls, (std::vector<std::string>{"notif com.news on"}));
    EXPECT_TRUE(panel.actions.state.filter.overrides.empty());  // on is the default: no choice stored
    EXPECT_TRUE(counted());
    view->search()->setText("\t");
    EXPECT_TRUE(panel.click(view, L10n::string("prefs.notif.all_off")));
    EXPECT_EQ(panel.actions.calls.size(), 1u);  // the default changed, not each app
    EXPECT_FALSE(panel.actions.state.filter.notifDefault);
}

// The preferences where the user meets them: open in the panel, 360 wide and at most 640 high. However long
// the names, every row keeps to the panel's width and shows each line of its wrapped texts; a desktop that
// cannot hide the mirror window shows that switch on, locked, with the reason. Renders each case in both
// appearances into artifacts/panel: the panel as it opens and the whole fold.
TEST(PrefsWidgets, TheSummarySaysOneInTheSingular) {
    const std::tuple<const char*, std::size_t, std::size_t, const char*> cases[] = {
        {"pt-BR", 1, 1, "1 conexão · 1 app notifica"},
        {"pt-BR", 2, 0, "2 conexões · 0 apps notificam"},
        {"en", 1, 3, "1 connection · 3 apps notify"},
        {"en", 4, 1, "4 connections · 1 app notifies"},
    };
    for (const auto& [language, links, apps, want] : cases) {
        L10n::setEnvironment([lang = std::string(language)](const std::string& name) {
            return name == "LANGUAGE" ? std::optional(lang) : std::nullopt;
        });
        FakeActions a;
        for (std::size_t i = 0; i < a.state.linkPrefs.size(); ++i)
            a.state.linkPrefs[i].enabled = i < links;
        a.state.phoneApps.resize(apps);
        a.state.filter = {true, {}};
        EXPECT_EQ(prefsSummary(a.state).toStdString(), want);
    }
    L10n::setEnvironment(nullptr);
}

TEST(PrefsWidgets, InThePanelNoRowOutgrowsItsWidthOrCutsAText) {
    const QString note = QString::fromStdString(L10n::string("mirror.capture.unsupported"));
    const std::pair<const char*, std::function<void(FakeActions&, PrefsSection&)>> cases[] = {
        {"prefs",
         [](FakeActions& a, PrefsSection&) {
             a.state.phoneApps.push_back({"org.long", "Agenda Compartilhada da Associação dos Moradores"});
             a.state.paired.push_back({"c3", {}, "Celular-de-trabalho-da-recepção-sala-2", "android"});
         }},
        {"prefs-capture-locked",
         [&](FakeActions& a, PrefsSection&) {
             a.state.captureUnavailable = note.toStdString();
             a.state.phoneApps.clear();  // nothing listed, paired or measured: the shortest fold
             a.state.paired.clear();
             a.state.benchText.reset();
         }},
        {"prefs-nomatch",
         [](FakeActions&, PrefsSection& p) {
             p.notifications()->search()->setText("  Estúdio de gravação sem correspondência");
         }},
        {"prefs-bench-failed",  // the failure's sentence under the link, whole, in the error colour
         [](FakeActions& a, PrefsSection&) {
             a.state.benchText = L10n::string("prefs.bench.unfinished");
             a.state.benchFailed = true;
         }},
    };
    for (const auto& [name, set] : cases) {
        for (const auto appearance : {Appearance::light, Appearance::dark}) {
            AppearanceSource::instance().setOverride(appearance);
            testing_support::PanelRig rig;
            rig.settings.setValue("prefsOpen", true);
            FakeActions actions;
            auto* prefs = new PrefsSection(actions);
            set(actions, *prefs);
            prefs->refresh();
            MenuPanel& panel = rig.open();
            panel.prefsContent()->layout()->addWidget(prefs);
            ASSERT_TRUE(settle(rig.window.get()));
            if (!actions.state.paired.empty())
                Panel::click(prefs->pairedList(), L10n::string("common.forget"));
            ASSERT_TRUE(settle(rig.window.get()));

            EXPECT_EQ(testing_support::faultsInTheMiddle(panel).join(" | ").toStdString(), "") << name;
            SwitchRow* capture = prefs->switchRow(Preference::allowMirrorCapture);
            const bool locked = actions.state.captureUnavailable.has_value();
            EXPECT_TRUE(capture->isEnabled() != locked && capture->isOn() == locked &&
                        (capture->subtitle()->text() == note) == locked)
                << name;

            QDir().mkpath(VELMORA_ARTIFACTS_DIR "/panel");
            const QString file = QString(VELMORA_ARTIFACTS_DIR "/panel/%1-%2%3.png")
                                     .arg(name, appearance == Appearance::light ? "light" : "dark");
            EXPECT_TRUE(panel.grab().save(file.arg("")));
            QPixmap whole(prefs->size());  // the fold has no plate of its own: the panel's colour behind it
            whole.fill(SystemColor::window.resolve(appearance));
            prefs->render(&whole, {}, {}, QWidget::DrawChildren);
            EXPECT_TRUE(whole.save(file.arg("-whole")));
        }
    }
    AppearanceSource::instance().setOverride(std::nullopt);
}

}  // namespace
}  // namespace velmora
