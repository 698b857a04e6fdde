// Whether the desktop session has a D-Bus session bus, judged without connecting: the notification
// and keyring services are reached over it, and asking for a bus that is not there would make GLib
// start one of its own (autolaunch), which outlives the program.
#pragma once

typedef struct _GDBusConnection GDBusConnection;

namespace ostravel {

bool SessionBusAvailable();

// A connection of its own to the session bus the environment names now, or nullptr (the reason on
// standard error, after "ostravel: <who>: "). Not GLib's shared connection, which ends the process
// when the bus goes away. The caller closes and unrefs it.
GDBusConnection* ConnectSessionBus(const char* who);

}  // namespace ostravel
