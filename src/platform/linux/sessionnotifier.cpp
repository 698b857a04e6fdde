#include "platform/linux/sessionnotifier.h"

#include <cstdio>

#include <gio/gio.h>

#include "platform/linux/sessionbus.h"
#include "platform/programinfo.h"

namespace ostravel {

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
// How long a notice may hold up the window: a service that does not answer by then has lost it.
constexpr int kCallTimeoutMs = 3000;

// The hints: the desktop entry, the urgency (0 low, 1 normal) and the picture as
// (width, height, row stride, alpha, bits per sample, channels, bytes).
GVariant* Hints(const RgbaImage& image, NoticeLevel level) {
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(kAppId));
    g_variant_builder_add(&hints, "{sv}", "urgency",
                          g_variant_new_byte(level == NoticeLevel::Warning ? 1 : 0));
    if (image.Valid()) {
        GVariant* bytes =
            g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, image.bytes.data(), image.bytes.size(), 1);
        g_variant_builder_add(
            &hints, "{sv}", "image-data",
            g_variant_new("(iiibii@ay)", image.width, image.height, image.width * 4, TRUE, 8, 4, bytes));
    }
    return g_variant_builder_end(&hints);
}

}  // namespace

SessionNotifier::~SessionNotifier() { Disconnect(); }

bool SessionNotifier::Connect() {
    if (bus_ != nullptr && !g_dbus_connection_is_closed(bus_)) return true;
    Disconnect();
    bus_ = ConnectSessionBus("notifications");
    return bus_ != nullptr;
}

void SessionNotifier::Disconnect() {
    if (bus_ == nullptr) return;
    g_dbus_connection_close_sync(bus_, nullptr, nullptr);
    g_object_unref(bus_);
    bus_ = nullptr;
}

bool SessionNotifier::Show(const std::string& summary, const std::string& body, const RgbaImage& image,
                           NoticeLevel level) {
    // Without a session bus there is nobody to show it, and asking for one would make GLib start a
    // bus of its own.
    if (!SessionBusAvailable()) {
        Disconnect();
        return false;
    }
    if (!Connect()) return false;
    // -1: the service's own time on the screen.
    GVariant* args = g_variant_new("(susss@as@a{sv}i)", kProgramName, lastId_, kAppId, summary.c_str(),
                                   body.c_str(), g_variant_new_strv(nullptr, 0), Hints(image, level), -1);
    GError* error = nullptr;
    GVariant* reply =
        g_dbus_connection_call_sync(bus_, kService, kPath, kService, "Notify", args, G_VARIANT_TYPE("(u)"),
                                    G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &error);
    if (reply == nullptr) {
        std::fprintf(stderr, "ostravel: notifications: %s\n", error->message);
        g_error_free(error);
        return false;
    }
    g_variant_get(reply, "(u)", &lastId_);
    g_variant_unref(reply);
    return true;
}

}  // namespace ostravel
