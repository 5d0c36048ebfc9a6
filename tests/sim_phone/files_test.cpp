// Files both ways, the phone's side: the answers to the computer's offers and chunks (digest checked),
// and the phone's own offers as the computer sees them.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>

#include "core/crypto/cxp_crypto.h"
#include "sim_phone/computer_end.h"
#include "support/temp_dir.h"

namespace velmora::test {
namespace {

using companion::CompanionPhone;
using nlohmann::json;

Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

json offer(std::uint32_t tid, const std::string& name, const Bytes& content, std::string sha = "") {
    if (sha.empty()) sha = CXPCrypto::hex(CXPCrypto::sha256(content));
    return {{"t", "file.offer"}, {"tid", tid}, {"name", name}, {"size", content.size()}, {"sha256", sha}};
}

// The computer's offer, its chunks once accepted, and the phone's last answer for that tid.
json sendToPhone(Connected& c, const json& o, const Bytes& content, std::size_t chunk = 5) {
    const std::size_t from = c.end.records().size();
    c.session().sendControl(o);
    const std::uint32_t tid = o["tid"];
    const auto answer = c.end.waitControl("file.accept", from);
    if (!answer) return {};
    for (std::size_t at = 0; at < content.size(); at += chunk)
        c.session().sendFileChunk(tid, ByteView(content).subspan(at, std::min(chunk, content.size() - at)));
    const auto done = c.end.waitControl("file.done", from);
    return done ? c.end.records()[*done].message : json();
}

TEST(PhoneFiles, AFileFromTheComputerArrivesWholeAndIsSavedUnderItsName) {
    TempDir dir;
    CompanionPhone phone({.saveDir = dir.path() / "recebidos"});
    Connected c(phone);
    const Bytes content = bytesOf("conteúdo do arquivo, em pedaços de cinco bytes");
    EXPECT_EQ(sendToPhone(c, offer(2, "nota.txt", content), content),
              json({{"t", "file.done"}, {"tid", 2}, {"ok", true}}));
    const auto got = phone.receivedFiles();
    ASSERT_EQ(got.size(), 1u);
    ASSERT_TRUE(got[0].savedAs);
    EXPECT_EQ(got[0].savedAs->filename(), "nota.txt");
    std::ifstream in(*got[0].savedAs, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), content);
}

TEST(PhoneFiles, ABadDigestEndsInChecksumMismatchAndLeavesNoFile) {
    TempDir dir;
    CompanionPhone phone({.saveDir = dir.path()});
    Connected c(phone);
    const Bytes content = bytesOf("bytes que não batem com o resumo");
    const json o = offer(4, "errado.bin", content, std::string(64, 'a'));
    EXPECT_EQ(sendToPhone(c, o, content),
              json({{"t", "file.done"}, {"tid", 4}, {"ok", false}, {"error", "checksum_mismatch"}}));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "neither the file nor its temporary remains";
}

TEST(PhoneFiles, AnEmptyFileIsDoneRightAfterTheAccept) {
    CompanionPhone phone;
    Connected c(phone);
    EXPECT_EQ(sendToPhone(c, offer(6, "vazio", {}), {}),
              json({{"t", "file.done"}, {"tid", 6}, {"ok", true}}));
}

TEST(PhoneFiles, InvalidOrRefusedOffersAreRejected) {
    struct Case {
        const char* what;
        json offer;
        json answer;  // null: no answer at all
    };
    const Bytes one = bytesOf("x");
    const std::vector<Case> cases = {
        {"odd id (the phone's own)", offer(3, "a", one), {{"t", "file.reject"}, {"tid", 3}}},
        {"short digest", offer(8, "a", one, std::string(63, 'a')), {{"t", "file.reject"}, {"tid", 8}}},
        {"not hex", offer(10, "a", one, std::string(64, 'g')), {{"t", "file.reject"}, {"tid", 10}}},
        {"negative size",
         {{"t", "file.offer"}, {"tid", 12}, {"size", -1}, {"sha256", std::string(64, 'a')}},
         {{"t", "file.reject"}, {"tid", 12}}},
        {"no id", {{"t", "file.offer"}, {"size", 1}, {"sha256", std::string(64, 'a')}}, nullptr},
    };
    CompanionPhone phone;
    Connected c(phone);
    for (const Case& k : cases) {
        const std::size_t from = c.end.records().size();
        c.session().sendControl(k.offer);
        c.session().sendControl({{"t", "status.get"}});  // its answer comes after any answer to the offer
        const auto status = c.end.waitControl("status", from);
        ASSERT_TRUE(status) << k.what;
        const auto records = c.end.records();
        std::vector<json> answers;
        for (std::size_t i = from; i < *status; ++i)
            answers.push_back(records[i].message);
        EXPECT_EQ(answers, k.answer.is_null() ? std::vector<json>{} : std::vector<json>{k.answer}) << k.what;
    }
    phone.setRefuseFiles(true);
    const std::size_t from = c.end.records().size();
    c.session().sendControl(offer(14, "b", one));
    const auto reject = c.end.waitControl("file.reject", from);
    ASSERT_TRUE(reject);
    EXPECT_EQ(c.end.records()[*reject].message, json({{"t", "file.reject"}, {"tid", 14}}));
}

TEST(PhoneFiles, SeveralFilesToTheComputerAtOnceEachUnderItsOwnOddId) {
    TempDir dir;
    const std::vector<std::pair<std::string, Bytes>> files = {
        {"foto.jpg", Bytes(200000, 7)}, {"vazio.txt", {}}, {"nota.txt", bytesOf("olá")}};
    std::vector<std::filesystem::path> paths;
    for (const auto& [name, content] : files) {
        paths.push_back(dir.path() / name);
        std::ofstream(paths.back(), std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()),
                   static_cast<std::streamsize>(content.size()));
    }
    paths.push_back(dir.path() / "não existe");
    CompanionPhone phone;
    Connected c(phone);
    // The computer accepts every offer and answers done once the announced bytes are in.
    std::map<std::uint32_t, std::pair<json, Bytes>> got;
    std::mutex gotMutex;
    std::thread computer([&] {
        std::size_t seen = 0;
        for (std::size_t done = 0; done < 3;) {
            if (!c.end.waitSize(seen + 1)) return;
            const auto r = c.end.records()[seen++];
            std::lock_guard lock(gotMutex);
            if (r.kind == "control" && r.message.value("t", "") == "file.offer") {
                const std::uint32_t tid = r.message["tid"];
                got[tid].first = r.message;
                c.session().sendControl({{"t", "file.accept"}, {"tid", tid}});
                if (r.message["size"] == 0) {
                    c.session().sendControl({{"t", "file.done"}, {"tid", tid}, {"ok", true}});
                    ++done;
                }
            } else if (r.kind == "file") {
                const std::uint32_t tid = r.bytes[0] << 24 | r.bytes[1] << 16 | r.bytes[2] << 8 | r.bytes[3];
                auto& [o, content] = got[tid];
                content.insert(content.end(), r.bytes.begin() + 4, r.bytes.end());
                if (content.size() == o["size"].get<std::size_t>()) {
                    const bool ok = CXPCrypto::hex(CXPCrypto::sha256(content)) == o["sha256"];
                    c.session().sendControl({{"t", "file.done"}, {"tid", tid}, {"ok", ok}});
                    ++done;
                }
            }
        }
    });
    const auto results = phone.sendFiles(paths);
    computer.join();
    ASSERT_EQ(results.size(), 4u);
    std::set<std::uint32_t> tids;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(results[i].outcome, "sent") << results[i].path;
        EXPECT_EQ(results[i].tid % 2, 1u);
        tids.insert(results[i].tid);
        EXPECT_EQ(got[results[i].tid].first.value("name", ""), files[i].first);
        EXPECT_EQ(got[results[i].tid].second, files[i].second);
    }
    EXPECT_EQ(tids.size(), 3u);
    EXPECT_EQ(results[3].outcome, "unreadable");
}

}  // namespace
}  // namespace velmora::test
