#include "teach.h"

#include "QtorKMBscope10.h"
#include "com232.h"
#include "commands.h"
#include "model.h"
#include "timer.h"
#include "toolkit.h"

int CC_ButtonTeach(int, int, int event, void*, int, int) {
    if (event != EVENT_COMMIT) return 0;
    FlushQueues(line.com);
    line.rx_flag = 0;
    line.order = 6;
    FillTxBuf(static_cast<std::uint16_t>(line.order), line.pp);
    WriteFrame(line.com);
    ShowStatus("New setpoint value teached!");
    line.tstart = Timer();
    for (;;) {
        if (line.rx_flag == 1) {
            PushGET(RAM);
            break;
        }
        line.tdiff = Timer() - line.tstart;
        if (line.tdiff > TIMEOUT) {
            ShowStatus("Timeout RS232-Line!");
            line.stop_flag = 1;
            break;
        }
        ProcessSystemEvents();
    }
    SetGraphCursor(panels.panelHandle, GRAPH_VideoA, 1, params.tValA, 0.75);
    SetGraphCursor(panels.panelHandle, GRAPH_VideoB, 1, params.tValB, 0.75);
    return 0;
}

int CC_ButtonReset(int, int, int event, void*, int, int) {
    if (event == EVENT_COMMIT) ResetMaxMin();
    return 0;
}

// The plots read the toggle each time they draw; nothing to do here.
int CC_TOGBTN_Zoom(int, int, int, void*, int, int) { return 0; }
