#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "app/shell/logic/panel_state.h"
#include "app/shell/panel/panel_port.h"

namespace velmora {

// What a body sees on each refresh: the inputs and what the rules made of them.
struct PanelView {
    const PanelInputs& inputs;
    const PanelState& state;
    const std::vector<PhoneGroup>& groups;
    bool dropping = false;  // a file drag hovers over the panel while connected
};

// The part of the panel that depends on the panel state (the phone list, the connected card, the
// connecting card, ...). The frame makes one when the kind of state changes and after that only calls
// refresh(), so typed text, open folds, hover and focus inside it survive the model's updates.
class PanelBody : public QWidget {
    Q_OBJECT
  public:
    explicit PanelBody(QWidget* parent = nullptr) : QWidget(parent) {}
    virtual void refresh(const PanelView& view) = 0;
};

// Makes the body for a kind of panel state; `actions` outlive it.
using BodyFactory = std::function<PanelBody*(PanelState::Kind kind, const PanelActions& actions)>;

// The bodies of this build: each a short line until the bodies of its own take its place.
PanelBody* placeholderBody(PanelState::Kind kind, const PanelActions& actions);

}  // namespace velmora
