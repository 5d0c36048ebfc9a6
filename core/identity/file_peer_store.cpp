#include "core/identity/file_peer_store.h"

#include <nlohmann/json.hpp>

#include "core/crypto/base64.h"
#include "core/crypto/cxp_crypto.h"
#include "core/discovery/device_id.h"
#include "core/log/velmora_log.h"
#include "core/storage/secure_file.h"
#include "core/storage/set_aside.h"

namespace velmora {
namespace {

const std::string* stringMember(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) return nullptr;
    return it->get_ptr<const std::string*>();
}

// One stored element, accepted only when it is complete and its id is the id of its own key; extra
// members are ignored.
std::optional<Peer> decodePeer(const nlohmann::json& element) {
    if (!element.is_object()) return std::nullopt;
    const std::string* id = stringMember(element, "id");
    const std::string* pub = stringMember(element, "pub");
    const std::string* name = stringMember(element, "name");
    const std::string* platform = stringMember(element, "platform");
    if (id == nullptr || pub == nullptr || name == nullptr || platform == nullptr) return std::nullopt;
    std::optional<Bytes> key = Base64::decode(*pub);
    if (!key || !Discovery::isDeviceID(*id) || CXPCrypto::deviceId(*key) != *id) return std::nullopt;
    return Peer{*id, std::move(*key), *name, *platform};
}

}  // namespace

FilePeerStore::FilePeerStore(std::filesystem::path file) : file_(std::move(file)) {
    load();
}

void FilePeerStore::load() {
    switch (SecureFile::inspect(file_, false)) {
        case SecureFile::Inspection::missing:
            return;
        case SecureFile::Inspection::unsafe:
            // Not read (it could be planted), but it may well hold this user's pairings, as a restore under
            // a loose umask leaves them: kept aside rather than replaced.
            ignoredUnsafeFile_ = true;
            pendingSetAside_ = true;
            return;
        case SecureFile::Inspection::ok:
            break;
    }
    SecureFile::tighten(file_, 0600);
    const std::optional<Bytes> bytes = SecureFile::readBounded(file_, kMaxFileSize);
    if (!bytes) {
        pendingSetAside_ = true;
        return;
    }
    const nlohmann::json parsed = bytes->size() <= kMaxFileSize
                                      ? nlohmann::json::parse(*bytes, nullptr, false)
                                      : nlohmann::json(nlohmann::json::value_t::discarded);
    if (!parsed.is_array()) {
        // An empty file holds nothing worth keeping.
        pendingSetAside_ = !bytes->empty();
        return;
    }
    for (const nlohmann::json& element : parsed) {
        if (std::optional<Peer> peer = decodePeer(element)) peers_[peer->id] = std::move(*peer);
    }
}

std::optional<Peer> FilePeerStore::find(const std::string& id) const {
    const std::lock_guard lock(mutex_);
    const auto it = peers_.find(id);
    if (it == peers_.end()) return std::nullopt;
    return it->second;
}

std::vector<Peer> FilePeerStore::all() const {
    const std::lock_guard lock(mutex_);
    std::vector<Peer> out;
    out.reserve(peers_.size());
    for (const auto& [id, peer] : peers_)
        out.push_back(peer);
    return out;
}

bool FilePeerStore::save(const Peer& peer) {
    const std::lock_guard lock(mutex_);
    peers_[peer.id] = peer;
    return writeLocked();
}

bool FilePeerStore::remove(const std::string& id) {
    const std::lock_guard lock(mutex_);
    peers_.erase(id);
    return writeLocked();
}

bool FilePeerStore::writeLocked() {
    if (pendingSetAside_) {
        // Without the copy aside, the rewrite would destroy the only trace of the lost pairings; a copy kept
        // by an earlier start may be the user's only other one, so it is never replaced.
        std::error_code error;
        const std::optional<std::filesystem::path> aside = SetAside::move(file_, ".bad", error);
        if (aside) {
            VelmoraLog::write(file_.filename().string() + " guardado como " + aside->string() +
                              " antes de gravar a nova lista");
        } else if (error != std::errc::no_such_file_or_directory) {
            VelmoraLog::write(file_.filename().string() + " não pôde ser guardado à parte (" +
                              error.message() + "): a lista não foi gravada");
            return false;
        }
        pendingSetAside_ = false;
    }
    nlohmann::json array = nlohmann::json::array();
    for (const auto& [id, peer] : peers_) {
        array.push_back({{"id", peer.id},
                         {"pub", Base64::encode(peer.pub)},
                         {"name", peer.name},
                         {"platform", peer.platform}});
    }
    // Invalid UTF-8 in a name would make the encoder throw and the list would never be written again.
    const std::string text = array.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return SecureFile::writeAtomically(
        ByteView(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), file_, 0600);
}

}  // namespace velmora
