#include "faults.h"

#include <cstdlib>
#include <utility>

namespace sim {
namespace {

struct KindName {
    const char* name;
    FaultKind kind;
    bool needsArg;
    double maxArg;  // a delay in seconds, a byte count or a 16-bit sync word
};

constexpr KindName kKinds[] = {
    {"noreply", FaultKind::kNoReply, false, 0},
    {"late", FaultKind::kLate, true, 3600},
    {"cut", FaultKind::kCut, true, 65535},
    {"lengthen", FaultKind::kLengthen, true, 65535},
    {"badsync", FaultKind::kWrongSync, false, 0xFFFF},
    {"garbage", FaultKind::kGarbage, false, 0},
    {"hangup", FaultKind::kHangUp, false, 0},
    {"ignore", FaultKind::kIgnore, false, 0},
};

bool ParseNumber(const std::string& s, double* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    // Base 0 for integers lets a sync word be given as 0xAA00.
    if (s.find_first_of(".eE") == std::string::npos || s.rfind("0x", 0) == 0) {
        const long v = std::strtol(s.c_str(), &end, 0);
        *out = static_cast<double>(v);
    } else {
        *out = std::strtod(s.c_str(), &end);
    }
    return end && *end == '\0' && *out >= 0;
}

}  // namespace

const char* FaultKindName(FaultKind kind) {
    for (const auto& k : kKinds)
        if (k.kind == kind) return k.name;
    return "?";
}

std::optional<FaultSpec> ParseFault(const std::string& text, bool once, std::string* error) {
    auto fail = [&](std::string why) -> std::optional<FaultSpec> {
        if (error) *error = std::move(why) + ": '" + text + "'";
        return std::nullopt;
    };
    const auto c1 = text.find(':');
    if (c1 == std::string::npos) return fail("expected CMD:KIND[:ARG]");
    double command = 0;
    if (!ParseNumber(text.substr(0, c1), &command) || command < 1 || command > 0xFFFF ||
        command != static_cast<int>(command))
        return fail("bad command number");
    const auto c2 = text.find(':', c1 + 1);
    const std::string kind = text.substr(c1 + 1, c2 == std::string::npos ? c2 : c2 - c1 - 1);
    const std::string arg = c2 == std::string::npos ? "" : text.substr(c2 + 1);
    for (const auto& k : kKinds) {
        if (kind != k.name) continue;
        FaultSpec spec;
        spec.command = static_cast<int>(command);
        spec.fault.kind = k.kind;
        spec.fault.once = once;
        if (!arg.empty() && (!ParseNumber(arg, &spec.fault.arg) || spec.fault.arg > k.maxArg))
            return fail("bad argument");
        if (k.needsArg && arg.empty()) return fail("this fault needs an argument");
        return spec;
    }
    return fail("unknown fault kind");
}

}  // namespace sim
