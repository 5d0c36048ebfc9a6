#pragma once

#include <QObject>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/shell/logic/pairing_code.h"

namespace velmora {

// What the pairing dialog shows: the phone's name, the code, the seconds of validity left and whether
// Confirm may be used. changed() follows every change of `left` or `ready`. Main thread only.
class PairingModel : public QObject {
    Q_OBJECT
  public:
    PairingModel(std::string peerName, std::string code, int seconds, bool ready)
        : peerName(std::move(peerName)),
          raw(std::move(code)),
          digits(PairingCode::digits(raw)),
          left_(std::max(0, seconds)),
          ready_(ready) {}

    const std::string peerName;
    const std::string raw;
    const std::vector<std::string> digits;
    // Where the user's answer goes; the dialog sets it.
    std::function<void(bool yes)> onDecide;

    int left() const { return left_; }
    bool ready() const { return ready_; }
    bool expired() const { return left_ == 0; }
    void setLeft(int left) {
        left = std::max(0, left);
        if (left == left_) return;
        left_ = left;
        emit changed();
    }
    void setReady(bool ready) {
        if (ready == ready_) return;
        ready_ = ready;
        emit changed();
    }
    void decide(bool yes) {
        if (onDecide) onDecide(yes);
    }

  signals:
    void changed();

  private:
    int left_;
    bool ready_;
};

}  // namespace velmora
