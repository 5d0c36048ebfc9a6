#include <gtest/gtest.h>
#include <stdlib.h>

#include <thread>

#include "core/settings/json_file_settings.h"
#include "core/settings/memory_settings.h"
#include "helpers.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;
using test::readFile;
using Reports = std::vector<std::string>;

TEST(Settings, TypedReadsGiveAbsentForAnyOtherJsonTypeNeverAConversion) {
    // Which readers give a value: b(oolean) s(tring) l(ist) m(ap of strings) B(map of booleans) L(map of
    // lists).
    const std::pair<const char*, const char*> rows[] = {
        {"true", "b"},
        {"\"true\"", "s"},
        {"1", ""},
        {"null", ""},
        {"[\"a\",\"b\"]", "l"},
        {"[\"a\",1]", ""},  // one wrong element spoils the list
        {"{}", "mBL"},
        {"{\"a\":\"x\"}", "m"},
        {"{\"a\":true,\"b\":\"false\"}", ""},
        {"{\"p\":[\"1.2.3.4\"],\"q\":[]}", "L"},
        {"{\"p\":[\"1.2.3.4\",null]}", ""},
    };
    for (const auto& [stored, readers] : rows) {
        MemorySettings s;
        s.setValue("k", json::parse(stored));
        const std::string got = std::string(s.boolean("k") ? "b" : "") + (s.string("k") ? "s" : "") +
                                (s.stringList("k") ? "l" : "") + (s.stringMap("k") ? "m" : "") +
                                (s.boolMap("k") ? "B" : "") + (s.stringListMap("k") ? "L" : "");
        EXPECT_EQ(got, readers) << stored;
    }
    MemorySettings s;
    s.setValue("k", json::parse(R"({"p":["1.2.3.4"]})"));
    EXPECT_EQ(s.stringListMap("k"), (std::map<std::string, std::vector<std::string>>{{"p", {"1.2.3.4"}}}));
    EXPECT_FALSE(s.boolean("missing"));
}

TEST(Settings, ConcurrentWritersAndReadersSeeWholeValues) {
    MemorySettings s;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&s, t] {
            for (int i = 0; i < 500; ++i) {
                s.setValue("list", std::vector<std::string>(static_cast<std::size_t>(i % 7), "x"));
                s.setValue("t" + std::to_string(t), i);
                EXPECT_LE(s.stringList("list").value_or(std::vector<std::string>(9)).size(), 6u);
            }
        });
    }
    for (auto& th : threads)
        th.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(s.value("t" + std::to_string(t)), json(499));
}

TEST(JsonFileSettings, KeepsValuesAcrossReopeningInAnOwnerOnlyFileEvenWithInvalidUtf8) {
    test::TempDir dir;
    const fs::path folder = dir.path() / "config" / "Velmora", file = folder / "settings.json";
    {
        JsonFileSettings s(file);
        EXPECT_FALSE(fs::exists(folder));  // nothing is written before the first change
        s.setValue("linkPrefs", json::parse(R"([{"kind":"ble","enabled":false}])"));
        s.setValue("prefsOpen", true);
        s.setValue("gone", "soon");
        s.remove("gone");
        s.setValue("phoneApps", json::array({{{"pkg", "a.b"}, {"name", std::string("caf\xc3", 4)}}}));
    }
    EXPECT_EQ(test::modeOf(folder), 0700u);
    EXPECT_EQ(test::modeOf(file) & 0077, 0u);
    EXPECT_EQ(test::entriesIn(folder), 1);  // no temporary left
    JsonFileSettings again(file);
    EXPECT_EQ(again.value("linkPrefs"), json::parse(R"([{"kind":"ble","enabled":false}])"));
    EXPECT_EQ(again.boolean("prefsOpen"), true);  // a Boolean stays a Boolean, not "true"
    EXPECT_FALSE(again.value("gone"));
    EXPECT_EQ(again.value("phoneApps").value_or(json())[0]["name"], "caf\xEF\xBF\xBD");
}

TEST(JsonFileSettings, UnreadableOrMalformedFileIsSetAsideNotOverwritten) {
    for (const char* text : {"{\"linkPrefs\": [", "[1,2,3]", "", "\xff\xfe{}"}) {
        SCOPED_TRACE(text);
        test::TempDir dir;
        const fs::path file = dir.path() / "settings.json", aside = dir.path() / "settings.json.bad";
        test::writeFile(file, text);
        Reports reports;
        JsonFileSettings s(file, [&](const std::string& line) { reports.push_back(line); });
        EXPECT_FALSE(s.value("linkPrefs"));
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find("settings.json.bad"), std::string::npos);
        s.setValue("prefsOpen", true);
        EXPECT_EQ(readFile(aside), text);
        EXPECT_EQ(JsonFileSettings(file).boolean("prefsOpen"), true);
    }
}

TEST(JsonFileSettings, AFailedWriteIsReportedLeavesNoTemporaryAndTheValueStaysForThisRun) {
    test::TempDir dir;
    const fs::path file = dir.path() / "settings.json";
    Reports reports;
    JsonFileSettings s(file, [&](const std::string& line) { reports.push_back(line); });
    s.setValue("a", 1);
    // A folder in the file's place makes the final rename fail, even for root.
    fs::remove(file);
    fs::create_directories(file / "keep");
    s.setValue("a", 2);
    EXPECT_EQ(s.value("a"), json(2));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("falha ao gravar"), std::string::npos);
    EXPECT_EQ(test::entriesIn(dir.path()), 1);
    EXPECT_TRUE(fs::is_directory(file / "keep"));

    test::writeFile(dir.path() / "notadir", "x");
    JsonFileSettings blocked(dir.path() / "notadir" / "settings.json",
                             [&](const std::string& line) { reports.push_back(line); });
    blocked.setValue("a", 1);
    EXPECT_EQ(blocked.value("a"), json(1));
    EXPECT_EQ(reports.size(), 2u);
}

TEST(JsonFileSettings, ALinkedSettingsFileIsUpdatedWhereItPoints) {
    test::TempDir dir;
    const fs::path real = dir.path() / "velmora.json", link = dir.path() / "settings.json";
    test::writeFile(real, R"({"playAudio":false})");
    fs::create_symlink(real, link);
    JsonFileSettings s(link);
    EXPECT_EQ(s.boolean("playAudio"), false);
    s.setValue("prefsOpen", true);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(json::parse(readFile(real)), json::parse(R"({"playAudio":false,"prefsOpen":true})"));
}

// Changes the environment for good: CTest runs each test in a process of its own.
TEST(JsonFileSettings, DefaultPathFollowsTheBaseDirectoryRules) {
    ::setenv("HOME", "/home/u", 1);
    for (const char* xdg : {"", "relative/conf"}) {
        ::setenv("XDG_CONFIG_HOME", xdg, 1);
        EXPECT_EQ(JsonFileSettings::defaultPath(), fs::path("/home/u/.config/Velmora/settings.json")) << xdg;
    }
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(JsonFileSettings::defaultPath(), fs::path("/home/u/.config/Velmora/settings.json"));
    ::setenv("XDG_CONFIG_HOME", "/x/conf", 1);
    EXPECT_EQ(JsonFileSettings::defaultPath(), fs::path("/x/conf/Velmora/settings.json"));
}

}  // namespace
}  // namespace velmora
