#pragma once

#include <QObject>
#include <thread>

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

    // While it lives, SIGTERM or SIGINT end the process at once, from a thread of its own (the log written
    // first, status 0): for a wait on the GUI thread outside any event loop that nothing else could end, such
    // as the keyring's own password prompt while the identity is loaded at the first start. Only for waits
    // before anything is started that the end would have to tidy. Does nothing without `quit`.
    class EndAtOnce {
      public:
        explicit EndAtOnce(const QuitSignals* quit);
        ~EndAtOnce();
        EndAtOnce(const EndAtOnce&) = delete;
        EndAtOnce& operator=(const EndAtOnce&) = delete;

      private:
        void watch() const;

        QSocketNotifier* const notifier_;  // the GUI thread's reader, paused meanwhile
        int stop_ = -1;                    // readable once the wait is over
        std::thread watcher_;
    };

  signals:
    // On the GUI thread, in whichever event loop is running, before the application is told to quit.
    void quitRequested();

  private:
    QSocketNotifier* notifier_ = nullptr;
    bool requested_ = false;
};

}  // namespace velmora
