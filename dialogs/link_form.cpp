#include "link_form.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStandardPaths>
#include <QKeyEvent>
#include <QTimer>

#include "ui_link_form.h"

using kd36::EndReason;
using kd36::LinkLogic;

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

    // Key preview: Enter is seen by the dialog whichever control has the focus.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

TLinkForm::~TLinkForm() = default;

void TLinkForm::bind(LinkLogic& logic, Guard guard)
{
    attach(logic, std::move(guard));
    connect(ui->btnGet, &QPushButton::clicked, this, [this] { run([](LinkLogic& l) { l.btnGetClick(); }); });
    connect(ui->btnAbort, &QPushButton::clicked, this,
            [this] { run([](LinkLogic& l) { l.btnAbortClick(EndReason::UserAbort); }); });
    connect(ui->btnAll, &QPushButton::clicked, this, [this] { run([](LinkLogic& l) { l.btnAllClick(); }); });
    connect(ui->spbMemClear, &QToolButton::clicked, this,
            [this] { run([](LinkLogic& l) { l.spbMemClearClick(); }); });
    connect(ui->btnClose, &QPushButton::clicked, this, &QWidget::hide);
    connect(ui->btnCsvSave, &QPushButton::clicked, this, &TLinkForm::btnCsvSaveClick);
    auto* timer = findChild<QTimer*>(QStringLiteral("timWaitTime"));
    connect(timer, &QTimer::timeout, this, [this] { run([](LinkLogic& l) { l.onTimer(kd36::TimerId::WaitTime); }); });
}

void TLinkForm::btnCsvSaveClick()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    const QString suggested = QDir(folder).filePath(
        QStringLiteral("kd36-answerback-%1.csv").arg(QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss")));
    const QString path = chooseFile ? chooseFile(suggested)
                                    : QFileDialog::getSaveFileName(this, QStringLiteral("CSV保存"), suggested,
                                                                   QStringLiteral("CSV (*.csv);;すべてのファイル (*)"));
    if (path.isEmpty())
        return;
    const std::string p = QFile::encodeName(path).toStdString();
    run([&p](LinkLogic& l) { l.btnCsvSaveClick(p); });
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

