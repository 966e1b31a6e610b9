// The charts of one channel on a report page: the histogram with its limits, set-point and
// normal curves, the individuals and the moving ranges. Each draws into the rectangle it is
// given, in points, with the report's pens.
#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <vector>

#include "capability.h"

class QPainter;

namespace report {

// One accent colour for the data; the reference lines are black and grey.
inline const QColor kAccent(0x25, 0x66, 0xA8);
inline const QColor kAccentPale(0xCF, 0xDE, 0xEF);
inline const QColor kGrey(0x70, 0x70, 0x70);
inline const QColor kRule(0xB8, 0xB8, 0xB8);

// The report's font at `points`, drawn as outlines (no hinting: the page is no screen).
QFont ReportFont(double points, bool bold = false);

// Round tick positions over [low, high], about `count` of them; step is 1, 2 or 5 times a
// power of ten, and never below `minStep`.
struct Ticks {
    double step = 1;
    std::vector<double> at;
};
Ticks NiceTicks(double low, double high, int count, double minStep = 0);

// The width of the histogram's classes for values spread over [low, high]: a round whole
// number that gives at most about `classes` of them.
int ClassWidth(double low, double high, int classes);

void DrawHistogram(QPainter& p, const QRectF& area, const ChannelCapability& c);
void DrawIndividuals(QPainter& p, const QRectF& area, const ChannelCapability& c);
void DrawMovingRanges(QPainter& p, const QRectF& area, const ChannelCapability& c);

}  // namespace report
