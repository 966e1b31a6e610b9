// A graph's files: its plot as an image and its data as CSV, each written whole or not at all.
#pragma once

#include <QString>
#include <vector>

#include "graph_model.h"

class QCustomPlot;

namespace qtor {

// Pixel images of a graph are at least this wide.
constexpr int kImageWidth = 1600;

// Writes `plot` laid out at its size (at least 200 x 120), the format chosen by the path's
// extension: pdf as vectors; jpg, bmp, else png drawn at least kImageWidth pixels wide. False
// when not written.
bool SavePlotImage(QCustomPlot* plot, const QString& path);
// Writes x and one column per curve, one row per x any curve has; a graph without curves
// gets its rectangles and the cursors placed (`cursorPlaced`, one flag per cursor).
bool ExportGraphCsv(const GraphModel& graph, const std::vector<bool>& cursorPlaced,
                    const QString& path);
// Writes a strip chart's history, one row per record; one without a history, its screen.
bool ExportStripCsv(const StripChartModel& strip, const QString& path);

// A value and a record's time as the files write them, so that read-outs match.
QString NumberText(double v);
QString LocalTimeText(double msSinceEpoch);

}  // namespace qtor
