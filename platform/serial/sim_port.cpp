// The in-process simulated sensor as a serial channel. Bytes cross the simulated line at
// their due times (Timer() is the clock); a timer wakes the port when the sensor has a
// frame to answer or when the watched number of reply bytes has arrived.
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "line.h"
#include "rs232.h"
#include "sensor.h"
#include "serial_channel.h"
#include "timer.h"

namespace {

constexpr double kTestClockLook = 0.005;

class SimChannel final : public SerialChannel, public std::enable_shared_from_this<SimChannel> {
  public:
    SimChannel(std::shared_ptr<sim::Sensor> sensor, double byteSeconds, double hold)
        : sensor_(std::move(sensor)), link_(*sensor_, byteSeconds, hold) {}

    bool IsOpen() const override { return open_; }

    int Write(const std::uint8_t* data, int count, double) override {
        if (!Alive()) return kComNotOpen;
        link_.HostWrite(data, static_cast<std::size_t>(count), Timer());
        Schedule();
        return count;
    }

    int QueueLength(bool) override {
        if (!Alive()) return kComNotOpen;
        return static_cast<int>(link_.HostAvailable(Timer()));
    }

    int Read(std::uint8_t* out, int count, double timeout) override {
        if (!Alive()) return kComNotOpen;
        const double deadline = Timer() + timeout;
        std::size_t got = 0;
        const auto want = static_cast<std::size_t>(count);
        for (;;) {
            const double now = Timer();
            got += link_.HostRead(out + got, want - got, now);
            if (got >= want || !Alive() || now >= deadline) break;
            // Sleep until the bytes still missing are due, or the sensor has the next frame.
            double until = deadline;
            if (auto t = link_.HostReadyAt(want - got)) {
                until = std::min(until, *t);
            } else if (auto s = link_.SensorDoneAt()) {
                until = std::min(until, *s);
            }
            Delay(until - now);
        }
        Schedule();
        return static_cast<int>(got);
    }

    int FlushInput() override {
        if (!Alive()) return kComNotOpen;
        link_.HostFlushInput(Timer());
        Schedule();
        return 0;
    }

    // What has not crossed the line yet is lost, as from a UART's output queue.
    int FlushOutput() override {
        if (!Alive()) return kComNotOpen;
        link_.HostFlushOutput(Timer());
        return 0;
    }
    int SetHandshake(bool) override { return Alive() ? 0 : kComNotOpen; }

    void WatchInput(int count) override {
        watch_ = std::max(0, count);
        Schedule();
    }

  private:
    // Notices a hang-up whose time has come; the port then behaves like a vanished device.
    bool Alive() {
        if (open_ && link_.HungUp(Timer())) {
            open_ = false;
            ++errorCount;
            if (inputChanged) inputChanged();
        }
        return open_;
    }

    // Arms a wake-up for the next moment the port has news: the sensor gets the frame
    // written last (it may hang up then), the watched count of bytes has arrived, or the whole
    // reply has (a caller polling the queue without a notification then wakes at once).
    // Serial calls advance the line themselves, so an arrival that is already past still needs
    // its report.
    void Schedule() {
        if (!open_) return;
        const double now = Timer();
        std::optional<double> at = link_.SensorDoneAt();
        auto consider = [&](std::optional<double> t) {
            if (t && *t > reported_) at = at ? std::min(*at, *t) : *t;
        };
        if (watch_ > 0) consider(link_.HostReadyAt(static_cast<std::size_t>(watch_)));
        consider(link_.HostReadyAt(link_.ToHost().Size()));
        if (!at) return;
        // Under the test clock every event pump moves Timer() on by a step, far faster than
        // the real milliseconds a Qt timer counts: look again soon instead.
        if (TestClockStep() > 0) at = std::min(*at, now + kTestClockLook);
        if (pending_ && *pending_ <= *at) return;  // an earlier wake-up covers it
        pending_ = *at;
        // Qt's timers count whole milliseconds: wake up to one early and sleep the rest, so
        // a reply is reported when its last byte is due, not up to a millisecond later.
        const auto ms = static_cast<int>(std::floor(std::max(0.0, *at - now) * 1000.0));
        QTimer::singleShot(ms, Qt::PreciseTimer, SerialEventContext(), [weak = weak_from_this()] {
            if (auto self = weak.lock()) self->OnTimer();
        });
    }

    void OnTimer() {
        if (pending_) {
            const double early = *pending_ - Timer();
            if (early > 0 && early < 0.002) Delay(early);
        }
        pending_.reset();
        if (!Alive()) return;  // Alive() has reported the hang-up
        reported_ = Timer();
        link_.Advance(reported_);
        if (inputChanged) inputChanged();
        Schedule();
    }

    std::shared_ptr<sim::Sensor> sensor_;
    sim::Line link_;
    bool open_ = true;
    int watch_ = 0;
    std::optional<double> pending_;  // the earliest wake-up armed
    double reported_ = -1.0;         // arrivals up to this time have been reported
};

}  // namespace

std::shared_ptr<SerialChannel> OpenSimChannel(std::shared_ptr<sim::Sensor> sensor, bool paced,
                                              const SerialSettings& s) {
    const double byteSeconds =
        paced ? sim::ByteSeconds(s.baudRate, s.dataBits, s.parity != 0, s.stopBits) : 0.0;
    // A paced line is reached through an adapter, as a sensor on a USB port is.
    return std::make_shared<SimChannel>(std::move(sensor), byteSeconds,
                                        paced ? sim::kAdapterHold : 0.0);
}
