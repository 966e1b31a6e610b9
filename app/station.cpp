#include "station.h"

#include "QtorKMBscope10.h"
#include "commands.h"
#include "mapping.h"
#include "toolkit.h"
#include "transfer.h"

Station::Station(int com) : link(com), linkView(link, gui, panels) {}

Station::~Station() {
    // The link's views point into this station; the link outlives none of it by much, but a
    // notification or drain that still runs must show nothing.
    link.views = LinkViews{};
    for (int panel : {panels.panelHandle, panels.panelPopUp})
        if (panel > 0) SetPanelCallbackData(panel, nullptr);
}

void Station::AdoptPanels(PanelHandles loaded) {
    panels = loaded;
    gui.panelHandle = panels.panelHandle;
    SetPanelCallbackData(panels.panelHandle, this);
    SetPanelCallbackData(panels.panelPopUp, this);
    link.views.status = [this](const char* text) {
        SetCtrlVal(panels.panelHandle, TEXT_Status, text);
    };
    link.views.showParameters = [this] { SetPanelValues(panels, params, plots, gui); };
    link.views.drawToleranceWindow = [this] { DrawToleranceWindow(); };
    link.views.selectRamTarget = [this] { target = SelectRamTarget(panels); };
    recorder.onFailure = [this](const std::string& path) {
        SetCtrlVal(panels.panelHandle, TOGBTN_Record, 0);
        ShowStatusWithName("Recording stopped, write failed:", path);
    };
    ApplyParameterRanges(panels);
    linkView.Install([this] { InitRS232(link, params); });
}

bool Station::Toggled(int control) const {
    int on = 0;
    GetCtrlVal(panels.panelHandle, control, &on);
    return on != 0;
}

void Station::DrawToleranceWindow() {
    int mode = 0;
    GetCtrlVal(panels.panelPopUp, DropEvalMode, &mode);
    gui.PlotTOLWindow(mode, plots.curposA, plots.curposB, params, meas);
}

void Station::ShowStatusWithName(const std::string& text, const std::string& path) const {
    link.ShowStatus(StatusWithName(text, path).c_str());
}

Station& StationOf(void* callbackData) { return *static_cast<Station*>(callbackData); }
