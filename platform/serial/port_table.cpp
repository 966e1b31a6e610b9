#include "port_table.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <map>
#include <memory>

#include "sensor.h"
#include "serial_channel.h"

namespace {

constexpr const char* kSimulatedName = "simulated sensor";

struct Override {
    std::string device;  // empty for the simulated sensor
    bool paced = true;
    std::shared_ptr<sim::Sensor> sensor;
};

struct SystemPort {
    std::string location, description, manufacturer, serial;
    bool gone = false;
    std::string name;  // the system's short name (COMn on Windows): the order of the list
};

struct Table {
    bool scanned = false;
    std::function<bool(int)> inUse;  // a port open now, or whose device went while open
    std::function<std::vector<ListedPort>()> listing;
    std::map<int, SystemPort> system;
    std::map<int, Override> overrides;
    std::shared_ptr<sim::Sensor> defaultSensor;  // when no override put the sensor elsewhere
};

Table& table() {
    static Table t;
    return t;
}

// What the system lists, ordered by name.
std::vector<SystemPort> Listed(const Table& t) {
    std::vector<SystemPort> found;
    if (t.listing) {
        for (const ListedPort& p : t.listing()) {
            const std::string name = p.location.substr(p.location.find_last_of("/\\") + 1);
            found.push_back(
                {p.location, p.description, p.manufacturer, p.serialNumber, false, name});
        }
    } else {
        for (const QSerialPortInfo& p : QSerialPortInfo::availablePorts()) {
            found.push_back({p.systemLocation().toStdString(), p.description().toStdString(),
                             p.manufacturer().toStdString(), p.serialNumber().toStdString(), false,
                             p.portName().toStdString()});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const SystemPort& a, const SystemPort& b) { return a.name < b.name; });
    return found;
}

bool SameDevice(const SystemPort& a, const SystemPort& b) {
    return a.location == b.location || (!a.serial.empty() && a.serial == b.serial);
}

// The lowest number nothing stands for: not a listed port, not a device or simulated sensor
// put on a number, not a port open now (the simulated sensor's default number may be).
int FreeNumber(const Table& t) {
    for (int n = 1; n <= kMaxPorts; ++n) {
        if (!t.system.count(n) && !t.overrides.count(n) && !(t.inUse && t.inUse(n))) return n;
    }
    return 0;
}

void Scan(Table& t) {
    const std::vector<SystemPort> found = Listed(t);
#ifdef Q_OS_WIN
    t.system.clear();
    for (const SystemPort& port : found) {
        const QString name = QString::fromStdString(port.name);
        bool ok = false;
        const int n = name.startsWith(QLatin1String("COM")) ? name.mid(3).toInt(&ok) : 0;
        if (ok && n >= 1 && n <= kMaxPorts) t.system[n] = port;
    }
#else
    // Numbers already given stay with their devices; a port in use whose device vanished
    // stays listed, marked gone, so the selector never names another port than the one used.
    std::vector<bool> placed(found.size(), false);
    for (auto it = t.system.begin(); it != t.system.end();) {
        auto match = std::find_if(found.begin(), found.end(),
                                  [&](const SystemPort& f) { return SameDevice(it->second, f); });
        if (match != found.end()) {
            it->second = *match;
            placed[static_cast<std::size_t>(match - found.begin())] = true;
            ++it;
        } else if (t.inUse && t.inUse(it->first)) {
            it->second.gone = true;
            ++it;
        } else {
            it = t.system.erase(it);
        }
    }
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (placed[i]) continue;
        if (const int n = FreeNumber(t)) t.system[n] = found[i];
    }
#endif
    t.scanned = true;
}

Table& Scanned() {
    Table& t = table();
    if (!t.scanned) Scan(t);
    return t;
}

bool SimulatedElsewhere(const Table& t) {
    return std::any_of(t.overrides.begin(), t.overrides.end(),
                       [](const auto& o) { return o.second.sensor != nullptr; });
}

// Never port 1: on a machine whose serial ports are all gone, the start-up must report that
// no port was found rather than connect to a simulation an operator could take for the sensor.
int DefaultSimNumber(const Table& t) {
    int last = t.system.empty() ? 0 : t.system.rbegin()->first;
    for (const auto& [n, o] : t.overrides)
        if (!o.sensor) last = std::max(last, n);
    return std::clamp(last + 1, 2, kMaxPorts);
}

// The simulated sensor the default entry stands for, made on first use so that it keeps its
// parameter sets across reopenings.
const std::shared_ptr<sim::Sensor>& DefaultSensor(Table& t) {
    if (!t.defaultSensor) t.defaultSensor = std::make_shared<sim::Sensor>();
    return t.defaultSensor;
}

}  // namespace

void PortTableSetInUse(std::function<bool(int)> inUse) { table().inUse = std::move(inUse); }

void PortTableSetListing(std::function<std::vector<ListedPort>()> listing) {
    table().listing = std::move(listing);
}

std::vector<PortEntry> PortTableList() {
    Table& t = Scanned();
    std::vector<PortEntry> list;
    for (const auto& [n, port] : t.system) {
        if (t.overrides.count(n)) continue;
        PortEntry e;
        e.number = n;
        e.device = port.location;
        e.description = port.description;
        e.manufacturer = port.manufacturer;
        e.serialNumber = port.serial;
        e.gone = port.gone;
        list.push_back(e);
    }
    for (const auto& [n, o] : t.overrides) {
        if (o.sensor) continue;
        PortEntry e;
        e.number = n;
        e.device = o.device;
        list.push_back(e);
    }
    PortEntry simulated;
    simulated.device = kSimulatedName;
    simulated.simulated = true;
    for (const auto& [n, o] : t.overrides) {
        if (!o.sensor) continue;
        simulated.number = n;
        list.push_back(simulated);
    }
    if (!SimulatedElsewhere(t)) {
        simulated.number = DefaultSimNumber(t);
        list.push_back(simulated);
    }
    return list;
}

void PortTableSetDevice(int number, const std::string& device) {
    if (number < 1 || number > kMaxPorts) return;
    Scanned().overrides[number] = Override{device, true, nullptr};
}

void PortTableSetSimulated(int number, bool paced) {
    if (number < 1 || number > kMaxPorts) return;
    Table& t = Scanned();
    auto it = t.overrides.find(number);
    // Changing only the pacing keeps the sensor and its parameter sets.
    auto sensor = it != t.overrides.end() && it->second.sensor ? it->second.sensor
                                                               : std::make_shared<sim::Sensor>();
    t.overrides[number] = Override{"", paced, std::move(sensor)};
}

void PortTableReset() {
    Table& t = table();
    t.overrides.clear();
    t.defaultSensor.reset();
    t.system.clear();
    Scan(t);
}

void PortTableRescan() { Scan(table()); }

int PortTableSimulatedNumber() { return DefaultSimNumber(Scanned()); }

std::string PortTableDevice(int number) {
    const PortTarget target = PortTableResolve(number);
    if (target.kind == PortTarget::kSimulated) return kSimulatedName;
    return target.device;
}

bool PortTableIsListed(int number) {
    Table& t = Scanned();
    return !t.overrides.count(number) && t.system.count(number) &&
           !(number == DefaultSimNumber(t) && !SimulatedElsewhere(t));
}

sim::Sensor* PortSimSensor(int number) { return PortTableResolve(number).sensor.get(); }

PortTarget PortTableResolve(int number) {
    Table& t = Scanned();
    PortTarget target;
    if (auto it = t.overrides.find(number); it != t.overrides.end()) {
        target.kind = it->second.sensor ? PortTarget::kSimulated : PortTarget::kDevice;
        target.device = it->second.device;
        target.paced = it->second.paced;
        target.sensor = it->second.sensor;
    } else if (!SimulatedElsewhere(t) && number == DefaultSimNumber(t)) {
        target.kind = PortTarget::kSimulated;
        target.sensor = DefaultSensor(t);
    } else if (auto s = t.system.find(number); s != t.system.end()) {
        target.kind = PortTarget::kDevice;
        target.device = s->second.location;
    }
    return target;
}
