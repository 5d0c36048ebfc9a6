#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/shell/logic/panel_inputs.h"

namespace velmora {

// One row of the phones found: one phone, merged over the links it was seen on.
struct PhoneGroup {
    std::string id;        // the network phone's id when the row starts from one, else the shown phone's
    DiscoveredPhone best;  // shown, and connected to
    bool paired = false;

    bool operator==(const PhoneGroup&) const = default;
};

// `name` with every occurrence of the cable suffix text, then of the Bluetooth suffix text, removed (an
// empty suffix removes nothing).
std::string stripLinkSuffixes(std::string_view name, std::string_view usbSuffix, std::string_view bleSuffix);

// The phones found as rows: network phones (first of each id; each hides the Bluetooth phones whose device
// prefix begins its id, and a paired one takes the cable phone of its name as its best), then the cable
// phones left, then the Bluetooth phones not hidden; paired rows first, order kept within each half.
// `usbSuffix` and `bleSuffix` are the texts the discovery appends to cable and Bluetooth names.
std::vector<PhoneGroup> phoneGroups(const PanelInputs& in, std::string_view usbSuffix,
                                    std::string_view bleSuffix);
// The same with the suffix texts of the current language.
std::vector<PhoneGroup> phoneGroups(const PanelInputs& in);

}  // namespace velmora
