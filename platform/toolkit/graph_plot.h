// The QCustomPlot every graph and strip chart draws on, repainting new data without
// composing again everything below it.
#pragma once

#include <qcustomplot.h>

#include <QPixmap>

namespace qtor {

// A plot drawn as a picture of everything below the data (background, grid, axes, legend),
// composed once per full replot, with the data layer drawn straight over it. New data repaints
// only the axis rectangle: a copy of the picture there and the curves, without filling and
// blending a buffer the size of the plot.
class CachedPlot : public QCustomPlot {
  public:
    explicit CachedPlot(QWidget* parent);
    // The data layer changed: repaint where data is drawn (markers may stand a few pixels
    // out of the rectangle).
    void redrawData();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap base_;
    bool baseDirty_ = true;
};

}  // namespace qtor
