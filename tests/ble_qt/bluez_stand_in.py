#!/usr/bin/env python3
"""A stand-in for bluetoothd on a private bus: the part of BlueZ's D-Bus API that Qt Bluetooth and the
peripheral use (ObjectManager, Adapter1, Device1, GattService1, GattCharacteristic1, GattDescriptor1), and a
control object /velmora/standin (interface org.velmora.StandIn) through which a test plays the adapter and a
phone running the companion app.

Usage: bluez_stand_in.py ADDRESS   (prints "ready" once it owns org.bluez)
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

BLUEZ = "org.bluez"
PROPS = "org.freedesktop.DBus.Properties"
OM = "org.freedesktop.DBus.ObjectManager"
ADAPTER = "org.bluez.Adapter1"
DEVICE = "org.bluez.Device1"
SERVICE = "org.bluez.GattService1"
CHAR = "org.bluez.GattCharacteristic1"
DESC = "org.bluez.GattDescriptor1"
CONTROL = "org.velmora.StandIn"
ADAPTER_PATH = "/org/bluez/hci0"

APP_SERVICE = "a7c1e7b0-5c3e-4f4e-9a52-7f0b3d8e1c01"
RX = "a7c1e7b1-5c3e-4f4e-9a52-7f0b3d8e1c01"
TX = "a7c1e7b2-5c3e-4f4e-9a52-7f0b3d8e1c01"
PSM = "a7c1e7b3-5c3e-4f4e-9a52-7f0b3d8e1c01"
CCCD = "00002902-0000-1000-8000-00805f9b34fb"


class Failed(dbus.DBusException):
    _dbus_error_name = "org.bluez.Error.Failed"


class NotPermitted(dbus.DBusException):
    _dbus_error_name = "org.bluez.Error.NotPermitted"


class NotSupported(dbus.DBusException):
    _dbus_error_name = "org.bluez.Error.NotSupported"


class Obj(dbus.service.Object):
    """An object with properties of one interface, announced through the root's ObjectManager."""

    def __init__(self, bus, path, interface, props):
        super().__init__(bus, path)
        self.path = path
        self.interface = interface
        self.props = props

    def set(self, name, value):
        self.props[name] = value
        self.PropertiesChanged(self.interface, {name: value}, [])

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface != self.interface or name not in self.props:
            raise dbus.DBusException("no such property", name="org.freedesktop.DBus.Error.InvalidArgs")
        return self.props[name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.props if interface == self.interface else {}

    @dbus.service.method(PROPS, in_signature="ssv")
    def Set(self, interface, name, value):
        self.set(name, value)

    @dbus.service.signal(PROPS, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass


class Root(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/")
        self.objects = {}

    def add(self, obj):
        self.objects[obj.path] = obj
        self.InterfacesAdded(dbus.ObjectPath(obj.path), {obj.interface: obj.props})

    def remove(self, path):
        for p in sorted([p for p in self.objects if p == path or p.startswith(path + "/")], reverse=True):
            obj = self.objects.pop(p)
            obj.remove_from_connection()
            self.InterfacesRemoved(dbus.ObjectPath(p), [obj.interface])

    @dbus.service.method(OM, out_signature="a{oa{sa{sv}}}")
    def GetManagedObjects(self):
        return {dbus.ObjectPath(p): {o.interface: o.props} for p, o in self.objects.items()}

    @dbus.service.signal(OM, signature="oa{sa{sv}}")
    def InterfacesAdded(self, path, interfaces):
        pass

    @dbus.service.signal(OM, signature="oas")
    def InterfacesRemoved(self, path, interfaces):
        pass


class Adapter(Obj):
    def __init__(self, bus, standin):
        super().__init__(bus, ADAPTER_PATH, ADAPTER, {
            "Address": "00:1A:7D:DA:71:13", "AddressType": "public", "Name": "velmora-test",
            "Alias": "velmora-test", "Class": dbus.UInt32(0), "Powered": True, "Discoverable": False,
            "DiscoverableTimeout": dbus.UInt32(180), "Pairable": True, "PairableTimeout": dbus.UInt32(0),
            "Discovering": False, "UUIDs": dbus.Array([], signature="s"), "Modalias": "usb:v1D6Bp0246d0537"})
        self.standin = standin

    def Set(self, interface, name, value):
        super().Set(interface, name, value)
        if name == "Powered" and not value:
            self.standin.powered_off()

    @dbus.service.method(ADAPTER)
    def StartDiscovery(self):
        self.standin.calls.append("StartDiscovery")
        if not self.props["Powered"]:
            raise NotPermitted("Not Powered")
        if self.standin.failing_starts > 0:
            self.standin.failing_starts -= 1
            raise Failed("Operation already in progress")
        self.set("Discovering", True)

    @dbus.service.method(ADAPTER)
    def StopDiscovery(self):
        self.standin.calls.append("StopDiscovery")
        self.set("Discovering", False)

    @dbus.service.method(ADAPTER, in_signature="a{sv}")
    def SetDiscoveryFilter(self, properties):
        self.standin.calls.append("SetDiscoveryFilter")

    @dbus.service.method(ADAPTER, out_signature="as")
    def GetDiscoveryFilters(self):
        return ["UUIDs", "RSSI", "Pathloss", "Transport", "DuplicateData"]

    @dbus.service.method(ADAPTER, in_signature="o")
    def RemoveDevice(self, path):
        self.standin.root.remove(str(path))


class Device(Obj):
    def __init__(self, bus, standin, address, service_data):
        path = ADAPTER_PATH + "/dev_" + address.replace(":", "_")
        super().__init__(bus, path, DEVICE, {
            "Address": address, "AddressType": "random", "Name": "Celular", "Alias": "Celular",
            "Paired": False, "Trusted": False, "Blocked": False, "LegacyPairing": False,
            "Connected": False, "ServicesResolved": False, "Adapter": dbus.ObjectPath(ADAPTER_PATH),
            "UUIDs": dbus.Array([APP_SERVICE], signature="s"), "RSSI": dbus.Int16(-60),
            "ServiceData": dbus.Dictionary({APP_SERVICE: dbus.Array(service_data, signature="y")},
                                           signature="sv")})
        self.standin = standin

    @dbus.service.method(DEVICE)
    def Connect(self):
        self.standin.calls.append("Connect")
        if not self.standin.adapter or not self.standin.adapter.props["Powered"]:
            raise Failed("Not Powered")
        self.set("Connected", True)
        self.standin.add_gatt(self)
        self.set("ServicesResolved", True)

    @dbus.service.method(DEVICE)
    def Disconnect(self):
        self.standin.calls.append("Disconnect")
        self.standin.drop_gatt(self)


class Characteristic(Obj):
    def __init__(self, bus, standin, path, service, uuid, flags, value=b""):
        super().__init__(bus, path, CHAR, {
            "UUID": uuid, "Service": dbus.ObjectPath(service), "Flags": dbus.Array(flags, signature="s"),
            "Value": dbus.Array(value, signature="y"), "Notifying": False, "MTU": dbus.UInt16(standin.mtu)})
        if "write-without-response" in flags:
            self.props["WriteAcquired"] = False
        self.standin = standin
        self.uuid = uuid

    @dbus.service.method(CHAR, in_signature="a{sv}", out_signature="ay")
    def ReadValue(self, options):
        if self.uuid == PSM and self.standin.psm is None:
            raise Failed("read refused")
        return dbus.Array(self.props["Value"], signature="y")

    @dbus.service.method(CHAR, in_signature="aya{sv}", async_callbacks=("ok", "error"))
    def WriteValue(self, value, options, ok, error):
        if self.props.get("WriteAcquired"):
            return error(NotPermitted("Write acquired"))
        self.standin.written.extend(bytes(value))
        self.standin.write_kinds.append(str(options.get("type", "request")))
        if self.standin.answer_writes:
            ok()
        else:
            self.standin.held.append(ok)

    @dbus.service.method(CHAR, in_signature="a{sv}", out_signature="hq")
    def AcquireWrite(self, options):
        if self.standin.write_socket is None:
            raise NotSupported("Operation is not supported")
        self.set("WriteAcquired", True)
        return dbus.types.UnixFd(self.standin.write_socket), dbus.UInt16(self.standin.mtu)

    @dbus.service.method(CHAR)
    def StartNotify(self):
        self.standin.calls.append("StartNotify")
        self.set("Notifying", True)

    @dbus.service.method(CHAR)
    def StopNotify(self):
        self.set("Notifying", False)


class Descriptor(Obj):
    def __init__(self, bus, path, characteristic):
        super().__init__(bus, path, DESC, {
            "UUID": CCCD, "Characteristic": dbus.ObjectPath(characteristic),
            "Value": dbus.Array([0, 0], signature="y"), "Flags": dbus.Array(["read", "write"], signature="s")})

    @dbus.service.method(DESC, in_signature="a{sv}", out_signature="ay")
    def ReadValue(self, options):
        return dbus.Array(self.props["Value"], signature="y")

    @dbus.service.method(DESC, in_signature="aya{sv}")
    def WriteValue(self, value, options):
        self.set("Value", dbus.Array(value, signature="y"))


class StandIn(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/velmora/standin")
        self.bus = bus
        self.root = Root(bus)
        self.adapter = None
        self.devices = {}
        self.gatt = {}
        self.calls = []
        self.written = bytearray()
        self.write_kinds = []
        self.answer_writes = True
        self.held = []
        self.write_socket = None
        self.psm = None
        self.mtu = 185
        self.failing_starts = 0

    def powered_off(self):
        if self.adapter.props["Discovering"]:
            self.adapter.set("Discovering", False)
        for device in list(self.devices.values()):
            self.drop_gatt(device)

    def add_gatt(self, device):
        base = device.path + "/service0010"
        service = Obj(self.bus, base, SERVICE, {
            "UUID": APP_SERVICE, "Primary": True, "Device": dbus.ObjectPath(device.path),
            "Includes": dbus.Array([], signature="o")})
        self.root.add(service)
        rx = Characteristic(self.bus, self, base + "/char0011", base, RX, ["write", "write-without-response"])
        tx = Characteristic(self.bus, self, base + "/char0013", base, TX, ["notify"])
        cccd = Descriptor(self.bus, base + "/char0013/desc0015", tx.path)
        objects = [rx, tx, cccd]
        if self.psm is not None:
            objects.append(Characteristic(self.bus, self, base + "/char0016", base, PSM, ["read"],
                                          bytes([self.psm & 0xFF, self.psm >> 8])))
        for obj in objects:
            self.root.add(obj)
        self.gatt[device.path] = {"service": service, "tx": tx, "rx": rx}

    def drop_gatt(self, device):
        if device.path in self.gatt:
            del self.gatt[device.path]
            self.root.remove(device.path + "/service0010")
        if device.props["Connected"]:
            device.set("ServicesResolved", False)
            device.set("Connected", False)

    # ---- control -------------------------------------------------------------------------------------

    @dbus.service.method(CONTROL, in_signature="b")
    def SetAdapter(self, present):
        if present and not self.adapter:
            self.adapter = Adapter(self.bus, self)
            self.root.add(self.adapter)
        elif not present and self.adapter:
            self.root.remove(ADAPTER_PATH)
            self.adapter = None
            self.devices.clear()
            self.gatt.clear()

    @dbus.service.method(CONTROL, in_signature="b")
    def SetPowered(self, on):
        self.adapter.set("Powered", on)
        if not on:
            self.powered_off()

    @dbus.service.method(CONTROL, in_signature="u")
    def StopDiscoveryByItself(self, failing_starts):
        """Discovery ends as when another program stops it; the next starts fail."""
        self.failing_starts = failing_starts
        self.adapter.set("Discovering", False)

    @dbus.service.method(CONTROL, in_signature="say")
    def AddPhone(self, address, service_data):
        device = Device(self.bus, self, address, bytes(service_data))
        self.devices[address] = device
        self.root.add(device)

    @dbus.service.method(CONTROL, in_signature="sn")
    def Advertise(self, address, rssi):
        self.devices[address].set("RSSI", dbus.Int16(rssi))

    @dbus.service.method(CONTROL, in_signature="s")
    def RemovePhone(self, address):
        device = self.devices.pop(address)
        self.root.remove(device.path)

    @dbus.service.method(CONTROL, in_signature="n")
    def SetPsm(self, psm):
        self.psm = None if psm < 0 else psm

    @dbus.service.method(CONTROL, in_signature="q")
    def SetMtu(self, mtu):
        self.mtu = mtu

    @dbus.service.method(CONTROL, in_signature="h")
    def SetWriteSocket(self, fd):
        self.write_socket = fd.take()

    @dbus.service.method(CONTROL)
    def RefuseWriteLock(self):
        self.write_socket = None

    @dbus.service.method(CONTROL, in_signature="b")
    def AnswerWrites(self, answer):
        self.answer_writes = answer
        if answer:
            held, self.held = self.held, []
            for ok in held:
                ok()

    @dbus.service.method(CONTROL, out_signature="ayas")
    def TakeWritten(self):
        written, kinds = bytes(self.written), self.write_kinds
        self.written, self.write_kinds = bytearray(), []
        return dbus.Array(written, signature="y"), dbus.Array(kinds, signature="s")

    @dbus.service.method(CONTROL, in_signature="say")
    def Notify(self, address, value):
        gatt = self.gatt.get(self.devices[address].path)  # none once disconnected: the value goes nowhere
        if gatt and gatt["tx"].props["Notifying"]:
            tx = gatt["tx"]
            tx.set("Value", dbus.Array(value, signature="y"))

    @dbus.service.method(CONTROL, out_signature="as")
    def TakeCalls(self):
        calls, self.calls = self.calls, []
        return calls


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(sys.argv[1])
    standin = StandIn(bus)
    bus.request_name(BLUEZ)
    print("ready", flush=True)
    GLib.MainLoop().run()
    return standin


if __name__ == "__main__":
    main()
