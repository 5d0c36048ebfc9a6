#pragma once

#include <sys/prctl.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <csignal>

namespace velmora::test {

// A dbus-daemon of the test's own with the session bus's rules. Its socket goes in the runtime folder (the
// test program's private one) rather than the shared /tmp; it is ended with SIGTERM, on which it removes
// that socket, and it goes the same way with the test program however that one ends. address() is empty
// when it did not start.
class SessionBusDaemon {
  public:
    SessionBusDaemon() {
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        QStringList arguments{"--session", "--nofork", "--print-address=1"};
        if (const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR"); !runtime.isEmpty())
            arguments << "--address=unix:dir=" + runtime;
        process_.start("dbus-daemon", arguments);
        if (process_.waitForReadyRead(60000)) address_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~SessionBusDaemon() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (process_.waitForFinished(60000)) return;
        process_.kill();
        process_.waitForFinished(60000);
    }
    SessionBusDaemon(const SessionBusDaemon&) = delete;
    SessionBusDaemon& operator=(const SessionBusDaemon&) = delete;

    const QString& address() const { return address_; }

  private:
    QProcess process_;
    QString address_;
};

}  // namespace velmora::test
