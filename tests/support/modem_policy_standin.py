"""ModemManager as the system's policy has it refuse the session: one registered modem that
texts, whose every texting call fails with ModemManager's Core.Unauthorized error.

Usage: modem_policy_standin.py (on the session bus DBUS_SESSION_BUS_ADDRESS names). ModemManager
in its test mode lets every caller through, so the refusal is made here.
"""
import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

MM = "org.freedesktop.ModemManager1"
MODEM = MM + ".Modem"
MESSAGING = MODEM + ".Messaging"
PATH = "/org/freedesktop/ModemManager1/Modem/0"
PROPERTIES = {
    MODEM: {"Manufacturer": "Stand-in", "Model": "Refused", "State": dbus.Int32(8),
            "UnlockRequired": dbus.UInt32(1)},
    MESSAGING: {"Messages": dbus.Array([], signature="o")},
}


def refused():
    return dbus.exceptions.DBusException(
        "Not authorized to perform this operation", name=MM + ".Error.Core.Unauthorized")


class Manager(dbus.service.Object):
    @dbus.service.method("org.freedesktop.DBus.ObjectManager", out_signature="a{oa{sa{sv}}}")
    def GetManagedObjects(self):
        return {dbus.ObjectPath(PATH): PROPERTIES}


class Modem(dbus.service.Object):
    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return PROPERTIES[interface][name]

    @dbus.service.method(MODEM, in_signature="b")
    def Enable(self, _on):
        raise refused()

    @dbus.service.method(MESSAGING, in_signature="a{sv}", out_signature="o")
    def Create(self, _properties):
        raise refused()

    @dbus.service.method(MESSAGING, out_signature="ao")
    def List(self):
        return []


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(MM, bus)
    Manager(bus, "/org/freedesktop/ModemManager1")
    Modem(bus, PATH)
    GLib.MainLoop().run()
    del name


if __name__ == "__main__":
    main()
