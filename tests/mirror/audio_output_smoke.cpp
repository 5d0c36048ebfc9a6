// The sound output against the machine's sound server: plays a short tone and waits for the sink to have
// pulled every buffer. Skipped where no output device is offered (no server, as on most build machines).

#include <gtest/gtest.h>

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>

#include "app/mirror/audio/qt_audio_output.h"

namespace velmora {
namespace {

TEST(QtAudioOutput, PlaysATone) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    if (QMediaDevices::defaultAudioOutput().isNull())
        GTEST_SKIP() << "no audio output device (no sound server)";
    QtAudioOutput output;
    ASSERT_TRUE(output.open(48000, 2));
    std::mutex mutex;
    std::condition_variable done;
    int played = 0;
    for (int i = 0; i < 5; ++i) {
        AudioBuffer buffer{2, std::vector<float>(2 * 960)};
        for (std::size_t f = 0; f < buffer.samples.size(); ++f)
            buffer.samples[f] = 0.1f * static_cast<float>(std::sin(static_cast<double>(f) * 0.03));
        output.schedule(std::move(buffer), [&] {
            std::lock_guard guard(mutex);
            ++played;
            done.notify_all();
        });
    }
    output.play();
    std::unique_lock guard(mutex);
    EXPECT_TRUE(done.wait_for(guard, std::chrono::seconds(60), [&] { return played == 5; }));
    guard.unlock();
    EXPECT_TRUE(output.isRunning());
    output.close();
    EXPECT_FALSE(output.isRunning());
}

}  // namespace
}  // namespace velmora
