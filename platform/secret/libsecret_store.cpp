#include "platform/secret/libsecret_store.h"

#include <libsecret/secret.h>

#include <memory>

namespace velmora {
namespace {

const SecretSchema kSchema = {
    "org.velmora.Secret",
    SECRET_SCHEMA_NONE,
    {
        {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
        {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
        {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
    },
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

struct ErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
struct ObjectUnref {
    void operator()(gpointer o) const { g_object_unref(o); }
};
struct TableUnref {
    void operator()(GHashTable* t) const { g_hash_table_unref(t); }
};
struct ValueUnref {
    void operator()(SecretValue* v) const { secret_value_unref(v); }
};
struct ItemListFree {
    void operator()(GList* l) const { g_list_free_full(l, g_object_unref); }
};
using Error = std::unique_ptr<GError, ErrorFree>;
using Service = std::unique_ptr<SecretService, ObjectUnref>;
using Attributes = std::unique_ptr<GHashTable, TableUnref>;
using Value = std::unique_ptr<SecretValue, ValueUnref>;
using ItemList = std::unique_ptr<GList, ItemListFree>;

// The errors that mean "no Secret Service here": nobody owns the name and it cannot be started.
bool meansNoService(const GError* e) {
    if (e->domain != G_DBUS_ERROR) return false;
    switch (e->code) {
        case G_DBUS_ERROR_SERVICE_UNKNOWN:
        case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
        case G_DBUS_ERROR_NO_SERVER:
        case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
        case G_DBUS_ERROR_SPAWN_FORK_FAILED:
        case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
        case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
        case G_DBUS_ERROR_SPAWN_FAILED:
        case G_DBUS_ERROR_SPAWN_SETUP_FAILED:
        case G_DBUS_ERROR_SPAWN_CONFIG_INVALID:
        case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
        case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
        case G_DBUS_ERROR_SPAWN_PERMISSIONS_INVALID:
        case G_DBUS_ERROR_SPAWN_FILE_INVALID:
        case G_DBUS_ERROR_SPAWN_NO_MEMORY:
            return true;
        default:
            return false;
    }
}

std::int32_t statusOf(const GError* e) {
    if (e->domain == SECRET_ERROR && e->code == SECRET_ERROR_IS_LOCKED) return SecretStatus::locked;
    if (e->code > 0) return SecretStatus::kServiceErrorBase - e->code;
    return SecretStatus::failed;
}

// The service, or nullptr with `status` set: notFound/unavailable-worthy absence is told apart from a
// real failure by `absent`.
Service connect(bool& absent, std::int32_t& status) {
    absent = false;
    GError* raw = nullptr;
    // Without a session bus there is no Secret Service; GLib reports that in several domains.
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &raw);
    if (bus == nullptr) {
        g_clear_error(&raw);
        absent = true;
        return nullptr;
    }
    g_object_unref(bus);
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &raw);
    if (service == nullptr) {
        const Error error(raw);
        absent = error == nullptr || meansNoService(error.get());
        status = error ? statusOf(error.get()) : SecretStatus::failed;
        return nullptr;
    }
    return Service(service);
}

Attributes attributesFor(const std::string& service, const std::string& account) {
    return Attributes(
        secret_attributes_build(&kSchema, "service", service.c_str(), "account", account.c_str(), nullptr));
}

}  // namespace

LibsecretStore::LibsecretStore(std::string service) : service_(std::move(service)) {}

SecretStore::Lookup LibsecretStore::lookup(const std::string& account) {
    bool absent = false;
    std::int32_t status = SecretStatus::failed;
    const Service service = connect(absent, status);
    if (!service) return {absent ? SecretStatus::notFound : status, std::nullopt};

    const Attributes attributes = attributesFor(service_, account);
    GError* raw = nullptr;
    const auto flags = static_cast<SecretSearchFlags>(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS);
    const ItemList items(
        secret_service_search_sync(service.get(), &kSchema, attributes.get(), flags, nullptr, &raw));
    if (const Error error(raw); error) {
        return {meansNoService(error.get()) ? SecretStatus::notFound : statusOf(error.get()), std::nullopt};
    }
    if (!items) return {SecretStatus::notFound, std::nullopt};

    // The item is there but the user did not unlock it: an error, never "not found", or a fresh key would
    // replace the identity every phone knows.
    auto* item = static_cast<SecretItem*>(items->data);
    if (secret_item_get_locked(item)) return {SecretStatus::locked, std::nullopt};
    const Value value(secret_item_get_secret(item));
    if (!value) return {SecretStatus::locked, std::nullopt};
    gsize size = 0;
    const gchar* data = secret_value_get(value.get(), &size);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    return {SecretStatus::success, SecretBytes(bytes, bytes + size)};
}

std::int32_t LibsecretStore::add(const std::string& account, ByteView secret) {
    const Lookup existing = lookup(account);
    if (existing.status == SecretStatus::success || existing.status == SecretStatus::locked) {
        return SecretStatus::duplicate;
    }
    return store(account, secret);
}

std::int32_t LibsecretStore::update(const std::string& account, ByteView secret) {
    return store(account, secret);
}

// Storing replaces an item with the same attributes in the default collection.
std::int32_t LibsecretStore::store(const std::string& account, ByteView secret) {
    bool absent = false;
    std::int32_t status = SecretStatus::failed;
    const Service service = connect(absent, status);
    if (!service) return absent ? SecretStatus::unavailable : status;

    const Attributes attributes = attributesFor(service_, account);
    const Value value(secret_value_new(reinterpret_cast<const gchar*>(secret.data()),
                                       static_cast<gssize>(secret.size()), "application/octet-stream"));
    const std::string label = "Velmora: " + account;
    GError* raw = nullptr;
    const gboolean ok =
        secret_service_store_sync(service.get(), &kSchema, attributes.get(), SECRET_COLLECTION_DEFAULT,
                                  label.c_str(), value.get(), nullptr, &raw);
    if (const Error error(raw); error)
        return meansNoService(error.get()) ? SecretStatus::unavailable : statusOf(error.get());
    return ok ? SecretStatus::success : SecretStatus::failed;
}

}  // namespace velmora
