// Times the start-up up to the shown main panel, as the program runs it: application object,
// panels, start values, port selector, connect (echo, parameter read, firmware text), display.
// Prints figures; asserts nothing.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_startup paced|instant|silent|none
// paced: the simulated sensor at 19200 baud; instant: unpaced; silent: a sensor that never
// answers (the echo check waits its time-out); none: port 1 has no device.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "link_view.h"
#include "port_table.h"
#include "run_task.h"
#include "sensor.h"
#include "startup.h"
#include "station.h"
#include "timer.h"
#include "toolkit.h"

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "paced";
    const double t0 = Timer();
    if (InitPlatform(argc, argv) < 0) return 1;
    const double tApp = Timer();
    RegisterCallbacks();
    PanelHandles loaded;
    if (LoadPanels(kPanelFile, &loaded) < 0) return 1;
    const double tPanels = Timer();
    // The port table is set before the station's views are, as the program does: the link
    // element's first text lists the ports once, not once more after a reset.
    PortTableReset();
    if (mode == "none") {
        PortTableSetDevice(1, "/nonexistent/qtor-bench");
    } else {
        PortTableSetSimulated(1, mode == "paced" || mode == "silent");
        if (mode == "silent") PortSimSensor(1)->SetFault(5, sim::Fault{sim::FaultKind::kNoReply});
    }
    Station s;
    s.AdoptPanels(loaded);
    InitVars(s);
    FillPortSelector(s.panels, s.link.com);
    const double tInit = Timer();
    RunTask(InitRS232(s.link, s.params));
    const double tConnect = Timer();
    DisplayPanel(s.panels.panelHandle);
    QApplication::processEvents();
    const double tShown = Timer();
    std::printf(
        "%-8s application %6.1f ms  panels %6.1f ms  start values %5.1f ms  "
        "connect %7.1f ms  display %5.1f ms  total %7.1f ms  status \"%s\"\n",
        mode.c_str(), 1000 * (tApp - t0), 1000 * (tPanels - tApp), 1000 * (tInit - tPanels),
        1000 * (tConnect - tInit), 1000 * (tShown - tConnect), 1000 * (tShown - t0),
        s.link.szStatus);
    return 0;
}
