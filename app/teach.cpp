#include "teach.h"

#include "QtorKMBscope10.h"
#include "commands.h"
#include "exchange.h"
#include "model.h"
#include "toolkit.h"

namespace {

void Teach() {
    bool taught = false;
    {
        // Sent with pp as it is, not refilled from the parameter variables.
        Exchange teach(line.com, protocol::kTeach, line.pp, Discard::kInThenOut);
        ShowStatus("New setpoint value teached!");
        taught = teach.AwaitFrame(Tie::kReplyWins) == WaitResult::kReply;
    }
    if (taught) {
        PushGET(RAM);
    } else {
        ShowStatus("Timeout RS232-Line!");
        line.stop_flag = 1;
    }
    SetGraphCursor(panels.panelHandle, GRAPH_VideoA, 1, params.tValA, 0.75);
    SetGraphCursor(panels.panelHandle, GRAPH_VideoB, 1, params.tValB, 0.75);
}

}  // namespace

// Pressed while the line is busy (a mode, a get, a connect), teach and reset wait for it: a
// running mode carries them out between two cycles.
int CC_ButtonTeach(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) WhenLineFree("teach", ActionKind::kAction, Teach);
    return 0;
}

int CC_ButtonReset(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) WhenLineFree("reset", ActionKind::kAction, ResetMaxMin);
    return 0;
}

// The plots read the toggle each time they draw; nothing to do here.
int CC_TOGBTN_Zoom(int, int, int, void*, int, int) { return 0; }
