#include "core/l10n/l10n.h"

#include <mutex>

#include "core/l10n/embedded_strings.h"
#include "core/text/split.h"

namespace velmora::L10n {

namespace {

// The patterns of the number forms: a translator may change them through the tables.
constexpr std::string_view kClockKey = "l10n.clock";      // minutes, then two-digit seconds as a text
constexpr std::string_view kPercentKey = "l10n.percent";  // the whole percentage
constexpr std::string_view kClockFallback = "%1$ld:%2$@";
constexpr std::string_view kPercentFallback = "%ld%%";

struct Settings {
    std::mutex mutex;  // guards the three fields below
    std::shared_ptr<const Bundle> bundle;
    Environment environment;
    std::optional<std::string> localeOverride;
};

// The language of this thread's innermost LanguageScope; unset outside any.
thread_local std::optional<std::string> scopedLanguage;

Settings& settings() {
    static Settings s;
    return s;
}

std::shared_ptr<const Bundle> currentBundle() {
    auto& s = settings();
    std::lock_guard lock(s.mutex);
    if (s.bundle) return s.bundle;
    // Shares the embedded tables without owning them: they live for the whole process.
    return std::shared_ptr<const Bundle>(std::shared_ptr<const Bundle>{}, &embeddedBundle());
}

Environment currentEnvironment() {
    auto& s = settings();
    std::lock_guard lock(s.mutex);
    return s.environment ? s.environment : processEnvironment();
}

std::optional<std::string> lookup(std::string_view language, std::string_view key) {
    const auto tables = currentBundle();
    const auto table = tables->find(language);
    if (table == tables->end()) return std::nullopt;
    const auto entry = table->second.find(key);
    if (entry == table->second.end()) return std::nullopt;
    return entry->second;
}

// The language whose tables hold the number forms of the formatting locale.
std::string formsLanguage() {
    const std::string language = languageOf(locale());
    if (language == "en") return "en";
    if (language == "pt") return std::string(kDefaultLanguage);
    return languageCode();
}

std::string formatNumber(std::string_view key, std::string_view fallback, const std::vector<Arg>& args) {
    const auto pattern = lookup(formsLanguage(), key);
    return safeFormat(pattern ? std::string_view(*pattern) : fallback, args);
}

}  // namespace

std::string string(std::string_view key) {
    return lookup(languageCode(), key).value_or(std::string(key));
}

std::string format(std::string_view key, const std::vector<Arg>& args) {
    const auto pattern = lookup(languageCode(), key);
    // A missing key shows as itself; it is not used as a pattern.
    if (!pattern) return std::string(key);
    return safeFormat(*pattern, args);
}

std::string languageCode() {
    if (scopedLanguage) return *scopedLanguage;
    const auto preferred = firstSet(currentEnvironment(), {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"});
    if (!preferred) return std::string(kDefaultLanguage);
    // LANGUAGE lists languages in order of preference ("de:en"): the first one we have texts for wins, so a
    // user who asks for German, else English, reads English.
    for (const std::string_view entry : Split::pieces(*preferred, ':')) {
        if (entry.starts_with("en")) return "en";
        if (const auto id = localeIdentifier(entry); id && languageOf(*id) == "pt") break;
    }
    return std::string(kDefaultLanguage);
}

LanguageScope::LanguageScope(std::string language) : outer_(std::move(scopedLanguage)) {
    scopedLanguage = std::move(language);
}

LanguageScope::~LanguageScope() {
    scopedLanguage = std::move(outer_);
}

std::string locale() {
    if (auto forced = localeOverride()) return *forced;
    const std::string application = languageCode();
    const auto userName = firstSet(currentEnvironment(), {"LC_ALL", "LC_NUMERIC", "LANG"});
    const auto user = userName ? localeIdentifier(*userName) : std::nullopt;
    if (user && languageOf(*user) == languageOf(application)) return *user;
    return application;
}

std::optional<std::string> localeOverride() {
    auto& s = settings();
    std::lock_guard lock(s.mutex);
    return s.localeOverride;
}

void setLocaleOverride(std::optional<std::string> identifier) {
    auto& s = settings();
    std::lock_guard lock(s.mutex);
    s.localeOverride = std::move(identifier);
}

std::string clock(std::int64_t seconds) {
    const std::int64_t total = std::max<std::int64_t>(seconds, 0);
    const std::int64_t secs = total % 60;
    std::string twoDigits = std::to_string(secs);
    if (secs < 10) twoDigits.insert(twoDigits.begin(), '0');
    return formatNumber(kClockKey, kClockFallback, {total / 60, twoDigits});
}

std::string percent(std::int64_t value) {
    return formatNumber(kPercentKey, kPercentFallback, {value});
}

const Bundle& embeddedBundle() {
    static const Bundle tables = [] {
        Bundle b;
        for (const auto& language : embedded::languages()) {
            Table& t = b[std::string(language.name)];
            for (const auto& e : language.entries)
                t.emplace(e.key, e.text);
        }
        return b;
    }();
    return tables;
}

std::shared_ptr<const Bundle> bundle() {
    return currentBundle();
}

void setBundle(std::shared_ptr<const Bundle> tables) {
    auto& s = settings();
    std::lock_guard lock(s.mutex);
    s.bundle = std::move(tables);
}

void setEnvironment(Environment environment) {
    auto& s = settings();
    std::lock_guard lock(s.mutex);
    s.environment = std::move(environment);
}

}  // namespace velmora::L10n
