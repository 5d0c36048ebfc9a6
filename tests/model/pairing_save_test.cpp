// The list of paired phones on the real file while the user pairs: a pairing the file could not keep is told
// (it would be refused after a restart), and a list the store would not read is kept aside, never replaced.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/crypto/base64.h"
#include "core/crypto/cxp_crypto.h"
#include "core/helpers.h"
#include "core/l10n/l10n.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ModelHarness;
using Kind = ConnState::Kind;

// The user pairs the simulated phone and confirms the code; true once connected.
bool pairByUser(ModelHarness& h) {
    h.model->connect(h.userConnect());
    if (h.journal->waitFor("prompt.shown ").empty()) return false;
    h.prompt->answer(true);
    return h.pumpUntil(Kind::connected);
}

std::string listedName(const fs::path& file) {
    const nlohmann::json list = nlohmann::json::parse(test::readFile(file), nullptr, false);
    return list.is_array() && list.size() == 1 ? list[0].value("name", "") : "";
}

// Table: what stands where the list is written. Each row pairs once; the pairing holds for this run either
// way, and only a list that was not written is told, in the panel and in the log.
TEST(PairingSave, APairingTheListCouldNotKeepIsToldAndHoldsForThisRun) {
    const struct {
        const char* what;
        std::function<void(const fs::path&dir)> atStart, afterStart;
        bool saved;
    } rows[] = {
        {"nothing in the way", {}, {}, true},
        // A folder takes the list's place while the program runs: the rename onto it fails, even for root.
        {"a folder appears where the list goes",
         {},
         [](const fs::path& dir) { fs::create_directories(dir / "peers.json" / "inside"); },
         false},
        // A folder found at start is moved aside first; an earlier one there stays, and it takes the next
        // name.
        {"a folder at start and its place aside taken",
         [](const fs::path& dir) {
             fs::create_directories(dir / "peers.json" / "inside");
             fs::create_directories(dir / "peers.json.bad" / "older");
         },
         {},
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ModelHarness h;
        if (row.atStart) row.atStart(h.dir.path());
        AppModel& model = h.start();
        if (row.afterStart) row.afterStart(h.dir.path());
        ASSERT_TRUE(pairByUser(h));
        h.exec->runPending();
        ASSERT_EQ(model.state().paired.size(), 1u);  // this run knows the phone, saved or not
        const std::string id = model.state().paired.front().id;
        const std::string logged = "pareamento com Celular Simulado (" + id + "): peers.json não foi gravado";
        if (row.saved) {
            EXPECT_FALSE(model.state().panelNotice);
            EXPECT_EQ(h.log().find(logged), std::string::npos);
            EXPECT_EQ(listedName(h.dir.path() / "peers.json"), "Celular Simulado");
            continue;
        }
        ASSERT_TRUE(model.state().panelNotice);
        EXPECT_EQ(model.state().panelNotice->title, L10n::string("pairing.not_saved.title"));
        EXPECT_EQ(model.state().panelNotice->text,
                  L10n::format("pairing.not_saved.text", {"Celular Simulado"}));
        EXPECT_NE(h.log().find(logged), std::string::npos) << h.log();
        EXPECT_TRUE(fs::is_directory(h.dir.path() / "peers.json" / "inside"));  // nothing was removed
        EXPECT_EQ(model.state().state.kind(), Kind::connected);                 // the session goes on
        h.advance(30);  // long enough to be read once the panel opens after the dialog
        EXPECT_TRUE(model.state().panelNotice);
        h.advance(31);
        EXPECT_FALSE(model.state().panelNotice);
    }
}

// A restore under umask 002 leaves the list group-writable: the store will not read it, but the first save
// keeps it whole as peers.json.bad rather than writing the new list over the other phones' pairings.
TEST(PairingSave, AListTheStoreWouldNotReadIsKeptAsideBeforeTheFirstSave) {
    ModelHarness h;
    const Bytes otherKey = P256PrivateKey::generate().publicX963();
    const std::string restored = nlohmann::json::array({{{"id", CXPCrypto::deviceId(otherKey)},
                                                         {"pub", Base64::encode(otherKey)},
                                                         {"name", "Tablet da sala"},
                                                         {"platform", "android"}}})
                                     .dump();
    const fs::path list = h.dir.path() / "peers.json", aside = h.dir.path() / "peers.json.bad";
    test::writeFile(list, restored, 0664);
    AppModel& model = h.start();
    EXPECT_TRUE(model.state().paired.empty());
    EXPECT_NE(h.log().find("peers.json ignorado"), std::string::npos) << h.log();
    EXPECT_FALSE(fs::exists(aside));  // nothing moves before something is written
    EXPECT_EQ(test::readFile(list), restored);

    ASSERT_TRUE(pairByUser(h));
    h.exec->runPending();
    EXPECT_FALSE(model.state().panelNotice);  // saved: nothing to tell
    EXPECT_EQ(test::readFile(aside), restored);
    EXPECT_EQ(test::modeOf(aside), 0664u);
    EXPECT_EQ(listedName(list), "Celular Simulado");
    EXPECT_EQ(test::modeOf(list), 0600u);
}

}  // namespace
}  // namespace velmora
