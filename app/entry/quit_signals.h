#pragma once

#include <QObject>

class QSocketNotifier;

namespace velmora {

// SIGTERM and SIGINT end the application through its event loop, so that the shutdown work after the loop
// (closing the session, removing the adb forwards) still runs. The handler only writes a byte to a pipe;
// the GUI thread reads it and quits. One instance per process, made on the GUI thread.
class QuitSignals : public QObject {
    Q_OBJECT
  public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

  private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace velmora
