#include "platform/linux/secretstore.h"

#include <cstdio>
#include <string>

#include <gio/gio.h>
#include <libsecret/secret.h>

#include "platform/linux/sessionbus.h"

namespace ostravel {

namespace {

constexpr char kSecretServiceName[] = "org.freedesktop.secrets";

const SecretSchema* Schema() {
    static const SecretSchema schema = {
        "org.quenlor.Ostravel.Password",
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
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (address == nullptr) {
        Report("session bus", error);
        return false;
    }
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    g_free(address);
    if (bus == nullptr) {
        Report("session bus", error);
        return false;
    }
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

std::optional<std::string> SecretServiceStore::Lookup(std::string_view user) {
    if (!Unavailable().empty()) return std::nullopt;
    const std::string name(user);
    GError* error = nullptr;
    gchar* password = secret_password_lookup_sync(Schema(), nullptr, &error, "user", name.c_str(), nullptr);
    Report("lookup", error);
    if (password == nullptr) return std::nullopt;
    std::string kept(password);
    secret_password_free(password);
    return kept;
}

bool SecretServiceStore::Store(std::string_view user, std::string_view password) {
    if (!Unavailable().empty()) return false;
    const std::string name(user);
    const std::string secret(password);
    const std::string label = "Ostravel password for " + name;
    GError* error = nullptr;
    const gboolean stored =
        secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(),
                                   nullptr, &error, "user", name.c_str(), nullptr);
    Report("store", error);
    return stored != FALSE;
}

bool SecretServiceStore::Remove(std::string_view user) {
    if (!Unavailable().empty()) return false;
    const std::string name(user);
    GError* error = nullptr;
    secret_password_clear_sync(Schema(), nullptr, &error, "user", name.c_str(), nullptr);
    const bool failed = error != nullptr;
    Report("clear", error);
    return !failed;
}

PasswordStore& DesktopPasswordStore() {
    static SecretServiceStore store;
    return store;
}

}  // namespace ostravel
