#pragma once
// The answer-back dialog's range test page: interval and count, start and
// stop, the chart, each station's figures, the elapsed time and rounds.
// It shows the engine's RangeRun and hands the user's presses on.
#include <QDialog>
#include <QTimer>

#include <memory>

namespace kd36 {
class RangeRun;
}
namespace Ui {
class TRangeForm;
}
class RangeChart;

class TRangeForm : public QDialog {
    Q_OBJECT
public:
    explicit TRangeForm(QWidget* parent = nullptr);
    ~TRangeForm() override;

    // Shows the run as it now is.
    void showRange(const kd36::RangeRun& run);
    RangeChart* chart() const;

signals:
    void startClicked(int intervalS, int rounds);
    void stopClicked();
    void csvSaveClicked();

protected:
    void hideEvent(QHideEvent* e) override;

private:
    void showTimes();

    std::unique_ptr<Ui::TRangeForm> ui;
    const kd36::RangeRun* run_ = nullptr;
    QTimer clock_; // the elapsed time moves between polls too
};
