#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/model/features/phone_app.h"
#include "core/protocol/inbound.h"

namespace velmora {

// A checked "mirror.started": the picture's size (each side 16...8192) and its sound, absent when the phone
// sent none or an invalid one.
struct MirrorStart {
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::optional<Inbound::AudioFormat> audio;
    bool operator==(const MirrorStart&) const = default;
};

// The phone taking over or giving back the control of its screen.
enum class PhoneControlNotice : std::uint8_t { paused, resumed };

// Whether the phone has paused our control, as its notices last said.
struct ControlPauseState {
    bool paused = false;
    // True when the notice changed the state.
    bool apply(PhoneControlNotice notice);
    void reset() { paused = false; }
    bool operator==(const ControlPauseState&) const = default;
};

// One control message of the phone, read and checked: each type holds only values within their limits.
namespace ControlEvent {
struct Status {
    Inbound::Status status;
    bool operator==(const Status&) const = default;
};
struct Pong {
    std::int64_t rttMs = 0;
    bool operator==(const Pong&) const = default;
};
struct BenchChunk {
    std::int64_t bytes = 0;  // what the chunk's base64 text carries
    bool operator==(const BenchChunk&) const = default;
};
struct BenchEnd {
    bool operator==(const BenchEnd&) const = default;
};
struct NetOffer {
    Inbound::NetOffer offer;
    bool operator==(const NetOffer&) const = default;
};
struct Diag {
    std::string infoBlock;  // quoted, line by line
    std::string logBlock;
    bool operator==(const Diag&) const = default;
};
struct Control {
    PhoneControlNotice notice = PhoneControlNotice::paused;
    bool operator==(const Control&) const = default;
};
struct Caps {
    std::optional<std::string> version;  // a log token, "?" when unfit
    std::int64_t build = 0;
    bool operator==(const Caps&) const = default;
};
struct Apps {
    std::vector<PhoneApp> apps;
    bool operator==(const Apps&) const = default;
};
struct NotifPost {
    bool operator==(const NotifPost&) const = default;
};
struct NotifRemove {
    std::string key;
    bool operator==(const NotifRemove&) const = default;
};
struct ClipSet {
    std::string text;  // at most 400000 bytes
    bool operator==(const ClipSet&) const = default;
};
struct FileOffer {
    bool operator==(const FileOffer&) const = default;
};
struct FileAccept {
    std::uint32_t tid = 0;
    bool operator==(const FileAccept&) const = default;
};
struct FileReject {
    std::uint32_t tid = 0;
    bool operator==(const FileReject&) const = default;
};
struct FileDone {
    std::uint32_t tid = 0;
    bool ok = false;
    bool operator==(const FileDone&) const = default;
};
struct MirrorStarted {
    std::optional<MirrorStart> start;  // absent when the size is invalid
    bool operator==(const MirrorStarted&) const = default;
};
struct MirrorStopped {
    bool operator==(const MirrorStopped&) const = default;
};
struct MirrorError {
    std::string text;  // the sentence shown
    std::optional<std::string> code;
    bool operator==(const MirrorError&) const = default;
};
struct PhoneError {
    std::string text;
    std::optional<std::string> code;
    bool operator==(const PhoneError&) const = default;
};

using Any = std::variant<Status, Pong, BenchChunk, BenchEnd, NetOffer, Diag, Control, Caps, Apps, NotifPost,
                         NotifRemove, ClipSet, FileOffer, FileAccept, FileReject, FileDone, MirrorStarted,
                         MirrorStopped, MirrorError, PhoneError>;

// The limits of the readers.
inline constexpr std::int64_t kBenchChunkMax = 4096;  // scalars of "d"
inline constexpr std::int64_t kDiagTextMax = 100000;  // scalars of "info" and "log"
inline constexpr std::int64_t kDiagInfoLines = 200;
inline constexpr std::int64_t kDiagLogLines = 1000;
inline constexpr std::int64_t kDiagLineScalars = 400;
inline constexpr std::size_t kAppsMax = 5000;         // entries of "apps"
inline constexpr std::int64_t kAppFieldMax = 256;     // scalars of "pkg" and "name" as read
inline constexpr std::int64_t kAppNameScalars = 100;  // of the kept name
inline constexpr std::int64_t kAppNameBytes = 400;
inline constexpr std::size_t kClipMaxBytes = 400000;  // UTF-8 bytes of "text"
inline constexpr std::int64_t kErrorCodeMax = 64;     // scalars of "code"
inline constexpr std::int64_t kErrorScalars = 300;    // of "message"
inline constexpr std::int64_t kErrorBytes = 1200;
inline constexpr std::int64_t kNetOfferDefaultPort = 47625;
}  // namespace ControlEvent

// Reads one control message; absent for an empty object, a missing or non-text "t", an unknown type, or a
// message its type's rules ignore. `nowMs` is the wall clock in ms, for the round trip of "pong". Pure;
// any thread.
std::optional<ControlEvent::Any> parseControl(const nlohmann::json& message, double nowMs);

}  // namespace velmora
