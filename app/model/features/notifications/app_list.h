#pragma once

#include <cstddef>
#include <vector>

#include "app/model/features/phone_app.h"

namespace velmora::AppList {

// The most apps the list keeps: as many as one "apps" message may carry. Apps learned from notifications
// past this are not added, so a phone inventing a package per notification cannot grow it without end.
inline constexpr std::size_t maxApps = 5000;

// Ascending by the lower-cased name (full Unicode lower-casing), compared scalar by scalar; stable.
void sort(std::vector<PhoneApp>& apps);

// The phone's list over the current one: an entry of the phone replaces the one with its package (a later
// duplicate wins), apps only the computer learned stay; the result sorted. Over `maxApps`, learned apps are
// dropped from the end of the current list.
std::vector<PhoneApp> merge(const std::vector<PhoneApp>& current, const std::vector<PhoneApp>& received);

}  // namespace velmora::AppList
