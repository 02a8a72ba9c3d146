#pragma once
// What the system knows about a serial port (QSerialPortInfo, and the
// stable /dev/serial/by-id/ link udev makes for USB devices), and the texts
// that let a user tell one modem interface from another.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct SerialPortDetails {
    std::string name;     // "ttyUSB2"
    std::string location; // "/dev/ttyUSB2"
    std::string manufacturer;
    std::string description;
    std::string serialNumber;
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
    // "/dev/serial/by-id/usb-...-if02-port0": the same after a replug or a
    // reboot, unlike ttyUSB numbers. Empty when there is none.
    std::string stableName;
};

inline constexpr const char *kStablePortFolder = "/dev/serial/by-id";

// The name a pick stores and opens: the stable name when there is one.
std::string PortChoice(const SerialPortDetails &port);

// One line naming the port and all that is known about it, for example
// "ttyUSB2: LTE module (Maker), serial 0123, USB 1234:0125, /dev/serial/by-id/usb-Maker_LTE_module_0123-if02-port0".
std::string PortLabel(const SerialPortDetails &port);

// The built-in simulated modem, listed after the system's ports.
SerialPortDetails SimulatedPortDetails();
// "SIM" and then "SIM:MODEL" for each other model of the simulated modem,
// each described with its maker, model and technology.
std::vector<SerialPortDetails> SimulatedPorts();

// The links in folder keyed by the canonical path of the device each points
// to; of two links to one device the first in name order is kept.
std::map<std::string, std::string> StablePortNames(const std::string &folder = kStablePortFolder);

// The system's serial ports sorted by name, stable names from folder.
std::vector<SerialPortDetails> SystemSerialPorts(const std::string &folder = kStablePortFolder);

// The group owning device (after links), empty when it cannot be found.
std::string DeviceGroup(const std::string &device);

// What to do about "Permission denied" on device owned by group.
std::string PermissionDeniedHint(const std::string &device, const std::string &group);

// A process with a descriptor open on a device.
struct PortHolder {
    int pid = 0;
    std::string name; // its command name, "ModemManager"
};

// The processes holding device (after links) open, found through /proc by
// the device number of each descriptor, in pid order. Processes whose
// descriptors cannot be read (another user's, without privileges) are not
// seen.
std::vector<PortHolder> DeviceHolders(const std::string &device);

// True when device exists and is no terminal: a folder, a file, or a
// character device such as /dev/null. False for a missing path (a modem
// not plugged in yet) and for one that cannot be looked at.
bool IsNotASerialDevice(const std::string &device);

// "port /dev/ttyUSB2 is in use by ModemManager (pid 812)"; without holders
// "port /dev/ttyUSB2 is in use by another program".
std::string PortInUseText(const std::string &port, const std::vector<PortHolder> &holders);
