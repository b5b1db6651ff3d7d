#include "lamp_widget.h"

#include <QPainter>

namespace kd36 {

LampWidget::LampWidget(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void LampWidget::setColor(QRgb rgb)
{
    rgb |= 0xff000000u;
    if (rgb == color_)
        return;
    color_ = rgb;
    describe();
    update();
}

void LampWidget::setStateWords(const QString& on, const QString& off)
{
    on_ = on;
    off_ = off;
    describe();
}

void LampWidget::describe()
{
    if (on_.isEmpty() && off_.isEmpty())
        return;
    setAccessibleDescription(color_ == qRgb(0, 255, 0) ? on_ : off_);
}

void LampWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(color_));
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = std::min(r.width(), r.height()) / 4;
    p.drawRoundedRect(r, radius, radius);
}

} // namespace kd36
