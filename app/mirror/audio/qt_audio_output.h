#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

#include "app/mirror/media/audio_output.h"

class QAudioSink;

namespace velmora {

class QueuedSound;

// The player's output on a QAudioSink in pull mode. The sink and its device live on a QThread of their own;
// open() and close() run there and wait for it, schedule() and play() only touch the queue the sink pulls
// from. Until play() the sink pulls silence; a buffer counts as played once the sink has pulled all of it
// (onPlayed runs on the output's thread). A sink that stops with an error (device gone) reads as not running.
class QtAudioOutput final : public AudioOutput {
  public:
    QtAudioOutput();
    ~QtAudioOutput() override;

    bool open(double rate, int channels) override;
    void close() override;
    bool isRunning() override { return running_; }
    void schedule(AudioBuffer buffer, std::function<void()> onPlayed) override;
    void play() override;

  private:
    void closeOnThread();

    QThread thread_;
    QObject* home_ = nullptr;  // lives on thread_; open and close run through it
    QAudioSink* sink_ = nullptr;
    std::shared_ptr<QueuedSound> queue_;
    std::atomic<bool> running_{false};
};

}  // namespace velmora
