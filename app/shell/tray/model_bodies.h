#pragma once

#include <memory>

#include "app/shell/panel/panel_body.h"
#include "app/shell/phones/list_rules.h"

namespace velmora {

class AppModel;
class PhoneListActions;

// What the phone-list bodies need from the application besides the panel's own view.
struct PhoneListHost {
    PhoneListActions& actions;
    PhoneQueries queries;
    bool adbMissing = false;
    std::weak_ptr<AppModel> model;  // for the connected phone's card
};

// The list's questions about a phone, answered by the model (nothing is paired once it is gone).
PhoneQueries modelQueries(std::weak_ptr<AppModel> model);

// The phone-list body for a panel state, or none for the connected state.
std::optional<ListBody> listBodyFor(PanelState::Kind kind);
// The panel's grouped phones as the list's entries.
std::vector<ListedPhone> listedPhones(const std::vector<PhoneGroup>& groups);

// The bodies of the application's panel, one per kind of state; `host` outlives every body it makes.
BodyFactory modelBodies(PhoneListHost host);

}  // namespace velmora
