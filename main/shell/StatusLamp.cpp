#include "shell/StatusLamp.h"

#include <QPainter>

namespace vx::shell {

QColor colorFromValue(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

StatusLamp::StatusLamp(Shape shape, QWidget* parent) : QWidget(parent), shape_(shape) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StatusLamp::setShape(Shape shape) {
    shape_ = shape;
    updateGeometry();
    update();
}

void StatusLamp::setFillColor(int colorValue) {
    if (colorValue == fillColor_) {
        return;
    }
    fillColor_ = colorValue;
    update();
    Q_EMIT fillColorChanged(colorValue);
}

QSize StatusLamp::sizeHint() const {
    const int h = fontMetrics().height() + 6;
    return shape_ == Shape::Rectangle ? QSize(h * 2, h) : QSize(h, h);
}

void StatusLamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(colorFromValue(fillColor_));
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    switch (shape_) {
        case Shape::Circle: {
            const qreal d = std::min(r.width(), r.height());
            p.drawEllipse(QRectF(r.center().x() - d / 2, r.center().y() - d / 2, d, d));
            break;
        }
        case Shape::Rectangle:
            p.drawRect(r);
            break;
        case Shape::RoundedSquare: {
            const qreal d = std::min(r.width(), r.height());
            p.drawRoundedRect(QRectF(r.center().x() - d / 2, r.center().y() - d / 2, d, d), d / 4,
                              d / 4);
            break;
        }
    }
}

}  // namespace vx::shell
