#include "core/identity/file_peer_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <thread>

#include "core/crypto/base64.h"
#include "core/crypto/cxp_crypto.h"
#include "core/crypto/p256_private_key.h"
#include "file_helpers.h"
#include "temp_data_home.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::entriesIn;
using test::modeOf;
using test::readFile;

Peer makePeer(const std::string& name) {
    const Bytes pub = P256PrivateKey::generate().publicX963();
    return Peer{CXPCrypto::deviceId(pub), pub, name, "android"};
}

json element(const Peer& p) {
    return {{"id", p.id}, {"pub", Base64::encode(p.pub)}, {"name", p.name}, {"platform", p.platform}};
}

std::string upperCase(std::string id) {
    std::transform(id.begin(), id.end(), id.begin(), ::toupper);
    return id;
}

class FilePeerStoreTest : public ::testing::Test {
  protected:
    void writeFile(const std::string& text, mode_t mode = 0600) const { test::writeFile(file, text, mode); }

    test::TempDataHome home;
    fs::path file = home.root() / "peers.json";
    fs::path aside = home.root() / "peers.json.bad";
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
    ASSERT_TRUE(parsed.is_array());
    ASSERT_EQ(parsed.size(), 2u);
    for (const json& e : parsed) {
        EXPECT_EQ(e.size(), 4u);
        const Peer& p = e["id"] == a.id ? a : b;
        EXPECT_EQ(e, element(p));
    }

    const FilePeerStore reloaded(file);
    EXPECT_EQ(reloaded.find(a.id), a);
    EXPECT_EQ(reloaded.find(b.id), b);
    EXPECT_FALSE(reloaded.find(upperCase(a.id)).has_value());
}

TEST_F(FilePeerStoreTest, BadElementsAreDroppedOneByOne) {
    const Peer good = makePeer("Bom"), other = makePeer("Outro");
    json upperId = element(other);
    upperId["id"] = upperCase(other.id);
    json renamed = element(good);
    renamed["name"] = "Bom (2)";
    json extra = element(other);
    extra["since"] = 2024;

    json mismatched = element(other);
    mismatched["pub"] = Base64::encode(good.pub);
    json missing = element(other);
    missing.erase("platform");
    json wrongType = element(other);
    wrongType["name"] = 7;
    json badBase64 = element(other);
    badBase64["pub"] = Base64::encode(other.pub) + "\n";
    json nonCanonical = element(other);
    std::string pub = Base64::encode(other.pub);  // 65 bytes: ends in "=="; flip an unused bit
    pub[pub.size() - 3] = static_cast<char>(pub[pub.size() - 3] + 1);
    nonCanonical["pub"] = pub;

    writeFile(json::array({element(good), upperId, mismatched, missing, wrongType, badBase64, nonCanonical,
                           42, json(nullptr), renamed})
                  .dump());
    FilePeerStore store(file);
    const std::vector<Peer> all = store.all();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].id, good.id);
    EXPECT_EQ(all[0].name, "Bom (2)");  // the later of two elements with one id wins

    writeFile(json::array({extra}).dump());
    EXPECT_EQ(FilePeerStore(file).all().size(), 1u);  // extra members are ignored
}

TEST_F(FilePeerStoreTest, UnparsableFileIsKeptAsideBeforeTheFirstRewrite) {
    const std::string huge(FilePeerStore::kMaxFileSize + 10, ' ');
    const std::string broken[] = {"not json", "{\"id\": 1}", "[{\"id\":", "\"[]\"", huge + "[]"};
    for (const std::string& text : broken) {
        fs::remove(aside);
        writeFile(text);
        FilePeerStore store(file);
        EXPECT_TRUE(store.all().empty());
        EXPECT_FALSE(fs::exists(aside));  // nothing moves until something is written
        const Peer p = makePeer("Novo");
        EXPECT_TRUE(store.save(p));
        EXPECT_EQ(readFile(aside), text) << text.substr(0, 20);
        EXPECT_EQ(modeOf(aside), 0600u);
        EXPECT_EQ(FilePeerStore(file).all(), std::vector<Peer>{p});
    }
}

TEST_F(FilePeerStoreTest, EmptyFileIsAnEmptyStoreWithNothingToKeep) {
    writeFile("");
    FilePeerStore store(file);
    EXPECT_TRUE(store.all().empty());
    EXPECT_TRUE(store.save(makePeer("x")));
    EXPECT_FALSE(fs::exists(aside));
}

TEST_F(FilePeerStoreTest, GroupReadableFileIsTightenedAndRead) {
    const Peer p = makePeer("Phone");
    writeFile(json::array({element(p)}).dump(), 0644);
    const FilePeerStore store(file);
    EXPECT_FALSE(store.ignoredUnsafeFile());
    EXPECT_EQ(store.find(p.id), p);
    EXPECT_EQ(modeOf(file), 0600u);
}

TEST_F(FilePeerStoreTest, UnsafeFilesAreIgnoredUntouchedThenReplacedByTheNextSave) {
    const Peer stored = makePeer("Antigo");
    const std::string contents = json::array({element(stored)}).dump();

    writeFile(contents, 0664);
    {
        FilePeerStore store(file);
        EXPECT_TRUE(store.ignoredUnsafeFile());
        EXPECT_TRUE(store.all().empty());
        EXPECT_EQ(modeOf(file), 0664u);
        EXPECT_EQ(readFile(file), contents);
    }
    fs::remove(file);

    const fs::path target = home.root() / "elsewhere.json";
    test::writeFile(target, contents);
    fs::create_symlink(target, file);
    FilePeerStore store(file);
    EXPECT_TRUE(store.ignoredUnsafeFile());
    EXPECT_TRUE(store.all().empty());
    const Peer fresh = makePeer("Novo");
    EXPECT_TRUE(store.save(fresh));
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_EQ(readFile(target), contents);
    EXPECT_EQ(FilePeerStore(file).all(), std::vector<Peer>{fresh});
}

TEST_F(FilePeerStoreTest, ForeignOwnedFileIsIgnored) {
    writeFile(json::array({element(makePeer("x"))}).dump(), 0644);
    if (::chown(file.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "needs root to give a file away";
    const FilePeerStore store(file);
    EXPECT_TRUE(store.ignoredUnsafeFile());
    EXPECT_TRUE(store.all().empty());
}

TEST_F(FilePeerStoreTest, FailedWriteIsReportedAndTheMemoryChangeStays) {
    const fs::path dir = home.root() / "sub";
    fs::create_directory(dir);
    FilePeerStore store(dir / "peers.json");
    const Peer a = makePeer("a");
    ASSERT_TRUE(store.save(a));
    const std::string before = readFile(dir / "peers.json");

    // A folder in the way of the rename: the write fails, the old file and the memory change stay.
    fs::remove(dir / "peers.json");
    fs::create_directories(dir / "peers.json" / "x");
    const Peer b = makePeer("b");
    EXPECT_FALSE(store.save(b));
    EXPECT_EQ(store.find(b.id), b);
    EXPECT_FALSE(store.remove(a.id));
    EXPECT_FALSE(store.find(a.id).has_value());
    EXPECT_EQ(entriesIn(dir), 1);  // no temporary left
}

TEST_F(FilePeerStoreTest, RemoveRewritesTheFileEvenForAnUnknownId) {
    const Peer a = makePeer("a"), b = makePeer("b");
    FilePeerStore store(file);
    ASSERT_TRUE(store.save(a));
    ASSERT_TRUE(store.save(b));
    EXPECT_TRUE(store.remove(a.id));
    EXPECT_EQ(FilePeerStore(file).all(), std::vector<Peer>{b});

    writeFile("[]");
    EXPECT_TRUE(store.remove("00000000000000000000000000000000"));
    EXPECT_EQ(FilePeerStore(file).all(), std::vector<Peer>{b});
}

TEST_F(FilePeerStoreTest, InvalidUtf8InANameDoesNotStopWriting) {
    FilePeerStore store(file);
    Peer p = makePeer("x");
    p.name = "bad \xff name";
    EXPECT_TRUE(store.save(p));
    const FilePeerStore reloaded(file);
    ASSERT_TRUE(reloaded.find(p.id).has_value());
    EXPECT_EQ(reloaded.find(p.id)->name, "bad \xEF\xBF\xBD name");
}

TEST_F(FilePeerStoreTest, ConcurrentWritersLeaveEveryPeerInTheFile) {
    FilePeerStore store(file);
    constexpr int kThreads = 8, kEach = 10;
    std::vector<std::vector<Peer>> made(kThreads);
    for (auto& list : made) {
        for (int i = 0; i < kEach; ++i)
            list.push_back(makePeer("p" + std::to_string(i)));
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (const Peer& p : made[t]) {
                EXPECT_TRUE(store.save(p));
                EXPECT_EQ(store.find(p.id), p);
                (void)store.all();
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(FilePeerStore(file).all().size(), static_cast<std::size_t>(kThreads * kEach));
}

}  // namespace
}  // namespace velmora
