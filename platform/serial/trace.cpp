#include "trace.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "protocol.h"
#include "timer.h"

ComTrace::~ComTrace() { Stop(); }

void ComTrace::Fail() {
    const std::string why =
        "trace " + path_ + " cannot be written (" + std::strerror(errno) + ") - tracing stopped";
    std::fclose(file_);
    file_ = nullptr;
    std::fprintf(stderr, "%s\n", why.c_str());
    if (onFailure) onFailure(why);
}

void ComTrace::Line(const char* direction, const unsigned char* bytes, int count,
                    const char* note) {
    if (!file_ || count <= 0) return;
    // Hex digits are written by hand: a line per frame at the line's rate must stay cheap.
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * 3 + 48);
    char head[32];
    std::snprintf(head, sizeof head, "%.3f %s", Timer(), direction);
    text += head;
    for (int i = 0; i < count; ++i) {
        text += ' ';
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0xF];
    }
    if (note) {
        text += ' ';
        text += note;
    }
    text += '\n';
    // Line-buffered: every line reaches the file at once, so nothing is lost to a crash.
    if (std::fputs(text.c_str(), file_) < 0 || std::fflush(file_) != 0) Fail();
}

bool ComTrace::Start(const std::string& path, bool refuseExisting, std::string* error) {
    Stop();
    std::error_code ec;
    if (refuseExisting && std::filesystem::exists(path, ec)) {
        *error = path + " exists; not overwritten";
        return false;
    }
    // Exclusive creation: a file made meanwhile by someone else is not replaced either.
    file_ = std::fopen(path.c_str(), refuseExisting ? "wx" : "w");
    if (!file_) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    return true;
}

void ComTrace::Stop() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

void ComTrace::Tx(const unsigned char* bytes, int count) {
    const char* name = nullptr;
    if (count == static_cast<int>(protocol::kFrameBytes) &&
        protocol::GetWord(bytes) == protocol::kCommandSync)
        name = protocol::CommandName(protocol::GetWord(bytes + 2));
    Line("TX", bytes, count, name);
}

void ComTrace::Rx(const unsigned char* bytes, int count, bool discarded) {
    Line("RX", bytes, count, discarded ? "(discarded)" : nullptr);
}
