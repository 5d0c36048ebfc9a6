#pragma once

#include <QDBusContext>
#include <QDBusError>
#include <QDesktopServices>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace velmora::test {

// The desktop's file manager as org.freedesktop.FileManager1 serves it: ShowItems recorded with its
// arguments as they arrived on the bus, or refused with an error when `refuse` is set. Lives on the bus
// fixture's own thread (PrivatePortalBus), whose onPortalThread() reads and sets the fields.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
  public:
    static constexpr const char* kService = "org.freedesktop.FileManager1";
    static constexpr const char* kPath = "/org/freedesktop/FileManager1";

    QList<QStringList> shown;  // the URIs of each ShowItems call
    QStringList startupIds;
    bool refuse = false;

  public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) {
        shown << uris;
        startupIds << startupId;
        if (refuse) sendErrorReply(QDBusError::Failed, QStringLiteral("cannot show"));
    }
};

// The addresses the desktop was asked to open with its default application (QDesktopServices), recorded
// instead of opened while it lives. Main thread.
class OpenedUrls : public QObject {
    Q_OBJECT
  public:
    OpenedUrls() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "record"); }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> urls;

  public slots:
    void record(const QUrl& url) { urls << url; }
};

}  // namespace velmora::test
