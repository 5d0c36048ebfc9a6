// Showing a file in the file manager, as the desktop workspace asks for it on a private session bus: the
// URI that goes over the bus, byte for byte, whether or not the file exists; and the file's folder opened
// instead when no file manager is there, when it refuses, or when there is no bus at all.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

#include "platform/workspace/desktop_workspace.h"
#include "support/fake_file_manager.h"
#include "support/private_bus.h"

namespace velmora {
namespace {

using test::FakeFileManager;

class Reveal : public test::PrivatePortalBus<FakeFileManager> {
  protected:
    bool serveFileManager() { return servePortal(FakeFileManager::kService, FakeFileManager::kPath); }
    QList<QStringList> shown() {
        QList<QStringList> calls;
        onPortalThread([&] { calls = portal_.shown; });
        return calls;
    }
    bool waitForShown(qsizetype calls) {
        return QTest::qWaitFor([&] { return shown().size() >= calls; }, 30000);
    }
    bool waitForOpened() {
        return QTest::qWaitFor([&] { return !opened_.urls.isEmpty(); }, 30000);
    }

    test::OpenedUrls opened_;
};

TEST_F(Reveal, TheFileManagerIsAskedForTheFileByItsUriExistingOrNot) {
    ASSERT_TRUE(serveFileManager());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString existing = dir.filePath("velmora.log");
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    struct Case {
        const char* what;
        std::string path;
        QString uri;
    };
    const std::vector<Case> cases{
        {"a file that is there", existing.toStdString(), "file://" + existing},
        {"not written yet: asked all the same", "/home/ana/.local/state/Velmora/velmora.log",
         "file:///home/ana/.local/state/Velmora/velmora.log"},
        {"spaces and letters beyond ASCII, percent-encoded as UTF-8",
         "/home/ana/Área de trabalho/relatório #2.log",
         "file:///home/ana/%C3%81rea%20de%20trabalho/relat%C3%B3rio%20%232.log"},
    };
    DesktopWorkspace workspace(appBus());
    for (qsizetype i = 0; i < qsizetype(cases.size()); ++i) {
        const Case& c = cases[std::size_t(i)];
        workspace.reveal(c.path);
        ASSERT_TRUE(waitForShown(i + 1)) << c.what;
        EXPECT_EQ(shown()[i].join(" | ").toStdString(), c.uri.toStdString()) << c.what;
    }
    QStringList startupIds;
    onPortalThread([&] { startupIds = portal_.startupIds; });
    EXPECT_EQ(startupIds, QStringList(qsizetype(cases.size()), QString()));
    QCoreApplication::processEvents();
    EXPECT_TRUE(opened_.urls.isEmpty()) << "the file manager answered: no folder opens as well";
}

TEST_F(Reveal, WithoutAFileManagerTheFolderOpens) {
    DesktopWorkspace workspace(appBus());
    workspace.reveal("/srv/registros/velmora.log");
    ASSERT_TRUE(waitForOpened());
    EXPECT_EQ(opened_.urls, QList<QUrl>{QUrl::fromLocalFile("/srv/registros")});
}

TEST_F(Reveal, AFileManagerThatRefusesLeavesTheFolderToOpen) {
    ASSERT_TRUE(serveFileManager());
    onPortalThread([&] { portal_.refuse = true; });
    DesktopWorkspace workspace(appBus());
    workspace.reveal("/srv/registros/velmora.log");
    ASSERT_TRUE(waitForOpened());
    EXPECT_EQ(shown().size(), 1);
    EXPECT_EQ(opened_.urls, QList<QUrl>{QUrl::fromLocalFile("/srv/registros")});
}

TEST_F(Reveal, WithNoBusAtAllTheFolderOpensAtOnce) {
    DesktopWorkspace workspace(QDBusConnection(QStringLiteral("never-connected")));
    workspace.reveal("/srv/registros/velmora.log");
    EXPECT_EQ(opened_.urls, QList<QUrl>{QUrl::fromLocalFile("/srv/registros")});
}

}  // namespace
}  // namespace velmora
