// Receiving files from the phone: the offer's admission, the records written and hashed as they arrive,
// the digest check and the placement under a free name, the abort of a stalled transfer, and the reveal and
// open of what arrived.
//
// Threads: receiveOffer and receiveFileChunk run on the session's receive thread and send their replies
// themselves, never holding the transfer tables' mutex across disk work or a send; the status line, the
// received list and the notice are posted to main. The stall watch runs on main.
#include <chrono>

#include "app/model/app_model.h"
#include "app/model/features/files/received_folder.h"
#include "app/model/features/files/transfer_policy.h"
#include "core/crypto/cxp_crypto.h"
#include "core/l10n/l10n.h"
#include "core/log/velmora_log.h"

namespace velmora {

namespace {

// An incoming transfer without a record for this long is abandoned: it would hold a slot and keep link
// upgrades off for the rest of the session.
constexpr double kStallSeconds = 60.0;
constexpr std::size_t kRecentMax = 5;

std::string uuid() {
    const std::string hex = CXPCrypto::hex(CXPCrypto::randomBytes(16));
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) +
           "-" + hex.substr(20);
}

std::int64_t wallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

nlohmann::json reply(const char* type, std::uint32_t tid) {
    return {{"t", type}, {"tid", tid}};
}

nlohmann::json doneReply(std::uint32_t tid, bool ok, const char* error = nullptr) {
    nlohmann::json message{{"t", "file.done"}, {"tid", tid}, {"ok", ok}};
    if (error) message["error"] = error;
    return message;
}

}  // namespace

std::filesystem::path AppModel::downloadsDir() const {
    return files_->folder();
}

bool AppModel::hasTransferWork() const {
    return files_->hasWork();
}

void AppModel::setTransfer(std::optional<std::string> text, TransferTone tone) {
    post([text = std::move(text), tone](AppModel& model) {
        model.edit().transferText = text;
        model.edit().transferFailure = tone == TransferTone::failure ? text : std::nullopt;
    });
}

// A reply the phone does not get (the link failed) changes nothing here.
void AppModel::replyFile(LinkSession& session, const nlohmann::json& message) const {
    try {
        session.sendControl(message);
    } catch (const std::exception&) {
    }
}

void AppModel::receiveOffer(LinkSession& session, const nlohmann::json& message) {
    // The phone's offers carry odd ids; even ones are the computer's own.
    const auto read = Inbound::fileOffer(message);
    const auto offer = read && read->tid % 2 == 1 ? read : std::nullopt;
    if (!offer) {
        if (const auto tid = Inbound::tid(message)) replyFile(session, reply("file.reject", *tid));
        VelmoraLog::write("oferta de arquivo recusada: campos inválidos");
        return;
    }
    const std::uint32_t tid = offer->tid;
    const std::string tidText = std::to_string(tid);
    const std::filesystem::path& folder = files_->folder();
    const auto [active, pending] = files_->incomingSnapshot();
    const auto verdict = TransferPolicy::decide(*offer, active, ReceivedFolder::freeBytes(folder), pending,
                                                TransferPolicy::reserveBytes);
    if (verdict != TransferPolicy::Verdict::accept) {
        replyFile(session, reply("file.reject", tid));
        VelmoraLog::write("oferta de arquivo " + tidText +
                          " recusada: " + std::string(TransferPolicy::name(verdict)));
        if (verdict == TransferPolicy::Verdict::rejectNoSpace)
            setTransfer(L10n::string("transfer.no_space"), TransferTone::failure);
        return;
    }
    const std::filesystem::path temporary = folder / ReceivedFolder::temporaryName(tid);
    if (!TransferPolicy::isDirectChild(temporary, folder)) {
        replyFile(session, reply("file.reject", tid));
        VelmoraLog::write("oferta de arquivo " + tidText + " recusada: destino fora da pasta de recebidos");
        return;
    }
    std::shared_ptr<IncomingFile> file = IncomingFile::create(temporary, *offer, session.serial(), now());
    if (!file) {
        replyFile(session, reply("file.reject", tid));
        return;
    }
    if (!files_->addIncoming(file)) {  // another session's offer took the id meanwhile
        file->discard();
        replyFile(session, reply("file.reject", tid));
        return;
    }
    replyFile(session, reply("file.accept", tid));
    setTransfer(L10n::format("transfer.receiving", {offer->name}));
    if (offer->size == 0) {
        if (files_->takeIncoming(*file)) completeIncoming(session, *file);
        return;
    }
    post([tid, weak = std::weak_ptr<IncomingFile>(file)](AppModel& model) {
        model.watchStall(tid, weak, kStallSeconds);
    });
}

void AppModel::receiveFileChunk(LinkSession& session, ByteView chunk) {
    if (chunk.size() < 4) return;
    const std::uint32_t tid = (std::uint32_t{chunk[0]} << 24) | (std::uint32_t{chunk[1]} << 16) |
                              (std::uint32_t{chunk[2]} << 8) | std::uint32_t{chunk[3]};
    const std::shared_ptr<IncomingFile> file = files_->incoming(tid, session.serial());
    if (!file) return;
    // Bytes beyond the announced size are dropped; the transfer completes with the ones it expects.
    const auto data = chunk.subspan(4);
    const std::size_t take = static_cast<std::size_t>(std::min<std::int64_t>(
        static_cast<std::int64_t>(data.size()), std::max<std::int64_t>(0, file->remaining())));
    if (!file->append(data.first(take), now())) {
        if (!files_->takeIncoming(*file)) return;  // aborted meanwhile: already reported
        file->discard();
        replyFile(session, doneReply(tid, false, "write_failed"));
        setTransfer(L10n::format("transfer.write_failed", {file->offer().name}), TransferTone::failure);
        VelmoraLog::write("recebimento " + std::to_string(tid) + " abortado: erro de gravação");
        return;
    }
    if (file->complete() && files_->takeIncoming(*file)) completeIncoming(session, *file);
}

// The transfer is out of the table: only this thread touches it now.
void AppModel::completeIncoming(LinkSession& session, IncomingFile& file) {
    const Inbound::FileOffer& offer = file.offer();
    // The digest cannot be had (the crypto library failed): this transfer ends like one that could not be
    // written, and the session goes on. The wire knows only the two causes.
    bool matches = false, hashed = true;
    try {
        matches = file.finish();
    } catch (const std::exception& e) {
        hashed = false;
        VelmoraLog::write("recebimento " + std::to_string(offer.tid) +
                          " abortado: resumo SHA-256 indisponível (" + e.what() + ")");
    }
    std::optional<std::filesystem::path> placed;
    if (matches) placed = ReceivedFolder::place(file.temporary(), files_->folder(), offer.name);
    if (!placed) {
        file.discard();
        const bool mismatch = hashed && !matches;
        replyFile(session, doneReply(offer.tid, false, mismatch ? "checksum_mismatch" : "write_failed"));
        setTransfer(L10n::format("transfer.receive_failed", {offer.name}), TransferTone::failure);
        return;
    }
    replyFile(session, doneReply(offer.tid, true));
    const std::string finalName = placed->filename().string();
    setTransfer(L10n::format("transfer.received", {finalName}));
    post([entry = ReceivedFile{uuid(), *placed, wallMs()}, finalName](AppModel& model) {
        std::vector<ReceivedFile>& recent = model.edit().recentFiles;
        recent.insert(recent.begin(), entry);
        if (recent.size() > kRecentMax) recent.resize(kRecentMax);
        model.notifyLocal(L10n::string("notif.file_received.title"), finalName, entry.path.string());
    });
}

// Main. Aborts the transfer when it went without a record for the whole stall time, else looks again when
// that time will have passed since its last record.
void AppModel::watchStall(std::uint32_t tid, std::weak_ptr<IncomingFile> weak, double delay) {
    after(delay, [tid, weak](AppModel& model) {
        const std::shared_ptr<IncomingFile> file = weak.lock();
        if (!file) return;
        const double idle = model.now() - file->lastActivity();
        if (idle < kStallSeconds) return model.watchStall(tid, weak, kStallSeconds - idle);
        if (!model.files_->takeIncoming(*file)) return;
        file->discard();
        VelmoraLog::write("recebimento " + std::to_string(tid) + " abortado: sem dados por 60 s");
        model.edit().transferText = L10n::format("transfer.receive_failed", {file->offer().name});
        model.edit().transferFailure = model.state_.transferText;
        // The phone learns of it through the send queue: main never waits on the link.
        const std::shared_ptr<LinkSession> session = model.session_;
        if (session && model.sendQueue_ && session->serial() == file->session()) {
            model.sendQueue_->post([session, tid] {
                try {
                    session->sendControl(doneReply(tid, false, "write_failed"));
                } catch (const std::exception&) {
                }
            });
        }
    });
}

// Main, when the live session ended: every incoming file goes, every waiting sender wakes.
void AppModel::endTransfers() {
    for (const auto& file : files_->takeAllIncoming())
        file->discard();
    files_->wakeSenders();
}

void AppModel::revealReceived(const std::filesystem::path& file) {
    const std::filesystem::path& folder = files_->folder();
    if (!ports_.workspace || folder.empty()) return;
    std::error_code ignored;
    if (TransferPolicy::isDirectChild(file, folder) && std::filesystem::exists(file, ignored)) {
        ports_.workspace->reveal(file);
    } else {
        ports_.workspace->open(folder);
    }
}

void AppModel::openReceived(const std::filesystem::path& file) {
    const std::filesystem::path& folder = files_->folder();
    if (!ports_.workspace || folder.empty()) return;
    std::error_code ignored;
    ports_.workspace->open(
        TransferPolicy::isDirectChild(file, folder) && std::filesystem::exists(file, ignored) ? file
                                                                                              : folder);
}

}  // namespace velmora
