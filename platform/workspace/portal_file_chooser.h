#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <optional>

namespace velmora {

// The desktop's own file chooser through the freedesktop portal (org.freedesktop.portal.FileChooser
// OpenFile over the session bus): the desktop's dialog, in the desktop's language, opened in `folder`.
// Several files may be chosen.
//
// Main thread only: pick() waits in a local event loop for the portal's answer, as a modal dialog would.
class PortalFileChooser {
  public:
    explicit PortalFileChooser(QDBusConnection bus);

    // Whether a portal with a file chooser runs on the bus (a running service, or one the bus starts).
    bool available() const;

    // The chosen files' paths; an empty list when the person cancelled. Absent when the portal did not
    // answer the call or answered with an error, so the caller shows a dialog of its own.
    std::optional<QStringList> pick(const QString& title, const QString& folder);

  private:
    QDBusConnection bus_;
};

}  // namespace velmora
