// Internal to the serial layer: one open device behind a port number, and how the port
// table resolves a number. rs232.cpp owns the channels and the receive notification.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sim {
class Sensor;
}

struct SerialSettings {
    long baudRate = 19200;
    int parity = 0;  // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int dataBits = 8;
    int stopBits = 1;
};

class SerialChannel {
  public:
    virtual ~SerialChannel() = default;

    // False once the device has gone (hang-up, unplugged): every later operation fails.
    virtual bool IsOpen() const = 0;
    // Returns the count written or a negative ComError.
    virtual int Write(const std::uint8_t* data, int count, double timeout) = 0;
    // Bytes waiting; `pull` first takes in what the operating system holds.
    virtual int QueueLength(bool pull) = 0;
    // Reads up to `count` bytes, waiting at most `timeout` seconds; never pumps events.
    virtual int Read(std::uint8_t* out, int count, double timeout) = 0;
    virtual int FlushInput() = 0;
    virtual int FlushOutput() = 0;
    // Waits until the device says what was written has left it. Pseudo-terminals and many USB
    // adapters say so before the bytes have crossed the line; the default waits for nothing.
    virtual int Drain() { return IsOpen() ? 0 : -3; }
    virtual int SetHandshake(bool on) = 0;
    // A channel that knows in advance when bytes arrive wakes itself when `count` bytes will
    // be waiting (0: no wish); others report every arrival anyway.
    virtual void WatchInput(int /*count*/) {}

    // Called when bytes may have arrived or the device went away. It may run inside a
    // blocking wait of the channel itself, so it must not call back into the channel.
    std::function<void()> inputChanged;
    int errorCount = 0;  // errors the device reported, for tests
};

struct PortTarget {
    enum Kind { kNone, kDevice, kSimulated } kind = kNone;
    std::string device;
    bool paced = true;
    std::shared_ptr<sim::Sensor> sensor;
};

PortTarget PortTableResolve(int number);

// On failure returns nullptr, a negative ComError in *error and the reason in words in *why.
std::shared_ptr<SerialChannel> OpenDeviceChannel(const std::string& device,
                                                 const SerialSettings& settings, int* error,
                                                 std::string* why);
std::shared_ptr<SerialChannel> OpenSimChannel(std::shared_ptr<sim::Sensor> sensor, bool paced,
                                              const SerialSettings& settings);

// A QObject that lives for the whole run: queued calls and timers of the serial layer are
// delivered to it, so they never run on an object a callback may have deleted.
class QObject;
QObject* SerialEventContext();
