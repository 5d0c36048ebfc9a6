#pragma once

#include <ostream>
#include <variant>

#include "app/model/connection_planner.h"

// Readable failure messages for the planner's values.
namespace velmora {

inline void PrintTo(const PlannedTarget& t, std::ostream* os) {
    std::visit(
        [os](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, PlannedTarget::Usb>) *os << "usb(" << v.serial << ")";
            if constexpr (std::is_same_v<T, PlannedTarget::DnsSd>)
                *os << "dnsSd(" << v.phoneID << ", " << v.endpointKey << ")";
            if constexpr (std::is_same_v<T, PlannedTarget::Ip>) *os << "ip(" << v.address << ")";
            if constexpr (std::is_same_v<T, PlannedTarget::Gateway>) *os << "gateway(" << v.address << ")";
            if constexpr (std::is_same_v<T, PlannedTarget::Ble>) *os << "ble(" << v.id << ")";
        },
        t.value);
}

inline void PrintTo(const Attempt& a, std::ostream* os) {
    *os << "{" << rawValue(a.kind) << " key=" << a.key << " label=" << a.label
        << " expected=" << a.expected.value_or("-") << " timeout=" << a.connectTimeout << " target=";
    PrintTo(a.target, os);
    *os << " note=" << a.note.value_or("-") << "}";
}

inline void PrintTo(const ConnectionPlanner::UpgradeTry& t, std::ostream* os) {
    *os << "{" << t.key << " ";
    PrintTo(t.target, os);
    *os << "}";
}

}  // namespace velmora
