// Files from the phone: admission, bad input, free names, the stall, the session's end, a full disk.
#include <sys/resource.h>

#include <csignal>

#include "app/model/features/files/transfer_policy.h"
#include "core/l10n/l10n.h"
#include "files/files_story.h"

namespace velmora {
namespace {

using test::FilesStory;
using test::sha;
using TransferPolicy::Verdict;

TEST(Receiving, OffersAreAdmittedByIdCountAndSpaceInThatOrder) {
    const auto offer = [](std::uint32_t t, std::int64_t n) { return Inbound::FileOffer{t, "a", n, ""}; };
    const std::set<std::uint32_t> eight{1, 3, 5, 7, 9, 11, 13, 15}, one{1};
    const std::int64_t reserve = TransferPolicy::reserveBytes, max = INT64_MAX;
    using Row = std::tuple<Inbound::FileOffer, std::set<std::uint32_t>, std::optional<std::int64_t>,
                           std::int64_t, Verdict>;
    for (const auto& [o, active, space, pending, verdict] : {
             Row{offer(1, 10), eight, 1000000000000, 0, Verdict::rejectDuplicate},
             Row{offer(17, 10), eight, 1000000000000, 0, Verdict::rejectTooMany},
             Row{offer(17, max), one, std::nullopt, max, Verdict::accept},
             Row{offer(3, 100), one, 100 + 50 + reserve, 50, Verdict::accept},
             Row{offer(3, 100), one, 100 + 50 + reserve - 1, 50, Verdict::rejectNoSpace},
             Row{offer(3, 100), one, 100 + reserve, -50, Verdict::accept},
             Row{offer(3, max), one, max, 1, Verdict::rejectNoSpace},
         }) {
        EXPECT_EQ(TransferPolicy::decide(o, active, space, pending, reserve), verdict)
            << o.tid << " " << o.size;
    }
    const std::vector<std::pair<std::string, bool>> paths{
        {"/d/V/a", true}, {"/d/V/x/../a", true}, {"/d/V/../a", false}, {"/d/V/x/a", false}, {"a", false}};
    for (const auto& [file, inside] : paths) {
        EXPECT_EQ(TransferPolicy::isDirectChild(file, "/d/V/"), inside) << file;
    }
}

TEST(Receiving, WhatThePhoneSendsEndsWithItsReplyAndOnlyVerifiedFilesUnderTheirNames) {
    FilesStory s;
    EXPECT_EQ(s.entries(), (std::vector<std::string>{"keep.part"}));  // a crash's leftover went at start
    const std::string body = "conteúdo do arquivo";
    const std::string longName = std::string(290, 'n') + ".txt";
    const std::int64_t n = static_cast<std::int64_t>(body.size());
    const auto done = [](std::uint32_t tid, const char* error) {
        nlohmann::json m{{"t", "file.done"}, {"tid", tid}, {"ok", error == nullptr}};
        if (error) m["error"] = error;
        return m;
    };
    const auto reject = [](std::uint32_t tid) { return nlohmann::json{{"t", "file.reject"}, {"tid", tid}}; };
    // Table: id, name, size, digest, records, the reply that ends it, the file it leaves.
    struct Row {
        std::uint32_t tid;
        nlohmann::json name;
        std::int64_t size;
        std::string digest;
        std::vector<std::string> records;
        nlohmann::json reply;
        std::string placed;
    };
    const std::vector<std::string> split{body.substr(0, 5), body.substr(5)};
    const std::string invalid = "ok\xff\xfe.txt", replaced = "ok\xEF\xBF\xBD\xEF\xBF\xBD.txt";
    for (const Row& r : std::vector<Row>{
             {1, "../../etc/passwd", n, sha(body), {body}, done(1, nullptr), "passwd"},
             {3, "a/b\\c:d.txt", n, sha(body), split, done(3, nullptr), "c_d.txt"},
             {5, "..", n, sha(body), {body}, done(5, nullptr), "arquivo"},
             {7, ".bashrc", n, sha(body), {body}, done(7, nullptr), "bashrc"},
             {9, std::string("nul\0l.txt", 9), n, sha(body), {body}, done(9, nullptr), "null.txt"},
             {11, longName, n, sha(body), {body}, done(11, nullptr), std::string(196, 'n') + ".txt"},
             {13, invalid, n, sha(body), {body}, done(13, nullptr), replaced},
             {15, "empty", 0, sha(""), {}, done(15, nullptr), "empty"},
             {17, "more.bin", 5, sha("12345"), {"123", "4567890"}, done(17, nullptr), "more.bin"},
             {19, "bad.bin", n, sha("other"), {body}, done(19, "checksum_mismatch"), ""},
             {21, "empty", 0, std::string(64, 'A'), {}, done(21, "checksum_mismatch"), ""},
             {23, "huge", 8589934593, sha(""), {}, reject(23), ""},
             {24, "even", 1, sha(""), {}, reject(24), ""},
             {25, "short", 1, std::string(63, 'a'), {}, reject(25), ""},
         }) {
        SCOPED_TRACE(r.tid);
        const auto before = s.entries();
        s.offer(r.tid, r.name, r.size, r.digest);
        for (const std::string& data : r.records)
            s.chunk(r.tid, data);
        s.chunk(r.tid, "late");  // a finished or unknown id: ignored
        ASSERT_NE(s.h.journal->waitFor("phone " + r.reply.dump()), "");
        auto after = before;
        if (!r.placed.empty()) {
            after.push_back(r.placed);
            std::ranges::sort(after);
            EXPECT_EQ(test::readFile(s.folder / r.placed).size(), static_cast<std::size_t>(r.size));
        }
        EXPECT_EQ(s.entries(), after);
    }
    EXPECT_EQ(std::filesystem::directory_iterator(s.folder.parent_path())->path(),
              s.folder);  // only the folder
    EXPECT_NE(s.h.log().find("oferta de arquivo recusada: campos inválidos"), std::string::npos);
    EXPECT_FALSE(s.model->hasTransferWork());
}

TEST(Receiving, SameNamesTakeTheNextFreeNameAndTheListKeepsTheFiveNewest) {
    FilesStory s;
    std::ofstream(s.folder / "notes (1)") << "already there";
    std::filesystem::create_symlink("/nonexistent",
                                    s.folder / "photo (1).jpg");  // a dangling link is taken too
    const std::vector<std::string> names{"photo.jpg", "photo.jpg",      "photo.jpg",     "notes",
                                         "notes",     "archive.tar.gz", "archive.tar.gz"};
    std::uint32_t tid = 101;
    for (const std::string& name : names) {
        s.offer(tid, name, 1, sha("x"));
        s.chunk(tid, "x");
        ASSERT_NE(s.reply("\"ok\":true,\"t\":\"file.done\",\"tid\":" + std::to_string(tid)), "");
        tid += 2;
    }
    EXPECT_EQ(s.entries(), (std::vector<std::string>{"archive.tar (1).gz", "archive.tar.gz", "keep.part",
                                                     "notes", "notes (1)", "notes (2)", "photo (1).jpg",
                                                     "photo (2).jpg", "photo (3).jpg", "photo.jpg"}));
    ASSERT_TRUE(s.textIs(L10n::format("transfer.received", {"archive.tar (1).gz"})));
    std::vector<std::string> recent;
    for (const ReceivedFile& f : s.model->state().recentFiles)
        recent.push_back(f.path.filename().string());
    EXPECT_EQ(recent, (std::vector<std::string>{"archive.tar (1).gz", "archive.tar.gz", "notes (2)", "notes",
                                                "photo (3).jpg"}));
    EXPECT_EQ(s.h.journal->count("notices.show " + L10n::string("notif.file_received.title")), 7);
    // Reveal and open stay in the folder: a path outside it, or a file gone, opens the folder.
    s.model->revealReceived(s.folder / "notes");
    s.model->openReceived(s.folder / "gone.txt");
    s.model->revealReceived(s.folder / ".." / "Velmora" / ".." / "secret");
    EXPECT_EQ(s.h.journal->count("workspace.reveal " + (s.folder / "notes").string()), 1);
    EXPECT_EQ(s.h.journal->count("workspace.open " + s.folder.string()), 2);
}

TEST(Receiving, EightRunAtOnceAndAStalledOneIsAbortedAfterSixtySecondsWithoutARecord) {
    FilesStory s;
    for (std::uint32_t tid = 201; tid <= 215; tid += 2)
        s.offer(tid, "f" + std::to_string(tid), 10, sha("0123456789"));
    s.offer(217, "ninth", 10, sha("0123456789"));
    s.offer(201, "again", 10, sha("0123456789"));
    EXPECT_NE(s.reply("\"t\":\"file.reject\",\"tid\":217}"), "");
    EXPECT_NE(s.reply("\"t\":\"file.reject\",\"tid\":201}"), "");
    EXPECT_EQ(s.entries().size(), 8U + 1);  // eight hidden temporary files beside keep.part
    EXPECT_TRUE(s.model->hasTransferWork());
    // Half of 201 now, the rest after 50 s: it stays; the others go at 60 s.
    s.chunk(201, "01234");
    s.pass(50);
    s.chunk(201, "56789");
    ASSERT_NE(s.reply("\"ok\":true,\"t\":\"file.done\",\"tid\":201}"), "");
    s.offer(219, "late", 10, sha("0123456789"));
    s.pass(10);
    ASSERT_NE(s.reply("\"error\":\"write_failed\",\"ok\":false,\"t\":\"file.done\",\"tid\":215}"), "");
    EXPECT_EQ(s.entries().size(), 3U);  // f201, keep.part and 219's, which was offered 10 s ago
    ASSERT_TRUE(s.textIs(L10n::format("transfer.receive_failed", {"f215"})));
    EXPECT_NE(s.h.log().find("recebimento 203 abortado: sem dados por 60 s"), std::string::npos);
    // The session's end drops what is left, with nothing sent, and wakes a sender waiting for "file.done".
    s.model->sendFiles({s.write("out.txt", "o")});
    s.model->fileAccepted(s.tidOf("out.txt"));
    ASSERT_TRUE(test::waitUntil([&] { return s.sentTo(2) == "o"; }));
    s.h.hangUp();
    ASSERT_TRUE(s.h.pumpUntil(ConnState::Kind::idle));
    EXPECT_EQ(s.entries(), (std::vector<std::string>{"f201", "keep.part"}));
    ASSERT_TRUE(s.textIs(L10n::format("transfer.send_failed", {"out.txt"})));
    ASSERT_TRUE(s.h.pumpUntil([&] { return !s.model->hasTransferWork(); }));
}

TEST(Receiving, AFullDiskEndsTheTransferWithWriteFailedAndRemovesItsFile) {
    FilesStory s;
    // A file size limit stands in for a full disk: past it a write fails as it would with ENOSPC.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{}, small{65536, RLIM_INFINITY};
    ::getrlimit(RLIMIT_FSIZE, &before);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string block(40000, 'b');
    s.offer(301, "big.bin", 80000, sha(block + block));
    s.chunk(301, block);
    s.chunk(301, block);
    ::setrlimit(RLIMIT_FSIZE, &before);
    ASSERT_NE(s.reply("\"error\":\"write_failed\",\"ok\":false,\"t\":\"file.done\",\"tid\":301}"), "");
    EXPECT_EQ(s.entries(), (std::vector<std::string>{"keep.part"}));
    ASSERT_TRUE(s.textIs(L10n::format("transfer.write_failed", {"big.bin"})));
    EXPECT_NE(s.h.log().find("recebimento 301 abortado: erro de gravação"), std::string::npos);
}

}  // namespace
}  // namespace velmora
