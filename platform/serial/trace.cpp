#include "trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "protocol.h"
#include "timer.h"

namespace {

std::FILE* g_file = nullptr;
std::string g_path;
std::function<void(const std::string&)> g_onFailure;

void Fail() {
    const std::string why =
        "trace " + g_path + " cannot be written (" + std::strerror(errno) + ") - tracing stopped";
    std::fclose(g_file);
    g_file = nullptr;
    std::fprintf(stderr, "%s\n", why.c_str());
    if (g_onFailure) g_onFailure(why);
}

void Line(const char* direction, const unsigned char* bytes, int count, const char* note) {
    if (!g_file || count <= 0) return;
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
    if (std::fputs(text.c_str(), g_file) < 0 || std::fflush(g_file) != 0) Fail();
}

}  // namespace

bool StartComTrace(const std::string& path, bool refuseExisting, std::string* error) {
    StopComTrace();
    std::error_code ec;
    if (refuseExisting && std::filesystem::exists(path, ec)) {
        *error = path + " exists; not overwritten";
        return false;
    }
    // Exclusive creation: a file made meanwhile by someone else is not replaced either.
    g_file = std::fopen(path.c_str(), refuseExisting ? "wx" : "w");
    if (!g_file) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    g_path = path;
    return true;
}

void StopComTrace() {
    if (g_file) std::fclose(g_file);
    g_file = nullptr;
}

bool ComTracing() { return g_file != nullptr; }

void OnComTraceFailure(std::function<void(const std::string&)> handler) {
    g_onFailure = std::move(handler);
}

void TraceTx(const unsigned char* bytes, int count) {
    const char* name = nullptr;
    if (count == static_cast<int>(protocol::kFrameBytes) &&
        protocol::GetWord(bytes) == protocol::kCommandSync)
        name = protocol::CommandName(protocol::GetWord(bytes + 2));
    Line("TX", bytes, count, name);
}

void TraceRx(const unsigned char* bytes, int count, bool discarded) {
    Line("RX", bytes, count, discarded ? "(discarded)" : nullptr);
}
