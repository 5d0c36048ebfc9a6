#pragma once

#include <span>
#include <string_view>

namespace velmora::L10n::embedded {

// The string tables compiled into the binary (generated at build time from resources/strings).
struct Entry {
    std::string_view key;
    std::string_view text;
};

struct Language {
    std::string_view name;  // "pt-BR", "en"
    std::span<const Entry> entries;
};

std::span<const Language> languages();

}  // namespace velmora::L10n::embedded
