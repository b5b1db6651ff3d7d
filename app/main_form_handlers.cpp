// The main window's events: each widget's signal, the key preview and the
// mouse on the status bar and panels, forwarded to the engine's handler of
// the same name under guard().
#include "main_form.h"
#include "qt_view.h"
#include "setting_panel_view.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

#include "../host/engine_host.h"
#include "ui_main_form.h"

namespace kd36 {

namespace {

bool shiftOf(QEvent* e)
{
    return static_cast<QInputEvent*>(e)->modifiers() & Qt::ShiftModifier;
}

// Sees every key of the application first: the window's key preview.
class KeyPreview final : public QObject {
public:
    KeyPreview(QObject* parent, std::function<bool(QObject*, QKeyEvent*)> f) : QObject(parent), f_(std::move(f)) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        return event->type() == QEvent::KeyPress && f_(watched, static_cast<QKeyEvent*>(event));
    }

private:
    std::function<bool(QObject*, QKeyEvent*)> f_;
};

} // namespace

void TMainForm::onClick(QAbstractButton* b, std::function<void()> f)
{
    connect(b, &QAbstractButton::clicked, this, [this, f] { guard(f); });
}

void TMainForm::onAction(QAction* a, std::function<void()> f)
{
    // Menu items whose check mark the engine keeps: undo Qt's own toggle first.
    connect(a, &QAction::triggered, this, [this, a, f](bool checked) {
        if (a->isCheckable())
            a->setChecked(!checked);
        guard(f);
    });
}

void TMainForm::connectHandlers()
{
    MainEngine& e = *FEngine;
    connectCommands(e);
    connectSettingPanel(e);
    connectDevelopment(e);
    connectKeysAndTimers(e);
}

void TMainForm::connectCommands(MainEngine& e)
{
    // Mode buttons: one group, one down at a time, both may be up.
    connect(ui->spbMode, &QAbstractButton::toggled, this, [this](bool on) {
        if (on)
            ui->spbCommunicationMode->setChecked(false);
    });
    connect(ui->spbCommunicationMode, &QAbstractButton::toggled, this, [this](bool on) {
        if (on)
            ui->spbMode->setChecked(false);
    });
    onClick(ui->spbCommunicationMode, [this, &e] { e.spbModeClick(0, ui->spbCommunicationMode->isChecked()); });
    onClick(ui->spbMode, [this, &e] { e.spbModeClick(1, ui->spbMode->isChecked()); });

    onClick(ui->spbExit, [this] { close(); });
    onAction(ui->mnuExit, [this] { close(); });
    onAction(ui->mnuLog, [this] { FRecords->mnuLogClick(); });
    onAction(ui->mnuProfileSave, [this] { FRecords->mnuProfileSaveClick(); });
    onAction(ui->mnuProfileLoad, [this] { FRecords->mnuProfileLoadClick(); });
    onAction(ui->mnuReadToWrite, [this] { FRecords->mnuReadToWriteClick(); });
    onClick(ui->btnComPort, [&e] { e.mnuCommOpenClick(); });
    onAction(ui->mnuCommOpen, [&e] { e.mnuCommOpenClick(); });
    onClick(ui->btnComSet, [this] { mnuCommSettingsClick(); });
    onAction(ui->mnuCommSettings, [this] { mnuCommSettingsClick(); });
    onAction(ui->mnuAbout, [this] { mnuAboutClick(); });
    onAction(ui->mnuLanguageJa, [this] { chooseLanguage(Language::Japanese); });
    onAction(ui->mnuLanguageEn, [this] { chooseLanguage(Language::English); });
    onClick(ui->spbAIRM, [&e] { e.mnuAirMonitorClick(); });
    onAction(ui->mnuAirMonitor, [&e] { e.mnuAirMonitorClick(); });
    onClick(ui->spbFICK, [&e] { e.mnuRssiInfoClick(); });
    onAction(ui->mnuRssiInfo, [&e] { e.mnuRssiInfoClick(); });
    onClick(ui->spbPacket, [&e] { e.mnuPacketClick(); });
    onAction(ui->mnuPacket, [&e] { e.mnuPacketClick(); });

    // Command line.
    onClick(ui->spbCommandTx, [&e] { e.spbCommandTxClick(); });
    onClick(ui->spbMonitorClear, [&e] { e.spbMonitorClearClick(); });
    auto templ = [this, &e] { guard([&] { e.cmbTemplateChange(QtView::fromQt(ui->cmbTemplate->currentText())); }); };
    connect(ui->cmbTemplate, &QComboBox::activated, this, templ);
    connect(ui->cmbTemplate->lineEdit(), &QLineEdit::textEdited, this, templ);
    connect(ui->txtEdit, &QLineEdit::textChanged, this,
            [&e](const QString& t) { e.commandLineEdited(QtView::fromQt(t)); });
}

void TMainForm::connectSettingPanel(MainEngine& e)
{
    // Setting panel.
    onClick(ui->spbWrite, [this, &e] {
        FPanelView->commitTyping();
        e.spbWriteClick();
    });
    onClick(ui->spbRead, [&e] { e.spbReadClick(); });
    onClick(ui->spbDefaultNumber, [&e] { e.spbDefaultNumberClick(); });
    FPanelView->bind(e, [this](const std::function<void()>& handler) { guard(handler); });
    for (QSpinBox* spin : {ui->speFRAMByte, ui->speFRAMIdle, ui->speFRAMWait, ui->speFRAMTxNumber})
        spin->installEventFilter(this);
    ui->grpCommand->installEventFilter(this);
    ui->grpSERI->installEventFilter(this);
    ui->spbDefaultNumber->installEventFilter(this);
}

void TMainForm::connectDevelopment(MainEngine& e)
{
    // Development tab.
    onClick(ui->btnDBUG, [&e] { e.btnDBUGClick(); });
    onClick(ui->btnDIF1, [&e] { e.btnDIF1Click(); });
    onClick(ui->btnDIF2, [&e] { e.btnDIF2Click(); });
    onClick(ui->btnTEST, [&e] { e.btnTESTClick(); });
    onClick(ui->btnCMND, [&e] { e.btnCMNDClick(); });
    onClick(ui->btnSEND, [&e] { e.btnSENDClick(); });
    onClick(ui->btnRECV, [&e] { e.btnRECVClick(); });
    onClick(ui->btnSTBY, [&e] { e.btnSTBYClick(); });
    onClick(ui->btnIntervalTx, [&e] { e.btnIntervalTxClick(); });
    connect(ui->cmbIntervalTx, &QComboBox::currentIndexChanged, this,
            [this, &e](int i) { guard([&] { e.cmbIntervalTxChange(i); }); });
    connect(ui->cmbChannel, &QComboBox::currentIndexChanged, this, [&e](int i) { e.testChannelChanged(i); });
    connect(ui->cmbModulation, &QComboBox::currentIndexChanged, this, [&e](int i) { e.testModulationChanged(i); });
    connect(ui->edtIntervalTx, &QLineEdit::textChanged, this,
            [&e](const QString& t) { e.intervalCommandEdited(QtView::fromQt(t)); });

    // Terminal.
    onClick(ui->btnTermTx, [&e] { e.btnTermTxClick(); });
    onClick(ui->spbTermClear, [&e] { e.spbTermClearClick(); });
    connect(ui->txtTerm, &QLineEdit::textChanged, this,
            [&e](const QString& t) { e.terminalLineEdited(QtView::fromQt(t)); });
    connect(ui->chkCRLF, &QAbstractButton::toggled, this, [&e](bool on) { e.chkCRLFClick(on); });
    ui->txtTerm->installEventFilter(this);
}

void TMainForm::connectKeysAndTimers(MainEngine& e)
{
    // Timers.
    for (TimerId id : {TimerId::RxWait, TimerId::IntervalTx})
        connect(FView->timer(id), &QTimer::timeout, this, [this, id] { guard([&] { FHost->mainTimer(id); }); });

    // Key preview for Enter.
    FKeyPreview = new KeyPreview(this, [this, &e](QObject* watched, QKeyEvent* key) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this && widget == QApplication::focusWidget()
            && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
            guard([&] {
                const InputLine focused = widget == ui->txtEdit   ? InputLine::Command
                                          : widget == ui->txtTerm ? InputLine::Terminal
                                                                  : InputLine::Other;
                e.FormKeyPress(13, focused);
            });
        return false;
    });
    qApp->installEventFilter(FKeyPreview);
}

int TMainForm::statusPanelX(QObject* watched, int localX) const
{
    // x as if the panels sat edge to edge from the bar's left: 380..440 is panel 2.
    int left = 0;
    for (size_t i = 0; i < FPanels.size(); ++i) {
        if (watched == FPanels[i])
            return left + localX;
        left += kPanelWidths[i];
    }
    return localX;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (qobject_cast<QSpinBox*>(watched) && watched->objectName().startsWith(QLatin1String("speFRAM"))) {
            const QString text = key->text();
            if (!text.isEmpty() && text.at(0).unicode() >= 32 && !MainEngine::speFRAMKeyPress(text.at(0).unicode()))
                return true;
        }
        return false;
    }
    if (type == QEvent::Resize && watched == ui->grpSERI) {
        // The compact group shows the rate row only: the data-bit row's field
        // goes with its labels, the rows below lie beyond the cut.
        QWidget* field = ui->edtRead17;
        field->setVisible(ui->grpSERI->height() >= field->geometry().bottom() + 2);
        return false;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick)
        return QMainWindow::eventFilter(watched, event);
    const bool dbl = type == QEvent::MouseButtonDblClick;
    const bool shift = shiftOf(event);
    if (watched == ui->StatusBar || std::find(FPanels.begin(), FPanels.end(), watched) != FPanels.end()) {
        const int x = statusPanelX(watched, int(static_cast<QMouseEvent*>(event)->position().x()));
        guard([&] {
            FEngine->StatusBarMouseDown(x);
            if (dbl)
                FEngine->StatusBarDblClick();
        });
        // The panels have no use for the mouse: the bar must not see it again.
        return true;
    } else if (watched == ui->grpCommand) {
        guard([&] {
            FEngine->grpCommandMouseDown(shift);
            if (dbl)
                FEngine->grpCommandDblClick();
        });
    } else if (watched == ui->spbDefaultNumber) {
        FEngine->spbDefaultNumberMouseDown(shift);
    } else if (watched == ui->txtTerm) {
        guard([&] {
            FEngine->txtTermMouseDown(shift);
            if (dbl)
                FEngine->txtTermDblClick();
        });
    }
    return false;
}

} // namespace kd36
