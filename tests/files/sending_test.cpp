// Files to the phone: one worker per file, exactly the offered bytes, and every way a send ends.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cstring>
#include <fstream>

#include "app/model/features/files/transfer_tables.h"
#include "core/l10n/l10n.h"
#include "core/posix/unique_fd.h"
#include "files/files_story.h"

namespace velmora {
namespace {

using test::FilesStory;
using test::sha;

TEST(Sending, SeveralFilesGoAtOnceEachUnderItsOwnEvenIdWithExactlyItsBytes) {
    FilesStory s;
    const std::string big = test::pattern(300000, 7);
    std::filesystem::create_directories(s.h.dir.path() / "folder");
    s.model->sendFiles({s.write("big.bin", big), s.h.dir.path() / "folder", s.write("empty.txt", "")});
    const nlohmann::json bigOffer = s.offerOf("big.bin"), emptyOffer = s.offerOf("empty.txt");
    EXPECT_EQ(bigOffer.value("size", -1), 300000);
    EXPECT_EQ(bigOffer.value("sha256", ""), sha(big));
    EXPECT_EQ(emptyOffer.value("sha256", ""), sha(""));
    const std::uint32_t bigTid = bigOffer.value("tid", 0U), emptyTid = emptyOffer.value("tid", 0U);
    EXPECT_EQ(std::set<std::uint32_t>({bigTid, emptyTid}), std::set<std::uint32_t>({2, 4}));
    EXPECT_TRUE(s.model->hasTransferWork());
    s.model->fileAccepted(bigTid);
    s.model->fileAccepted(emptyTid);
    ASSERT_TRUE(test::waitUntil([&] { return s.sentTo(bigTid).size() == big.size(); }));
    EXPECT_EQ(s.sentTo(bigTid), big);
    // Each worker's texts come in order; the other one showed its "sending" long ago.
    s.model->fileDone(emptyTid, true);
    ASSERT_TRUE(s.textIs(L10n::format("transfer.sent", {"empty.txt"})));
    s.model->fileDone(bigTid, true);
    ASSERT_TRUE(s.textIs(L10n::format("transfer.sent", {"big.bin"})));
    EXPECT_EQ(s.sentTo(emptyTid), "");  // no record for an empty file
    ASSERT_TRUE(s.h.pumpUntil([&] { return !s.model->hasTransferWork(); }));
}

// Table: a named pipe, a socket and a device, picked or dropped, are refused at once with their own text:
// nothing is offered, no id is used, no worker waits (a pipe's open would, for a writer that never comes).
TEST(Sending, WhatIsNotARegularFileIsRefusedUpFrontAndNothingWaits) {
    FilesStory s;
    const std::filesystem::path pipe = s.h.dir.path() / "fila", socket = s.h.dir.path() / "tomada";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const UniqueFd listening(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listening.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    for (const std::filesystem::path& path : {pipe, socket, std::filesystem::path("/dev/null")}) {
        SCOPED_TRACE(path);
        s.model->sendFiles({path});
        EXPECT_FALSE(s.model->hasTransferWork());
        ASSERT_TRUE(s.textIs(L10n::format("transfer.not_regular", {path.filename().string()})));
    }
    s.model->sendFiles({s.write("depois.txt", "ok")});
    EXPECT_EQ(s.tidOf("depois.txt"), 2U) << "the refused ones used no id";
}

// The phone's reject races the worker that offered: the line ends on "rejected" however the threads run.
TEST(Sending, ARejectAnsweredAtOnceIsTheLastTextShown) {
    FilesStory s;
    for (int round = 0; round < 20; ++round) {
        const std::string name = "r" + std::to_string(round) + ".txt";
        s.model->sendFiles({s.write(name, "x")});
        s.model->fileRejected(s.tidOf(name));  // as soon as the phone has the offer
        ASSERT_TRUE(s.h.pumpUntil([&] { return !s.model->hasTransferWork(); }));
        s.h.exec->runPending();
        EXPECT_EQ(s.model->state().transferText, L10n::string("transfer.rejected")) << name;
    }
}

TEST(Sending, EveryEndingOfASendShowsItsTextAndLeavesNoTransferWork) {
    FilesStory s;
    // Rejected, no answer, no "file.done", "ok" false; one at a time, so the last text is the one looked for.
    const auto start = [&](const std::string& name) {
        s.model->sendFiles({s.write(name, name.substr(0, 1))});
        EXPECT_TRUE(s.textIs(L10n::format("transfer.sending", {name})));
        return s.tidOf(name);
    };
    s.model->fileRejected(start("no.txt"));
    ASSERT_TRUE(s.textIs(L10n::string("transfer.rejected")));
    const std::uint32_t silent = start("silent.txt");
    EXPECT_GE(s.passUntil(L10n::string("transfer.no_reply")), 30);
    s.model->fileAccepted(silent);  // too late: changes nothing
    const std::uint32_t lost = start("lost.txt"), failed = start("failed.txt");
    s.model->fileAccepted(lost);
    s.model->fileAccepted(failed);
    ASSERT_TRUE(test::waitUntil([&] { return s.sentTo(lost) == "l" && s.sentTo(failed) == "f"; }));
    s.model->fileDone(failed, false);
    ASSERT_TRUE(s.textIs(L10n::format("transfer.send_failed", {"failed.txt"})));
    const int waited = s.passUntil(L10n::format("transfer.send_failed", {"lost.txt"}));
    EXPECT_GE(waited, 60);
    // A file that shrank after its offer fails instead of ending early with fewer bytes than offered.
    const auto shrinking = s.write("shrinks.txt", "0123456789");
    s.model->sendFiles({shrinking});
    const std::uint32_t shrinks = s.tidOf("shrinks.txt");
    std::filesystem::resize_file(shrinking, 4);
    s.model->fileAccepted(shrinks);
    ASSERT_TRUE(s.textIs(L10n::format("transfer.read_failed", {"shrinks.txt"})));
    // A file that cannot be read is reported and still uses up its id; the next one gets the id after it.
    s.model->sendFiles({s.h.dir.path() / "missing.txt"});
    ASSERT_TRUE(s.textIs(L10n::format("transfer.read_failed", {"missing.txt"})));
    s.model->sendFiles({s.write("next.txt", "x")});
    EXPECT_EQ(s.tidOf("next.txt"), 14U);
    s.model->fileRejected(14);
    ASSERT_TRUE(s.h.pumpUntil([&] { return !s.model->hasTransferWork(); }));
    EXPECT_EQ(followingTid(2147483644), 2147483646U);
    EXPECT_EQ(followingTid(2147483646), 2U);
}

}  // namespace
}  // namespace velmora
