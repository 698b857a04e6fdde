#include "platform/linux/secretstore.h"

#include <cstdio>
#include <string>

#include <gio/gio.h>
#include <libsecret/secret.h>

#include "platform/linux/sessionbus.h"
#include "platform/programinfo.h"

namespace ostravel {

namespace {

constexpr char kSecretServiceName[] = "org.freedesktop.secrets";

// Items are filed under the desktop's name for the program; earlier versions filed them under a
// name of their own, and such an item is moved over the first time it is looked up.
SecretSchema MakeSchema(const char* name) {
    return {name,
            SECRET_SCHEMA_NONE,
            {{"user", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
            0,
            nullptr,
            nullptr,
            nullptr,
            nullptr,
            nullptr,
            nullptr,
            nullptr};
}

const SecretSchema* Schema() {
    static const std::string name = std::string(kAppId) + ".Password";
    static const SecretSchema schema = MakeSchema(name.c_str());
    return &schema;
}

const SecretSchema* FormerSchema() {
    static const SecretSchema schema = MakeSchema("org.quenlor.Ostravel.Password");
    return &schema;
}

void Report(const char* what, GError* error) {
    if (error == nullptr) return;
    std::fprintf(stderr, "ostravel: keyring: %s: %s\n", what, error->message);
    g_error_free(error);
}

// Whether the bus has the Secret Service now, or can start it on demand.
bool ServiceReachable() {
    // A connection of its own, closed again: the answer is about the bus the environment names now.
    GDBusConnection* bus = ConnectSessionBus("keyring");
    if (bus == nullptr) return false;
    GError* error = nullptr;
    bool found = false;
    GVariant* owned = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", kSecretServiceName), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 2000,
        nullptr, &error);
    if (owned != nullptr) {
        gboolean has = FALSE;
        g_variant_get(owned, "(b)", &has);
        found = has != FALSE;
        g_variant_unref(owned);
    } else {
        Report("NameHasOwner", error);
        error = nullptr;
    }
    if (!found) {
        GVariant* activatable = g_dbus_connection_call_sync(
            bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "ListActivatableNames", nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr,
            &error);
        if (activatable != nullptr) {
            GVariantIter* names = nullptr;
            const gchar* name = nullptr;
            g_variant_get(activatable, "(as)", &names);
            while (g_variant_iter_loop(names, "&s", &name)) {
                if (g_strcmp0(name, kSecretServiceName) == 0) found = true;
            }
            g_variant_iter_free(names);
            g_variant_unref(activatable);
        } else {
            Report("ListActivatableNames", error);
        }
    }
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
    return found;
}

}  // namespace

std::string SecretServiceStore::Unavailable() {
    if (!SessionBusAvailable()) return kNoSessionBusReason;
    if (!ServiceReachable()) return kNoKeyringReason;
    return {};
}

namespace {

std::optional<std::string> LookupIn(const SecretSchema* schema, const std::string& user) {
    GError* error = nullptr;
    gchar* password = secret_password_lookup_sync(schema, nullptr, &error, "user", user.c_str(), nullptr);
    Report("lookup", error);
    if (password == nullptr) return std::nullopt;
    std::string kept(password);
    secret_password_free(password);
    return kept;
}

bool StoreIn(const SecretSchema* schema, const std::string& user, const std::string& password) {
    const std::string label = "Ostravel password for " + user;
    GError* error = nullptr;
    const gboolean stored =
        secret_password_store_sync(schema, SECRET_COLLECTION_DEFAULT, label.c_str(), password.c_str(),
                                   nullptr, &error, "user", user.c_str(), nullptr);
    Report("store", error);
    return stored != FALSE;
}

bool ClearIn(const SecretSchema* schema, const std::string& user) {
    GError* error = nullptr;
    secret_password_clear_sync(schema, nullptr, &error, "user", user.c_str(), nullptr);
    const bool failed = error != nullptr;
    Report("clear", error);
    return !failed;
}

}  // namespace

std::optional<std::string> SecretServiceStore::Lookup(std::string_view user) {
    if (!Unavailable().empty()) return std::nullopt;
    const std::string name(user);
    if (std::optional<std::string> kept = LookupIn(Schema(), name)) return kept;
    std::optional<std::string> former = LookupIn(FormerSchema(), name);
    // Moved only once it is safely under the new name.
    if (former && StoreIn(Schema(), name, *former)) ClearIn(FormerSchema(), name);
    return former;
}

bool SecretServiceStore::Store(std::string_view user, std::string_view password) {
    if (!Unavailable().empty()) return false;
    const std::string name(user);
    if (!StoreIn(Schema(), name, std::string(password))) return false;
    // An item under the former name would outlive this one's removal and come back.
    ClearIn(FormerSchema(), name);
    return true;
}

bool SecretServiceStore::Remove(std::string_view user) {
    if (!Unavailable().empty()) return false;
    const std::string name(user);
    const bool cleared = ClearIn(Schema(), name);
    return ClearIn(FormerSchema(), name) && cleared;
}

PasswordStore& DesktopPasswordStore() {
    static SecretServiceStore store;
    return store;
}

}  // namespace ostravel
