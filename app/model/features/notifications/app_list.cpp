#include "app/model/features/notifications/app_list.h"

#include <unicode/ustring.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

namespace velmora::AppList {

namespace {

// The root locale's full lower-casing ("İ" becomes two scalars). UTF-8 byte order is scalar order, so the
// results compare as plain strings. A name ICU cannot convert sorts by its bytes.
std::string lowered(const std::string& name) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8WithSub(nullptr, 0, &length, name.data(), static_cast<int32_t>(name.size()), 0xFFFD, nullptr,
                         &status);
    status = U_ZERO_ERROR;
    std::u16string wide(static_cast<std::size_t>(length), u'\0');
    u_strFromUTF8WithSub(wide.data(), length, nullptr, name.data(), static_cast<int32_t>(name.size()), 0xFFFD,
                         nullptr, &status);
    if (U_FAILURE(status)) return name;
    std::u16string low(wide.size() * 3 + 1, u'\0');
    status = U_ZERO_ERROR;
    const int32_t lowLength =
        u_strToLower(low.data(), static_cast<int32_t>(low.size()), wide.data(), length, "", &status);
    if (U_FAILURE(status)) return name;
    std::string out(static_cast<std::size_t>(lowLength) * 3, '\0');
    int32_t outLength = 0;
    status = U_ZERO_ERROR;
    u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &outLength, low.data(), lowLength, &status);
    if (U_FAILURE(status)) return name;
    out.resize(static_cast<std::size_t>(outLength));
    return out;
}

}  // namespace

void sort(std::vector<PhoneApp>& apps) {
    std::vector<std::pair<std::string, PhoneApp>> keyed;
    keyed.reserve(apps.size());
    for (auto& app : apps)
        keyed.emplace_back(lowered(app.name), std::move(app));
    std::ranges::stable_sort(keyed, {}, &std::pair<std::string, PhoneApp>::first);
    apps.clear();
    for (auto& [key, app] : keyed)
        apps.push_back(std::move(app));
}

std::vector<PhoneApp> merge(const std::vector<PhoneApp>& current, const std::vector<PhoneApp>& received) {
    std::map<std::string, PhoneApp> byPkg;
    for (const auto& app : current)
        byPkg.insert_or_assign(app.pkg, app);
    std::set<std::string> fromPhone;
    for (const auto& app : received) {
        byPkg.insert_or_assign(app.pkg, app);
        fromPhone.insert(app.pkg);
    }
    // Over the bound, the apps only the computer learned give way first.
    for (auto it = current.rbegin(); byPkg.size() > maxApps && it != current.rend(); ++it)
        if (!fromPhone.contains(it->pkg)) byPkg.erase(it->pkg);
    std::vector<PhoneApp> out;
    out.reserve(byPkg.size());
    for (auto& [pkg, app] : byPkg)
        out.push_back(std::move(app));
    sort(out);
    return out;
}

}  // namespace velmora::AppList
