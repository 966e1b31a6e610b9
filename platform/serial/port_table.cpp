#include "port_table.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <map>
#include <memory>

#include "rs232.h"
#include "sensor.h"
#include "serial_channel.h"

namespace {

constexpr const char* kSimulatedName = "simulated sensor";

struct Override {
    std::string device;  // empty for the simulated sensor
    bool paced = true;
    std::shared_ptr<sim::Sensor> sensor;
};

struct Table {
    bool scanned = false;
    std::map<int, std::string> system;
    std::map<int, Override> overrides;
    std::shared_ptr<sim::Sensor> defaultSensor;  // when no override put the sensor elsewhere
};

Table& table() {
    static Table t;
    return t;
}

void Scan(Table& t) {
    t.system.clear();
    auto ports = QSerialPortInfo::availablePorts();
    std::sort(ports.begin(), ports.end(), [](const QSerialPortInfo& a, const QSerialPortInfo& b) {
        return a.portName() < b.portName();
    });
#ifdef Q_OS_WIN
    for (const auto& p : ports) {
        const QString name = p.portName();
        bool ok = false;
        const int n = name.startsWith(QLatin1String("COM")) ? name.mid(3).toInt(&ok) : 0;
        if (ok && n >= 1 && n <= kMaxPorts) t.system[n] = name.toStdString();
    }
#else
    int n = 0;
    for (const auto& p : ports) {
        if (++n > kMaxPorts) break;
        t.system[n] = p.systemLocation().toStdString();
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

std::vector<PortEntry> PortTableList() {
    Table& t = Scanned();
    std::vector<PortEntry> list;
    for (const auto& [n, name] : t.system)
        if (!t.overrides.count(n)) list.push_back({n, name, false});
    for (const auto& [n, o] : t.overrides)
        if (!o.sensor) list.push_back({n, o.device, false});
    for (const auto& [n, o] : t.overrides)
        if (o.sensor) list.push_back({n, kSimulatedName, true});
    if (!SimulatedElsewhere(t)) list.push_back({DefaultSimNumber(t), kSimulatedName, true});
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
    Scan(t);
}

int PortTableSimulatedNumber() { return DefaultSimNumber(Scanned()); }

std::string PortTableDevice(int number) {
    const PortTarget target = PortTableResolve(number);
    if (target.kind == PortTarget::kSimulated) return kSimulatedName;
    return target.device;
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
        target.device = s->second;
    }
    return target;
}
