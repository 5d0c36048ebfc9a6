#include "live/live_phone.h"

namespace velmora::live {

using nlohmann::json;

namespace {

companion::CompanionSettings recording(companion::CompanionSettings settings, std::mutex& mutex,
                                       std::vector<std::string>& said) {
    settings.say = [&mutex, &said, inner = settings.say](const std::string& line) {
        {
            std::lock_guard lock(mutex);
            said.push_back(line);
        }
        if (inner) inner(line);
    };
    return settings;
}

}  // namespace

LivePhone::LivePhone(companion::CompanionSettings settings)
    : phone_(recording(std::move(settings), mutex_, said_)), server_(phone_) {}

LivePhone::~LivePhone() = default;

std::vector<json> LivePhone::received(const std::string& t) const {
    std::vector<json> out;
    for (const json& m : phone_.inbox().controls())
        if (m.value("t", "") == t) out.push_back(m);
    return out;
}

std::vector<std::string> LivePhone::saidStarting(const std::string& start) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& line : said_)
        if (line.starts_with(start)) out.push_back(line.substr(start.size()));
    return out;
}

std::vector<std::string> LivePhone::shownCodes() const {
    return saidStarting("código de pareamento: ");
}

int LivePhone::sessions() const {
    return static_cast<int>(saidStarting("sessão pronta").size());
}

}  // namespace velmora::live
