#pragma once
// The display window of libanalyze32.so: a bar plot of channels 7..46 with
// peak markers, a start/stop button that drives Running, and a status line.
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cstdint>

#include "spectrum_model.h"

class QCheckBox;
class QLabel;
class QPainter;
class QPushButton;

namespace kd36::spectrum {

// Read by DLLStatus on every idle pass of the tool, written by the window;
// atomics keep that cheap and safe whichever thread asks.
struct SharedStatus {
    std::atomic<int32_t> running{0};
    std::atomic<int32_t> sweeps{0};
    std::atomic<int32_t> peakHold{1};
    std::atomic<int32_t> shown{0};
};

struct Titles {
    QString valueAxis = QStringLiteral("RSSI [mV]");
    QString channelAxis = QStringLiteral("Channel");
    QString window = QStringLiteral("Air Monitor");
};

class SpectrumPlot : public QWidget {
    Q_OBJECT
    // Read by the tests through the meta-object, since they load the
    // library at run time and see none of its classes.
    Q_PROPERTY(QVariantList values READ valueList)
    Q_PROPERTY(QVariantList peaks READ peakList)
    Q_PROPERTY(int hoveredChannel READ hoveredChannel)
public:
    SpectrumPlot(const SpectrumModel& model, const Titles& titles, QWidget* parent = nullptr);

    void setRunning(bool on);
    QVariantList valueList() const;
    QVariantList peakList() const;
    int hoveredChannel() const { return hovered_ < 0 ? -1 : hovered_ + kFirstChannel; }
    QSize sizeHint() const override { return {900, 430}; }
    QSize minimumSizeHint() const override { return {560, 300}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;

private:
    QRectF plotRect() const;
    double xOf(int index) const;   // left edge of a channel's slot
    double slotWidth() const;
    double yOf(double mv) const;
    int indexAt(const QPointF& p) const;
    void drawGrid(QPainter& p, const QRectF& r);
    void drawBars(QPainter& p, const QRectF& r);
    void drawAxes(QPainter& p, const QRectF& r);
    void drawReadout(QPainter& p, const QRectF& r);

    const SpectrumModel& model_;
    const Titles& titles_;
    bool running_ = false;
    int hovered_ = -1;
};

class SpectrumWindow : public QWidget {
    Q_OBJECT
public:
    SpectrumWindow(SpectrumModel& model, Titles& titles, SharedStatus& status);

    void showDisplay();
    void hideDisplay();
    // Called after DLLUpdate has fed the model.
    void modelChanged();
    void titlesChanged();
    void controlChanged();
    void setRunning(bool on);
    // The recorded sweeps as CSV (UTF-8, CR LF, header "time,ch07,...,ch46").
    QByteArray sweepsCsv() const;
    // Writes the CSV to `path` whole or not at all; false with `why`.
    bool saveSweeps(const QString& path, QString& why) const;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void createControls();
    void layOut();
    void connectControls();
    void refresh();
    void updateInfo();
    void btnCsvSaveClick();

    SpectrumModel& model_;
    Titles& titles_;
    SharedStatus& status_;
    SpectrumPlot* plot_;
    QPushButton* btnStart_;
    QCheckBox* chkPeakHold_;
    QPushButton* btnClearPeaks_;
    QPushButton* btnCsvSave_;
    QLabel* lblTitle_;
    QLabel* lblState_;
    QLabel* lblInfo_;
    QTimer refreshTimer_;
    QElapsedTimer sinceRefresh_;
};

} // namespace kd36::spectrum
