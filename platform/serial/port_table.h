// The port table: which device a serial port number stands for.
//
// Numbers are filled from the serial ports the system lists (COMn is n on Windows,
// elsewhere the listed ports are numbered from 1 in a stable order). A device path can be
// put on a number (a pseudo-terminal works), and so can the in-process simulated sensor.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace sim {
class Sensor;
}

constexpr int kMaxPorts = 32;  // port numbers run from 1 to kMaxPorts

struct PortEntry {
    int number = 0;
    std::string device;  // path or platform name; "simulated sensor" for the simulated port
    bool simulated = false;
    // What the system tells of a listed port, where it knows it.
    std::string description, manufacturer, serialNumber;
    bool gone = false;  // a port in use whose device has vanished
};

// Whether a port number is in use (open, or its device gone while open): its number stays
// with its device. The serial layer tells it.
void PortTableSetInUse(std::function<bool(int)> inUse);

// A port as the system lists it.
struct ListedPort {
    std::string location;
    std::string description = {}, manufacturer = {}, serialNumber = {};
};
// The system's list from the next scan on comes from `listing` (tests add and remove listed
// devices with it); an empty function asks the system again.
void PortTableSetListing(std::function<std::vector<ListedPort>()> listing);

// Lists the numbered ports: system ports, then overrides, then the simulated sensor last.
std::vector<PortEntry> PortTableList();

// Puts a device path on a number (replacing what it had).
void PortTableSetDevice(int number, const std::string& device);
// Puts the in-process simulated sensor on a number; paced at 19200 baud or instant.
void PortTableSetSimulated(int number, bool paced);
// Drops every override and rescans the system ports.
void PortTableReset();
// Lists the system's ports again. A device keeps its number while it stays (matched by its
// path, or by its serial number where the system knows one); a new device gets the lowest free
// number; a vanished one is dropped unless its port is open, which is then marked gone.
void PortTableRescan();
// The number the simulated sensor is offered on in the port selector when nothing put it
// elsewhere (one past the last listed port).
int PortTableSimulatedNumber();
// True when the number stands for a port the system lists (not a path put on it, not the
// simulated sensor).
bool PortTableIsListed(int number);
// The device name a number maps to, or empty when it has none.
std::string PortTableDevice(int number);

// The in-process simulated sensor behind a port number, or nullptr; tests use it to inject
// faults and to read the frames it received.
sim::Sensor* PortSimSensor(int number);
