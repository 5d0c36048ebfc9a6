#include "core/identity/file_peer_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "core/crypto/base64.h"
#include "core/crypto/cxp_crypto.h"
#include "core/crypto/p256_private_key.h"
#include "helpers.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::modeOf;
using test::readFile;
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

    // Removing rewrites the file, even for an id that is not stored.
    EXPECT_TRUE(reloaded.remove(a.id));
    EXPECT_EQ(FilePeerStore(file).all(), Peers{b});
    test::writeFile(file, "[]");
    EXPECT_TRUE(reloaded.remove("00000000000000000000000000000000"));
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
    EXPECT_EQ(readFile(target), contents);
    EXPECT_EQ(FilePeerStore(file).all(), Peers{fresh});

    test::writeFile(file, contents, 0644);
    if (::chown(file.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "needs root to give a file away";
    EXPECT_TRUE(FilePeerStore(file).ignoredUnsafeFile());
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

}  // namespace
}  // namespace velmora
