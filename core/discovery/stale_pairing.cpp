#include "core/discovery/stale_pairing.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <limits>
#include <set>

namespace velmora::StalePairing {
namespace {

std::string asciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

// Case- and diacritic-insensitive folding: decompose, drop the combining marks, fold case, recompose.
// "É" and "e" + U+0301 therefore fold alike, as canonical equivalence demands.
icu::UnicodeString fold(std::string_view name) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    // Ill-formed UTF-8 becomes U+FFFD here, never a read past the text. ICU lengths are int32_t: a name
    // past 2 GiB (never a real one) is folded from its start rather than wrapped to a negative length.
    const auto length =
        static_cast<int32_t>(std::min<std::size_t>(name.size(), std::numeric_limits<int32_t>::max()));
    const icu::UnicodeString input = icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), length));
    if (U_FAILURE(status)) return input;
    const icu::UnicodeString decomposed = nfd->normalize(input, status);
    icu::UnicodeString bare;
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK) bare.append(c);
        i += U16_LENGTH(c);
    }
    bare.foldCase(U_FOLD_CASE_DEFAULT);
    icu::UnicodeString composed = nfc->normalize(bare, status);
    return U_FAILURE(status) ? bare : composed;
}

}  // namespace

std::string normalizedName(std::string_view name) {
    icu::UnicodeString folded = fold(name);
    if (const int32_t paren = folded.indexOf(static_cast<UChar>(u'(')); paren >= 0) folded.truncate(paren);

    icu::UnicodeString joined;
    bool pendingBlank = false;
    for (int32_t i = 0; i < folded.length();) {
        const UChar32 c = folded.char32At(i);
        i += U16_LENGTH(c);
        if (u_hasBinaryProperty(c, UCHAR_WHITE_SPACE)) {
            pendingBlank = !joined.isEmpty();
            continue;
        }
        if (pendingBlank) joined.append(static_cast<UChar>(u' '));
        pendingBlank = false;
        joined.append(c);
    }
    std::string out;
    joined.toUTF8String(out);
    return out;
}

std::vector<StalePair> find(const std::vector<Device>& paired, const std::vector<Device>& seen,
                            const std::vector<std::string>& blePrefixes) {
    std::set<std::string, std::less<>> pairedIDs, seenIDs;
    for (const Device& d : paired)
        pairedIDs.insert(d.id);
    for (const Device& d : seen)
        seenIDs.insert(d.id);
    std::vector<std::string> prefixes;
    for (const std::string& p : blePrefixes) {
        if (!p.empty()) prefixes.push_back(asciiLower(p));
    }

    // Names of seen phones that are not paired under their own id, normalised once.
    std::vector<std::pair<const Device*, std::string>> candidates;
    for (const Device& d : seen) {
        if (pairedIDs.count(d.id) == 0) candidates.emplace_back(&d, normalizedName(d.name));
    }

    std::vector<StalePair> out;
    for (const Device& stored : paired) {
        if (seenIDs.count(stored.id) != 0) continue;
        const std::string lowerID = asciiLower(stored.id);
        const bool beaconed = std::any_of(prefixes.begin(), prefixes.end(),
                                          [&](const std::string& p) { return lowerID.starts_with(p); });
        if (beaconed) continue;
        const std::string name = normalizedName(stored.name);
        if (name.empty()) continue;
        const auto match = std::find_if(candidates.begin(), candidates.end(),
                                        [&](const auto& candidate) { return candidate.second == name; });
        if (match != candidates.end()) out.push_back({stored.id, stored.name, match->first->id});
    }
    return out;
}

}  // namespace velmora::StalePairing
