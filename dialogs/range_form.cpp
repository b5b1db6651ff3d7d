#include "range_form.h"

#include <QHeaderView>
#include <QHideEvent>

#include "engine/range_run.h"
#include "range_chart.h"
#include "ui_range_form.h"

TRangeForm::TRangeForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , ui(std::make_unique<Ui::TRangeForm>())
{
    ui->setupUi(this);
    setModal(false);
    ui->tblStats->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(ui->btnRangeStart, &QPushButton::clicked, this,
            [this] { emit startClicked(ui->spnInterval->value(), ui->spnCount->value()); });
    connect(ui->btnRangeStop, &QPushButton::clicked, this, &TRangeForm::stopClicked);
    connect(ui->btnRangeCsvSave, &QPushButton::clicked, this, &TRangeForm::csvSaveClicked);
    connect(ui->btnRangeClose, &QPushButton::clicked, this, &QWidget::hide);
    clock_.setInterval(1000);
    connect(&clock_, &QTimer::timeout, this, &TRangeForm::showTimes);
}

TRangeForm::~TRangeForm() = default;

RangeChart* TRangeForm::chart() const
{
    return ui->chart;
}

void TRangeForm::hideEvent(QHideEvent* e)
{
    QDialog::hideEvent(e);
    // Closing the page ends its run: nothing polls out of sight.
    if (!e->spontaneous() && run_ && run_->running())
        emit stopClicked();
}

void TRangeForm::showTimes()
{
    if (!run_)
        return;
    const uint64_t s = run_->elapsedMs() / 1000;
    ui->lblElapsed->setText(tr("経過時間：%1:%2:%3")
                                .arg(s / 3600)
                                .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                                .arg(s % 60, 2, 10, QLatin1Char('0')));
    ui->lblRounds->setText(run_->rounds() > 0 ? tr("ラウンド：%1 / %2").arg(run_->round()).arg(run_->rounds())
                                              : tr("ラウンド：%1").arg(run_->round()));
}

void TRangeForm::showRange(const kd36::RangeRun& run)
{
    run_ = &run;
    const bool running = run.running();
    ui->btnRangeStart->setEnabled(!running);
    ui->btnRangeStop->setEnabled(running);
    ui->btnRangeCsvSave->setEnabled(!running && run.hasRows());
    ui->spnInterval->setEnabled(!running);
    ui->spnCount->setEnabled(!running);
    if (running != clock_.isActive())
        running ? clock_.start() : clock_.stop();
    showTimes();

    int rows = 0;
    for (int n = 0; n < kd36::RangeRun::kStations; ++n)
        rows += run.stations()[size_t(n)];
    ui->tblStats->setRowCount(rows);
    int row = 0;
    auto cell = [&](int col, const QString& text) {
        QTableWidgetItem* item = ui->tblStats->item(row, col);
        if (!item) {
            item = new QTableWidgetItem;
            item->setTextAlignment(col == 0 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
            ui->tblStats->setItem(row, col, item);
        }
        if (item->text() != text)
            item->setText(text);
    };
    for (int n = 0; n < kd36::RangeRun::kStations; ++n) {
        if (!run.stations()[size_t(n)])
            continue;
        const kd36::RangeStats& s = run.stats()[size_t(n)];
        const QString none = QStringLiteral("-");
        const bool any = s.replies > 0;
        cell(0, QStringLiteral("#%1").arg(QChar("0123456789ABCDEF"[n])));
        cell(1, s.polls == 0 ? QString() : s.last < 0 ? tr("応答なし") : QString::number(s.last));
        cell(2, any ? QString::number(s.min) : none);
        cell(3, any ? QString::number(s.mean(), 'f', 2) : none);
        cell(4, any ? QString::number(s.max) : none);
        cell(5, QStringLiteral("%1 / %2 (%3%)").arg(s.replies).arg(s.polls).arg(s.percent(), 0, 'f', 1));
        // The ID in its line's colour, as the chart's legend.
        ui->tblStats->item(row, 0)->setBackground(RangeChart::stationColor(n));
        ui->tblStats->item(row, 0)->setForeground(Qt::black);
        ++row;
    }
    ui->chart->setRun(&run);
}
