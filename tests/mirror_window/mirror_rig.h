#pragma once

// A mirror window wired to a fake outside (recording port, fake clock, settings in memory) and a phone
// picture that travels the real way: drawn, encoded with libx264, fed through the window's feeder and
// decoder, and painted.

#include <QApplication>
#include <QImage>
#include <QTest>
#include <cmath>
#include <utility>
#include <vector>

#include "app/mirror/snapshots/phone_picture.h"
#include "app/mirror/window/mirror_view.h"
#include "app/mirror/window/mirror_window.h"
#include "core/exec/manual_executor.h"
#include "core/settings/memory_settings.h"
#include "mirror/h264_stream.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace velmora::testing {

// Coordinates to nine decimals, so that two routes to the same point compare equal.
inline nlohmann::json rounded(nlohmann::json m) {
    for (auto& [key, value] : m.items())
        if (value.is_number_float()) value = std::round(value.get<double>() * 1e9) / 1e9;
    return m;
}

struct FakePort : MirrorWindowPort {
    std::vector<nlohmann::json> inputs;
    int retries = 0, closes = 0;
    std::optional<MirrorLinkInfo> link;
    std::optional<std::string> clipboard;
    void input(const nlohmann::json& m) override { inputs.push_back(rounded(m)); }
    void retry() override { ++retries; }
    void closed() override { ++closes; }
    std::optional<MirrorLinkInfo> linkInfo() override { return link; }
    std::optional<std::string> pasteText() override { return clipboard; }
    std::vector<nlohmann::json> take() { return std::exchange(inputs, {}); }
};

// A drawn phone screen of width × height as the phone's packets: a key frame with its parameter sets, flag 1,
// time 0.
inline std::vector<Bytes> phonePicture(int width, int height) {
    const QImage rgb = fakePhoneScreen(width, height).convertToFormat(QImage::Format_RGB32);
    const auto paint = [&rgb](AVFrame& frame, int) {
        SwsContext* sws =
            sws_getContext(rgb.width(), rgb.height(), AV_PIX_FMT_BGRA, rgb.width(), rgb.height(),
                           AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
        const uint8_t* src[] = {rgb.constBits()};
        const int stride[] = {static_cast<int>(rgb.bytesPerLine())};
        sws_scale(sws, src, stride, 0, rgb.height(), frame.data, frame.linesize);
        sws_freeContext(sws);
    };
    std::vector<Bytes> packets;
    for (PhonePacket& packet : encodeH264(width, height, 1, 1, paint))
        packets.push_back(std::move(packet.bytes));
    return packets;
}

struct Rig {
    explicit Rig(MirrorWindow::Options options = {.remembersFrame = false, .heightLimit = 10000})
        : window("Telefone de teste", port, clock, &settings, options) {}

    // Feeds the packets and waits until the decoded picture has been painted.
    bool showPicture(const std::vector<Bytes>& packets) {
        for (const Bytes& p : packets)
            window.feeder().feed(p);
        return QTest::qWaitFor(
            [&] {
                window.view().repaint();
                return window.view().hasPicture();
            },
            60000);
    }

    ManualExecutor clock;
    MemorySettings settings;
    FakePort port;
    MirrorWindow window;
};

}  // namespace velmora::testing
