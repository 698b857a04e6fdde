// Sleep through logind's PrepareForSleep on the system bus, network changes through GIO's network
// monitor. Both deliver on GLib's default main context, which the desktop's toolkit runs.
#include "platform/systemevents.h"

#include <utility>

#include <gio/gio.h>

namespace ostravel {

namespace {

// Network changes come in bursts (an address, then its routes, one signal each): told once, after
// this long without another.
constexpr guint kNetworkQuietMs = 1000;

class GioSystemEvents final : public SystemEvents {
public:
    explicit GioSystemEvents(Callback callback) : callback_(std::move(callback)) {
        // Signals are delivered on the context that is the thread's default when they are
        // subscribed: make that the UI's even if a caller has pushed one of its own (and can take
        // the UI's, which only the thread running it can).
        GMainContext* main = g_main_context_default();
        GMainContext* current = g_main_context_get_thread_default();
        const bool push = current != nullptr && current != main && g_main_context_acquire(main);
        if (push) g_main_context_push_thread_default(main);
        WatchSleep();
        WatchNetwork();
        if (push) {
            g_main_context_pop_thread_default(main);
            g_main_context_release(main);
        }
    }

    ~GioSystemEvents() override {
        if (networkHandler_ != 0) g_signal_handler_disconnect(monitor_, networkHandler_);
        if (monitor_ != nullptr) g_object_unref(monitor_);
        StopQuietTimer();
        if (sleepSubscription_ != 0) g_dbus_connection_signal_unsubscribe(bus_, sleepSubscription_);
        if (bus_ != nullptr) {
            g_dbus_connection_close_sync(bus_, nullptr, nullptr);
            g_object_unref(bus_);
        }
    }

private:
    void WatchSleep() {
        // A connection of our own rather than GIO's shared one, which ends the program when the
        // system bus goes away. No system bus: sleep is simply not watched.
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
        if (address == nullptr) return;
        bus_ = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        g_free(address);
        if (bus_ == nullptr) return;
        // Any sender: the worst a stray signal does is make the program look at its connection.
        sleepSubscription_ = g_dbus_connection_signal_subscribe(
            bus_, nullptr, "org.freedesktop.login1.Manager", "PrepareForSleep", "/org/freedesktop/login1",
            nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &GioSystemEvents::OnPrepareForSleep, this, nullptr);
        // The bus handles a connection's messages in order: once it answers this call it has the
        // match rule, so a resume is heard from the moment Start returns.
        GVariant* reply = g_dbus_connection_call_sync(
            bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId", nullptr,
            G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
        if (reply != nullptr) g_variant_unref(reply);
        watchesSleep_ = true;
    }

    void WatchNetwork() {
        // GIO's own, shared by the process; held for as long as it is watched.
        GNetworkMonitor* monitor = g_network_monitor_get_default();
        if (monitor == nullptr) return;
        monitor_ = G_NETWORK_MONITOR(g_object_ref(monitor));
        networkHandler_ = g_signal_connect(monitor_, "network-changed",
                                           G_CALLBACK(&GioSystemEvents::OnNetworkChanged), this);
        watchesNetwork_ = true;
    }

    void StopQuietTimer() {
        if (quiet_ == nullptr) return;
        g_source_destroy(quiet_);
        g_source_unref(quiet_);
        quiet_ = nullptr;
    }

    static void OnPrepareForSleep(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                                  GVariant* parameters, gpointer data) {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
        gboolean sleeping = TRUE;
        g_variant_get(parameters, "(b)", &sleeping);
        if (sleeping) return;  // about to sleep: nothing to do yet
        // A copy: the callback may destroy this object.
        const Callback callback = static_cast<GioSystemEvents*>(data)->callback_;
        callback(SystemEvent::Resumed);
    }

    static void OnNetworkChanged(GNetworkMonitor*, gboolean, gpointer data) {
        auto* self = static_cast<GioSystemEvents*>(data);
        self->StopQuietTimer();
        self->quiet_ = g_timeout_source_new(kNetworkQuietMs);
        g_source_set_callback(self->quiet_, &GioSystemEvents::OnNetworkQuiet, self, nullptr);
        g_source_attach(self->quiet_, g_main_context_default());
    }

    static gboolean OnNetworkQuiet(gpointer data) {
        auto* self = static_cast<GioSystemEvents*>(data);
        // The dispatch holds the source until it returns; the callback may destroy this object.
        g_source_unref(self->quiet_);
        self->quiet_ = nullptr;
        const Callback callback = self->callback_;
        callback(SystemEvent::NetworkChanged);
        return G_SOURCE_REMOVE;
    }

    Callback callback_;
    GDBusConnection* bus_ = nullptr;
    guint sleepSubscription_ = 0;
    GNetworkMonitor* monitor_ = nullptr;
    gulong networkHandler_ = 0;
    GSource* quiet_ = nullptr;
};

}  // namespace

std::unique_ptr<SystemEvents> SystemEvents::Start(Callback callback) {
    return std::make_unique<GioSystemEvents>(std::move(callback));
}

}  // namespace ostravel
