// The connected card's features as a person uses them: files dropped on the panel reach the phone, a file
// from the phone lands in Downloads with the panel saying so, the speed test's result shows in the
// preferences, and the phone's notification shows on the desktop, is replied to and dismissed there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QUrl>
#include <fstream>
#include <future>

#include "app/design/buttons.h"
#include "app/shell/card/connected_card.h"
#include "app/shell/card/drop_area.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/prefs/prefs_section.h"
#include "app/shell/tray/panel_window.h"
#include "core/l10n/l10n.h"
#include "live/live_app.h"
#include "live/live_desktop.h"
#include "live/live_phone.h"
#include "live/live_stories.h"
#include "notifications/test_notification_server.h"
#include "support/temp_dir.h"

namespace velmora::live {
namespace {

using nlohmann::json;

std::string pattern(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<char>((i * seed + i / 977) % 251);
    return out;
}

QString dropText(LiveApp& app) {
    auto* card = dynamic_cast<ConnectedCard*>(app.panel().content().body());
    return card && card->dropArea() ? card->dropArea()->text() : QString();
}

// Drops files on the panel the way a file manager's drag ends: enter, then drop.
void dropOn(QWidget* target, const std::vector<std::filesystem::path>& files) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const auto& f : files)
        urls << QUrl::fromLocalFile(QString::fromStdString(f.string()));
    mime.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

TEST(FilesStory, FilesDroppedOnThePanelReachThePhoneAndThePhonesFileLandsInDownloads) {
    LivePhone phone;
    LiveApp app;
    ASSERT_TRUE(connectTyped(app, phone));
    test::TempDir elsewhere("velmora-live-files");
    const std::string big = pattern(700 * 1024 + 13, 7), small = "olá, celular\n";
    const auto bigPath = elsewhere.path() / "relatório anual.bin", smallPath = elsewhere.path() / "nota.txt";
    std::ofstream(bigPath, std::ios::binary) << big;
    std::ofstream(smallPath, std::ios::binary) << small;
    dropOn(&app.panel().content(), {bigPath, smallPath});
    const auto got = [&](const std::string& name) -> std::optional<companion::ReceivedFile> {
        for (const auto& f : phone.companion().receivedFiles())
            if (f.name == name) return f;
        return std::nullopt;
    };
    ASSERT_TRUE(until([&] { return got("relatório anual.bin") && got("nota.txt"); }));
    for (const auto& [name, bytes] : {std::pair{"relatório anual.bin", big}, std::pair{"nota.txt", small}}) {
        const auto f = got(name);
        EXPECT_TRUE(f->ok) << name << ": " << f->error;
        EXPECT_TRUE(std::string(f->bytes.begin(), f->bytes.end()) == bytes) << name;
    }
    const auto sent = [](const char* name) {
        return QString::fromStdString(L10n::format("transfer.sent", {std::string(name)}));
    };
    ASSERT_TRUE(until([&] {
        return dropText(app) == sent("nota.txt") || dropText(app) == sent("relatório anual.bin");
    })) << dropText(app).toStdString();
    shot(&app.panel(), "files", "1-sent");

    // The phone sends a file of its own; its send ends with the computer's "file.done".
    const std::string photo = pattern(300 * 1024 + 1, 11);
    const auto photoPath = elsewhere.path() / "foto do celular.jpg";
    std::ofstream(photoPath, std::ios::binary) << photo;
    auto sending = std::async(std::launch::async, [&] { return phone.companion().sendFiles({photoPath}); });
    ASSERT_TRUE(
        until([&] { return sending.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    const auto outcome = sending.get();
    ASSERT_EQ(outcome.size(), 1u);
    EXPECT_EQ(outcome[0].outcome, "sent");
    // In the Velmora folder of the user's Downloads, under its own name, byte for byte.
    const auto landed = Desktop::instance().downloads() / "Velmora" / "foto do celular.jpg";
    EXPECT_TRUE(test::readFile(landed) == photo) << landed;
    const QString received =
        QString::fromStdString(L10n::format("transfer.received", {std::string("foto do celular.jpg")}));
    ASSERT_TRUE(until([&] { return dropText(app) == received; })) << dropText(app).toStdString();
    ASSERT_TRUE(until([&] { return findButton(&app.panel(), tr("panel.received.open")) != nullptr; }));
    shot(&app.panel(), "files", "2-received");

    // The "Send files" tile: the desktop's file picker, a file chosen there and opened.
    const std::string note = "escolhido no seletor";
    const auto pickedPath = elsewhere.path() / "escolhido.txt";
    std::ofstream(pickedPath, std::ios::binary) << note;
    const auto pick = whenShown(
        [] {
            for (auto* w : QApplication::topLevelWidgets())
                if (w->isVisible() && qobject_cast<QFileDialog*>(w)) return true;
            return false;
        },
        [&] {
            for (auto* w : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
                    shot(dialog, "files", "3-picker");
                    // As a person would: the file's whole path typed in the name field.
                    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                    ASSERT_NE(name, nullptr);
                    name->setText(QString::fromStdString(pickedPath.string()));
                    click(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open));
                }
        });
    click(findButton(&app.panel(), tr("panel.tile.send_files")));
    ASSERT_TRUE(until([&] { return got("escolhido.txt").has_value(); }));
    const auto picked = *got("escolhido.txt");
    EXPECT_TRUE(picked.ok) << picked.error;
    EXPECT_EQ(std::string(picked.bytes.begin(), picked.bytes.end()), note);
}

TEST(SpeedTestStory, TheResultShowsInThePreferences) {
    LivePhone phone;
    LiveApp app;
    ASSERT_TRUE(connectTyped(app, phone));
    PrefsSection& prefs = app.panel().prefs();
    ASSERT_TRUE(until([&] { return prefs.benchButton()->isVisible() && prefs.benchButton()->isEnabled(); }));
    click(prefs.benchButton());
    const std::string running = L10n::string("prefs.bench.running");
    ASSERT_TRUE(until([&] {
        const auto text = app.model().state().benchText;
        return text && *text != running;
    }));
    const std::string result = *app.model().state().benchText;
    EXPECT_NE(result, L10n::string("prefs.bench.unfinished"));
    EXPECT_NE(result.find(L10n::string("prefs.bench.link_tcp")), std::string::npos) << result;
    EXPECT_EQ(phone.received("bench.start").size(), 1u);
    app.panel().content().scrollArea()->ensureWidgetVisible(prefs.benchButton());
    shot(&app.panel(), "bench", "1-result");
}

TEST(NotificationStory, ShownRepliedAndDismissedOnTheDesktop) {
    test::TestNotificationServer server({"actions", "body"}, true,
                                        QString::fromStdString(Desktop::instance().busAddress()));
    LivePhone phone;
    LiveApp app;
    ASSERT_TRUE(connectTyped(app, phone));
    ASSERT_TRUE(phone.companion().notify(
        {.app = "Conversa", .title = "Ana", .text = "Chego às oito?", .key = "chat-1"}));
    ASSERT_TRUE(until([&] { return server.calls().size() == 1; }));
    const auto shown = server.calls()[0];
    EXPECT_EQ(shown.summary, "Conversa \u00B7 Ana");
    EXPECT_EQ(shown.body, "Chego às oito?");
    ASSERT_TRUE(shown.actions.contains("reply")) << shown.actions.join(',').toStdString();
    server.fire("ActionInvoked", 1, QString("reply"));
    // Our reply window: the user types and sends.
    QWidget* dialog = nullptr;
    ASSERT_TRUE(until([&] {
        for (auto* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->inherits("velmora::ReplyDialog")) dialog = w;
        return dialog != nullptr;
    }));
    auto* field = dialog->findChild<QLineEdit*>();
    click(field);
    type(field, "sim, às oito");
    shot(dialog, "notification", "1-reply");
    click(findButton(dialog, tr("notif.send")));
    ASSERT_TRUE(until([&] { return !phone.received("notif.action").empty(); }));
    EXPECT_EQ(phone.received("notif.action")[0],
              (json{{"t", "notif.action"}, {"key", "chat-1"}, {"index", 0}, {"reply", "sim, às oito"}}));

    ASSERT_TRUE(phone.companion().notify({.pkg = "com.example.news",
                                          .app = "Notícias",
                                          .title = "Manchete",
                                          .text = "Chuva amanhã",
                                          .key = "news-2",
                                          .reply = false}));
    ASSERT_TRUE(until([&] { return server.calls().size() == 2; }));
    ASSERT_TRUE(server.calls()[1].actions.contains("dismiss"));
    server.fire("ActionInvoked", 2, QString("dismiss"));
    ASSERT_TRUE(until([&] { return !phone.received("notif.dismiss").empty(); }));
    EXPECT_EQ(phone.received("notif.dismiss")[0], (json{{"t", "notif.dismiss"}, {"key", "news-2"}}));
    shot(&app.panel(), "notification", "2-panel");
}

}  // namespace
}  // namespace velmora::live
