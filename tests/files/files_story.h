#pragma once

// A model connected to the simulated phone over loopback, downloads in a temporary folder, the phone's side
// driven by hand through the entry points; the phone's journal has the replies, `sent` its file bytes.

#include <gtest/gtest.h>

#include <fstream>

#include "core/crypto/cxp_crypto.h"
#include "support/model_harness.h"
#include "support/wait_until.h"

namespace velmora::test {

inline std::string sha(const std::string& bytes) {
    return CXPCrypto::hex(
        CXPCrypto::sha256(ByteView(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())));
}

inline std::string pattern(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<char>((i * seed + i / 977) % 251);
    return out;
}

inline Bytes record(std::uint32_t tid, const std::string& data) {
    Bytes out{static_cast<std::uint8_t>(tid >> 24), static_cast<std::uint8_t>(tid >> 16),
              static_cast<std::uint8_t>(tid >> 8), static_cast<std::uint8_t>(tid)};
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

struct FilesStory {
    PhoneConfig phoneConfig() {
        PhoneConfig config;
        config.onRecord = [this](const Frame& f) {
            std::lock_guard lock(mutex);
            const std::uint32_t tid = (std::uint32_t{f.payload[0]} << 24) |
                                      (std::uint32_t{f.payload[1]} << 16) |
                                      (std::uint32_t{f.payload[2]} << 8) | f.payload[3];
            sent[tid].append(f.payload.begin() + 4, f.payload.end());
            return std::vector<nlohmann::json>{};
        };
        return config;
    }
    FilesStory() {
        std::filesystem::create_directories(folder);
        std::ofstream(folder / ".Velmora-7-old.part") << "left by a crash";
        std::ofstream(folder / "keep.part") << "not ours";
        h.pairBothSides();
        model = &h.start();
        h.plugInCable();
        EXPECT_TRUE(h.pumpUntil(ConnState::Kind::connected));
        session = model->liveSession();
    }
    void offer(std::uint32_t tid, const nlohmann::json& name, std::int64_t size, const std::string& digest) {
        model->receiveOffer(
            *session,
            {{"t", "file.offer"}, {"tid", tid}, {"name", name}, {"size", size}, {"sha256", digest}});
    }
    void chunk(std::uint32_t tid, const std::string& data) {
        model->receiveFileChunk(*session, record(tid, data));
    }
    std::filesystem::path write(const std::string& name, const std::string& bytes) {
        std::ofstream(h.dir.path() / name, std::ios::binary) << bytes;
        return h.dir.path() / name;
    }
    // The offer the phone got for `name`, whole.
    nlohmann::json offerOf(const std::string& name) {
        const std::string entry = h.journal->waitFor("phone {\"name\":\"" + name + "\"");
        return entry.empty() ? nlohmann::json() : nlohmann::json::parse(entry.substr(6));
    }
    std::uint32_t tidOf(const std::string& name) { return offerOf(name).value("tid", 0U); }
    // The model's reply that starts so, as the phone got it ("" when none came).
    std::string reply(const std::string& start) { return h.journal->waitFor("phone {" + start); }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::ranges::sort(names);
        return names;
    }
    // Moves the fake clock second by second, letting the pongs in, so the silence watch keeps the session.
    void pass(int seconds) {
        for (int i = 0; i < seconds; ++i) {
            h.advance(1);
            EXPECT_TRUE(h.pumpUntil([&] { return h.exec->now() - session->lastRx() < 4; }));
        }
    }
    // Passes fake seconds until the status shows `text`; how many it took, or -1 after a real minute.
    int passUntil(const std::string& text) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        for (int n = 0;; ++n) {
            h.exec->runPending();
            if (model->state().transferText == text) return n;
            if (std::chrono::steady_clock::now() > giveUp) return -1;
            pass(1);
        }
    }
    bool textIs(const std::string& text) {
        return h.pumpUntil([&] { return model->state().transferText == text; });
    }
    std::string sentTo(std::uint32_t tid) {
        std::lock_guard lock(mutex);
        return sent[tid];
    }

    std::mutex mutex;                           // guards sent
    std::map<std::uint32_t, std::string> sent;  // file bytes the phone got, by transfer id
    ModelHarness h{phoneConfig()};
    std::filesystem::path folder = h.dir.path() / "Downloads" / "Velmora";
    AppModel* model = nullptr;
    std::shared_ptr<LinkSession> session;
};

}  // namespace velmora::test
