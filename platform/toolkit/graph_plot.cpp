// CachedPlot's painting: the picture below the data is composed again only after a replot.
#include "graph_plot.h"

namespace qtor {

namespace {

// Reaches QCPLayer::draw, which QCustomPlot keeps to itself: a pointer to the member, named
// through a class that makes it public, may be called on any layer.
struct LayerAccess : QCPLayer {
    using QCPLayer::draw;
};

}  // namespace

CachedPlot::CachedPlot(QWidget* parent) : QCustomPlot(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // it fills every pixel: nothing below to paint
    connect(this, &QCustomPlot::afterReplot, this, [this] { baseDirty_ = true; });
}

void CachedPlot::redrawData() { update(axisRect()->rect().adjusted(-6, -6, 6, 6) & rect()); }

void CachedPlot::paintEvent(QPaintEvent*) {
    QCPPainter painter(this);
    if (!painter.isActive()) return;
    const qreal ratio = mBufferDevicePixelRatio;
    if (baseDirty_ || base_.size() != size() * ratio) {
        base_ = QPixmap(size() * ratio);
        base_.setDevicePixelRatio(ratio);
        QCPPainter p(&base_);
        p.fillRect(rect(),
                   mBackgroundBrush.style() != Qt::NoBrush ? mBackgroundBrush : QBrush(Qt::white));
        drawBackground(&p);
        if (!mPaintBuffers.isEmpty()) mPaintBuffers.first()->draw(&p);
        baseDirty_ = false;
    }
    painter.drawPixmap(0, 0, base_);  // within the area to repaint only
    if (QCPLayer* data = layer(QStringLiteral("main"))) (data->*(&LayerAccess::draw))(&painter);
}

}  // namespace qtor
