#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "app/model/ports/wake_source.h"

namespace velmora {

// Wakes come from logind: it sends PrepareForSleep(true) before the computer sleeps and
// PrepareForSleep(false) once it is back; only the second is a wake. A desktop without a reachable system bus
// gets one log line and no wakes (the heartbeat still finds a session that died in the sleep).
//
// Threads: created, started and stopped on a thread with a Qt event loop (the GUI thread); onWake runs there.
// When start() returns the signal is subscribed, so a wake after that is never missed.
class LogindWakeSource final : public QObject, public WakeSource {
    Q_OBJECT
  public:
    // An empty `busAddress` is the system bus; tests give the address of a private bus, which is opened as a
    // connection named after that address.
    explicit LogindWakeSource(QString busAddress = {});
    ~LogindWakeSource() override;

    void start(std::function<void()> onWake) override;
    void stop() override;

  private slots:
    void onPrepareForSleep(bool sleeping);

  private:
    bool subscribe(bool on);

    QString busAddress_;
    std::function<void()> onWake_;
    bool subscribed_ = false;
};

}  // namespace velmora
