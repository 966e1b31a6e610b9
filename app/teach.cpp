#include "teach.h"

#include "QtorKMBscope10.h"
#include "commands.h"
#include "exchange.h"
#include "station.h"
#include "toolkit.h"

namespace {

Task<> Teach(Station& s) {
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
    } else {
        s.link.ShowStatus("Timeout RS232-Line!");
        s.stop_flag = 1;
    }
    SetGraphCursor(s.panels.panelHandle, GRAPH_VideoA, 1, s.params.tValA, 0.75);
    SetGraphCursor(s.panels.panelHandle, GRAPH_VideoB, 1, s.params.tValB, 0.75);
}

}  // namespace

// Pressed while the line is busy (a mode, a get, a connect), teach and reset wait for it: a
// running mode carries them out between two cycles.
int CC_ButtonTeach(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    s.link.WhenLineFree("teach", ActionKind::kAction, [&s] { return Teach(s); });
    return 0;
}

int CC_ButtonReset(int, int, int event, void* data, int, int) {
    if (event != EVENT_COMMIT || !data) return 0;
    Station& s = StationOf(data);
    s.link.WhenLineFree("reset", ActionKind::kAction, [&s] { return ResetMaxMin(s.link); });
    return 0;
}

// The plots read the toggle each time they draw; nothing to do here.
int CC_TOGBTN_Zoom(int, int, int, void*, int, int) { return 0; }
