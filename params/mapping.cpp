#include "mapping.h"

#include "QtorKMBscope10.h"
#include "correction.h"
#include "toolkit.h"

namespace {

struct PanelControl {
    bool popup;
    int control;
    int word;  // in the parameter packet
};

// The order in which the controls are read and written.
constexpr PanelControl kControls[] = {
    {true, NEDITPowerA, protocol::kPowerA},    {true, NEDITVideoThdA, protocol::kVThdA},
    {true, NEDITVideoThdB, protocol::kVThdB},  {true, DropPolarity, protocol::kPolarity},
    {true, DropEvalMode, protocol::kEvalMode}, {true, NEDITAverage, protocol::kAverage},
    {true, DropEPoti, protocol::kEPoti},       {true, DropAnaMode, protocol::kAnaMode},
    {true, NEDITSTime, protocol::kSTime},      {false, NEDITeachA, protocol::kTValA},
    {false, NEDITeachB, protocol::kTValB},     {false, NEDITTolLeff, protocol::kTTol},
};

int PanelOf(const PanelHandles& panels, const PanelControl& c) {
    return c.popup ? panels.panelPopUp : panels.panelHandle;
}

}  // namespace

const char* ParameterName(int word) {
    static constexpr const char* kNames[PNUM] = {
        "Power A",      "Power B",         "Video threshold A",  "Video threshold B",
        "Polarity",     "Evaluation mode", "Averaging",          "Set-point A",
        "Set-point B",  "Tolerance",       "Potentiometer mode", "Analog output mode",
        "Time setting", "Spare word 13",   "Spare word 14",      "Spare word 15"};
    return word >= 0 && word < PNUM ? kNames[word] : "?";
}

void RangeCorrect(ParameterSet& p) {
    std::uint16_t words[PNUM];
    ParameterWords(p, words);
    ::RangeCorrect(words);
    SetParameterWords(p, words);
}

void GetPanelValues(const PanelHandles& panels, ParameterSet& params) {
    for (const PanelControl& c : kControls) {
        unsigned short value = 0;
        if (GetCtrlVal(PanelOf(panels, c), c.control, &value) >= 0)
            ParameterWord(params, c.word) = value;
    }
}

void SetPanelValues(const PanelHandles& panels, ParameterSet& params, PlotArrays& plots, Gui& gui) {
    RangeCorrect(params);
    for (const PanelControl& c : kControls) {
        SetCtrlVal(PanelOf(panels, c), c.control, unsigned{ParameterWord(params, c.word)});
    }
    for (int i = 0; i < MAXPOINT; ++i) {
        plots.thdArrayA[i] = params.vThdA;
        plots.thdArrayB[i] = params.vThdB;
    }
    gui.PlotDATACurveA(plots);
    gui.PlotDATACurveB(plots);
    for (int graph : {GRAPH_VideoA, GRAPH_VideoB}) {
        PlotRectangle(panels.panelHandle, graph, 0.0, 0.0, 1023.0, 1.0, VAL_GRAY, VAL_GRAY);
    }
}

void ApplyParameterRanges(const PanelHandles& panels) {
    for (const PanelControl& c : kControls) {
        const int limit = CorrectionLimit(c.word);
        // Selectors hold their listed values already; fields take no more than the correction
        // lets through, so what is sent is what a read shows.
        int max = 0;
        const int panel = PanelOf(panels, c);
        if (GetCtrlAttribute(panel, c.control, ATTR_MAX_VALUE, &max) == 0 && max > limit)
            SetCtrlAttribute(panel, c.control, ATTR_MAX_VALUE, limit);
    }
}
