#pragma once
// The range test's chart: level 0-4 against the run's time, one line per
// station, broken where a station did not answer; drawn like the air
// monitor's spectrum display.
#include <QWidget>

#include <cstdint>

namespace kd36 {
class RangeRun;
}

class RangeChart : public QWidget {
    Q_OBJECT
public:
    explicit RangeChart(QWidget* parent = nullptr);

    // The run to draw (kept by the engine); none: an empty chart.
    void setRun(const kd36::RangeRun* run);
    // Where a level at a time of the run is drawn, and the plot area.
    QPointF pointOf(uint64_t sinceStartMs, int level) const;
    QRectF plotRect() const;
    static QColor stationColor(int station);

    QSize minimumSizeHint() const override { return {360, 200}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void timeSpan(uint64_t& from, uint64_t& to) const;
    void drawGrid(QPainter& p, const QRectF& r, uint64_t from, uint64_t to);
    void drawLines(QPainter& p);

    const kd36::RangeRun* run_ = nullptr;
};
