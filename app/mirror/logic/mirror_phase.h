#pragma once

#include <optional>
#include <string>

namespace velmora {

// What a mirror window is doing, as its chrome shows it.
class MirrorPhase {
  public:
    enum class Kind {
        failed,            // mirroring failed; failureText() is the reason shown to the user
        awaitingApproval,  // the phone waits for its user to allow the screen capture
        loading,           // waiting for the first picture of a (new) stream
        live,              // pictures arrive and are shown
        reconnecting,      // the link is silent or lost
        unresponsive,      // reconnecting has lasted MirrorLoss::unresponsiveAfter or more
        restored,          // the link is back after a loss; kept until the next stream starts or a retry
    };

    MirrorPhase(Kind kind = Kind::loading) : kind_(kind) {}  // NOLINT: a phase reads as its kind
    static MirrorPhase failed(std::string text);

    Kind kind() const { return kind_; }
    const std::string& failureText() const { return text_; }
    bool operator==(const MirrorPhase&) const = default;

  private:
    Kind kind_;
    std::string text_;  // empty unless failed
};

// The mirror window's phase machine with the three facts the window keeps beside the phase. Pure: the time
// is passed in (seconds on the monotonic clock). Fields are open so that the snapshot tool can stage a phase
// directly.
struct MirrorPhaseMachine {
    MirrorPhase phase;
    bool gotFrame = false;   // a picture has been shown since the stream started
    bool softStall = false;  // the current reconnecting comes from a stall report, not a closed session
    std::optional<double> lostSince;  // since when the link is stalled or lost

    // The first picture after a feeder reset.
    void firstPicture();
    // The heartbeat's report: nothing (or again something) received for more than MirrorLoss::stallAfter.
    void setStalled(bool stalled, double now);
    // The session closed while mirroring and the link is being sought again.
    void connectionLost(double now);
    // The window's 1 s tick.
    void tick(double now);
    // The application is connected again.
    void connectionRestored();
    // The user pressed retry.
    void retrying();
    // The phone started a stream (a video size with both sides positive).
    void streamStarted();
    // The phone waits for its user's permission to capture the screen.
    void showAwaitingApproval();
    // The phone reported a mirroring error.
    void fail(std::string text);
};

}  // namespace velmora
