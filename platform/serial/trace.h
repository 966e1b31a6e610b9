// Protocol trace: every frame written and every chunk read on a serial port, one line each:
// seconds since the start with three decimals, TX or RX, the bytes in hex, and for a written
// command frame the command's name. Bytes a queue discard drops are traced as read, marked.
// A trace belongs to whoever holds the port (a sensor's link): two ports, two traces.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

class ComTrace {
  public:
    ComTrace() = default;
    ~ComTrace();
    ComTrace(const ComTrace&) = delete;
    ComTrace& operator=(const ComTrace&) = delete;

    // Starts tracing into `path` (created, or emptied unless `refuseExisting`); false with the
    // reason in *error.
    bool Start(const std::string& path, bool refuseExisting, std::string* error);
    void Stop();
    bool Tracing() const { return file_ != nullptr; }
    // Called once when a trace line cannot be written: tracing has stopped, the program goes on.
    std::function<void(const std::string& why)> onFailure;

    // For the serial layer.
    void Tx(const unsigned char* bytes, int count);
    void Rx(const unsigned char* bytes, int count, bool discarded);

  private:
    void Line(const char* direction, const unsigned char* bytes, int count, const char* note);
    void Fail();
    std::FILE* file_ = nullptr;
    std::string path_;
};

// The serial layer traces what crosses `port` into `trace` (null: into none) until the port is
// closed or opened again.
void SetComTrace(int port, ComTrace* trace);
