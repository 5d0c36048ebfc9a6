#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// The link state the panel shows: an attempt running, a session standing (each with the text shown for
// it), or neither.
class ConnState {
  public:
    enum class Kind : std::uint8_t { connecting, connected, idle };

    ConnState() = default;  // idle
    static ConnState connecting(std::string label) { return {Kind::connecting, std::move(label)}; }
    static ConnState connected(std::string label) { return {Kind::connected, std::move(label)}; }
    static ConnState idle() { return {}; }

    Kind kind() const { return kind_; }
    // The shown text; empty when idle.
    const std::string& label() const { return label_; }

    bool operator==(const ConnState&) const = default;

  private:
    ConnState(Kind kind, std::string label) : kind_(kind), label_(std::move(label)) {}

    Kind kind_ = Kind::idle;
    std::string label_;
};

}  // namespace velmora
