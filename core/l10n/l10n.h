#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/l10n/environment.h"
#include "core/l10n/safe_format.h"

namespace velmora::L10n {

// Localisation: every text a user sees is a key looked up here, in Brazilian Portuguese ("pt-BR", the
// default) or English ("en"). The tables are compiled in from resources/strings/<language>/*.json.
//
// Every function may be called from any thread; the settings (bundle, environment, locale override) are
// read anew on each call and guarded by one lock, so a test may change them between calls.

// One argument of `format`: a text or a whole number.
using Arg = FormatArg;
// A string table (key -> text), and a bundle of tables by language.
using Table = std::map<std::string, std::string, std::less<>>;
using Bundle = std::map<std::string, Table, std::less<>>;

inline constexpr std::string_view kDefaultLanguage = "pt-BR";

// The text of `key` in the current language; the key itself when the table has no entry.
std::string string(std::string_view key);

// The text of `key` filled with `args` by safeFormat (core/l10n/safe_format.h), which never reads past the
// arguments given; the key itself when the table has no entry.
std::string format(std::string_view key, const std::vector<Arg>& args);

// The language of the texts, "en" or "pt-BR": the first of LANGUAGE, LC_ALL, LC_MESSAGES, LANG that is set
// and not empty decides; in a colon-separated list the first entry that begins with "en" or names Portuguese
// counts; "pt-BR" when none does.
std::string languageCode();

// While it lives, the texts this thread makes are in `language` ("pt-BR" or "en") whatever the environment
// says, and numbers in that language's own forms; other threads keep theirs. Scopes nest.
class LanguageScope {
  public:
    explicit LanguageScope(std::string language);
    ~LanguageScope();
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

  private:
    std::optional<std::string> outer_;
};

// The log is in Portuguese whatever the session's language.
inline constexpr std::string_view kLogLanguage = kDefaultLanguage;

// What `make()` builds, made on this thread with the texts in the log's language: a log line that quotes
// what the user is told reads the same in every session.
template <class Make>
auto forLog(Make&& make) {
    const LanguageScope logLanguage{std::string(kLogLanguage)};
    return std::forward<Make>(make)();
}

// The locale numbers and durations are formatted in, as an identifier ("pt-BR", "en-GB"): the override
// when set; else the user's own locale (LC_ALL, LC_NUMERIC, LANG) when its language is that of the texts,
// so regional formats are kept; else the language of the texts.
std::string locale();
std::optional<std::string> localeOverride();
void setLocaleOverride(std::optional<std::string> identifier);

// A duration as minutes and two-digit seconds, with no hours field: 3725 gives "62:05"; negative gives
// "0:00".
std::string clock(std::int64_t seconds);

// A whole percentage, neither limited nor adjusted: 42 gives "42%", -5 gives "-5%".
std::string percent(std::int64_t value);

// The tables compiled into the binary.
const Bundle& embeddedBundle();
// The tables `string` and `format` read; setBundle(nullptr) restores the embedded ones.
std::shared_ptr<const Bundle> bundle();
void setBundle(std::shared_ptr<const Bundle> tables);
// Where the language and the user's locale are read; setEnvironment(nullptr) restores the process's.
void setEnvironment(Environment environment);

}  // namespace velmora::L10n
