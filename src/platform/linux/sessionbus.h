// Whether the desktop session has a D-Bus session bus, judged without connecting: the notification
// and keyring services are reached over it, and asking for a bus that is not there would make GLib
// start one of its own (autolaunch), which outlives the program.
#pragma once

namespace ostravel {

bool SessionBusAvailable();

}  // namespace ostravel
