// Sending files to the phone: one worker per file on the session standing when the user asked, each
// hashing its file, offering it, waiting for the answer, streaming exactly the offered bytes and waiting
// for "file.done"; and the phone's answers, which only look up and wake those workers.
//
// Threads: sendFiles and pickAndSendFiles on main; each worker on a thread of the transfer tables, joined at
// shutdown; the answers on the receive thread. The waits' timers run on the main executor, so their 30 s
// and 60 s follow the model's clock.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/model/app_model.h"
#include "app/model/features/files/digest_worker.h"
#include "core/errors/friendly_errors.h"
#include "core/l10n/l10n.h"

namespace velmora {

namespace {

constexpr std::size_t kHashRead = DigestWorker::kBlock;
constexpr std::size_t kRecordData = 65536;
// The file is read in large blocks, each sent as records of kRecordData: one read per sixteen records.
constexpr std::size_t kStreamRead = 16 * kRecordData;
constexpr double kAnswerWait = 30.0;
constexpr double kDoneWait = 60.0;

// Reads up to `buffer.size()` bytes; 0 at the end of the file, -1 on an error.
ssize_t readSome(int fd, Bytes& buffer, std::size_t want) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), want);
        if (n >= 0 || errno != EINTR) return n;
    }
}

// The digest of exactly the first `size` bytes; absent on a read error or when the file is shorter. Each
// block is hashed on the digest's worker while the next one is read.
std::optional<std::string> hashFile(int fd, std::int64_t size) {
    DigestWorker hasher;
    for (std::int64_t left = size; left > 0;) {
        Bytes block = hasher.spareBlock();
        block.resize(static_cast<std::size_t>(std::min<std::int64_t>(left, kHashRead)));
        const ssize_t n = readSome(fd, block, block.size());
        if (n <= 0) return std::nullopt;
        block.resize(static_cast<std::size_t>(n));
        hasher.update(std::move(block));
        left -= n;
    }
    return hasher.finishHex();
}

}  // namespace

void AppModel::sendFiles(std::vector<std::filesystem::path> files) {
    if (state_.idleDescended) {
        // Resting on Bluetooth: a transfer there would be slow and would hold the link down until it ended.
        // The same files go again once the fast link is back, at the latest after the wake's bound.
        afterWake([weak = weak_from_this(), files = std::move(files)] {
            if (const auto model = weak.lock()) model->sendFiles(files);
        });
        return;
    }
    const std::shared_ptr<LinkSession> session = session_;
    if (!session) return;
    for (const std::filesystem::path& path : files) {
        std::error_code ignored;
        const auto type = std::filesystem::status(path, ignored).type();
        if (type == std::filesystem::file_type::directory) continue;
        // A named pipe, a socket or a device has no size to offer, and opening a pipe would wait for a
        // writer forever; a missing file goes on to the worker, which reports it unreadable.
        if (type != std::filesystem::file_type::regular && type != std::filesystem::file_type::not_found) {
            setTransfer(L10n::format("transfer.not_regular", {path.filename().string()}),
                        TransferTone::failure);
            continue;
        }
        files_->beginSend();
        const bool started = files_->senders().launch([this, path, session] {
            try {
                sendFile(path, *session);
            } catch (const std::exception&) {  // the digest could not be computed: nothing was offered
                setTransfer(L10n::format("transfer.read_failed", {path.filename().string()}),
                            TransferTone::failure);
            }
            files_->endSend();
        });
        if (!started) files_->endSend();
    }
}

void AppModel::pickAndSendFiles() {
    if (!ports_.workspace) return;
    std::vector<std::filesystem::path> picked = ports_.workspace->pickFiles();
    if (!picked.empty()) sendFiles(std::move(picked));
}

// A worker. The id is used up even when the send ends early.
void AppModel::sendFile(const std::filesystem::path& path, LinkSession& session) {
    const std::uint32_t tid = files_->takeTid();
    const std::string name = path.filename().string();
    // Never blocks in open, should the path have become a pipe since it was looked at.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        setTransfer(L10n::format(fd.valid() ? "transfer.not_regular" : "transfer.read_failed", {name}),
                    TransferTone::failure);
        return;
    }
    // A file that cannot be read whole is reported now, not offered with the digest of a part of it.
    const std::int64_t size = info.st_size;
    const std::optional<std::string> digest = hashFile(fd.get(), size);
    if (!digest || ::lseek(fd.get(), 0, SEEK_SET) != 0) {
        setTransfer(L10n::format("transfer.read_failed", {name}), TransferTone::failure);
        return;
    }
    const auto waits = files_->registerSend(tid);
    if (!waits) return;
    const auto expireAfter = [this](double seconds, const std::shared_ptr<TransferWait>& wait) {
        return ports_.main->postAfter(seconds, [weak = std::weak_ptr<TransferWait>(wait)] {
            if (const auto live = weak.lock()) live->expire();
        });
    };
    const auto finish = [&] { files_->forgetSend(tid); };
    // The answer's time runs from the offer; armed first, so it is there once the offer is out.
    const TimerHandle answerTimer = expireAfter(kAnswerWait, waits->answer);
    // Shown before the offer goes: the phone's answer may reach main before this thread runs again, and
    // the line must end on what happened last.
    setTransfer(L10n::format("transfer.sending", {name}));
    try {
        session.sendControl(
            {{"t", "file.offer"}, {"tid", tid}, {"name", name}, {"size", size}, {"sha256", *digest}});
    } catch (const std::exception& e) {
        answerTimer.cancel();
        setTransfer(L10n::format("transfer.send_error", {FriendlyErrors::text(e)}), TransferTone::failure);
        return finish();
    }
    const bool answered = waits->answer->wait();
    answerTimer.cancel();
    if (!answered) {
        setTransfer(L10n::string("transfer.no_reply"), TransferTone::failure);
        return finish();
    }
    // Gone from the table: rejected (the answer set its own text) or the session ended.
    if (!files_->stillOffered(tid)) return finish();
    if (!streamFile(fd.get(), size, tid, session, name)) return finish();
    const TimerHandle doneTimer = expireAfter(kDoneWait, waits->done);
    (void)waits->done->wait();
    doneTimer.cancel();
    const bool ok = files_->doneOk(tid);
    setTransfer(L10n::format(ok ? "transfer.sent" : "transfer.send_failed", {name}),
                ok ? TransferTone::progress : TransferTone::failure);
    finish();
}

// Exactly `size` bytes, as offered: a file that shrank since is a failure, one that grew is cut.
bool AppModel::streamFile(int fd, std::int64_t size, std::uint32_t tid, LinkSession& session,
                          const std::string& name) {
    Bytes buffer(kStreamRead);
    for (std::int64_t left = size; left > 0;) {
        const ssize_t n =
            readSome(fd, buffer, static_cast<std::size_t>(std::min<std::int64_t>(left, kStreamRead)));
        if (n <= 0) {
            setTransfer(L10n::format("transfer.read_failed", {name}), TransferTone::failure);
            return false;
        }
        const ByteView block = ByteView(buffer).first(static_cast<std::size_t>(n));
        try {
            // One call for the whole block: its records are sealed while the ones before are written.
            session.sendFileChunks(tid, block, kRecordData);
        } catch (const std::exception& e) {
            setTransfer(L10n::format("transfer.send_error", {FriendlyErrors::text(e)}),
                        TransferTone::failure);
            return false;
        }
        left -= n;
    }
    return true;
}

void AppModel::fileAccepted(std::uint32_t tid) {
    files_->accepted(tid);
}

void AppModel::fileRejected(std::uint32_t tid) {
    files_->rejected(tid);
    setTransfer(L10n::string("transfer.rejected"), TransferTone::failure);
}

void AppModel::fileDone(std::uint32_t tid, bool ok) {
    files_->done(tid, ok);
}

}  // namespace velmora
