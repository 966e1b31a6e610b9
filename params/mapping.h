// Between the panels' parameter controls and the parameter set.
#pragma once

#include "gui.h"
#include "model.h"
#include "panels.h"

// The twelve panel controls into their parameter variables, uncorrected.
void GetPanelValues(const PanelHandles& panels, ParameterSet& params);
// Range-corrects the parameter set, shows it on the panels, refills the threshold lines,
// redraws the data curves and covers the video graphs with the grey background.
void SetPanelValues(const PanelHandles& panels, ParameterSet& params, PlotArrays& plots, Gui& gui);
// Replaces every value above its limit by its replacement.
void RangeCorrect(ParameterSet& p);
// Gives each parameter field the range its range correction allows, so that no value leaves
// as typed when a read would correct it.
void ApplyParameterRanges(const PanelHandles& panels);

// Name of packet word k as the panels label it (spare words included).
const char* ParameterName(int word);
