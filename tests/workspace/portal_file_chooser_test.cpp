// The desktop portal's file chooser as the file picker uses it, against a fake portal on a private session
// bus: the question it is asked (title, several files, the home folder), and each way it may answer.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include "platform/workspace/portal_file_chooser.h"
#include "support/private_bus.h"

namespace velmora {

// Answers OpenFile as a desktop portal does: a request handle at once, the person's choice later as the
// request's Response signal. What it answers is set by the test.
class FakeFileChooser : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")
  public:
    uint response = 0;
    QStringList uris;
    bool refuse = false;  // answer the call with an error
    QString title;
    QVariantMap options;

  public slots:
    QDBusObjectPath OpenFile(const QString&, const QString& askedTitle, const QVariantMap& askedOptions) {
        title = askedTitle;
        options = askedOptions;
        if (refuse) {
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("no"));
            return {};
        }
        QString sender = message().service();
        sender.remove(0, 1).replace('.', '_');
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender, askedOptions.value("handle_token").toString());
        // The choice comes after the call has its answer.
        QMetaObject::invokeMethod(
            this,
            [this, path] {
                QDBusMessage signal =
                    QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
                signal << response << QVariantMap{{"uris", uris}};
                QDBusConnection("portal-side").send(signal);
            },
            Qt::QueuedConnection);
        return QDBusObjectPath(path);
    }
};

namespace {

class PortalChooser : public test::PrivatePortalBus<FakeFileChooser> {
  protected:
    PortalFileChooser chooser() { return PortalFileChooser(appBus()); }
};

TEST_F(PortalChooser, WithoutAPortalTheCallerShowsItsOwnDialog) {
    EXPECT_FALSE(chooser().available());
    EXPECT_EQ(chooser().pick("Escolher arquivos", "/home/ana"), std::nullopt);
}

TEST_F(PortalChooser, AsksForSeveralFilesFromTheHomeFolderUnderTheProgramsTitle) {
    ASSERT_TRUE(servePortal());
    onPortalThread([&] {
        portal_.uris = {"file:///home/ana/foto.jpg", "file:///tmp/contrato%20final.pdf",
                        "https://example.org/x"};
    });
    PortalFileChooser c = chooser();
    ASSERT_TRUE(c.available());
    const auto picked = c.pick("Escolher arquivos para enviar", "/home/ana");
    ASSERT_TRUE(picked.has_value());
    // Only files on this computer come back, as paths; a web address is not a file to send.
    EXPECT_EQ(*picked, (QStringList{"/home/ana/foto.jpg", "/tmp/contrato final.pdf"}));
    QString title;
    QVariantMap options;
    onPortalThread([&] { title = portal_.title, options = portal_.options; });
    EXPECT_EQ(title, "Escolher arquivos para enviar");
    EXPECT_TRUE(options.value("multiple").toBool());
    EXPECT_EQ(options.value("current_folder").toByteArray(), QByteArray("/home/ana", 10));
}

TEST_F(PortalChooser, EachAnswerOfThePortalMeansWhatItSays) {
    ASSERT_TRUE(servePortal());
    struct Case {
        const char* what;
        uint response;
        bool refuse;
        std::optional<QStringList> expected;
    };
    const std::vector<Case> cases{
        {"chosen", 0, false, QStringList{"/srv/a.txt"}},
        {"cancelled: nothing, and no second dialog", 1, false, QStringList{}},
        {"the dialog failed: the caller's own dialog", 2, false, std::nullopt},
        {"the call refused: the caller's own dialog", 0, true, std::nullopt},
    };
    for (const Case& c : cases) {
        onPortalThread([&] {
            portal_.response = c.response;
            portal_.refuse = c.refuse;
            portal_.uris = {"file:///srv/a.txt"};
        });
        EXPECT_EQ(chooser().pick("t", "/srv"), c.expected) << c.what;
    }
}

}  // namespace
}  // namespace velmora

#include "portal_file_chooser_test.moc"
