// The state of a line as an operator needs it at a glance: which health, and the word that goes
// with it (the firmware text, the time-out, why a port cannot be opened).
#pragma once

#include <string>

enum class LinkHealth {
    kNone,          // no port opened yet
    kConnected,     // the sensor answered; detail: its firmware text
    kNoReply,       // the port is open but the sensor did not answer; detail: the text shown
    kDisconnected,  // the device vanished; the program watches for its return
    kCannotOpen,    // detail: why
};

struct LinkStatus {
    LinkHealth health = LinkHealth::kNone;
    int port = 0;
    std::string detail;
};

// The detail of a disconnect whose device has gone.
constexpr const char* kDeviceVanished = "the device vanished";
