#include "range_chart.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

#include "engine/range_run.h"
#include "spectrum/display_colours.h"

namespace {

using namespace kd36::display;

constexpr int kTopLevel = 4;
constexpr uint64_t kShortestSpanMs = 10000;

QFont sized(QFont f, int px, bool bold = false)
{
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

// "m:ss" or "h:mm:ss" of a time of the run.
QString clockText(uint64_t ms)
{
    const uint64_t s = ms / 1000;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

// A time step that gives about six labels over `spanMs`.
uint64_t tickStepMs(uint64_t spanMs)
{
    static const uint64_t steps[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 14400, 43200};
    for (uint64_t s : steps)
        if (spanMs / (s * 1000) <= 6)
            return s * 1000;
    return 86400000;
}

} // namespace

RangeChart::RangeChart(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void RangeChart::setRun(const kd36::RangeRun* run)
{
    run_ = run;
    update();
}

QColor RangeChart::stationColor(int station)
{
    static const QColor colours[16] = {
        {0x4f, 0xc3, 0xf7}, {0xff, 0xb7, 0x4d}, {0x81, 0xc7, 0x84}, {0xe5, 0x73, 0x73},
        {0xba, 0x68, 0xc8}, {0xff, 0xf1, 0x76}, {0x4d, 0xd0, 0xe1}, {0xf0, 0x62, 0x92},
        {0xae, 0xd5, 0x81}, {0x90, 0xa4, 0xae}, {0x79, 0x86, 0xcb}, {0xff, 0x8a, 0x65},
        {0xdc, 0xe7, 0x75}, {0x4d, 0xb6, 0xac}, {0xce, 0x93, 0xd8}, {0xff, 0xd5, 0x4f}};
    return colours[station & 15];
}

QRectF RangeChart::plotRect() const
{
    const QFontMetricsF small(sized(font(), 11));
    const QFontMetricsF title(sized(font(), 13, true));
    const double left = 10 + title.height() + small.horizontalAdvance(QStringLiteral("4")) + 12;
    const double bottom = 8 + small.height() + title.height() + 6;
    return QRectF(left, 12 + small.height(), width() - left - 14, height() - bottom - 12 - small.height());
}

void RangeChart::timeSpan(uint64_t& from, uint64_t& to) const
{
    from = UINT64_MAX;
    to = 0;
    if (run_)
        for (int n = 0; n < kd36::RangeRun::kStations; ++n) {
            const auto& h = run_->history(n);
            if (h.empty())
                continue;
            from = std::min(from, h.front().sinceStartMs);
            to = std::max(to, h.back().sinceStartMs);
        }
    if (from == UINT64_MAX)
        from = 0;
    to = std::max(to, from + kShortestSpanMs);
}

namespace {

QPointF mapped(const QRectF& r, uint64_t from, uint64_t to, uint64_t sinceStartMs, int level)
{
    const double x = r.left() + r.width() * double(sinceStartMs - std::min(sinceStartMs, from)) / double(to - from);
    return {x, r.bottom() - r.height() * level / kTopLevel};
}

} // namespace

QPointF RangeChart::pointOf(uint64_t sinceStartMs, int level) const
{
    uint64_t from = 0, to = 0;
    timeSpan(from, to);
    return mapped(plotRect(), from, to, sinceStartMs, level);
}

void RangeChart::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    uint64_t from = 0, to = 0;
    timeSpan(from, to);
    const QRectF r = plotRect();
    drawGrid(p, r, from, to);
    drawLines(p);
    if (!run_ || run_->pollsSettled() == 0) {
        p.setFont(sized(font(), 13, true));
        p.setPen(QColor(0xc8, 0xd3, 0xe2, 170));
        p.drawText(r, Qt::AlignCenter, run_ && run_->running() ? tr("最初の応答を待っています…") : tr("開始を押すと測定します"));
    }
}

void RangeChart::drawGrid(QPainter& p, const QRectF& r, uint64_t from, uint64_t to)
{
    const QFont small = sized(font(), 11);
    const QFont title = sized(font(), 13, true);
    const QFontMetricsF fm(small);
    p.fillRect(r, kPlotFill);
    p.setFont(small);
    for (int level = 0; level <= kTopLevel; ++level) {
        const double y = r.bottom() - r.height() * level / kTopLevel;
        p.setPen(QPen(kGridMajor, 1));
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
        p.setPen(kAxisText);
        p.drawLine(QPointF(r.left() - 5, y), QPointF(r.left(), y));
        p.drawText(QRectF(r.left() - 8 - 30, y - fm.height() / 2, 30, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(level));
    }
    const uint64_t step = tickStepMs(to - from);
    for (uint64_t t = (from + step - 1) / step * step; t <= to; t += step) {
        const double x = r.left() + r.width() * double(t - from) / double(to - from);
        p.setPen(QPen(kGridMinor, 1, Qt::DotLine));
        p.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
        p.setPen(kAxisText);
        p.drawLine(QPointF(x, r.bottom()), QPointF(x, r.bottom() + 4));
        const QString label = clockText(t);
        const double w = fm.horizontalAdvance(label) + 4;
        // The last label stays inside the widget.
        const double lx = std::min(x - w / 2, double(width()) - w - 2);
        p.drawText(QRectF(lx, r.bottom() + 6, w, fm.height()), Qt::AlignCenter, label);
    }
    p.setPen(QPen(kAxisText, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);

    p.setFont(title);
    const QFontMetricsF tfm(title);
    p.drawText(QRectF(r.left(), r.bottom() + 8 + fm.height(), r.width(), tfm.height() + 2), Qt::AlignHCenter | Qt::AlignTop,
               tr("経過時間"));
    p.save();
    p.translate(6 + tfm.ascent(), r.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-r.height() / 2, -tfm.ascent(), r.height(), tfm.height()), Qt::AlignCenter, tr("レベル"));
    p.restore();

    // Legend: the stations of the run, each in its colour, above the plot.
    if (!run_)
        return;
    p.setFont(small);
    double x = r.right();
    for (int n = kd36::RangeRun::kStations - 1; n >= 0; --n) {
        if (!run_->stations()[size_t(n)])
            continue;
        const QString t = QStringLiteral("#%1").arg(QChar("0123456789ABCDEF"[n]));
        const double w = fm.horizontalAdvance(t);
        x -= w;
        p.setPen(stationColor(n));
        p.drawText(QRectF(x, 4, w, fm.height()), Qt::AlignCenter, t);
        x -= 14;
        p.fillRect(QRectF(x + 3, 4 + fm.height() / 2 - 4, 8, 8), stationColor(n));
        x -= 6;
    }
}

void RangeChart::drawLines(QPainter& p)
{
    if (!run_)
        return;
    uint64_t from = 0, to = 0;
    timeSpan(from, to);
    const QRectF r = plotRect();
    p.setRenderHint(QPainter::Antialiasing, true);
    for (int n = 0; n < kd36::RangeRun::kStations; ++n) {
        const auto& h = run_->history(n);
        const QColor c = stationColor(n);
        QPainterPath path;
        bool joined = false;
        for (const kd36::RangeSample& s : h) {
            if (s.level < 0) {
                joined = false; // no answer: a gap
                continue;
            }
            const QPointF pt = mapped(r, from, to, s.sinceStartMs, s.level);
            if (joined)
                path.lineTo(pt);
            else
                path.moveTo(pt);
            joined = true;
        }
        p.setPen(QPen(c, 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        // Dots while they stand apart; a dense history is its line alone.
        if (h.empty() || r.width() / double(h.size()) < 6)
            continue;
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        for (const kd36::RangeSample& s : h)
            if (s.level >= 0)
                p.drawEllipse(mapped(r, from, to, s.sinceStartMs, s.level), 2.5, 2.5);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
}
