#include "spectrum_window.h"
#include "display_colours.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace kd36::spectrum {

namespace {

using namespace kd36::display;
const QColor kPeak(0x7f, 0xe3, 0xff);
const QColor kValueText(0xe8, 0xee, 0xf6);

constexpr int kMajorStepMv = 500;
constexpr int kMinorStepMv = 100;

QFont pixelFont(const QFont& base, int px, bool bold = false)
{
    QFont f(base);
    f.setPixelSize(px);
    f.setBold(bold);
    return f;
}

} // namespace

SpectrumPlot::SpectrumPlot(const SpectrumModel& model, const Titles& titles, QWidget* parent)
    : QWidget(parent), model_(model), titles_(titles)
{
    setObjectName(QStringLiteral("plot"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void SpectrumPlot::setRunning(bool on)
{
    running_ = on;
    update();
}

QVariantList SpectrumPlot::valueList() const
{
    QVariantList l;
    for (int v : model_.values())
        l << v;
    return l;
}

QVariantList SpectrumPlot::peakList() const
{
    QVariantList l;
    for (int i = 0; i < kChannels; ++i)
        l << model_.peak(i);
    return l;
}

QRectF SpectrumPlot::plotRect() const
{
    // Room on the left for the millivolt labels and the rotated axis title,
    // below for the channel numbers and the axis title, above for values.
    return QRectF(72, 16, std::max(100, width() - 72 - 18), std::max(100, height() - 16 - 52));
}

double SpectrumPlot::slotWidth() const
{
    return plotRect().width() / kChannels;
}

double SpectrumPlot::xOf(int index) const
{
    return plotRect().left() + index * slotWidth();
}

double SpectrumPlot::yOf(double mv) const
{
    const QRectF r = plotRect();
    return r.bottom() - r.height() * std::clamp(mv, 0.0, double(kFullScaleMv)) / kFullScaleMv;
}

int SpectrumPlot::indexAt(const QPointF& p) const
{
    const QRectF r = plotRect();
    if (!r.contains(p))
        return -1;
    return std::clamp(int((p.x() - r.left()) / slotWidth()), 0, kChannels - 1);
}

void SpectrumPlot::mouseMoveEvent(QMouseEvent* e)
{
    const int i = indexAt(e->position());
    if (i != hovered_) {
        hovered_ = i;
        update();
    }
}

void SpectrumPlot::leaveEvent(QEvent*)
{
    if (hovered_ >= 0) {
        hovered_ = -1;
        update();
    }
}

void SpectrumPlot::paintEvent(QPaintEvent*)
{
    // One painter through every layer: each draws on the state the one
    // before it left.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(rect(), kBackground);

    const QRectF r = plotRect();
    drawGrid(p, r);

    // Hovered slot.
    if (hovered_ >= 0)
        p.fillRect(QRectF(xOf(hovered_), r.top(), slotWidth(), r.height()), QColor(255, 255, 255, 22));

    drawBars(p, r);
    drawAxes(p, r);
    if (hovered_ >= 0)
        drawReadout(p, r);

    if (model_.strongest() < 0) {
        p.setFont(pixelFont(font(), 13, true));
        p.setPen(QColor(0xc8, 0xd3, 0xe2, 170));
        p.drawText(r, Qt::AlignCenter,
                   running_ ? tr("Waiting for the first sweep...")
                            : tr("Press Start to measure"));
    }
}

// Plot area and grid, with the millivolt scale.
void SpectrumPlot::drawGrid(QPainter& p, const QRectF& r)
{
    const QFont small = pixelFont(font(), 11);
    p.fillRect(r, kPlotFill);
    for (int mv = kMinorStepMv; mv < kFullScaleMv; mv += kMinorStepMv) {
        if (mv % kMajorStepMv == 0)
            continue;
        p.setPen(QPen(kGridMinor, 1, Qt::DotLine));
        p.drawLine(QPointF(r.left(), yOf(mv)), QPointF(r.right(), yOf(mv)));
    }
    p.setFont(small);
    const QFontMetricsF fm(small);
    auto yLabel = [&](int mv) {
        const double y = yOf(mv);
        p.setPen(QPen(kGridMajor, 1));
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
        p.setPen(kAxisText);
        p.drawLine(QPointF(r.left() - 5, y), QPointF(r.left(), y));
        const QString t = QString::number(mv);
        p.drawText(QRectF(r.left() - 8 - 44, y - fm.height() / 2, 44, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, t);
    };
    for (int mv = 0; mv < kFullScaleMv; mv += kMajorStepMv)
        yLabel(mv);
    yLabel(kFullScaleMv);
    for (int i = 0; i < kChannels; ++i)
        if (i % 5 == 0) {
            p.setPen(QPen(kGridMinor, 1));
            p.drawLine(QPointF(xOf(i), r.top()), QPointF(xOf(i), r.bottom()));
        }
}

// Bars: one gradient over the whole height, so a strong channel shows
// its warm top and a weak one stays green.
void SpectrumPlot::drawBars(QPainter& p, const QRectF& r)
{
    const double slot = slotWidth();
    const QFont tiny = pixelFont(font(), 10);
    QLinearGradient g(0, r.bottom(), 0, r.top());
    g.setColorAt(0.0, QColor(0x1f, 0xa8, 0x5a));
    g.setColorAt(0.45, QColor(0x9c, 0xd6, 0x3a));
    g.setColorAt(0.65, QColor(0xf2, 0xc2, 0x1b));
    g.setColorAt(1.0, QColor(0xe8, 0x45, 0x3c));
    const double barW = std::max(2.0, slot * 0.68);
    const auto& values = model_.values();
    p.setFont(tiny);
    const QFontMetricsF tfm(tiny);
    for (int i = 0; i < kChannels; ++i) {
        const double x = xOf(i) + (slot - barW) / 2;
        const double top = yOf(values[i]);
        QRectF bar(x, top, barW, r.bottom() - top);
        QColor edge = running_ ? QColor(255, 255, 255, 60) : QColor(255, 255, 255, 30);
        p.fillRect(bar, g);
        if (!running_)
            p.fillRect(bar, QColor(0x13, 0x1d, 0x2d, 110)); // dimmed while stopped
        p.setPen(edge);
        p.drawLine(QPointF(x, top), QPointF(x + barW - 1, top));

        double labelBottom = top;
        if (model_.peakHold()) {
            const double py = yOf(model_.peak(i));
            p.fillRect(QRectF(x - 1, py - 1.5, barW + 2, 3), kPeak);
            labelBottom = std::min(labelBottom, py - 1.5);
        }

        // The value, written upwards above the bar (inside it near full scale).
        const QString t = QString::number(values[i]);
        const double tw = tfm.horizontalAdvance(t) + 2;
        p.save();
        double base = labelBottom - 4;
        QColor c = kValueText;
        if (base - tw < r.top()) {
            base = top + 4 + tw;
            c = QColor(0x10, 0x16, 0x22);
        }
        p.translate(xOf(i) + slot / 2 + tfm.ascent() / 2 - 1, base);
        p.rotate(-90);
        p.setPen(c);
        p.drawText(QPointF(0, 0), t);
        p.restore();
    }
}

// Frame, channel axis and the axis titles.
void SpectrumPlot::drawAxes(QPainter& p, const QRectF& r)
{
    const double slot = slotWidth();
    const QFont small = pixelFont(font(), 11);
    const QFont axisTitle = pixelFont(font(), 13, true);
    const QFontMetricsF fm(small);
    p.setPen(QPen(kAxisText, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
    p.setFont(small);
    for (int i = 0; i < kChannels; ++i) {
        const double cx = xOf(i) + slot / 2;
        p.drawLine(QPointF(cx, r.bottom()), QPointF(cx, r.bottom() + (i % 5 == 3 ? 6 : 3)));
        const QString t = QString::number(i + kFirstChannel);
        // Every channel while they fit, else every other one.
        if (slot < fm.horizontalAdvance(QStringLiteral("46")) + 3 && (i % 2))
            continue;
        p.drawText(QRectF(cx - slot, r.bottom() + 6, 2 * slot, fm.height()), Qt::AlignCenter, t);
    }

    p.setFont(axisTitle);
    const QFontMetricsF afm(axisTitle);
    p.drawText(QRectF(r.left(), r.bottom() + 8 + fm.height(), r.width(), afm.height() + 2),
               Qt::AlignHCenter | Qt::AlignTop, titles_.channelAxis);
    p.save();
    p.translate(6 + afm.ascent(), r.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-r.height() / 2, -afm.ascent(), r.height(), afm.height()), Qt::AlignCenter,
               titles_.valueAxis);
    p.restore();
}

// Read-out of the hovered channel.
void SpectrumPlot::drawReadout(QPainter& p, const QRectF& r)
{
    const double slot = slotWidth();
    const QFont small = pixelFont(font(), 11);
    const QFontMetricsF fm(small);
    const QString t = tr("Ch %1   %2 mV   peak %3 mV")
                          .arg(hovered_ + kFirstChannel)
                          .arg(model_.values()[hovered_])
                          .arg(model_.peak(hovered_));
    p.setFont(small);
    const double w = fm.horizontalAdvance(t) + 16;
    double x = std::clamp(xOf(hovered_) + slot / 2 - w / 2, r.left() + 4, r.right() - w - 4);
    QRectF box(x, r.top() + 6, w, fm.height() + 8);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QColor(0x7f, 0xe3, 0xff, 160));
    p.setBrush(QColor(0x0b, 0x11, 0x1b, 230));
    p.drawRoundedRect(box, 4, 4);
    p.setPen(kValueText);
    p.drawText(box, Qt::AlignCenter, t);
}

SpectrumWindow::SpectrumWindow(SpectrumModel& model, Titles& titles, SharedStatus& status)
    : QWidget(nullptr, Qt::Window), model_(model), titles_(titles), status_(status)
{
    setObjectName(QStringLiteral("AirMonitorWindow"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false); // never ends the tool's event loop
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    pal.setColor(QPalette::WindowText, kAxisText);
    setPalette(pal);

    createControls();
    layOut();
    connectControls();
    titlesChanged();
    controlChanged();
    setRunning(false);
    resize(960, 540);
}

void SpectrumWindow::createControls()
{
    plot_ = new SpectrumPlot(model_, titles_, this);

    lblTitle_ = new QLabel(this);
    lblTitle_->setObjectName(QStringLiteral("lblTitle"));
    lblTitle_->setTextFormat(Qt::PlainText); // the caller's title is data
    lblTitle_->setFont(pixelFont(font(), 18, true));
    lblState_ = new QLabel(this);
    lblState_->setObjectName(QStringLiteral("lblState"));
    lblState_->setFont(pixelFont(font(), 13, true));
    lblState_->setMinimumWidth(120);

    btnStart_ = new QPushButton(this);
    btnStart_->setObjectName(QStringLiteral("btnStart"));
    btnStart_->setMinimumWidth(96);
    btnStart_->setFont(pixelFont(font(), 13, true));
    chkPeakHold_ = new QCheckBox(tr("Peak hold"), this);
    chkPeakHold_->setObjectName(QStringLiteral("chkPeakHold"));
    chkPeakHold_->setChecked(model_.peakHold());
    btnClearPeaks_ = new QPushButton(tr("Clear peaks"), this);
    btnClearPeaks_->setObjectName(QStringLiteral("btnClearPeaks"));
    btnCsvSave_ = new QPushButton(tr("CSV保存..."), this);
    btnCsvSave_->setObjectName(QStringLiteral("btnCsvSave"));
    btnCsvSave_->setToolTip(tr("Start からの全スイープをCSVファイルに保存します"));
    btnCsvSave_->setEnabled(false);
    setStyleSheet(QStringLiteral(
        "QCheckBox { color: #c8d3e2; font-size: 13px; }"
        "QPushButton { color: #e8eef6; background: #22324a; border: 1px solid #3b5373;"
        " border-radius: 4px; padding: 5px 14px; font-size: 13px; }"
        "QPushButton:hover { background: #2b3f5c; }"
        "QPushButton#btnStart[running=\"false\"] { background: #1f7a47; border-color: #2ea862; }"
        "QPushButton#btnStart[running=\"true\"] { background: #a8322b; border-color: #d9544b; }"
        "QLabel#lblTitle { color: #e8eef6; }"
        "QLabel#lblInfo { color: #9fb0c6; font-size: 12px; }"));

    lblInfo_ = new QLabel(this);
    lblInfo_->setObjectName(QStringLiteral("lblInfo"));
}

void SpectrumWindow::layOut()
{
    auto* top = new QHBoxLayout;
    top->addWidget(lblTitle_);
    top->addSpacing(16);
    top->addWidget(lblState_);
    top->addStretch(1);
    top->addWidget(chkPeakHold_);
    top->addSpacing(8);
    top->addWidget(btnClearPeaks_);
    top->addSpacing(8);
    top->addWidget(btnCsvSave_);
    top->addSpacing(8);
    top->addWidget(btnStart_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 8);
    layout->setSpacing(6);
    layout->addLayout(top);
    layout->addWidget(plot_, 1);
    layout->addWidget(lblInfo_);
}

void SpectrumWindow::connectControls()
{
    connect(btnStart_, &QPushButton::clicked, this, [this] {
        const bool start = status_.running == 0;
        // A Start begins a new record for the export.
        if (start) {
            model_.clearRecord();
            btnCsvSave_->setEnabled(false);
        }
        setRunning(start);
    });
    connect(btnCsvSave_, &QPushButton::clicked, this, &SpectrumWindow::btnCsvSaveClick);
    connect(chkPeakHold_, &QCheckBox::toggled, this, [this](bool on) {
        model_.setPeakHold(on);
        status_.peakHold = on ? 1 : 0;
        btnClearPeaks_->setEnabled(on);
        plot_->update();
    });
    connect(btnClearPeaks_, &QPushButton::clicked, this, [this] {
        model_.clearPeaks();
        plot_->update();
    });
    connect(&refreshTimer_, &QTimer::timeout, this, &SpectrumWindow::refresh);
}

void SpectrumWindow::showDisplay()
{
    model_.resetSweeps();
    status_.sweeps = 0;
    status_.shown = 1;
    updateInfo();
    sinceRefresh_.start();
    refreshTimer_.start();
    show();
    raise();
    activateWindow();
}

void SpectrumWindow::hideDisplay()
{
    // Hidden by the tool: it stops a running measurement when it sees this.
    refreshTimer_.stop();
    hide();
    setRunning(false);
    status_.shown = 0;
}

void SpectrumWindow::closeEvent(QCloseEvent* e)
{
    refreshTimer_.stop();
    setRunning(false);
    status_.shown = 0;
    e->accept();
}

void SpectrumWindow::setRunning(bool on)
{
    status_.running = on ? 1 : 0;
    btnStart_->setText(on ? tr("Stop") : tr("Start"));
    btnStart_->setProperty("running", on);
    btnStart_->style()->unpolish(btnStart_);
    btnStart_->style()->polish(btnStart_);
    lblState_->setText(on ? tr("\u25CF Measuring") : tr("\u25CB Stopped"));
    lblState_->setStyleSheet(on ? QStringLiteral("color: #5fe08f;") : QStringLiteral("color: #8a99ad;"));
    plot_->setRunning(on);
}

void SpectrumWindow::modelChanged()
{
    btnCsvSave_->setEnabled(!model_.recorded().empty());
    status_.sweeps = model_.sweeps();
    updateInfo();
    plot_->update();
}

QByteArray SpectrumWindow::sweepsCsv() const
{
    QByteArray out = "time";
    for (int ch = kFirstChannel; ch < kFirstChannel + kChannels; ++ch)
        out += QStringLiteral(",ch%1").arg(ch, 2, 10, QLatin1Char('0')).toLatin1();
    out += "\r\n";
    for (const RecordedSweep& r : model_.recorded()) {
        // The local offset in force at the sweep, written even when it is zero.
        const int offset = QDateTime::fromMSecsSinceEpoch(r.unixMs).offsetFromUtc();
        const int a = offset < 0 ? -offset : offset;
        out += QDateTime::fromMSecsSinceEpoch(r.unixMs, Qt::OffsetFromUTC, offset)
                   .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
                   .toLatin1();
        out += QStringLiteral("%1%2:%3")
                   .arg(offset < 0 ? '-' : '+')
                   .arg(a / 3600, 2, 10, QLatin1Char('0'))
                   .arg((a / 60) % 60, 2, 10, QLatin1Char('0'))
                   .toLatin1();
        for (int32_t mv : r.mv)
            out += ',' + QByteArray::number(mv);
        out += "\r\n";
    }
    return out;
}

bool SpectrumWindow::saveSweeps(const QString& path, QString& why) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        why = f.errorString();
        return false;
    }
    f.write(sweepsCsv());
    if (!f.commit()) {
        why = f.errorString();
        return false;
    }
    return true;
}

void SpectrumWindow::btnCsvSaveClick()
{
    // A test names the file through this property instead of the dialog.
    QString path = property("csvPath").toString();
    if (path.isEmpty()) {
        QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty())
            folder = QDir::homePath();
        const QString suggested = QDir(folder).filePath(
            QStringLiteral("kd36-airmonitor-%1.csv").arg(QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss")));
        path = QFileDialog::getSaveFileName(this, tr("CSV保存"), suggested,
                                            tr("CSV (*.csv);;すべてのファイル (*)"));
    }
    if (path.isEmpty())
        return;
    QString why;
    if (saveSweeps(path, why))
        return;
    QMessageBox box(QMessageBox::Warning, windowTitle(), tr("CSVファイルを保存できません。"),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(why);
    box.exec();
}

void SpectrumWindow::titlesChanged()
{
    setWindowTitle(titles_.window);
    lblTitle_->setText(titles_.window);
    plot_->update();
}

void SpectrumWindow::controlChanged()
{
    refreshTimer_.setInterval(model_.control().refreshMs);
    updateInfo();
}

void SpectrumWindow::refresh()
{
    const qint64 ms = sinceRefresh_.restart();
    model_.advance(static_cast<int>(std::min<qint64>(ms, 10000)));
    // Peaks may be falling, so the plot repaints on every tick.
    plot_->update();
}

void SpectrumWindow::updateInfo()
{
    QString t = tr("Sweeps: %1").arg(model_.sweeps());
    const int s = model_.strongest();
    if (s >= 0)
        t += tr("     Strongest: ch %1 at %2 mV").arg(s + kFirstChannel).arg(model_.values()[s]);
    const ControlValues& c = model_.control();
    t += tr("     Peak hold: %1 sweeps, then %2 mV/s     Refresh: %3 ms")
             .arg(c.peakHoldSweeps)
             .arg(c.peakDecayMvPerSecond)
             .arg(c.refreshMs);
    lblInfo_->setText(t);
}

} // namespace kd36::spectrum
