// Edit fields that show their value on the graphs at once, without changing the parameter set.
#pragma once

#include "gui.h"
#include "model.h"

// A video threshold field: its value fills channel A's (B's) threshold line, and the channel's
// data curve is drawn again with it.
void RedrawThresholdA(int panel, int control, PlotArrays& plots, Gui& gui);
void RedrawThresholdB(int panel, int control, PlotArrays& plots, Gui& gui);
// A set-point field moves cursor 2 of its video graph on the main panel.
void MoveSetPointCursor(int panel, int control, int mainPanel, int graph);
