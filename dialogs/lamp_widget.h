#pragma once
// A signal lamp: a small painted round-cornered square in one colour.
#include <QColor>
#include <QWidget>

namespace kd36 {

class LampWidget : public QWidget {
    Q_OBJECT
public:
    explicit LampWidget(QWidget* parent = nullptr);

    void setColor(QRgb rgb);
    QRgb color() const { return color_; }
    QSize sizeHint() const override { return {10, 10}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QRgb color_ = qRgb(255, 0, 0);
};

} // namespace kd36
