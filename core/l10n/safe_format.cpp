#include "core/l10n/safe_format.h"

#include <optional>

namespace velmora {

namespace {

struct Placeholder {
    std::size_t length = 0;               // bytes from the "%" through the conversion
    std::optional<std::size_t> position;  // 0-based argument of a "%N$" placeholder
};

// Reads the placeholder that starts with the "%" at `at`; nothing when it is not one we know.
std::optional<Placeholder> readPlaceholder(std::string_view s, std::size_t at) {
    std::size_t i = at + 1;
    Placeholder p;
    std::size_t digits = 0;
    std::size_t number = 0;
    while (i + digits < s.size() && s[i + digits] >= '0' && s[i + digits] <= '9') {
        // Saturates: an absurd position simply has no argument.
        if (number < 1'000'000) number = number * 10 + static_cast<std::size_t>(s[i + digits] - '0');
        ++digits;
    }
    if (digits > 0) {
        if (i + digits >= s.size() || s[i + digits] != '$' || number == 0) return std::nullopt;
        p.position = number - 1;
        i += digits + 1;
    }
    for (std::string_view conversion : {"@", "d", "ld", "lld"}) {
        if (s.substr(i, conversion.size()) == conversion) {
            p.length = i + conversion.size() - at;
            return p;
        }
    }
    return std::nullopt;
}

void appendArg(std::string& out, const FormatArg& arg) {
    if (const auto* text = std::get_if<std::string>(&arg)) {
        out += *text;
    } else {
        out += std::to_string(std::get<std::int64_t>(arg));
    }
}

}  // namespace

std::string safeFormat(std::string_view pattern, const std::vector<FormatArg>& args) {
    std::string out;
    out.reserve(pattern.size());
    std::size_t nextSequential = 0;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const std::size_t percent = pattern.find('%', i);
        out.append(pattern.substr(i, percent - i));
        if (percent == std::string_view::npos) break;
        if (pattern.substr(percent, 2) == "%%") {
            out.push_back('%');
            i = percent + 2;
            continue;
        }
        const auto placeholder = readPlaceholder(pattern, percent);
        if (!placeholder) {
            out.push_back('%');
            i = percent + 1;
            continue;
        }
        const std::size_t index = placeholder->position ? *placeholder->position : nextSequential++;
        if (index < args.size()) {
            appendArg(out, args[index]);
        } else {
            out.append(pattern.substr(percent, placeholder->length));
        }
        i = percent + placeholder->length;
    }
    return out;
}

}  // namespace velmora
