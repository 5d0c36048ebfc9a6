// This computer is never called a Mac in anything a person reads: the string tables, and the log lines the
// diagnostics report copies. The phone's protocol still expects "Mac" as the model in "caps" and "mac" as the
// platform in "auth"; those wire values are the listed exceptions, and nothing else may carry the word.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

namespace velmora {
namespace {

namespace fs = std::filesystem;

// The word on its own, in any case: "Mac", "mac", "MAC", "macOS"; not "machine", "macro" or "mac1".
const std::regex& macWord() {
    static const std::regex word(R"((^|[^A-Za-z0-9_])(mac|macos)([^A-Za-z0-9_]|$))", std::regex::icase);
    return word;
}

bool saysMac(const std::string& text) {
    return std::regex_search(text, macWord());
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The string literals of one C++ source, each with its line; adjacent literals are joined as the compiler
// joins them, so a sentence split over two lines is judged whole.
std::vector<std::pair<std::string, int>> literals(const std::string& text) {
    std::vector<std::pair<std::string, int>> found;
    std::string current;
    int line = 1, startLine = 0;
    bool open = false;  // a literal ended and only blanks followed it so far
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') ++line;
        if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {  // comments say what they like
            while (i < text.size() && text[i] != '\n')
                ++i;
            ++line;
            continue;
        }
        if (c == '\'') {  // a character literal, which may be '"'
            i += text[i + 1] == '\\' ? 3 : 2;
            continue;
        }
        if (c == '"') {
            if (!open) startLine = line, current.clear();
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\') ++i;
                current += text[i];
            }
            open = true;
            continue;
        }
        if (open && c != ' ' && c != '\n' && c != '\t' && c != '\r') {
            found.emplace_back(current, startLine);
            open = false;
        }
    }
    if (open) found.emplace_back(current, startLine);
    return found;
}

// A string table key ("guide.perms.mac"): looked up, never read by a person.
bool isKey(const std::string& text) {
    static const std::regex key(R"([a-z0-9_]+(\.[a-z0-9_]+)+)");
    return std::regex_match(text, key);
}

// The wire values the phone relies on, by file and exact literal.
const std::set<std::pair<std::string, std::string>>& wireValues() {
    static const std::set<std::pair<std::string, std::string>> values{
        {"app/model/connection/session_opening.cpp", "Mac"},  // "model" in "caps"
        {"core/identity/keychain_identity.h", "mac"},         // "platform" in "auth"
        {"app/model/preview_identity.h", "mac"},              // the same platform in preview runs
    };
    return values;
}

TEST(ComputerName, TheWordMatchesOnlyOnItsOwn) {
    struct Case {
        const char* text;
        bool says;
    };
    for (const Case& c : std::vector<Case>{{"este Mac", true},
                                           {"Mac", true},
                                           {"o mac do usuário", true},
                                           {"macOS 14", true},
                                           {"Bluetooth do Mac: 5", true},
                                           {"(Mac)", true},
                                           {"machine", false},
                                           {"macro", false},
                                           {"guide.perms.mac1", false},
                                           {"este computador", false},
                                           {"iMac", false}})
        EXPECT_EQ(saysMac(c.text), c.says) << c.text;
}

TEST(ComputerName, NoStringTableTextSaysMac) {
    const fs::path tables = fs::path(VELMORA_SOURCE_DIR) / "resources" / "strings";
    int texts = 0;
    for (const auto& entry : fs::recursive_directory_iterator(tables)) {
        if (entry.path().extension() != ".json") continue;
        const auto table = nlohmann::json::parse(readAll(entry.path()));
        for (const auto& [key, text] : table.items()) {
            ++texts;
            EXPECT_FALSE(saysMac(text.get<std::string>()))
                << fs::relative(entry.path(), tables) << " \"" << key << "\": " << text;
        }
    }
    EXPECT_GT(texts, 500);  // the tables were found and read
}

TEST(ComputerName, NoLiteralInTheProgramSaysMacButTheWireValues) {
    const fs::path base{VELMORA_SOURCE_DIR};
    std::set<std::pair<std::string, std::string>> seenWire;
    int files = 0;
    for (const char* folder : {"app", "core", "platform"}) {
        for (const auto& entry : fs::recursive_directory_iterator(base / folder)) {
            const auto ext = entry.path().extension();
            if (ext != ".cpp" && ext != ".h") continue;
            ++files;
            const std::string where = fs::relative(entry.path(), base).generic_string();
            for (const auto& [text, line] : literals(readAll(entry.path()))) {
                if (!saysMac(text) || isKey(text)) continue;
                if (wireValues().contains({where, text})) {
                    seenWire.insert({where, text});
                    continue;
                }
                ADD_FAILURE() << where << ":" << line << ": \"" << text << "\"";
            }
        }
    }
    EXPECT_GT(files, 100);
    // A wire value that moved or went away leaves its exception behind: the list must follow the code.
    EXPECT_EQ(seenWire, wireValues());
}

TEST(ComputerName, JoinedLiteralsAreJudgedWhole) {
    const auto found = literals("f(\"sem a identidade deste \"\n  \"Mac\"); g('\"', \"x\"); // \"Mac\"\n");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].first, "sem a identidade deste Mac");
    EXPECT_EQ(found[0].second, 1);
    EXPECT_EQ(found[1].first, "x");
}

}  // namespace
}  // namespace velmora
