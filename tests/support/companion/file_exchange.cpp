#include "support/companion/file_exchange.h"

#include <openssl/evp.h>

#include <chrono>
#include <fstream>
#include <future>

#include "core/channel/frame.h"
#include "core/crypto/cxp_crypto.h"
#include "core/text/safe_text.h"

namespace velmora::companion {
namespace {

using nlohmann::json;

constexpr std::size_t kChunk = 65536;
constexpr std::uint64_t kMaxSize = 8589934592ULL;

// A running SHA-256 for files that are never held whole.
class Digest {
  public:
    Digest() : context_(EVP_MD_CTX_new()) { EVP_DigestInit_ex(context_, EVP_sha256(), nullptr); }
    ~Digest() { EVP_MD_CTX_free(context_); }
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;
    void update(ByteView bytes) { EVP_DigestUpdate(context_, bytes.data(), bytes.size()); }
    std::string hex() {
        Bytes out(32);
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_, out.data(), &length);
        return CXPCrypto::hex(out);
    }

  private:
    EVP_MD_CTX* context_;
};

std::optional<std::uint32_t> tidOf(const json& m) {
    const auto it = m.find("tid");
    if (it == m.end() || !it->is_number_integer()) return std::nullopt;
    const auto v = it->get<std::int64_t>();
    if (v < 1 || v > 2147483647) return std::nullopt;
    return static_cast<std::uint32_t>(v);
}

bool isHexDigest(const std::string& s) {
    return s.size() == 64 && s.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

json reply(const char* t, std::uint32_t tid) {
    return {{"t", t}, {"tid", tid}};
}

// A free name in `dir`: the name itself, else "base (n).ext".
std::filesystem::path freeName(const std::filesystem::path& dir, const std::string& name) {
    const std::filesystem::path plain(name);
    for (int n = 0;; ++n) {
        const std::filesystem::path candidate =
            n == 0
                ? dir / plain
                : dir / (plain.stem().string() + " (" + std::to_string(n) + ")" + plain.extension().string());
        if (!std::filesystem::exists(candidate)) return candidate;
    }
}

}  // namespace

struct FileExchange::Incoming {
    ReceivedFile file;
    std::string sha;
    Digest digest;
    std::uint64_t got = 0;
    std::ofstream out;
    std::filesystem::path partPath;
};

FileExchange::FileExchange(Settings settings) : settings_(std::move(settings)) {
    if (settings_.saveDir) std::filesystem::create_directories(*settings_.saveDir);
}

FileExchange::~FileExchange() = default;

void FileExchange::say(const std::string& line) const {
    if (settings_.say) settings_.say(line);
}

void FileExchange::setRefuse(bool refuse) {
    std::lock_guard lock(mutex_);
    settings_.refuse = refuse;
}

std::vector<json> FileExchange::onOffer(const json& offer) {
    const auto tid = tidOf(offer);
    const auto size = offer.find("size");
    const std::string sha =
        offer.value("sha256", json()).is_string() ? offer["sha256"].get<std::string>() : "";
    const bool sizeOk =
        size != offer.end() && size->is_number_unsigned() && size->get<std::uint64_t>() <= kMaxSize;
    // The computer's transfers carry even ids; an odd one would collide with the phone's own.
    if (!tid || *tid % 2 != 0 || !sizeOk || !isHexDigest(sha)) {
        say("oferta de arquivo inválida recusada: " + offer.dump());
        if (tid) return {reply("file.reject", *tid)};
        return {};
    }
    const auto it = offer.find("name");
    const std::string name =
        SafeText::fileName(it != offer.end() && it->is_string()
                               ? std::optional<std::string_view>(it->get_ref<const std::string&>())
                               : std::nullopt);
    auto in = std::make_unique<Incoming>();
    in->file = {*tid, name, size->get<std::uint64_t>(), false, "", {}, std::nullopt};
    in->sha = lower(sha);
    std::lock_guard lock(mutex_);
    if (settings_.refuse || incoming_.contains(*tid)) {
        say("oferta de arquivo recusada: " + name);
        return {reply("file.reject", *tid)};
    }
    if (settings_.saveDir) {
        in->partPath = *settings_.saveDir / (".recebendo-" + std::to_string(*tid) + ".part");
        in->out.open(in->partPath, std::ios::binary | std::ios::trunc);
        if (!in->out) {
            say("não consegui criar " + in->partPath.string() + "; recusando");
            return {reply("file.reject", *tid)};
        }
    }
    say("recebendo arquivo " + name + " (" + std::to_string(in->file.size) + " bytes, tid " +
        std::to_string(*tid) + ")");
    std::vector<json> replies = {reply("file.accept", *tid)};
    if (in->file.size == 0) {
        replies.push_back(finish(*in));
    } else {
        incoming_[*tid] = std::move(in);
    }
    return replies;
}

std::vector<json> FileExchange::onRecord(ByteView payload) {
    if (payload.size() < 4) return {};
    const std::uint32_t tid = (std::uint32_t{payload[0]} << 24) | (std::uint32_t{payload[1]} << 16) |
                              (std::uint32_t{payload[2]} << 8) | payload[3];
    std::lock_guard lock(mutex_);
    const auto it = incoming_.find(tid);
    if (it == incoming_.end()) return {};
    Incoming& in = *it->second;
    const ByteView body =
        payload.subspan(4, std::min<std::uint64_t>(payload.size() - 4, in.file.size - in.got));
    in.digest.update(body);
    if (in.out.is_open())
        in.out.write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
    else
        in.file.bytes.insert(in.file.bytes.end(), body.begin(), body.end());
    in.got += body.size();
    if (in.got < in.file.size) return {};
    const auto done = std::move(it->second);
    incoming_.erase(it);
    return {finish(*done)};
}

json FileExchange::finish(Incoming& in) {
    const bool match = in.digest.hex() == in.sha;
    bool written = true;
    if (in.out.is_open()) {
        in.out.close();
        written = !in.out.fail();
        if (match && written) {
            const auto target = freeName(*settings_.saveDir, in.file.name);
            std::error_code error;
            std::filesystem::rename(in.partPath, target, error);
            written = !error;
            if (written) in.file.savedAs = target;
        }
        if (!in.file.savedAs) std::filesystem::remove(in.partPath);
    }
    in.file.ok = match && written;
    in.file.error = in.file.ok ? "" : !match ? "checksum_mismatch" : "write_failed";
    json done = {{"t", "file.done"}, {"tid", in.file.tid}, {"ok", in.file.ok}};
    if (!in.file.ok) done["error"] = in.file.error;
    say(in.file.ok ? "arquivo recebido: " + in.file.name + " (" + std::to_string(in.file.size) + " bytes" +
                         (in.file.savedAs ? ", salvo em " + in.file.savedAs->string() : "") + ")"
                   : "arquivo " + in.file.name + " falhou: " + in.file.error);
    received_.push_back(std::move(in.file));
    return done;
}

void FileExchange::onAnswer(const json& answer) {
    const auto tid = tidOf(answer);
    if (!tid) return;
    const std::string t = answer.value("t", "");
    std::lock_guard lock(mutex_);
    const auto it = waiting_.find(*tid);
    if (it == waiting_.end()) return;
    if (t == "file.accept") it->second.accepted = true;
    if (t == "file.reject") it->second.accepted = false;
    if (t == "file.done") {
        const auto ok = answer.find("ok");
        it->second.done = ok != answer.end() && ok->is_boolean() && ok->get<bool>();
    }
    answered_.notify_all();
}

void FileExchange::sessionEnded() {
    std::lock_guard lock(mutex_);
    for (auto& [tid, in] : incoming_)
        if (in->out.is_open()) {
            in->out.close();
            std::filesystem::remove(in->partPath);
        }
    incoming_.clear();
    ++sessionNumber_;
    answered_.notify_all();
}

std::vector<SentFile> FileExchange::send(const std::shared_ptr<PhoneLink>& link,
                                         const std::vector<std::filesystem::path>& files) {
    std::vector<std::future<SentFile>> running;
    for (const auto& file : files)
        running.push_back(
            std::async(std::launch::async, [this, &link, file] { return sendOne(link, file); }));
    std::vector<SentFile> out;
    for (auto& f : running)
        out.push_back(f.get());
    return out;
}

SentFile FileExchange::sendOne(const std::shared_ptr<PhoneLink>& link, const std::filesystem::path& file) {
    std::uint32_t tid = 0;
    std::uint64_t session = 0;
    {
        std::lock_guard lock(mutex_);
        tid = nextTid_;
        nextTid_ += 2;
        session = sessionNumber_;
    }
    SentFile result{file, tid, ""};
    const auto end = [&](std::string outcome) {
        std::lock_guard lock(mutex_);
        waiting_.erase(tid);
        result.outcome = std::move(outcome);
        say("envio de " + file.filename().string() + " (tid " + std::to_string(tid) + "): " + result.outcome);
        return result;
    };
    if (!link || !link->open()) return end("no_session");
    std::ifstream in(file, std::ios::binary);
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (!in || error) return end("unreadable");
    Digest digest;
    Bytes buffer(kChunk + 4);
    while (in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(kChunk)) ||
           in.gcount() > 0)
        digest.update(ByteView(buffer.data(), static_cast<std::size_t>(in.gcount())));
    in.clear();
    in.seekg(0);
    {
        std::lock_guard lock(mutex_);
        waiting_[tid] = {};
    }
    if (!link->sendControl({{"t", "file.offer"},
                            {"tid", tid},
                            {"name", file.filename().string()},
                            {"size", size},
                            {"sha256", digest.hex()}}))
        return end("no_session");
    const auto waitFor = [&](double seconds, auto&& ready) {
        std::unique_lock lock(mutex_);
        return answered_.wait_for(lock, std::chrono::duration<double>(seconds), [&] {
            return ready(waiting_[tid]) || sessionNumber_ != session;
        }) && sessionNumber_ == session;
    };
    if (!waitFor(settings_.answerSeconds, [](const Waiting& w) { return w.accepted.has_value(); }))
        return end("no_reply");
    bool accepted = false;
    {
        std::lock_guard lock(mutex_);
        accepted = *waiting_[tid].accepted;
    }
    if (!accepted) return end("rejected");
    for (int i = 0; i < 4; ++i)
        buffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(tid >> (24 - 8 * i));
    while (in.read(reinterpret_cast<char*>(buffer.data() + 4), static_cast<std::streamsize>(kChunk)) ||
           in.gcount() > 0)
        if (!link->send(Ch::files, ByteView(buffer.data(), 4 + static_cast<std::size_t>(in.gcount()))))
            return end("no_session");
    if (!waitFor(settings_.doneSeconds, [](const Waiting& w) { return w.done.has_value(); }))
        return end("failed");
    bool ok = false;
    {
        std::lock_guard lock(mutex_);
        ok = *waiting_[tid].done;
    }
    return end(ok ? "sent" : "failed");
}

std::vector<ReceivedFile> FileExchange::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

}  // namespace velmora::companion
