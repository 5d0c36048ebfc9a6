#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <thread>
#include <vector>

#include "core/settings/json_file_settings.h"
#include "core/settings/memory_settings.h"
#include "file_helpers.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::modeOf;
using test::readFile;
using test::TempDir;
using test::writeFile;
using json = nlohmann::json;

std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    return names;
}

// One row: a stored JSON value and what each typed read gives for it. "-" means absent.
struct TypedRow {
    const char* stored;
    const char* asBool;
    const char* asString;
    const char* asList;
    const char* asStringMap;
    const char* asBoolMap;
    const char* asListMap;
};

template <typename T>
std::string show(const std::optional<T>& v) {
    return v ? json(*v).dump() : "-";
}

TEST(Settings, TypedReadsGiveAbsentForAnyOtherJsonTypeNeverAConversion) {
    const TypedRow rows[] = {
        {"true", "true", "-", "-", "-", "-", "-"},
        {"false", "false", "-", "-", "-", "-", "-"},
        {"\"true\"", "-", "\"true\"", "-", "-", "-", "-"},
        {"1", "-", "-", "-", "-", "-", "-"},
        {"null", "-", "-", "-", "-", "-", "-"},
        {"[\"a\",\"b\"]", "-", "-", "[\"a\",\"b\"]", "-", "-", "-"},
        {"[]", "-", "-", "[]", "-", "-", "-"},
        {"[\"a\",1]", "-", "-", "-", "-", "-", "-"},  // one wrong element spoils the list
        {"{}", "-", "-", "-", "{}", "{}", "{}"},
        {"{\"a\":\"x\"}", "-", "-", "-", "{\"a\":\"x\"}", "-", "-"},
        {"{\"a\":true,\"b\":false}", "-", "-", "-", "-", "{\"a\":true,\"b\":false}", "-"},
        {"{\"a\":true,\"b\":\"false\"}", "-", "-", "-", "-", "-", "-"},
        {"{\"p\":[\"1.2.3.4\"],\"q\":[]}", "-", "-", "-", "-", "-", "{\"p\":[\"1.2.3.4\"],\"q\":[]}"},
        {"{\"p\":[\"1.2.3.4\"],\"q\":\"5.6.7.8\"}", "-", "-", "-", "-", "-", "-"},
        {"{\"p\":[\"1.2.3.4\",null]}", "-", "-", "-", "-", "-", "-"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stored);
        MemorySettings s;
        s.setValue("k", json::parse(row.stored));
        EXPECT_EQ(show(s.boolean("k")), row.asBool);
        EXPECT_EQ(show(s.string("k")), row.asString);
        EXPECT_EQ(show(s.stringList("k")), row.asList);
        EXPECT_EQ(show(s.stringMap("k")), row.asStringMap);
        EXPECT_EQ(show(s.boolMap("k")), row.asBoolMap);
        EXPECT_EQ(show(s.stringListMap("k")), row.asListMap);
    }
    EXPECT_EQ(show(MemorySettings().boolean("missing")), "-");
}

TEST(Settings, ConcurrentWritersAndReadersSeeWholeValues) {
    MemorySettings s;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&s, t] {
            for (int i = 0; i < 500; ++i) {
                s.setValue("list", std::vector<std::string>(static_cast<std::size_t>(i % 7), "x"));
                s.setValue("t" + std::to_string(t), i);
                auto list = s.stringList("list");
                ASSERT_TRUE(list);
                EXPECT_LE(list->size(), 6u);
            }
        });
    }
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(s.value("t" + std::to_string(t)), json(499));
}

TEST(JsonFileSettings, KeepsValuesAcrossReopeningWithTheirJsonTypes) {
    TempDir dir;
    fs::path file = dir.path() / "Velmora" / "settings.json";
    {
        JsonFileSettings s(file);
        EXPECT_FALSE(s.value("linkPrefs"));
        s.setValue("linkPrefs", json::parse(R"([{"kind":"ble","enabled":false}])"));
        s.setValue("usbKnown", std::vector<std::string>{"R58N123"});
        s.setValue("prefsOpen", true);
        s.setValue("gone", "soon");
        s.remove("gone");
    }
    JsonFileSettings again(file);
    EXPECT_EQ(again.value("linkPrefs"), json::parse(R"([{"kind":"ble","enabled":false}])"));
    EXPECT_EQ(again.stringList("usbKnown"), std::vector<std::string>{"R58N123"});
    EXPECT_EQ(again.boolean("prefsOpen"), true);  // a Boolean stays a Boolean, not "true"
    EXPECT_FALSE(again.value("gone"));
    EXPECT_TRUE(json::parse(readFile(file)).is_object());
}

TEST(JsonFileSettings, CreatesItsFolderOwnerOnlyAndTheFileOwnerOnlyWithNoTemporaryLeft) {
    TempDir dir;
    fs::path folder = dir.path() / "config" / "Velmora";
    JsonFileSettings s(folder / "settings.json");
    EXPECT_FALSE(fs::exists(folder));  // nothing is written before the first change
    s.setValue("playAudio", false);
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(folder / "settings.json") & 0077, 0u);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"settings.json"});
}

TEST(JsonFileSettings, UnreadableOrMalformedFileIsSetAsideNotOverwritten) {
    const char* bad[] = {"{\"linkPrefs\": [", "[1,2,3]", "\"text\"", "", "\xff\xfe{}"};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        TempDir dir;
        fs::path file = dir.path() / "settings.json";
        writeFile(file, text);
        std::vector<std::string> reports;
        JsonFileSettings s(file, [&](const std::string& line) { reports.push_back(line); });
        EXPECT_FALSE(s.value("linkPrefs"));
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find("settings.json.bad"), std::string::npos);
        EXPECT_EQ(readFile(dir.path() / "settings.json.bad"), text);
        s.setValue("prefsOpen", true);
        EXPECT_EQ(readFile(dir.path() / "settings.json.bad"), text);
        EXPECT_EQ(JsonFileSettings(file).boolean("prefsOpen"), true);
    }
}

TEST(JsonFileSettings, InvalidUtf8InAStoredTextDoesNotStopSaving) {
    TempDir dir;
    fs::path file = dir.path() / "settings.json";
    JsonFileSettings s(file);
    s.setValue("phoneApps", json::array({{{"pkg", "a.b"}, {"name", std::string("caf\xc3", 4)}}}));
    s.setValue("prefsOpen", true);
    JsonFileSettings again(file);
    EXPECT_EQ(again.boolean("prefsOpen"), true);
    ASSERT_TRUE(again.value("phoneApps"));
    EXPECT_EQ((*again.value("phoneApps"))[0]["pkg"], "a.b");
}

TEST(JsonFileSettings, FailedWriteIsReportedLeavesNoTemporaryAndTheValueStaysForThisRun) {
    TempDir dir;
    fs::path file = dir.path() / "settings.json";
    std::vector<std::string> reports;
    JsonFileSettings s(file, [&](const std::string& line) { reports.push_back(line); });
    s.setValue("a", 1);
    // A folder in the file's place makes the final rename fail, even for root.
    fs::remove(file);
    fs::create_directories(file / "keep");
    s.setValue("a", 2);
    EXPECT_EQ(s.value("a"), json(2));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("falha ao gravar"), std::string::npos);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"settings.json"});
    EXPECT_TRUE(fs::is_directory(file / "keep"));
}

TEST(JsonFileSettings, FailedWriteIntoAFolderThatCannotBeMadeIsReported) {
    TempDir dir;
    writeFile(dir.path() / "notadir", "x");
    std::vector<std::string> reports;
    JsonFileSettings s(dir.path() / "notadir" / "settings.json",
                       [&](const std::string& line) { reports.push_back(line); });
    s.setValue("a", 1);
    EXPECT_EQ(s.value("a"), json(1));
    EXPECT_EQ(reports.size(), 1u);
}

TEST(JsonFileSettings, ALinkedSettingsFileIsUpdatedWhereItPoints) {
    TempDir dir;
    fs::path real = dir.path() / "dotfiles" / "velmora.json";
    fs::create_directories(real.parent_path());
    writeFile(real, R"({"playAudio":false})");
    fs::path link = dir.path() / "settings.json";
    fs::create_symlink(real, link);
    JsonFileSettings s(link);
    EXPECT_EQ(s.boolean("playAudio"), false);
    s.setValue("prefsOpen", true);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(json::parse(readFile(real)), json::parse(R"({"playAudio":false,"prefsOpen":true})"));
}

// Changes the environment for good: CTest runs each test in a process of its own.
TEST(JsonFileSettings, DefaultPathFollowsTheBaseDirectoryRules) {
    struct Row {
        const char* xdg;  // nullptr: unset
        const char* home;
        const char* expected;
    };
    const Row rows[] = {
        {"/x/conf", "/home/u", "/x/conf/Velmora/settings.json"},
        {nullptr, "/home/u", "/home/u/.config/Velmora/settings.json"},
        {"", "/home/u", "/home/u/.config/Velmora/settings.json"},
        {"relative/conf", "/home/u", "/home/u/.config/Velmora/settings.json"},
    };
    for (const auto& row : rows) {
        if (row.xdg) {
            ::setenv("XDG_CONFIG_HOME", row.xdg, 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        ::setenv("HOME", row.home, 1);
        EXPECT_EQ(JsonFileSettings::defaultPath(), fs::path(row.expected));
    }
}

}  // namespace
}  // namespace velmora
