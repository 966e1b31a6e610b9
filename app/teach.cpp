#include "teach.h"

#include <array>
#include <cstdint>
#include <string>

#include "QtorKMBscope10.h"
#include "audit.h"
#include "commands.h"
#include "exchange.h"
#include "operator_level.h"
#include "station.h"
#include "timer.h"
#include "toolkit.h"

namespace {

Task<> Teach(Station& s) {
    std::array<std::uint16_t, PNUM> before{};
    ParameterWords(s.params, before.data());
    AuditEntry entry = StationEntry(s, "teach");
    bool taught = false;
    {
        // Sent with pp as it is, not refilled from the parameter variables.
        Exchange teach(s.link);
        co_await teach.Write(protocol::kTeach, s.link.pp, Discard::kInThenOut);
        s.link.ShowStatus("New setpoint value teached!");
        const Received reply = co_await teach.Frame(Tie::kReplyWins);
        taught = reply.ok();
    }
    if (taught) {
        co_await PushGET(s.link, RAM, s.params);
        std::array<std::uint16_t, PNUM> after{};
        ParameterWords(s.params, after.data());
        entry.changes = ChangedWords(before.data(), after.data());
    } else {
        s.link.ShowStatus("Timeout RS232-Line!");
        s.stop_flag = 1;
        entry.detail = "no reply";
    }
    if (s.oplock.Trail().Kept()) {
        const std::string failed = KeepInTrail(s, entry);
        if (!failed.empty()) s.link.ShowStatus(failed.c_str());
    }
    SetGraphCursor(s.panels.panelHandle, GRAPH_VideoA, 1, s.params.tValA, 0.75);
    SetGraphCursor(s.panels.panelHandle, GRAPH_VideoB, 1, s.params.tValB, 0.75);
}

Task<> Reset(Station& s) {
    AuditEntry entry = StationEntry(s, "reset");
    const bool reset = co_await ResetExtremes(s.link);
    if (!reset) entry.detail = "no reply";
    const std::string failed = s.oplock.Trail().Kept() ? KeepInTrail(s, entry) : std::string();
    s.link.ShowStatus(failed.empty() ? s.link.szStatus : failed.c_str());
}

// A change to the sensor: refused at Operator level, and while the trail cannot take it.
bool MayChange(Station& s) {
    RelockIfIdle(s);
    if (RefusedByLock(s) || !TrailReady(s)) return false;
    s.oplock.Input(Timer());
    return true;
}

}  // namespace

// Pressed while the line is busy (a mode, a get, a connect), teach and reset wait for it: a
// running mode carries them out between two cycles.
int CC_ButtonTeach(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    if (!MayChange(s)) return 0;
    s.link.WhenLineFree("teach", ActionKind::kAction, [&s] { return Teach(s); });
    return 0;
}

int CC_ButtonReset(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    if (!MayChange(s)) return 0;
    s.link.WhenLineFree("reset", ActionKind::kAction, [&s] { return Reset(s); });
    return 0;
}

// The plots read the toggle each time they draw; nothing to do here.
int CC_TOGBTN_Zoom(int, int, int, void*, int, int) { return 0; }
