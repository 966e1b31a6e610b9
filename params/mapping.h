// Between the panels' parameter controls and the parameter set.
#pragma once

#include "model.h"

// The twelve panel controls into their parameter variables, uncorrected.
void GetPanelValues();
// Range-corrects the parameter set, shows it on the panels, refills the threshold lines,
// redraws the data curves and covers the video graphs with the grey background.
void SetPanelValues();
// Replaces every value above its limit by its replacement.
void RangeCorrect(ParameterSet& p);
// Gives each parameter field the range its range correction allows, so that no value leaves
// as typed when a read would correct it.
void ApplyParameterRanges();
// Connects the link to the panels: its status texts go to the status line, parameter reads
// show their result through SetPanelValues and the tolerance window. Also applies the
// parameter fields' ranges.
void InstallPanelViews();

// Name of packet word k as the panels label it (spare words included).
const char* ParameterName(int word);
