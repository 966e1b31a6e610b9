// What a graph or strip chart reads out to a pointer resting on it: the data point nearest it.
#pragma once

#include <QString>

#include "graph_model.h"

class QCustomPlot;
class QPoint;

namespace qtor {

// The read-out for a pointer at `pos` (pixels of `plot`, which draws `graph`): the curve point
// within reach, else the x under the pointer; empty outside the axis rectangle.
QString GraphReadOut(const QCustomPlot& plot, const GraphModel& graph, const QPoint& pos);
// The trace nearest the pointer in the record under it, with the record's time when the
// history still holds it; empty away from the data.
QString StripReadOut(const QCustomPlot& plot, const StripChartModel& strip, const QPoint& pos);

}  // namespace qtor
