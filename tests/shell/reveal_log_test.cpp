// The footer's "Show the log file" in the panel over a live model, down to the session bus: the file manager
// is asked to show velmora.log selected, and without a file manager the log's folder opens.
#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>

#include "app/shell/model_adapter.h"
#include "app/shell/panel/menu_panel.h"
#include "app/shell/panel/panel_controls.h"
#include "app/shell/panel/panel_footer.h"
#include "app/shell/tray/panel_window.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"
#include "platform/workspace/desktop_workspace.h"
#include "support/fake_file_manager.h"
#include "support/model_harness.h"
#include "support/private_bus.h"

namespace velmora {
namespace {

using test::FakeFileManager;

class RevealLog : public test::PrivatePortalBus<FakeFileManager> {
  protected:
    // The model's workspace is the desktop's, on the private bus.
    void SetUp() override {
        PrivatePortalBus::SetUp();
        if (IsSkipped()) return;
        ModelPorts ports = h.ports();
        ports.workspace = std::make_shared<DesktopWorkspace>(appBus());
        h.model = AppModel::create(std::move(ports), false);
        h.exec->runPending();
        adapter = std::make_unique<ModelAdapter>(h.model);
        panel = std::make_unique<PanelWindow>(*adapter, PanelWindow::Mode::window);
        panel->show();
    }
    void TearDown() override {
        panel.reset();
        adapter.reset();
        PrivatePortalBus::TearDown();
    }

    // What a person does: the footer's diagnostics button, then the item in the menu it opens.
    void pressShowTheLogFile() {
        PanelFooter* footer = panel->content().footer();
        QTest::mouseClick(footer->diagnosticsButton(), Qt::LeftButton);
        QMenu* menu = footer->diagnosticsMenu();
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }, 10000));
        const QString title = QString::fromStdString(L10n::string("menu.diagnostics.reveal_log"));
        QAction* item = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == title) item = action;
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
        EXPECT_FALSE(menu->isVisible()) << "the menu closes once an item is chosen";
    }
    QList<QStringList> shown() {
        QList<QStringList> calls;
        onPortalThread([&] { calls = portal_.shown; });
        return calls;
    }

    test::ModelHarness h;
    std::unique_ptr<ModelAdapter> adapter;
    std::unique_ptr<PanelWindow> panel;
    test::OpenedUrls opened;
};

TEST_F(RevealLog, TheFileManagerShowsTheLogFileSelected) {
    ASSERT_TRUE(servePortal(FakeFileManager::kService, FakeFileManager::kPath));
    pressShowTheLogFile();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown().isEmpty(); }, 30000));
    const std::filesystem::path log = VelmoraLog::file();
    EXPECT_EQ(log.filename(), "velmora.log");
    EXPECT_EQ(shown(), QList<QStringList>{{QString::fromUtf8(
                           QUrl::fromLocalFile(QString::fromStdString(log.string())).toEncoded())}});
    QCoreApplication::processEvents();
    EXPECT_TRUE(opened.urls.isEmpty()) << "no folder window besides the file manager's";
}

TEST_F(RevealLog, WithoutAFileManagerTheLogsFolderOpens) {
    pressShowTheLogFile();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.urls.isEmpty(); }, 30000));
    EXPECT_EQ(
        opened.urls,
        QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(VelmoraLog::file().parent_path().string()))});
}

}  // namespace
}  // namespace velmora
