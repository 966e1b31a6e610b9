#include "editfields.h"

#include "toolkit.h"

namespace {

void FillThreshold(int panel, int control, std::uint16_t* line) {
    int value = 0;
    GetCtrlVal(panel, control, &value);
    for (int i = 0; i < MAXPOINT; ++i) line[i] = static_cast<std::uint16_t>(value);
}

}  // namespace

void RedrawThresholdA(int panel, int control, PlotArrays& plots, Gui& gui) {
    FillThreshold(panel, control, plots.thdArrayA);
    gui.PlotDATACurveA(plots);
}

void RedrawThresholdB(int panel, int control, PlotArrays& plots, Gui& gui) {
    FillThreshold(panel, control, plots.thdArrayB);
    gui.PlotDATACurveB(plots);
}

void MoveSetPointCursor(int panel, int control, int mainPanel, int graph) {
    unsigned short value = 0;
    GetCtrlVal(panel, control, &value);
    SetGraphCursor(mainPanel, graph, 2, value, 1.0);
}
