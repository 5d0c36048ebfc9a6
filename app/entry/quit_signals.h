#pragma once

#include <QObject>

class QSocketNotifier;

namespace velmora {

// SIGTERM and SIGINT end the application through its event loop, so that the shutdown work after the loop
// (closing the session, removing the adb forwards) still runs. The handler only writes a byte to a pipe;
// the GUI thread reads it and quits. One instance per process, made on the GUI thread.
//
// Before the main loop runs, QCoreApplication::quit() does nothing: a modal wait there (the alert that ends
// a start which cannot go on) listens to quitRequested() and ends itself, and one that begins after a signal
// came asks requested() first.
class QuitSignals : public QObject {
    Q_OBJECT
  public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // True once SIGTERM or SIGINT has been taken in.
    bool requested() const { return requested_; }

  signals:
    // On the GUI thread, in whichever event loop is running, before the application is told to quit.
    void quitRequested();

  private:
    QSocketNotifier* notifier_ = nullptr;
    bool requested_ = false;
};

}  // namespace velmora
