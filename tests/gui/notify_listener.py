#!/usr/bin/env python3
"""A notification service of our own for the tests: it owns org.freedesktop.Notifications on the
session bus (a private one, under dbus-run-session) and records every Notify call as one JSON line
in the file named on the command line. It shows nothing. The line "ready" goes to standard output
once the name is owned."""
import json
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

INTERFACE = "org.freedesktop.Notifications"


class Listener(dbus.service.Object):
    def __init__(self, bus, record):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.record = record
        self.last_id = 0

    @dbus.service.method(INTERFACE, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout):
        self.last_id += 1
        entry = {
            "id": self.last_id,
            "app": str(app_name),
            "replaces": int(replaces_id),
            "icon": str(app_icon),
            "summary": str(summary),
            "body": str(body),
            "hints": sorted(str(key) for key in hints.keys()),
            "desktop-entry": str(hints.get("desktop-entry", "")),
            "timeout": int(expire_timeout),
        }
        image = hints.get("image-data") or hints.get("image_data") or hints.get("icon_data")
        if image is not None:
            entry["image"] = [int(image[0]), int(image[1])]  # width, height
        with open(self.record, "a", encoding="utf-8") as out:
            out.write(json.dumps(entry) + "\n")
        return dbus.UInt32(self.last_id)

    @dbus.service.method(INTERFACE, in_signature="u", out_signature="")
    def CloseNotification(self, notification_id):
        self.NotificationClosed(notification_id, 3)

    @dbus.service.method(INTERFACE, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["body", "icon-static", "persistence"]

    @dbus.service.method(INTERFACE, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("ostravel-test-listener", "Ostravel", "1.0", "1.2")

    @dbus.service.signal(INTERFACE, signature="uu")
    def NotificationClosed(self, notification_id, reason):
        pass

    @dbus.service.signal(INTERFACE, signature="us")
    def ActionInvoked(self, notification_id, action_key):
        pass


def main():
    record = sys.argv[1]
    open(record, "a", encoding="utf-8").close()
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(INTERFACE, bus, do_not_queue=True)
    listener = Listener(bus, record)
    print("ready", flush=True)
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 15, loop.quit)
    loop.run()
    del name, listener


if __name__ == "__main__":
    main()
