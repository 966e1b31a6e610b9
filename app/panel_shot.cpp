// Renders the panels to PNG files without a display, from data of the simulated sensor
// (a tool beside the program, so it may use a Qt timer to press Stop):
//   qtor-panel-shot OUTPUT-FOLDER
// main-panel.png: video curves with their thresholds and the tolerance window;
// main-panel-run.png: run mode after a few seconds of records; popup.png: the parameter popup.
#include <QTimer>
#include <cstdio>
#include <string>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "port_table.h"
#include "rs232.h"
#include "startup.h"
#include "station.h"
#include "timer.h"
#include "toolkit.h"

namespace {

void Pump(double seconds) {
    const double end = Timer() + seconds;
    while (Timer() < end) ProcessSystemEvents();
}

bool Save(int panel, const std::string& path) {
    if (SavePanelImage(panel, path.c_str()) < 0) {
        std::fprintf(stderr, "qtor-panel-shot: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

void Show(const Station& s, int control, int visible) {
    SetCtrlAttribute(s.panels.panelHandle, control, ATTR_VISIBLE, visible);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: qtor-panel-shot OUTPUT-FOLDER\n", stderr);
        return 2;
    }
    const std::string dir = argv[1];
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (InitPlatform(argc, argv) < 0) return 1;
    Station s;
    if (OpenStation(s) < 0) return 1;
    const PanelHandles& panels = s.panels;
    PortTableSetSimulated(1, false);
    FillPortSelector(panels, s.link.com);
    DisplayPanel(panels.panelHandle);

    // Evaluation mode 2 draws a tolerance window on both video graphs: send it to the sensor
    // and read it back, as a user would.
    InitRS232(s.link, s.params);
    SetCtrlVal(panels.panelPopUp, DropEvalMode, 2);
    SetCtrlVal(panels.panelHandle, NEDITeachB, 380);
    CallCtrlCallback(panels.panelHandle, BTNSend, EVENT_LEFT_CLICK);
    Pump(0.05);
    PushGET(s.link, RAM, s.params);

    // One video line of each channel, drawn with its threshold; the bars stay off so the
    // tolerance window remains in view.
    s.link.RemoveRxNotification();
    for (int selector : {MASTER, SLAVE}) {
        ReadData64(s.link, 0, selector, s.plots);
        ReadData64(s.link, 64, selector, s.plots);
    }
    s.link.InstallRxNotification();
    Show(s, STRIP_RawA, 0);
    Show(s, STRIP_RawB, 0);
    Show(s, GRAPH_Buffer, 0);
    Show(s, GRAPH_CurveA, 1);
    Show(s, GRAPH_CurveB, 1);
    s.gui.PlotDATACurveA(s.plots);
    s.gui.PlotDATACurveB(s.plots);
    s.link.ShowStatus(s.link.szVersion);
    Pump(0.2);
    bool ok = Save(panels.panelHandle, dir + "/main-panel.png");

    // Run mode against the paced sensor for a few seconds, stopped as a user would.
    CloseCom(1);
    PortTableSetSimulated(1, true);
    InitRS232(s.link, s.params);
    QTimer::singleShot(
        4000, [&panels] { CallCtrlCallback(panels.panelHandle, BTNStop, EVENT_LEFT_CLICK); });
    CallCtrlCallback(panels.panelHandle, BTNRun, EVENT_COMMIT);
    ok = Save(panels.panelHandle, dir + "/main-panel-run.png") && ok;

    ok = Save(panels.panelPopUp, dir + "/popup.png") && ok;
    CloseCom(1);
    return ok ? 0 : 1;
}
