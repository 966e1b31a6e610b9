// Times a full redraw of a video graph after a number of parameter reads: each read covers the
// graph with its grey background and draws the tolerance window on top. Prints figures;
// asserts nothing.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_redraw [reads ...]   (default: 1 3000)
#include <qcustomplot.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "QtorKMBscope10.h"
#include "commands.h"
#include "graph_model.h"
#include "run_task.h"
#include "startup.h"
#include "station.h"
#include "timer.h"
#include "toolkit.h"
#include "toolkit_internal.h"

int main(int argc, char** argv) {
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
    if (counts.empty()) counts = {1, 3000};
    if (InitPlatform(argc, argv) < 0) return 1;
    Station s;
    if (OpenStation(s) < 0) return 1;
    const PanelHandles& panels = s.panels;
    s.params.eModeA = 2;  // a tolerance window on both video graphs
    DisplayPanel(panels.panelHandle);
    QApplication::processEvents();
    auto* plot =
        qtor::FindControl(panels.panelHandle, GRAPH_VideoA)->widget->findChild<QCustomPlot*>();
    if (!plot) return 1;
    std::printf("command: QT_QPA_PLATFORM=%s %s\n",
                qEnvironmentVariable("QT_QPA_PLATFORM").toUtf8().constData(), argv[0]);
    for (int reads : counts) {
        DeleteGraphPlot(panels.panelHandle, GRAPH_VideoA, VAL_ALL_PLOTS, VAL_IMMEDIATE_DRAW);
        for (int i = 0; i < reads; ++i) RunTask(PushGET(s.link, DATFILE, s.params));
        for (int i = 0; i < 3; ++i) ProcessSystemEvents();  // the views catch up
        std::vector<double> ms;
        for (int i = 0; i < 21; ++i) {
            const double t0 = Timer();
            plot->replot(QCustomPlot::rpImmediateRefresh);
            ms.push_back(1000.0 * (Timer() - t0));
        }
        std::sort(ms.begin(), ms.end());
        const GraphModel* g = GetGraphModel(panels.panelHandle, GRAPH_VideoA);
        std::printf(
            "after %5d reads: %4zu plots on the graph, full redraw %7.2f ms (median of 21)\n",
            reads, g ? g->plots.size() : 0, ms[ms.size() / 2]);
    }
    return 0;
}
