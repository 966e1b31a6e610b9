// Shared pieces of the serial-layer tests: frames, opening with the link's settings, a
// recording receive notification and an event pump with a deadline.
#pragma once

#include <functional>
#include <vector>

#include "event_loop.h"
#include "protocol.h"
#include "rs232.h"
#include "timer.h"

namespace serialtest {

inline std::vector<std::uint8_t> Frame(int command, const protocol::Words& words = {}) {
    const protocol::Frame f =
        protocol::EncodeFrame(protocol::kCommandSync, std::uint16_t(command), words);
    return {f.begin(), f.end()};
}

inline int Open(int port, const char* device = nullptr) {
    return OpenComConfig(port, device, 19200, NOPARITY, 8, 1, 4096, 4096);
}

inline int Send(int port, int command, const protocol::Words& words = {}) {
    const auto f = Frame(command, words);
    return ComWrt(port, f.data(), static_cast<int>(f.size()));
}

// Records notifications; by default it takes a frame and discards the rest as the program
// does, and notes whether it ran inside event pumping.
struct Recorder {
    int calls = 0;
    int lastEvent = 0;
    int queueAtCall = 0;
    bool readFrame = true;
    std::vector<std::uint8_t> frame;
    std::function<void(int port)> extra;  // runs after the read, inside the notification
    double firstCallTime = 0;

    static void Callback(int port, int event, void* data) {
        auto* r = static_cast<Recorder*>(data);
        if (r->calls++ == 0) r->firstCallTime = Timer();
        r->lastEvent = event;
        r->queueAtCall = GetInQLen(port);
        if (r->readFrame) {
            r->frame.assign(36, 0);
            const int n = ComRd(port, r->frame.data(), 36);
            r->frame.resize(n > 0 ? n : 0);
            FlushInQ(port);
        }
        if (r->extra) r->extra(port);
    }
    int Install(int port, int count = 36) {
        return InstallComCallback(port, LWRS_RECEIVE | LWRS_TXEMPTY | LWRS_RXFLAG, count, 0x55,
                                  &Recorder::Callback, this);
    }
};

// Pumps events until `done` or `seconds` have passed; returns done().
inline bool PumpUntil(const std::function<bool()>& done, double seconds) {
    const double end = Timer() + seconds;
    while (!done() && Timer() < end) ProcessSystemEvents();
    return done();
}

inline void PumpFor(double seconds) {
    PumpUntil([] { return false; }, seconds);
}

}  // namespace serialtest
