#include "mapping.h"

#include "QtorKMBscope10.h"
#include "commands.h"
#include "gui.h"
#include "toolkit.h"
#include "transfer.h"

namespace {

struct Limit {
    std::uint16_t ParameterSet::*word;
    std::uint16_t limit;
    std::uint16_t replacement;
};

// In correction order. sTime and powerB are never corrected.
constexpr Limit kLimits[] = {
    {&ParameterSet::powerA, 500, 250}, {&ParameterSet::vThdA, 1023, 512},
    {&ParameterSet::vThdB, 1023, 512}, {&ParameterSet::polarity, 1, 1},
    {&ParameterSet::eModeA, 3, 0},     {&ParameterSet::average, 128, 128},
    {&ParameterSet::tValA, 1024, 512}, {&ParameterSet::tValB, 1024, 512},
    {&ParameterSet::tTol, 512, 128},   {&ParameterSet::ePoti, 4, 0},
    {&ParameterSet::anaMode, 4, 0},    {&ParameterSet::para13, 1023, 0},
    {&ParameterSet::para14, 1023, 0},  {&ParameterSet::para15, 1023, 0},
};

struct PanelControl {
    bool popup;
    int control;
    std::uint16_t ParameterSet::*word;
};

// The order in which the controls are read and written.
constexpr PanelControl kControls[] = {
    {true, NEDITPowerA, &ParameterSet::powerA},   {true, NEDITVideoThdA, &ParameterSet::vThdA},
    {true, NEDITVideoThdB, &ParameterSet::vThdB}, {true, DropPolarity, &ParameterSet::polarity},
    {true, DropEvalMode, &ParameterSet::eModeA},  {true, NEDITAverage, &ParameterSet::average},
    {true, DropEPoti, &ParameterSet::ePoti},      {true, DropAnaMode, &ParameterSet::anaMode},
    {true, NEDITSTime, &ParameterSet::sTime},     {false, NEDITeachA, &ParameterSet::tValA},
    {false, NEDITeachB, &ParameterSet::tValB},    {false, NEDITTolLeff, &ParameterSet::tTol},
};

int PanelOf(const PanelControl& c) { return c.popup ? panels.panelPopUp : panels.panelHandle; }

void DrawToleranceWindow() {
    int mode = 0;
    GetCtrlVal(panels.panelPopUp, DropEvalMode, &mode);
    PlotTOLWindow(mode, plots.curposA, plots.curposB);
}

}  // namespace

const char* ParameterName(int word) {
    static constexpr const char* kNames[PNUM] = {
        "Power A",         "Power B",        "Video threshold A",  "Video threshold B",
        "Polarity",        "Evaluation mode", "Averaging",         "Set-point A",
        "Set-point B",     "Tolerance",      "Potentiometer mode", "Analog output mode",
        "Time setting",    "Spare word 13",  "Spare word 14",      "Spare word 15"};
    return word >= 0 && word < PNUM ? kNames[word] : "?";
}

void RangeCorrect(ParameterSet& p) {
    for (const Limit& l : kLimits) {
        if (p.*l.word > l.limit) p.*l.word = l.replacement;
    }
}

void GetPanelValues() {
    for (const PanelControl& c : kControls) {
        unsigned short value = 0;
        if (GetCtrlVal(PanelOf(c), c.control, &value) >= 0) params.*c.word = value;
    }
}

void SetPanelValues() {
    RangeCorrect(params);
    for (const PanelControl& c : kControls) {
        SetCtrlVal(PanelOf(c), c.control, unsigned{params.*c.word});
    }
    for (int i = 0; i < MAXPOINT; ++i) {
        plots.thdArrayA[i] = params.vThdA;
        plots.thdArrayB[i] = params.vThdB;
    }
    PlotDATACurveA(plots.adcbufA);
    PlotDATACurveB(plots.adcbufB);
    for (int graph : {GRAPH_VideoA, GRAPH_VideoB}) {
        PlotRectangle(panels.panelHandle, graph, 0.0, 0.0, 1023.0, 1.0, VAL_GRAY, VAL_GRAY);
    }
}

void ApplyParameterRanges() {
    for (const PanelControl& c : kControls) {
        int limit = 0xFFFF;
        for (const Limit& l : kLimits)
            if (l.word == c.word) limit = l.limit;
        // Selectors hold their listed values already; fields take no more than the correction
        // lets through, so what is sent is what a read shows.
        int max = 0;
        if (GetCtrlAttribute(PanelOf(c), c.control, ATTR_MAX_VALUE, &max) == 0 && max > limit)
            SetCtrlAttribute(PanelOf(c), c.control, ATTR_MAX_VALUE, limit);
    }
}

void InstallParameterView() {
    ApplyParameterRanges();
    SetParameterView({SetPanelValues, DrawToleranceWindow, SelectRamTarget});
}
