// Protocol trace: every frame written and every chunk read on a serial port, one line each:
// seconds since the start with three decimals, TX or RX, the bytes in hex, and for a written
// command frame the command's name. Bytes a queue discard drops are traced as read, marked.
#pragma once

#include <functional>
#include <string>

// Starts tracing into `path` (created, or emptied unless `refuseExisting`); false with the
// reason in *error.
bool StartComTrace(const std::string& path, bool refuseExisting, std::string* error);
void StopComTrace();
bool ComTracing();
// Called once when a trace line cannot be written: tracing has stopped, the program goes on.
void OnComTraceFailure(std::function<void(const std::string& why)> handler);

// For the serial layer.
void TraceTx(const unsigned char* bytes, int count);
void TraceRx(const unsigned char* bytes, int count, bool discarded);
