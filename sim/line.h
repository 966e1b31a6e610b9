// Line pacing: bytes cross an asynchronous serial line one after another, each taking
// start bit, data bits, parity and stop bits. Pure and time-injected (seconds as doubles):
// the in-process port, the pseudo-terminal program and the tests share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "sensor.h"

namespace sim {

// 19200 baud, 8N1: 10 bits a byte.
constexpr double kByteSeconds19200 = 10.0 / 19200.0;
// A USB serial adapter holds what it is handed for a USB frame or two before the bytes go on,
// both ways: a frame starts crossing that long after it was written, and a reply reaches the
// host that long after it crossed.
constexpr double kAdapterHold = 0.002;
double ByteSeconds(long baud, int dataBits, bool parity, int stopBits);

// One direction of the line. A byte is "due" when its stop bit has crossed.
class LineQueue {
  public:
    explicit LineQueue(double byteSeconds = 0.0) : byte_(byteSeconds) {}

    // Bytes handed to the line at `now`; they follow whatever is still crossing.
    void Push(const std::uint8_t* data, std::size_t count, double now);
    std::size_t CountDue(double now) const;
    // Moves up to `max` bytes that are due by `now` into `out`.
    std::size_t Take(std::uint8_t* out, std::size_t max, double now);
    void DropDue(double now);
    // Bytes due after t never arrive; the line is free again from t (or its last byte kept).
    void DropAfter(double t);
    void Clear() { q_.clear(); }
    std::size_t Size() const { return q_.size(); }
    bool Empty() const { return q_.empty(); }
    double DueOf(std::size_t index) const { return q_[index].due; }
    double ByteTime() const { return byte_; }

  private:
    struct TimedByte {
        std::uint8_t byte;
        double due;
    };
    std::deque<TimedByte> q_;
    double byte_;
    double free_ = 0.0;  // when the last byte pushed so far has crossed
    bool used_ = false;
};

// Host and sensor joined by a line in each direction, through an adapter that holds bytes for
// `hold` seconds each way. The host writes and reads; the sensor sees each frame when its last
// byte has arrived and answers from then on.
class Line {
  public:
    Line(Sensor& sensor, double byteSeconds, double hold = 0.0)
        : sensor_(sensor), toSensor_(byteSeconds), toHost_(byteSeconds), hold_(hold) {}

    void HostWrite(const std::uint8_t* data, std::size_t count, double now);
    // Delivers to the sensor every byte that has reached it by `now` and queues its replies.
    void Advance(double now);
    std::size_t HostAvailable(double now);
    std::size_t HostRead(std::uint8_t* out, std::size_t max, double now);
    // Drops the reply bytes that have arrived; bytes still on the line arrive later.
    void HostFlushInput(double now);
    // Drops the bytes the host wrote that have not reached the sensor yet (still held by the
    // adapter, or on the line), as discarding an output queue does: a frame cut there leaves
    // the sensor with its first bytes.
    void HostFlushOutput(double now);

    // Time by which `count` reply bytes will have arrived, as far as already known.
    std::optional<double> HostReadyAt(std::size_t count) const;
    // When everything the host has written so far has reached the sensor.
    std::optional<double> SensorDoneAt() const;
    // The earliest moment anything changes: a byte reaches either side.
    std::optional<double> NextEvent() const;
    bool HungUp(double now) const { return hungUpAt_ && *hungUpAt_ <= now; }
    Sensor& sensor() { return sensor_; }
    LineQueue& ToHost() { return toHost_; }

  private:
    Sensor& sensor_;
    LineQueue toSensor_;
    LineQueue toHost_;
    double hold_;
    std::optional<double> hungUpAt_;
};

}  // namespace sim
