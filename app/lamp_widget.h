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
    // Words for a screen reader: the lamp is on while it shows pure green.
    void setStateWords(const QString& on, const QString& off);
    QRgb color() const { return color_; }
    QSize sizeHint() const override { return {10, 10}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void describe();

    QRgb color_ = qRgb(255, 0, 0);
    QString on_, off_;
};

} // namespace kd36
