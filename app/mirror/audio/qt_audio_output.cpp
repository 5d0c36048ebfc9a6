#include "app/mirror/audio/qt_audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <cmath>
#include <cstring>
#include <deque>
#include <mutex>

namespace velmora {

// What the sink pulls: the scheduled buffers back to back, silence while there are none or before play().
class QueuedSound final : public QIODevice {
  public:
    void add(AudioBuffer buffer, std::function<void()> onPlayed) {
        std::lock_guard guard(mutex_);
        queue_.push_back({std::move(buffer), std::move(onPlayed), 0});
    }
    void play() {
        std::lock_guard guard(mutex_);
        playing_ = true;
    }

  protected:
    qint64 readData(char* data, qint64 maxSize) override {
        std::vector<std::function<void()>> done;
        qint64 written = 0;
        {
            std::lock_guard guard(mutex_);
            while (playing_ && written < maxSize && !queue_.empty()) {
                Entry& head = queue_.front();
                const auto bytes = static_cast<qint64>(head.buffer.samples.size() * sizeof(float));
                const qint64 n = std::min(maxSize - written, bytes - head.offset);
                std::memcpy(data + written,
                            reinterpret_cast<const char*>(head.buffer.samples.data()) + head.offset,
                            static_cast<std::size_t>(n));
                written += n;
                head.offset += n;
                if (head.offset == bytes) {
                    done.push_back(std::move(head.onPlayed));
                    queue_.pop_front();
                }
            }
        }
        // A dry queue plays silence, whole frames of it, so that the stream keeps running.
        const qint64 frame = static_cast<qint64>(sizeof(float)) * std::max(1, channels);
        const qint64 fill = (maxSize - written) / frame * frame;
        std::memset(data + written, 0, static_cast<std::size_t>(fill));
        for (auto& callback : done)
            if (callback) callback();
        return written + fill;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
    bool isSequential() const override { return true; }

  public:
    int channels = 1;

  private:
    struct Entry {
        AudioBuffer buffer;
        std::function<void()> onPlayed;
        qint64 offset;
    };
    std::mutex mutex_;  // guards queue_ and playing_
    std::deque<Entry> queue_;
    bool playing_ = false;
};

QtAudioOutput::QtAudioOutput() {
    thread_.setObjectName("tessel.audio.ctl");
    home_ = new QObject;
    home_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, home_, &QObject::deleteLater);
    thread_.start();
}

QtAudioOutput::~QtAudioOutput() {
    close();
    thread_.quit();
    thread_.wait();
}

bool QtAudioOutput::open(double rate, int channels) {
    close();
    bool opened = false;
    QMetaObject::invokeMethod(
        home_,
        [&] {
            QAudioFormat format;
            // The sink takes whole hertz; a fractional rate from the phone is rounded.
            format.setSampleRate(static_cast<int>(std::lround(rate)));
            format.setChannelCount(channels);
            format.setSampleFormat(QAudioFormat::Float);
            const QAudioDevice device = QMediaDevices::defaultAudioOutput();
            if (device.isNull() || !format.isValid() || !device.isFormatSupported(format)) return;
            queue_ = std::make_shared<QueuedSound>();
            queue_->channels = channels;
            queue_->open(QIODevice::ReadOnly);
            sink_ = new QAudioSink(device, format);
            sink_->setBufferSize(format.bytesForDuration(60'000));
            QObject::connect(sink_, &QAudioSink::stateChanged, sink_,
                             [this](QAudio::State state) { running_ = state != QAudio::StoppedState; });
            sink_->start(queue_.get());
            opened = sink_->error() == QAudio::NoError && sink_->state() != QAudio::StoppedState;
            running_ = opened;
            if (!opened) closeOnThread();
        },
        Qt::BlockingQueuedConnection);
    return opened;
}

void QtAudioOutput::close() {
    QMetaObject::invokeMethod(
        home_, [this] { closeOnThread(); }, Qt::BlockingQueuedConnection);
}

void QtAudioOutput::closeOnThread() {
    running_ = false;
    if (sink_) {
        sink_->stop();
        delete sink_;
        sink_ = nullptr;
    }
    queue_.reset();
}

void QtAudioOutput::schedule(AudioBuffer buffer, std::function<void()> onPlayed) {
    if (queue_) queue_->add(std::move(buffer), std::move(onPlayed));
}

void QtAudioOutput::play() {
    if (queue_) queue_->play();
}

}  // namespace velmora
