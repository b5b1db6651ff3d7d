#include "link_form.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStandardPaths>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QTimer>

#include "engine/sjis.h"
#include "range_form.h"
#include "ui_link_form.h"

using kd36::EndReason;
using kd36::LinkLogic;
using kd36::LinkWords;

TLinkForm::TLinkForm(QWidget* parent)
    : ModelessForm(parent),
      ui(std::make_unique<Ui::TLinkForm>())
{
    ui->setupUi(this);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);
    setFixedSize(431, 356);

    auto* timWaitTime = new QTimer(this);
    timWaitTime->setObjectName(QStringLiteral("timWaitTime"));
    timWaitTime->setInterval(LinkLogic::kWaitMs);
    timWaitTime->setTimerType(Qt::PreciseTimer); // never early
    auto* timRangeTick = new QTimer(this);
    timRangeTick->setObjectName(QStringLiteral("timRangeTick"));
    timRangeTick->setTimerType(Qt::PreciseTimer);

    // Key preview: Enter is seen by the dialog whichever control has the focus.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    // Its own window, made after the key preview: Enter there starts nothing here.
    range_ = new TRangeForm(this);
    connect(ui->btnRange, &QPushButton::clicked, this, [this] {
        range_->show();
        range_->raise();
    });
}

TLinkForm::~TLinkForm() = default;

std::array<QCheckBox*, kd36::LinkShown::kStations> TLinkForm::ticks() const
{
    return {ui->CheckBox0, ui->CheckBox1, ui->CheckBox2, ui->CheckBox3, ui->CheckBox4, ui->CheckBox5, ui->CheckBox6, ui->CheckBox7, ui->CheckBox8, ui->CheckBox9, ui->CheckBox10, ui->CheckBox11, ui->CheckBox12, ui->CheckBox13, ui->CheckBox14, ui->CheckBox15};
}

std::array<QProgressBar*, kd36::LinkShown::kStations> TLinkForm::bars() const
{
    return {ui->prgLevel0, ui->prgLevel1, ui->prgLevel2, ui->prgLevel3, ui->prgLevel4, ui->prgLevel5, ui->prgLevel6, ui->prgLevel7, ui->prgLevel8, ui->prgLevel9, ui->prgLevel10, ui->prgLevel11, ui->prgLevel12, ui->prgLevel13, ui->prgLevel14, ui->prgLevel15};
}

QPlainTextEdit* TLinkForm::logMemo() const
{
    return ui->memInfo;
}

void TLinkForm::showLink(const kd36::LinkShown& s)
{
    if (ui->btnAbort->isHidden() == s.polling) {
        ui->btnAbort->setVisible(s.polling);
        ui->btnGet->setVisible(!s.polling);
    }
    ui->btnCsvSave->setEnabled(s.csvSave);
    ui->btnGet->setEnabled(!s.ranging);
    const auto boxes = ticks();
    const auto levels = bars();
    for (size_t n = 0; n < boxes.size(); ++n) {
        if (boxes[n]->isChecked() != s.ticked[n]) {
            const QSignalBlocker b(boxes[n]);
            boxes[n]->setChecked(s.ticked[n]);
        }
        if (levels[n]->value() != s.levels[n])
            levels[n]->setValue(s.levels[n]);
    }
}

LinkWords TLinkForm::logWords()
{
    auto w = [](const QString& text) { return kd36::utf8ToSjis(text.toStdString()); };
    LinkWords words;
    words.selectId = w(tr("IDを選択してください。"));
    words.starting = w(tr("開始します。"));
    words.completed = w(tr("完了しました。"));
    words.noLine = w(tr("通信ができません。"));
    words.aborted = w(tr("中止しました。"));
    words.noReply = w(tr("応答がありません。"));
    //: The station being polled (%1: its hex digit); its level follows on the same line.
    words.checking = w(tr("#%1 を確認中･･･ "));
    //: The level the station answered (%1: 0 to 4).
    words.level = w(tr("レベル %1 です。"));
    return words;
}

void TLinkForm::bind(LinkLogic& logic, Guard guard)
{
    attach(logic, std::move(guard));
    logic.setWords(logWords());
    connect(ui->btnGet, &QPushButton::clicked, this, [this] { run([](LinkLogic& l) { l.btnGetClick(); }); });
    connect(ui->btnAbort, &QPushButton::clicked, this,
            [this] { run([](LinkLogic& l) { l.btnAbortClick(EndReason::UserAbort); }); });
    connect(ui->btnAll, &QPushButton::clicked, this, [this] { run([](LinkLogic& l) { l.btnAllClick(); }); });
    connect(ui->spbMemClear, &QToolButton::clicked, this,
            [this] { run([](LinkLogic& l) { l.spbMemClearClick(); }); });
    connect(ui->btnClose, &QPushButton::clicked, this, &QWidget::hide);
    connect(ui->btnCsvSave, &QPushButton::clicked, this, [this] {
        saveCsv(QStringLiteral("kd36-answerback"), [](LinkLogic& l, const std::string& p) { l.btnCsvSaveClick(p); });
    });
    connect(range_, &TRangeForm::startClicked, this, [this](int intervalS, int rounds) {
        run([=](LinkLogic& l) { l.rangeStartClick(intervalS, rounds); });
    });
    connect(range_, &TRangeForm::stopClicked, this, [this] { run([](LinkLogic& l) { l.rangeStopClick(); }); });
    connect(range_, &TRangeForm::csvSaveClicked, this, [this] {
        saveCsv(QStringLiteral("kd36-rangetest"), [](LinkLogic& l, const std::string& p) { l.rangeCsvSaveClick(p); });
    });
    const auto boxes = ticks();
    for (size_t n = 0; n < boxes.size(); ++n)
        connect(boxes[n], &QCheckBox::toggled, this,
                [this, n](bool on) { run([n, on](LinkLogic& l) { l.stationTicked(int(n), on); }); });
    auto* timer = findChild<QTimer*>(QStringLiteral("timWaitTime"));
    connect(timer, &QTimer::timeout, this, [this] { run([](LinkLogic& l) { l.onTimer(kd36::TimerId::WaitTime); }); });
    connect(findChild<QTimer*>(QStringLiteral("timRangeTick")), &QTimer::timeout, this,
            [this] { run([](LinkLogic& l) { l.onTimer(kd36::TimerId::RangeTick); }); });
}

void TLinkForm::showRange(const kd36::RangeRun& run)
{
    range_->showRange(run);
}

void TLinkForm::hideEvent(QHideEvent* e)
{
    // The logic stops a range run first, then its page goes with the dialog.
    ModelessForm::hideEvent(e);
    if (!e->spontaneous())
        range_->hide();
}

void TLinkForm::saveCsv(const QString& stem, const std::function<void(LinkLogic&, const std::string&)>& save)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    const QString suggested = QDir(folder).filePath(
        QStringLiteral("%1-%2.csv").arg(stem, QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss")));
    const QString path = chooseFile ? chooseFile(suggested)
                                    : QFileDialog::getSaveFileName(this, tr("CSV保存"), suggested,
                                                                   tr("CSV (*.csv);;すべてのファイル (*)"));
    if (path.isEmpty())
        return;
    const std::string p = QFile::encodeName(path).toStdString();
    run([&](LinkLogic& l) { save(l, p); });
}

bool TLinkForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        // A key the focused control ignores climbs to its parents: act once,
        // where it was first delivered.
        QWidget* focus = focusWidget();
        const bool first = watched == focus || (!focus && watched == this);
        if (first && (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter))
            run([](LinkLogic& l) { l.FormKeyPress(13); });
    }
    return QDialog::eventFilter(watched, event);
}

