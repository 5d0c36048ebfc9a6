#include <gtest/gtest.h>
#include <linux/capability.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <thread>

#include "core/crypto/base64.h"
#include "core/crypto/cxp_crypto.h"
#include "core/crypto/p256_private_key.h"
#include "core/errors/crypto_error.h"
#include "core/errors/cxp_error.h"
#include "core/errors/friendly_errors.h"
#include "core/identity/file_peer_store.h"
#include "core/identity/keychain_identity.h"
#include "core/l10n/l10n.h"
#include "core/settings/json_file_settings.h"
#include "core/settings/memory_settings.h"
#include "core/storage/app_paths.h"
#include "core/storage/secure_file.h"
#include "core/storage/set_aside.h"
#include "helpers.h"
#include "support/log_folder.h"
#include "support/scoped_env.h"
#include "support/session_language.h"
#include "temp_data_home.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Inspection = SecureFile::Inspection;
using test::modeOf;
using test::readFile;
using test::writeFile;

TEST(SecureFile, InspectsTheEntryItselfAndTightensOnlyOwnFilesNeverThroughALink) {
    test::TempDataHome home;
    const fs::path dir = home.root();
    const std::tuple<mode_t, bool, Inspection> cases[] = {
        {0400, true, Inspection::ok},  {0640, true, Inspection::unsafe},  {0604, true, Inspection::unsafe},
        {0644, false, Inspection::ok}, {0664, false, Inspection::unsafe}, {0646, false, Inspection::unsafe},
    };
    for (const auto& [mode, ownerOnly, expected] : cases) {
        writeFile(dir / "f", "x", mode);
        EXPECT_EQ(SecureFile::inspect(dir / "f", ownerOnly), expected)
            << std::oct << mode << " " << ownerOnly;
    }
    EXPECT_EQ(SecureFile::inspect(dir / "absent", true), Inspection::missing);
    fs::create_symlink(dir / "f", dir / "link");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    fs::create_directory(dir / "folder");
    ::mkfifo((dir / "fifo").c_str(), 0600);
    // A path through a regular file cannot be examined (ENOTDIR): unsafe, never "missing".
    for (const fs::path& path :
         {dir / "link", dir / "dangling", dir / "folder", dir / "fifo", dir / "f" / "x"})
        EXPECT_EQ(SecureFile::inspect(path, false), Inspection::unsafe) << path;

    SecureFile::tighten(dir / "link", 0600);
    EXPECT_EQ(modeOf(dir / "f"), 0646u);
    SecureFile::tighten(dir / "f", 0600);
    EXPECT_EQ(modeOf(dir / "f"), 0600u);
    if (::chown((dir / "f").c_str(), 65534, 65534) != 0) GTEST_SKIP() << "needs root to give a file away";
    ::chmod((dir / "f").c_str(), 0644);
    EXPECT_EQ(SecureFile::inspect(dir / "f", false), Inspection::unsafe);
    SecureFile::tighten(dir / "f", 0600);
    EXPECT_EQ(modeOf(dir / "f"), 0644u);
}

TEST(AppPaths, SupportFolderIsPrivateAndRepairedOnEveryUse) {
    test::TempDataHome home;
    const fs::path dir = AppPaths::supportDir();
    EXPECT_EQ(dir, home.supportDir());
    EXPECT_EQ(modeOf(dir), 0700u);
    ::chmod(dir.c_str(), 0755);
    EXPECT_EQ(AppPaths::supportDir(), dir);
    EXPECT_EQ(modeOf(dir), 0700u);
}

// Table: where XDG_DATA_HOME puts the key, and how the identity alerts name it in both languages: under
// the home as "~/...", elsewhere as the absolute path, and never by making the folder to find out.
TEST(AppPaths, TheIdentityAlertsNameTheKeyWhereTheEnvironmentPutsIt) {
    const test::TempDir home("velmora-shown-home");
    const std::string outside = home.path().string() + "-elsewhere";  // beside the home, never made
    const test::ScopedEnv homeVariable("HOME", home.path().string());
    const struct {
        std::optional<std::string> dataHome;
        std::string folder;
    } rows[] = {
        {std::nullopt, "~/.local/share/Corvix"},
        {home.path().string() + "/dados", "~/dados/Corvix"},
        {outside, outside + "/Corvix"},
        {"dados", "~/.local/share/Corvix"},  // a relative XDG_DATA_HOME is ignored
    };
    const struct {
        const char* lang;
        const char* folderWord;
    } languages[] = {{"en_US.UTF-8", "the folder "}, {"pt_BR.UTF-8", "da pasta "}};
    for (const auto& language : languages) {
        const test::SessionLanguage session(language.lang);
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(language.lang) + " " + row.dataHome.value_or("(unset)"));
            const test::ScopedEnv dataHome("XDG_DATA_HOME", row.dataHome);
            const std::string file = row.folder + "/identity.key";
            EXPECT_EQ(AppPaths::shownSupportDir(), row.folder);
            EXPECT_EQ(AppPaths::shownIdentityKeyFile(), file);
            const std::string damaged = FriendlyErrors::identityDamaged();
            const std::string unreadable = FriendlyErrors::text(CXPError::identityFileUnreadable(EACCES));
            const std::string unsafe = FriendlyErrors::text(CXPError::identityFileUnsafe());
            EXPECT_NE(damaged.find(" " + file + ")"), std::string::npos) << damaged;
            EXPECT_NE(unreadable.find(" " + file + " "), std::string::npos) << unreadable;
            EXPECT_NE(unsafe.find(language.folderWord + row.folder + "."), std::string::npos) << unsafe;
            for (const std::string& text : {damaged, unreadable, unsafe})
                EXPECT_EQ(text.find('%'), std::string::npos) << text;
        }
    }
    EXPECT_FALSE(fs::exists(outside));
    EXPECT_FALSE(fs::exists(home.path() / "dados"));
    EXPECT_FALSE(fs::exists(home.path() / ".local"));
}

using json = nlohmann::json;
using Reports = std::vector<std::string>;

TEST(Settings, TypedReadsGiveAbsentForAnyOtherJsonTypeNeverAConversion) {
    // Which readers give a value: b(oolean) s(tring) l(ist), maps of m (strings) B (booleans) L (lists).
    // One element of another type spoils a whole list or map.
    const std::pair<const char*, const char*> rows[] = {{"true", "b"},
                                                        {"\"true\"", "s"},
                                                        {"[\"a\",\"b\"]", "l"},
                                                        {"[\"a\",1]", ""},
                                                        {"{}", "mBL"},
                                                        {"{\"a\":\"x\"}", "m"},
                                                        {"{\"a\":true,\"b\":\"false\"}", ""},
                                                        {"{\"p\":[\"1.2.3.4\"],\"q\":[]}", "L"},
                                                        {"{\"p\":[\"1.2.3.4\"],\"q\":1}", ""}};
    for (const auto& [stored, readers] : rows) {
        MemorySettings s;
        s.setValue("k", json::parse(stored));
        const std::string got = std::string(s.boolean("k") ? "b" : "") + (s.string("k") ? "s" : "") +
                                (s.stringList("k") ? "l" : "") + (s.stringMap("k") ? "m" : "") +
                                (s.boolMap("k") ? "B" : "") + (s.stringListMap("k") ? "L" : "");
        EXPECT_EQ(got, readers) << stored;
    }
}

TEST(JsonFileSettings, KeepsValuesAcrossReopeningInAnOwnerOnlyFileEvenWithInvalidUtf8) {
    test::TempDir dir;
    const fs::path folder = dir.path() / "config" / "Velmora", file = folder / "settings.json";
    {
        JsonFileSettings s(file);
        EXPECT_FALSE(fs::exists(folder));  // nothing is written before the first change
        s.setValue("linkPrefs", json::parse(R"([{"kind":"ble","enabled":false}])"));
        s.setValue("prefsOpen", true);
        s.setValue("phoneApps", json::array({{{"pkg", "a.b"}, {"name", std::string("caf\xc3", 4)}}}));
    }
    EXPECT_EQ(test::modeOf(folder), 0700u);
    EXPECT_EQ(test::modeOf(file) & 0077, 0u);
    EXPECT_EQ(test::entriesIn(folder), 1);  // no temporary left
    JsonFileSettings again(file);
    EXPECT_EQ(again.value("linkPrefs"), json::parse(R"([{"kind":"ble","enabled":false}])"));
    EXPECT_EQ(again.boolean("prefsOpen"), true);  // a Boolean stays a Boolean, not "true"
    EXPECT_EQ(again.value("phoneApps").value_or(json())[0]["name"], "caf\xEF\xBF\xBD");
}

TEST(JsonFileSettings, UnreadableOrMalformedFileIsSetAsideNotOverwritten) {
    for (const char* text : {"{\"linkPrefs\": [", "[1,2,3]", "\xff\xfe{}"}) {
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

using Peers = std::vector<Peer>;

Peer makePeer(const std::string& name) {
    const Bytes pub = P256PrivateKey::generate().publicX963();
    return Peer{CXPCrypto::deviceId(pub), pub, name, "android"};
}

json element(const Peer& p) {
    return {{"id", p.id}, {"pub", Base64::encode(p.pub)}, {"name", p.name}, {"platform", p.platform}};
}

std::string upper(std::string id) {
    for (char& c : id)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return id;
}

class FilePeerStoreTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    fs::path file = dir.path() / "peers.json";
    fs::path aside = dir.path() / "peers.json.bad";
};

TEST_F(FilePeerStoreTest, SavedPeersSurviveARestartInTheDocumentedForm) {
    const Peer a = makePeer("Phone 8"), b = makePeer("Tablet");
    {
        FilePeerStore store(file);
        EXPECT_TRUE(store.all().empty());
        EXPECT_TRUE(store.save(a));
        EXPECT_TRUE(store.save(b));
    }
    EXPECT_EQ(modeOf(file), 0600u);
    const std::string text = readFile(file);
    EXPECT_EQ(text.find('\n'), std::string::npos);
    const json parsed = json::parse(text);
    EXPECT_TRUE(parsed == json::array({element(a), element(b)}) ||
                parsed == json::array({element(b), element(a)}))
        << text;
    FilePeerStore reloaded(file);
    EXPECT_EQ(reloaded.find(a.id), a);
    EXPECT_FALSE(reloaded.find(upper(a.id)).has_value());

    // Removing rewrites the file.
    EXPECT_TRUE(reloaded.remove(a.id));
    EXPECT_EQ(FilePeerStore(file).all(), Peers{b});
}

TEST_F(FilePeerStoreTest, BadElementsAreDroppedOneByOne) {
    const Peer good = makePeer("Bom"), other = makePeer("Outro");
    const auto edited = [&](const char* key, json value) {
        json e = element(other);
        if (value.is_discarded()) {
            e.erase(key);
        } else {
            e[key] = value;
        }
        return e;
    };
    std::string nonCanonical = Base64::encode(other.pub);  // 65 bytes end in "=="; set an unused bit
    nonCanonical[nonCanonical.size() - 3] = static_cast<char>(nonCanonical[nonCanonical.size() - 3] + 1);
    json renamed = element(good);
    renamed["name"] = "Bom (2)";
    test::writeFile(file, json::array({element(good), edited("id", upper(other.id)),
                                       edited("pub", Base64::encode(good.pub)),  // not the id's key
                                       edited("platform", json(json::value_t::discarded)), edited("name", 7),
                                       edited("pub", Base64::encode(other.pub) + "\n"),
                                       edited("pub", nonCanonical), 42, json(nullptr), renamed})
                              .dump());
    const Peers all = FilePeerStore(file).all();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].name, "Bom (2)");  // the later of two elements with one id wins

    test::writeFile(file, json::array({edited("since", 2024)}).dump());
    EXPECT_EQ(FilePeerStore(file).all().size(), 1u);  // extra members are ignored
}

TEST_F(FilePeerStoreTest, AnUnparsableFileIsKeptAsideBeforeTheFirstRewrite) {
    const std::string huge(FilePeerStore::kMaxFileSize + 10, ' ');
    for (const std::string& text : {std::string("not json"), std::string("{\"id\": 1}"),
                                    std::string("[{\"id\":"), std::string(""), huge + "[]"}) {
        fs::remove(aside);
        test::writeFile(file, text);
        FilePeerStore store(file);
        EXPECT_TRUE(store.all().empty());
        EXPECT_FALSE(fs::exists(aside));  // nothing moves until something is written
        const Peer p = makePeer("Novo");
        EXPECT_TRUE(store.save(p));
        EXPECT_EQ(FilePeerStore(file).all(), Peers{p});
        // An empty file is an empty list, with nothing to keep.
        EXPECT_EQ(readFile(aside), text) << text.substr(0, 20);
        EXPECT_EQ(modeOf(aside), text.empty() ? 0u : 0600u);
    }
}

TEST_F(FilePeerStoreTest, UnsafeFilesAreIgnoredUntouchedThenReplacedByTheNextSave) {
    const Peer stored = makePeer("Antigo");
    const std::string contents = json::array({element(stored)}).dump();
    // Group-readable is tightened and read; group-writable is not read.
    test::writeFile(file, contents, 0644);
    EXPECT_EQ(FilePeerStore(file).find(stored.id), stored);
    EXPECT_EQ(modeOf(file), 0600u);
    test::writeFile(file, contents, 0664);
    EXPECT_TRUE(FilePeerStore(file).ignoredUnsafeFile());
    EXPECT_EQ(modeOf(file), 0664u);
    EXPECT_EQ(readFile(file), contents);

    fs::remove(file);
    const fs::path target = dir.path() / "elsewhere.json";
    test::writeFile(target, contents);
    fs::create_symlink(target, file);
    FilePeerStore store(file);
    EXPECT_TRUE(store.ignoredUnsafeFile());
    EXPECT_TRUE(store.all().empty());
    const Peer fresh = makePeer("Novo");
    EXPECT_TRUE(store.save(fresh));
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_TRUE(fs::is_symlink(aside));  // kept aside, not replaced
    EXPECT_EQ(readFile(target), contents);
    EXPECT_EQ(FilePeerStore(file).all(), Peers{fresh});

    test::writeFile(file, contents, 0644);
    if (::chown(file.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "needs root to give a file away";
    EXPECT_TRUE(FilePeerStore(file).ignoredUnsafeFile());
}

// What stands at a path, for comparing before and after: the kind, its mode and its content or target.
std::string entryAt(const fs::path& path) {
    if (fs::is_symlink(path)) return "link to " + fs::read_symlink(path).string();
    if (fs::is_directory(path)) return "folder holding " + std::to_string(test::entriesIn(path));
    if (!fs::exists(path)) return "nothing";
    std::ostringstream mode;
    mode << std::oct << modeOf(path);
    return "file " + mode.str() + " " + readFile(path);
}

// Table: lists the store will not read (they could be planted), though they may hold this user's pairings.
// Each stays as it is until the first save, which moves it whole to peers.json.bad (a link itself, never
// what it points to) before the new list is written.
TEST_F(FilePeerStoreTest, AListTheStoreWouldNotReadIsKeptAsideBeforeTheFirstSave) {
    const std::string contents = json::array({element(makePeer("Antigo"))}).dump();
    const fs::path target = dir.path() / "elsewhere.json";
    const struct {
        const char* what;
        std::function<void()> make;
    } rows[] = {
        {"group-writable, as a restore under umask 002 leaves it", [&] { writeFile(file, contents, 0664); }},
        {"writable by others", [&] { writeFile(file, contents, 0646); }},
        {"a link to a private file",
         [&] {
             writeFile(target, contents);
             fs::create_symlink(target, file);
         }},
        {"a folder", [&] { fs::create_directories(file / "inside"); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::remove_all(file);
        fs::remove_all(aside);
        row.make();
        const std::string before = entryAt(file);
        FilePeerStore store(file);
        EXPECT_TRUE(store.ignoredUnsafeFile());
        EXPECT_TRUE(store.all().empty());
        EXPECT_EQ(entryAt(file), before);
        EXPECT_EQ(entryAt(aside), "nothing");
        const Peer fresh = makePeer("Novo");
        EXPECT_TRUE(store.save(fresh));
        EXPECT_EQ(entryAt(aside), before);
        EXPECT_EQ(modeOf(file), 0600u);
        EXPECT_EQ(FilePeerStore(file).all(), Peers{fresh});
        EXPECT_TRUE(store.save(makePeer("Outro")));  // moved once: later saves leave it alone
        EXPECT_EQ(entryAt(aside), before);
    }
    EXPECT_EQ(readFile(target), contents);

    // Every name aside is taken: nothing moves, the save says it failed, and the change stays in memory.
    writeFile(file, contents, 0664);
    fs::remove_all(aside);
    fs::create_directories(aside / "older");
    for (int n = 1; n < SetAside::kNames; ++n)
        writeFile(dir.path() / ("peers.json.bad." + std::to_string(n)), "older " + std::to_string(n));
    FilePeerStore blocked(file);
    const Peer fresh = makePeer("Novo");
    EXPECT_FALSE(blocked.save(fresh));
    EXPECT_EQ(entryAt(file), "file 664 " + contents);
    EXPECT_EQ(entryAt(aside), "folder holding 1");
    EXPECT_EQ(readFile(dir.path() / "peers.json.bad.99"), "older 99");
    EXPECT_EQ(blocked.find(fresh.id), fresh);
}

// A story of three starts that each find a list they will not use: a copy set aside earlier (which may be
// the user's only other record of their pairings) stays byte for byte, and each new one is kept under the
// next free name, the log naming it.
TEST_F(FilePeerStoreTest, EarlierSetAsideFilesStayAndEachNewOneTakesTheNextFreeName) {
    const fs::path logs = dir.path() / "log";
    const test::LogFolder logFolder(logs);
    const std::string earlier = json::array({element(makePeer("Guardado pelo usuário"))}).dump();
    writeFile(aside, earlier, 0600);
    const struct {
        const char* what;
        std::string contents;
        mode_t mode;
        const char* keptAs;
    } starts[] = {
        {"a list that does not parse", "[{\"id\":", 0600, "peers.json.bad.1"},
        {"a group-writable list", json::array({element(makePeer("Restaurado"))}).dump(), 0664,
         "peers.json.bad.2"},
        // A name taken by something else than an earlier copy is passed over as well.
        {"a list that does not parse, the next name taken", "not json", 0600, "peers.json.bad.4"},
    };
    writeFile(dir.path() / "peers.json.bad.3", "", 0600);
    std::map<std::string, std::string> kept{{"peers.json.bad", "file 600 " + earlier},
                                            {"peers.json.bad.3", "file 600 "}};
    for (const auto& start : starts) {
        SCOPED_TRACE(start.what);
        writeFile(file, start.contents, start.mode);
        const std::string before = entryAt(file);
        FilePeerStore store(file);
        const Peer fresh = makePeer("Novo");
        ASSERT_TRUE(store.save(fresh));
        EXPECT_EQ(FilePeerStore(file).all(), Peers{fresh});
        kept[start.keptAs] = before;
        for (const auto& [name, entry] : kept)
            EXPECT_EQ(entryAt(dir.path() / name), entry) << name;
        VelmoraLog::flush();
        EXPECT_NE(readFile(logs / "velmora.log")
                      .find("peers.json guardado como " + (dir.path() / start.keptAs).string()),
                  std::string::npos)
            << readFile(logs / "velmora.log");
    }
    EXPECT_EQ(test::entriesIn(dir.path()), 7);  // the list, five aside, the log's folder
}

TEST_F(FilePeerStoreTest, AFailedWriteIsReportedAndTheMemoryChangeStays) {
    FilePeerStore store(file);
    const Peer a = makePeer("a"), b = makePeer("b");
    ASSERT_TRUE(store.save(a));
    // A folder in the way of the rename: the write fails, the memory change stays.
    fs::remove(file);
    fs::create_directories(file / "x");
    EXPECT_FALSE(store.save(b));
    EXPECT_EQ(store.find(b.id), b);
    EXPECT_FALSE(store.remove(a.id));
    EXPECT_FALSE(store.find(a.id).has_value());
    EXPECT_EQ(test::entriesIn(dir.path()), 1);  // no temporary left

    // A name that is not UTF-8 does not stop writing.
    fs::remove_all(file);
    Peer p = makePeer("x");
    p.name = "bad \xff name";
    EXPECT_TRUE(store.save(p));
    EXPECT_EQ(FilePeerStore(file).find(p.id).value_or(Peer{}).name, "bad \xEF\xBF\xBD name");
}

TEST_F(FilePeerStoreTest, ConcurrentWritersLeaveEveryPeerInTheFile) {
    FilePeerStore store(file);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10; ++i) {
                const Peer p = makePeer("p" + std::to_string(i));
                EXPECT_TRUE(store.save(p));
                EXPECT_EQ(store.find(p.id), p);
                (void)store.all();
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(FilePeerStore(file).all().size(), 80u);
}

// An in-memory secret store whose answers a test can force, to drive every road of the identity loader.
struct FakeSecretStore : SecretStore {
    std::optional<std::int32_t> lookupFailure, writeFailure;  // what every lookup, or add and update, answer
    bool successWithoutData = false;                          // as a broken service might answer
    std::map<std::string, Bytes> items;
    int adds = 0, updates = 0;

    Lookup lookup(const std::string& account) override {
        if (lookupFailure) return {*lookupFailure, std::nullopt};
        if (successWithoutData) return {SecretStatus::success, std::nullopt};
        if (!items.count(account)) return {};
        return {SecretStatus::success, SecretBytes(items[account].begin(), items[account].end())};
    }
    std::int32_t add(const std::string& account, ByteView secret) override {
        ++adds;
        if (!writeFailure && items.count(account)) return SecretStatus::duplicate;
        return put(account, secret);
    }
    std::int32_t update(const std::string& account, ByteView secret) override {
        ++updates;
        return put(account, secret);
    }
    std::int32_t put(const std::string& account, ByteView secret) {
        if (writeFailure) return *writeFailure;
        items[account] = Bytes(secret.begin(), secret.end());
        return SecretStatus::success;
    }
};

class KeychainIdentityTest : public ::testing::Test {
  protected:
    fs::path keyFile() const { return AppPaths::supportDir() / "identity.key"; }
    static Bytes plain(const SecretBytes& secret) { return Bytes(secret.begin(), secret.end()); }
    void writeKeyFile(const Bytes& raw, mode_t mode) const {
        test::writeFile(keyFile(), std::string(raw.begin(), raw.end()), mode);
    }
    Bytes publicKey() { return KeychainIdentity("pc", store).publicX963(); }
    // The CXPError that loading the identity ends with.
    CXPError loadError() {
        try {
            KeychainIdentity("pc", store);
        } catch (const CXPError& e) {
            return e;
        }
        ADD_FAILURE() << "no CXPError";
        return CXPError::closed();
    }

    test::TempDataHome home;
    FakeSecretStore store;
    const Bytes knownRaw = plain(P256PrivateKey::generate().raw());
    const Bytes knownPublic = P256PrivateKey::fromRaw(knownRaw).publicX963();
};

TEST_F(KeychainIdentityTest, TheStoredKeyWinsOverAnyFileAndTheFileServesOnlyWhenItIsOwnerOnly) {
    const KeychainIdentity first("Estação", store);  // the first start makes a key in the store
    EXPECT_EQ(first.deviceName(), "Estação");
    EXPECT_EQ(publicKey(), first.publicX963());
    EXPECT_EQ(store.adds, 1);
    EXPECT_FALSE(fs::exists(keyFile()));
    EXPECT_EQ(first.keyFile(), std::nullopt);  // the store keeps it: no file to name
    const Bytes message = {'h', 'i'};          // signatures are raw, made with the loaded key
    EXPECT_TRUE(CXPCrypto::verify(first.publicX963(), message, KeychainIdentity("pc", store).sign(message)));

    store.items["identity-p256"] = knownRaw;
    writeKeyFile(plain(P256PrivateKey::generate().raw()), 0644);  // would be unsafe: not even examined
    EXPECT_EQ(publicKey(), knownPublic);
    EXPECT_EQ(KeychainIdentity("pc", store).keyFile(), std::nullopt);
    store.items.clear();
    writeKeyFile(knownRaw, 0600);
    EXPECT_EQ(publicKey(), knownPublic);
    EXPECT_EQ(KeychainIdentity("pc", store).keyFile(), keyFile());  // read from the file: that file is named
    store.lookupFailure = SecretStatus::locked;  // a readable key is better than no identity
    EXPECT_EQ(publicKey(), knownPublic);
    writeKeyFile(knownRaw, 0640);
    EXPECT_EQ(loadError(), CXPError::identityFileUnsafe());
    fs::remove(keyFile());
    test::writeFile(home.root() / "planted.key", "x");
    fs::create_symlink(home.root() / "planted.key", keyFile());
    EXPECT_EQ(loadError(), CXPError::identityFileUnsafe());
    EXPECT_EQ(store.adds, 1);  // no key was made meanwhile
}

TEST_F(KeychainIdentityTest, AFailingStoreIsAnErrorUnlessItHasNowhereToWriteThenAnOwnerOnlyFileServes) {
    store.lookupFailure = SecretStatus::locked;
    EXPECT_EQ(loadError(), CXPError::identityUnavailable(SecretStatus::locked));
    store.lookupFailure.reset();
    store.successWithoutData = true;
    EXPECT_EQ(loadError(), CXPError::identityUnavailable(SecretStatus::failed));
    EXPECT_EQ(store.adds, 0);

    store.successWithoutData = false;
    store.writeFailure = SecretStatus::unavailable;
    writeKeyFile({}, 0600);  // an empty file counts as absent
    const KeychainIdentity madeHere("pc", store);
    EXPECT_EQ(madeHere.keyFile(), keyFile());  // the store refused it: the panel names the file
    const Bytes made = madeHere.publicX963();
    EXPECT_EQ(test::modeOf(keyFile()), 0600u);
    EXPECT_EQ(fs::file_size(keyFile()), 32u);
    EXPECT_EQ(publicKey(), made);
}

TEST_F(KeychainIdentityTest, ADamagedKeyThrowsAndIsNeverReplaced) {
    for (const Bytes& bad : {Bytes(31, 1), Bytes(32, 0), Bytes(33, 1)}) {
        store.items["identity-p256"] = bad;
        EXPECT_THROW(KeychainIdentity("pc", store), CryptoError);
        EXPECT_EQ(store.items["identity-p256"], bad);
    }
    store.items.clear();
    writeKeyFile(Bytes(40, 7), 0600);
    EXPECT_THROW(KeychainIdentity("pc", store), CryptoError);
    EXPECT_EQ(store.adds + store.updates, 0);
}

// Runs `action` with this thread's effective capabilities cleared, so that root too is refused what a file's
// mode forbids; they come back from the permitted set afterwards. Another user has nothing to clear.
void asPlainUser(const std::function<void()>& action) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct held[_LINUX_CAPABILITY_U32S_3] = {};
    const bool known = ::syscall(SYS_capget, &header, held) == 0;
    __user_cap_data_struct cleared[_LINUX_CAPABILITY_U32S_3] = {};
    for (int i = 0; i < _LINUX_CAPABILITY_U32S_3; ++i)
        cleared[i] = {0, held[i].permitted, held[i].inheritable};
    if (known) ::syscall(SYS_capset, &header, cleared);
    action();
    if (known) ::syscall(SYS_capset, &header, held);
}

// Table: a key file that is there but cannot be read. Taken for a missing one, it would be overwritten by a
// new key and every paired phone would have to pair again: loading fails with the cause instead, whatever
// the secret store answered, and neither the file nor the store changes.
TEST_F(KeychainIdentityTest, AKeyFileThatCannotBeReadIsAnErrorAndStaysByteForByte) {
    const struct {
        const char* what;
        mode_t mode;
        std::optional<std::int32_t> storeFailure;
    } rows[] = {
        {"mode 000, the store has nothing", 0000, std::nullopt},
        {"mode 000, the store locked", 0000, SecretStatus::locked},
        {"the owner may only write, the store failed", 0200, SecretStatus::failed},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        writeKeyFile(knownRaw, row.mode);
        store.lookupFailure = row.storeFailure;
        std::string error;
        asPlainUser([&] { error = loadError().what(); });
        EXPECT_EQ(error, "identityFileUnreadable: 13 (Permission denied)");
        EXPECT_EQ(readFile(keyFile()), std::string(knownRaw.begin(), knownRaw.end()));
        EXPECT_EQ(modeOf(keyFile()), row.mode);
        EXPECT_EQ(test::entriesIn(AppPaths::supportDir()), 1);  // no temporary key file either
        EXPECT_EQ(store.adds + store.updates, 0);
    }
    // What the user is told names the file itself (outside the home here); the log keeps the developer text
    // above, with the cause.
    const std::string told = FriendlyErrors::text(CXPError::identityFileUnreadable(EACCES));
    EXPECT_NE(told.find(" " + keyFile().string() + " "), std::string::npos) << told;
}

TEST_F(KeychainIdentityTest, AnItemTheSearchMissesIsUpdatedAndAKeyKeptNowhereIsASaveFailure) {
    store.items["identity-p256"] = {1, 2, 3};
    store.lookupFailure = SecretStatus::notFound;  // the item exists but the search does not see it
    const Bytes made = publicKey();
    EXPECT_EQ(store.updates, 1);
    store.lookupFailure.reset();
    EXPECT_EQ(publicKey(), made);

    store.items.clear();
    store.writeFailure = SecretStatus::kServiceErrorBase - 9;
    // No file can grow: the temporary key file cannot be written.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit none = old;
    none.rlim_cur = 0;
    ::setrlimit(RLIMIT_FSIZE, &none);
    const CXPError error = loadError();
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(error, CXPError::identitySaveFailed(SecretStatus::kServiceErrorBase - 9));
    EXPECT_EQ(test::entriesIn(AppPaths::supportDir()), 0);
}

}  // namespace
}  // namespace velmora
