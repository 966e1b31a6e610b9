// Renders the panels to PNG files from data of the simulated sensor (a tool beside the program,
// so it may use a Qt timer to press Stop):
//   qtor-panel-shot OUTPUT-FOLDER
// main-panel.png: video curves with their thresholds and the tolerance window;
// main-panel-run.png: run mode after a few seconds of records; popup.png: the parameter popup.
// These need no display. On a display (scripts/screenshots.sh starts one of each size):
//   qtor-panel-shot --screen NAME OUTPUT-FOLDER
// takes pictures of the whole screen with the main panel placed as the program places it:
// screen-NAME-run.png (run mode, paused), -video.png, -databuffer.png, -replay.png (the run
// played back) and -popup.png.
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <string>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "port_table.h"
#include "replay_callbacks.h"
#include "rs232.h"
#include "run_task.h"
#include "sensor.h"
#include "sensors.h"
#include "startup.h"
#include "station.h"
#include "timer.h"
#include "toolkit.h"

namespace {

void Pump(double seconds) {
    const double end = Timer() + seconds;
    while (Timer() < end) ProcessSystemEvents();
}

// Presses a control as a user would, and waits until what that started on the line has ended.
void Press(const Station& s, int panel, int control, int event) {
    CallCtrlCallback(panel, control, event);
    while (s.link.Active()) ProcessSystemEvents();
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

bool SaveScreen(const Station& s, const std::string& path) {
    if (SaveScreenImage(s.panels.panelHandle, path.c_str()) < 0) {
        std::fprintf(stderr, "qtor-panel-shot: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

// Presses the Pause toggle as a user would.
void SetPause(const Station& s, int on) {
    SetCtrlVal(s.panels.panelHandle, TOGBTN_Pause, on);
    CallCtrlCallback(s.panels.panelHandle, TOGBTN_Pause, EVENT_COMMIT);
}

// The program on the screen of the display it runs on, in each mode, against the paced
// simulated sensor.
bool Screens(Station& s, const std::string& name, const std::string& dir) {
    const PanelHandles& panels = s.panels;
    const int p = panels.panelHandle;
    const std::string base = dir + "/screen-" + name + "-";
    PortTableSetSimulated(1, true);
    FillPortSelector(panels, s.link.com);
    RunTask(InitRS232(s.link, s.params));
    DisplayPanel(p);
    Pump(1.0);  // placed and framed by the window manager
    bool ok = true;

    // Run mode, recorded for the replay, paused after a few seconds.
    const QTemporaryDir folder;
    const std::string recording = folder.filePath("demo-run.csv").toStdString();
    std::string error;
    s.recorder.Start(recording, false, &error);
    ScrollToCtrl(p, STRIP_RawA);
    QTimer::singleShot(5000, [&s] { SetPause(s, 1); });
    QTimer::singleShot(5600, [&] { ok = SaveScreen(s, base + "run.png") && ok; });
    QTimer::singleShot(5800, [p] { CallCtrlCallback(p, BTNStop, EVENT_LEFT_CLICK); });
    Press(s, p, BTNRun, EVENT_COMMIT);
    s.recorder.Stop();
    SetPause(s, 0);

    QTimer::singleShot(2500, [&] { ok = SaveScreen(s, base + "video.png") && ok; });
    QTimer::singleShot(2700, [p] { CallCtrlCallback(p, BTNStop, EVENT_LEFT_CLICK); });
    Press(s, p, BTNVideo, EVENT_COMMIT);

    Press(s, p, BTNData, EVENT_COMMIT);
    Pump(0.5);
    ScrollToCtrl(p, GRAPH_Buffer);
    Pump(0.3);
    ok = SaveScreen(s, base + "databuffer.png") && ok;

    if (StartReplay(s, recording, Replay::Speed::kMax, &error)) {
        for (const double end = Timer() + 20; Timer() < end && s.replay.Playing();)
            ProcessSystemEvents();
        ScrollToCtrl(p, STRIP_RawA);
        Pump(0.3);
        ok = SaveScreen(s, base + "replay.png") && ok;
        s.replay.Close();
    } else {
        std::fprintf(stderr, "qtor-panel-shot: %s\n", error.c_str());
        ok = false;
    }

    DisplayPanel(panels.panelPopUp);
    Pump(0.5);
    ok = SaveScreen(s, base + "popup.png") && ok;
    HidePanel(panels.panelPopUp);
    CloseCom(1);
    return ok;
}

// Three simulated sensors in one window, all in run mode, the second one's channel A in ALARM,
// the first sensor's tab shown: the overview tells of the other's alarm.
bool SensorsScreen(const std::string& name, const std::string& dir) {
    Sensors sensors;
    for (int n = 1; n <= 3; ++n) {
        PortTableSetSimulated(n, true);
        PortSimSensor(n)->SetPhase(2.7 * (n - 1));
        if (!sensors.Add(n, true)) return false;
    }
    // The first and third objects rest near their set-points; the second's channel A leaves
    // its window after 20 records and stays out.
    PortSimSensor(1)->Hold(0.1);
    PortSimSensor(3)->Hold(-5.4 - 0.1);
    PortSimSensor(2)->SetExcursion(20, 1000000);
    for (std::size_t i = 0; i < sensors.Count(); ++i) {
        Station& s = sensors.At(i);
        RunTask(InitRS232(s.link, s.params));
    }
    sensors.Show(sensors.At(0));
    DisplayPanel(sensors.Window());
    Pump(1.0);  // placed and framed by the window manager
    for (std::size_t i = 0; i < sensors.Count(); ++i)
        CallCtrlCallback(sensors.At(i).panels.panelHandle, BTNRun, EVENT_COMMIT);
    Pump(5.0);
    sensors.Refresh();
    ScrollToCtrl(sensors.At(0).panels.panelHandle, STRIP_RawA);
    Pump(0.5);
    const std::string path = dir + "/screen-" + name + "-sensors.png";
    const bool ok = SaveScreenImage(sensors.Window(), path.c_str()) == 0;
    if (ok) std::printf("%s\n", path.c_str());
    for (std::size_t i = 0; i < sensors.Count(); ++i)
        CallCtrlCallback(sensors.At(i).panels.panelHandle, BTNStop, EVENT_LEFT_CLICK);
    for (std::size_t i = 0; i < sensors.Count(); ++i)
        while (sensors.At(i).link.Active()) ProcessSystemEvents();
    for (std::size_t i = 0; i < sensors.Count(); ++i) sensors.At(i).link.CloseLine();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const bool screen = argc == 4 && std::string(argv[1]) == "--screen";
    const bool sensors = argc == 4 && std::string(argv[1]) == "--sensors";
    if (argc != 2 && !screen && !sensors) {
        std::fputs(
            "usage: qtor-panel-shot OUTPUT-FOLDER\n"
            "       qtor-panel-shot --screen NAME OUTPUT-FOLDER    (on a display)\n"
            "       qtor-panel-shot --sensors NAME OUTPUT-FOLDER   (three sensors, on a display)\n",
            stderr);
        return 2;
    }
    const std::string dir = argv[argc - 1];
    if (!screen && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (InitPlatform(argc, argv) < 0) return 1;
    if (sensors) {
        RegisterCallbacks();
        return SensorsScreen(argv[2], dir) ? 0 : 1;
    }
    Station s;
    if (OpenStation(s) < 0) return 1;
    const PanelHandles& panels = s.panels;
    if (screen) return Screens(s, argv[2], dir) ? 0 : 1;
    PortTableSetSimulated(1, false);
    FillPortSelector(panels, s.link.com);
    DisplayPanel(panels.panelHandle);

    // Evaluation mode 2 draws a tolerance window on both video graphs: send it to the sensor
    // and read it back, as a user would.
    RunTask(InitRS232(s.link, s.params));
    SetCtrlVal(panels.panelPopUp, DropEvalMode, 2);
    SetCtrlVal(panels.panelHandle, NEDITeachB, 380);
    Press(s, panels.panelHandle, BTNSend, EVENT_LEFT_CLICK);
    Pump(0.05);
    RunTask(PushGET(s.link, RAM, s.params));

    // One video line of each channel, drawn with its threshold; the bars stay off so the
    // tolerance window remains in view.
    s.link.RemoveRxNotification();
    for (int selector : {MASTER, SLAVE}) {
        RunTask(ReadData64(s.link, 0, selector, s.plots));
        RunTask(ReadData64(s.link, 64, selector, s.plots));
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
    RunTask(InitRS232(s.link, s.params));
    QTimer::singleShot(
        4000, [&panels] { CallCtrlCallback(panels.panelHandle, BTNStop, EVENT_LEFT_CLICK); });
    Press(s, panels.panelHandle, BTNRun, EVENT_COMMIT);
    ok = Save(panels.panelHandle, dir + "/main-panel-run.png") && ok;

    ok = Save(panels.panelPopUp, dir + "/popup.png") && ok;
    CloseCom(1);
    return ok ? 0 : 1;
}
