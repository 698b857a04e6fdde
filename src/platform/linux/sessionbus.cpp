#include "platform/linux/sessionbus.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gio/gio.h>
#include <sys/stat.h>

namespace ostravel {

bool SessionBusAvailable() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address != nullptr && *address != '\0')
        return true;
    // systemd's and dbus-user-session's well-known place.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime == '\0') return false;
    struct stat info {};
    return ::stat((std::string(runtime) + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

GDBusConnection* ConnectSessionBus(const char* who) {
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    GDBusConnection* bus = nullptr;
    if (address != nullptr) {
        bus = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        g_free(address);
    }
    if (bus == nullptr) {
        std::fprintf(stderr, "ostravel: %s: session bus: %s\n", who, error->message);
        g_error_free(error);
    }
    return bus;
}

}  // namespace ostravel
