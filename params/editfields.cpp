#include "editfields.h"

#include "QtorKMBscope10.h"
#include "gui.h"
#include "model.h"
#include "toolkit.h"

namespace {

void RedrawThreshold(int panel, int control, std::uint16_t* line,
                     void (*plot)(const std::uint16_t*), const std::uint16_t* samples) {
    int value = 0;
    GetCtrlVal(panel, control, &value);
    for (int i = 0; i < MAXPOINT; ++i) line[i] = static_cast<std::uint16_t>(value);
    plot(samples);
}

void MoveSetPointCursor(int panel, int control, int graph) {
    unsigned short value = 0;
    GetCtrlVal(panel, control, &value);
    SetGraphCursor(panels.panelHandle, graph, 2, value, 1.0);
}

}  // namespace

int CC_NEDITVideoThdA(int panel, int control, int event, void*, int, int) {
    if (event == EVENT_VAL_CHANGED) {
        RedrawThreshold(panel, control, plots.thdArrayA, PlotDATACurveA, plots.adcbufA);
    }
    return 0;
}

int CC_NEDITVideoThdB(int panel, int control, int event, void*, int, int) {
    if (event == EVENT_VAL_CHANGED) {
        RedrawThreshold(panel, control, plots.thdArrayB, PlotDATACurveB, plots.adcbufB);
    }
    return 0;
}

int CC_NEDITeachA(int panel, int control, int event, void*, int, int) {
    if (event == EVENT_COMMIT) MoveSetPointCursor(panel, control, GRAPH_VideoA);
    return 0;
}

int CC_NEDITeachB(int panel, int control, int event, void*, int, int) {
    if (event == EVENT_COMMIT) MoveSetPointCursor(panel, control, GRAPH_VideoB);
    return 0;
}

// Editing the tolerance or a mode waits for the next parameter read to show on the graphs.
int CC_NEDITTolLeff(int, int, int, void*, int, int) { return 0; }
int CC_DropEvalMode(int, int, int, void*, int, int) { return 0; }
int CC_DropAnaMode(int, int, int, void*, int, int) { return 0; }
