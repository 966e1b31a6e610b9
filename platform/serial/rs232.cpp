// Serial-port operations over the port table, with the receive notification.
//
// The notification never runs inside a serial call: channels report arrivals through
// inputChanged, which only posts a check to the event queue; the check runs while events
// are pumped and calls the installed function once the queue holds the notify count.
#include "rs232.h"

#include <QObject>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "port_table.h"
#include "serial_channel.h"
#include "serial_hooks.h"
#include "trace.h"

namespace {

constexpr double kDefaultTimeout = 10.0;

struct Port {
    std::shared_ptr<SerialChannel> channel;
    double timeout = kDefaultTimeout;
    ComCallbackPtr function = nullptr;
    void* data = nullptr;
    int mask = 0;
    int notifyCount = 0;
    bool armed = false;       // the queue was seen below the notify count since the last call
    bool inCallback = false;  // the function is running (it may pump events itself)
    bool checkPosted = false;
    unsigned generation = 0;  // changes whenever the port is opened or closed
    int lastErrorCount = 0;
    bool lostReported = false;
    std::function<void()> waiter;  // NotifyWhenInQueue
    int waiterCount = 0;
    ComTrace* trace = nullptr;
    bool Tracing() const { return trace && trace->Tracing(); }
};

std::array<Port, kMaxPorts + 1> g_ports;
std::array<std::string, kMaxPorts + 1> g_openFailure;
std::map<int, std::function<void(int)>> g_lostHandlers;
int g_nextLostHandler = 1;
unsigned g_generation = 0;

bool ValidNumber(int port) { return port >= 1 && port <= kMaxPorts; }

bool ValidSettings(long baud, int parity, int dataBits, int stopBits, int inQ, int outQ) {
    static constexpr long kRates[] = {110,    300,    600,    1200,   2400,  4800,  9600,
                                      14400,  19200,  28800,  38400,  56000, 57600, 115200,
                                      128000, 230400, 256000, 460800, 921600};
    bool rateOk = false;
    for (long r : kRates) rateOk = rateOk || r == baud;
    return rateOk && parity >= 0 && parity <= 4 && dataBits >= 5 && dataBits <= 8 &&
           (stopBits == 1 || stopBits == 2) && inQ >= 0 && outQ >= 0;
}

// The open channel behind `port`, or null with the negative result in *error.
SerialChannel* Channel(int port, int* error) {
    if (!ValidNumber(port)) {
        *error = kComInvalidPort;
        return nullptr;
    }
    SerialChannel* ch = g_ports[port].channel.get();
    if (!ch || !ch->IsOpen()) {
        *error = kComNotOpen;
        return nullptr;
    }
    return ch;
}

void PostCheck(int port, unsigned generation);

// A waiter for a count of bytes hears of them, or of the device's loss, once.
void CheckWaiter(int port) {
    Port& p = g_ports[port];
    if (!p.waiter || !p.channel) return;
    if (p.channel->IsOpen() && p.channel->QueueLength(false) < p.waiterCount) return;
    const std::function<void()> fn = std::move(p.waiter);
    p.waiter = nullptr;
    fn();
}

// The queue has been seen below the notify count: the next time it reaches it, notify.
void Rearm(int port) {
    Port& p = g_ports[port];
    if (p.function && p.channel && p.channel->IsOpen() &&
        p.channel->QueueLength(false) < p.notifyCount)
        p.armed = true;
}

void CheckNotification(int port) {
    Port& p = g_ports[port];
    p.checkPosted = false;
    if (!p.function || !(p.mask & LWRS_RECEIVE) || p.inCallback || !p.channel) return;
    const std::shared_ptr<SerialChannel> keep = p.channel;  // the function may close the port
    const unsigned generation = p.generation;
    const int before = keep->QueueLength(false);
    if (before < 0) return;
    if (before < p.notifyCount) {
        p.armed = true;
        return;
    }
    if (!p.armed) return;
    p.armed = false;
    p.inCallback = true;
    p.function(port, LWRS_RECEIVE, p.data);
    // g_ports is a fixed array, so p is still valid; what it holds may not be.
    if (p.generation != generation) return;
    p.inCallback = false;
    if (!p.function || !keep->IsOpen()) return;
    const int after = keep->QueueLength(false);
    if (after < p.notifyCount) {
        p.armed = true;
    } else if (after < before) {
        // The function took a frame and another whole one is waiting: it gets its own call.
        p.armed = true;
        PostCheck(port, generation);
    }
}

void PostCheck(int port, unsigned generation) {
    Port& p = g_ports[port];
    if (p.generation != generation || p.checkPosted) return;
    p.checkPosted = true;
    QMetaObject::invokeMethod(
        SerialEventContext(),
        [port, generation] {
            Port& q = g_ports[port];
            if (q.generation != generation) return;
            q.checkPosted = false;
            CheckWaiter(port);
            if (q.generation != generation) return;
            // A device that vanished is said once, as soon as the event loop runs.
            if (q.channel && !q.channel->IsOpen() && !q.lostReported) {
                q.lostReported = true;
                q.checkPosted = false;
                // A handler may add or remove handlers: call a copy of the list.
                const auto handlers = g_lostHandlers;
                for (const auto& [id, handler] : handlers) handler(port);
                return;
            }
            CheckNotification(port);
        },
        Qt::QueuedConnection);
}

// The port table keeps the numbers of ports in use, even of devices gone while open.
void TellPortTableInUse() {
    static bool told = false;
    if (told) return;
    told = true;
    PortTableSetInUse([](int n) { return ComIsOpen(n) || ComDeviceLost(n); });
}

}  // namespace

int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize) {
    TellPortTableInUse();
    if (!ValidNumber(port)) return kComInvalidPort;
    if (!ValidSettings(baudRate, parity, dataBits, stopBits, inputQueueSize, outputQueueSize))
        return kComInvalidParameter;
    CloseCom(port);  // opening an open port starts it afresh

    const SerialSettings settings{baudRate, parity, dataBits, stopBits};
    std::string device = deviceName ? deviceName : "";
    std::shared_ptr<SerialChannel> channel;
    g_openFailure[port].clear();
    if (device.empty()) {
        const PortTarget target = PortTableResolve(port);
        if (target.kind == PortTarget::kNone) {
            g_openFailure[port] = "no such device";
            return kComNoPortFound;
        }
        if (target.kind == PortTarget::kSimulated)
            channel = OpenSimChannel(target.sensor, target.paced, settings);
        device = target.device;
    }
    if (!channel) {
        int error = kComCannotOpen;
        channel = OpenDeviceChannel(device, settings, &error, &g_openFailure[port]);
        if (!channel) return error;
    }
    Port& p = g_ports[port];
    p = Port{};
    p.channel = channel;
    p.generation = ++g_generation;
    channel->inputChanged = [port, generation = p.generation] { PostCheck(port, generation); };
    return 0;
}

int SetComTime(int port, double timeoutSeconds) {
    int error = 0;
    if (!Channel(port, &error)) return error;
    if (timeoutSeconds < 0) return kComInvalidParameter;
    g_ports[port].timeout = timeoutSeconds;
    return 0;
}

int SetCTSMode(int port, int mode) {
    int error = 0;
    SerialChannel* ch = Channel(port, &error);
    if (!ch) return error;
    if (mode != 0 && mode != 1) return kComInvalidParameter;
    return ch->SetHandshake(mode != 0);
}

int InstallComCallback(int port, int eventMask, int notifyCount, int /*eventCharacter*/,
                       ComCallbackPtr callbackFunction, void* callbackData) {
    int error = 0;
    SerialChannel* ch = Channel(port, &error);
    if (!ch) return error;
    Port& p = g_ports[port];
    if (!callbackFunction) {
        p.function = nullptr;
        p.data = nullptr;
        ch->WatchInput(0);
        return 0;
    }
    if ((eventMask & LWRS_RECEIVE) && notifyCount < 1) return kComInvalidParameter;
    p.function = callbackFunction;
    p.data = callbackData;
    p.mask = eventMask;
    p.notifyCount = notifyCount;
    p.armed = true;
    ch->WatchInput((eventMask & LWRS_RECEIVE) ? notifyCount : 0);
    PostCheck(port, p.generation);  // bytes may be waiting already
    return 0;
}

int NotifyWhenInQueue(int port, int count, std::function<void()> fn) {
    int error = 0;
    SerialChannel* ch = Channel(port, &error);
    if (!ch) return error;
    Port& p = g_ports[port];
    p.waiter = std::move(fn);
    p.waiterCount = count;
    // A channel that wakes itself for a watched count wakes for this one too, unless the
    // notification watches its own.
    if (!p.function) ch->WatchInput(p.waiter ? count : 0);
    if (p.waiter) PostCheck(port, p.generation);  // the bytes may be waiting already
    return 0;
}

int ComWrt(int port, const std::uint8_t* buffer, int count) {
    int error = 0;
    SerialChannel* ch = Channel(port, &error);
    if (!ch) return error;
    if (count < 0 || (count > 0 && !buffer)) return kComInvalidParameter;
    if (count == 0) return 0;
    const int n = ch->Write(buffer, count, g_ports[port].timeout);
    if (n > 0 && g_ports[port].Tracing()) g_ports[port].trace->Tx(buffer, n);
    return n;
}

int ComRd(int port, std::uint8_t* buffer, int count) {
    int error = 0;
    SerialChannel* ch = Channel(port, &error);
    if (!ch) return error;
    if (count < 0 || (count > 0 && !buffer)) return kComInvalidParameter;
    const int n = count == 0 ? 0 : ch->Read(buffer, count, g_ports[port].timeout);
    if (n > 0 && g_ports[port].Tracing()) g_ports[port].trace->Rx(buffer, n, false);
    Rearm(port);
    return n;
}

int GetInQLen(int port) {
    int error = 0;
    SerialChannel* ch = Channel(port, &error);
    if (!ch) return error;
    const int n = ch->QueueLength(true);
    Rearm(port);
    return n;
}

int FlushInQ(int port) {
    int error = 0;
    SerialChannel* ch = Channel(port, &error);
    if (!ch) return error;
    if (g_ports[port].Tracing()) {
        // What is discarded was on the line too: a trace without it would hide stray bytes.
        if (const int waiting = ch->QueueLength(true); waiting > 0) {
            std::vector<std::uint8_t> dropped(static_cast<std::size_t>(waiting));
            const int n = ch->Read(dropped.data(), waiting, 0.0);
            g_ports[port].trace->Rx(dropped.data(), n, true);
        }
    }
    const int r = ch->FlushInput();
    Rearm(port);
    return r;
}

int FlushOutQ(int port) {
    int error = 0;
    SerialChannel* ch = Channel(port, &error);
    if (!ch) return error;
    return ch->FlushOutput();
}

void SetComTrace(int port, ComTrace* trace) {
    if (ValidNumber(port)) g_ports[port].trace = trace;
}

int ComDrain(int port) {
    int error = 0;
    SerialChannel* ch = Channel(port, &error);
    if (!ch) return error;
    return ch->Drain();
}

int CloseCom(int port) {
    if (!ValidNumber(port)) return kComInvalidPort;
    Port& p = g_ports[port];
    if (!p.channel) return 0;
    const int errors = p.channel->errorCount;
    p.channel->inputChanged = nullptr;
    p = Port{};
    p.generation = ++g_generation;
    p.lastErrorCount = errors;
    return 0;
}

int ComErrorCount(int port) {
    if (!ValidNumber(port)) return 0;
    const Port& p = g_ports[port];
    return p.channel ? p.channel->errorCount : p.lastErrorCount;
}

int OnComDeviceLost(std::function<void(int port)> handler) {
    const int id = g_nextLostHandler++;
    g_lostHandlers[id] = std::move(handler);
    return id;
}

void RemoveComDeviceLostHandler(int id) { g_lostHandlers.erase(id); }

std::string ComOpenFailureReason(int port) {
    return ValidNumber(port) ? g_openFailure[port] : std::string("invalid port number");
}

bool ComDeviceLost(int port) {
    if (!ValidNumber(port)) return false;
    const Port& p = g_ports[port];
    return p.channel && !p.channel->IsOpen();
}

bool ComIsOpen(int port) {
    return ValidNumber(port) && g_ports[port].channel && g_ports[port].channel->IsOpen();
}
