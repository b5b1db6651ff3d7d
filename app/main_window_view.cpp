#include "main_window_view.h"

#include "lamp_widget.h"
#include "main_form.h"
#include "../engine/sjis.h"

#include <QSignalBlocker>
#include <tuple>
#include "ui_main_form.h"

namespace kd36 {
namespace {

QRgb rgb(uint32_t c)
{
    return qRgb(int((c >> 16) & 0xff), int((c >> 8) & 0xff), int(c & 0xff));
}

} // namespace

MainWindowView::MainWindowView(QWidget* root, Ui::TMainForm& ui) : QtView(root), ui_(ui) {}

void MainWindowView::showLine(const LineShown& l)
{
    if (lineShown_ && l == line_)
        return;
    ui_.shpLump->setColor(rgb(l.portLamp));
    ui_.shpSupplySignal->setColor(rgb(l.supplyLamp));
    ui_.shpTxableSignal->setColor(rgb(l.txableLamp));
    const bool txable = l.txableLamp == kLampOn;
    setCaption(ui_.lblTxableSignal,
               fromQt(txable ? TMainForm::tr("送信可能    ［CTS信号］") : TMainForm::tr("送信不可    ［CTS信号］")));
    setStatusText(0, fromQt(l.commandMode ? TMainForm::tr("コマンドモード") : TMainForm::tr("オンラインモード")));
    setStatusText(1, l.port);
    setStatusText(2, fromQt(l.hexDisplay ? TMainForm::tr("コード") : TMainForm::tr("テキスト")));
    if (!lineShown_)
        setStatusText(3, MainEngine::RightsNotice());
    setStatusHint(1, l.actualSettings.empty()
                         ? std::string()
                         : fromQt(TMainForm::tr("実際の設定: %1").arg(toQt(l.actualSettings))));
    line_ = l;
    lineShown_ = true;
}

void MainWindowView::showWindow(const WindowShown& w)
{
    Ui::TMainForm& u = ui_;
    for (auto [b, on] : {std::pair<QWidget*, bool>{u.spbAIRM, w.airButton}, {u.spbFICK, w.answerBackButton},
                         {u.spbPacket, w.packetButton}, {u.spbWrite, w.write}, {u.spbRead, w.read},
                         {u.spbCommandTx, w.commandSend}, {u.btnTermTx, w.terminalSend},
                         {u.spbMode, w.modeButtons}, {u.spbCommunicationMode, w.modeButtons},
                         {u.btnComPort, w.portButtons}, {u.btnComSet, w.portButtons}})
        b->setEnabled(on);
    for (QWidget* b : {u.btnDBUG, u.btnDIF1, u.btnDIF2, u.btnTEST, u.btnCMND, u.btnSEND, u.btnRECV, u.btnSTBY})
        b->setEnabled(w.developButtons);
    u.mnuFunction->menuAction()->setEnabled(w.functionMenu);
    for (auto [a, on, mark] : {std::tuple<QAction*, bool, bool>{u.mnuAirMonitor, w.airMenu, w.airMark},
                               {u.mnuRssiInfo, w.answerBackMenu, w.answerBackMark},
                               {u.mnuPacket, w.packetMenu, w.packetMark}}) {
        a->setEnabled(on);
        a->setCheckable(true);
        a->setChecked(mark);
    }
    u.mnuCommOpen->setCheckable(true);
    u.mnuCommOpen->setChecked(w.portMark);
    const bool first = !windowShown_;
    // The layout's own caption stands until the port first opens.
    if (!first && w.portMark != window_.portMark)
        setCaption(u.btnComPort, fromQt(w.portMark ? TMainForm::tr("通信ポート OFF") : TMainForm::tr("通信ポート ON ")));
    if (first || w.commandMode != window_.commandMode) {
        const QSignalBlocker a(u.spbMode), b(u.spbCommunicationMode);
        u.spbMode->setChecked(w.commandMode);
        u.spbCommunicationMode->setChecked(!w.commandMode);
        u.pnlCommand->setVisible(w.commandMode);
        u.pnlCommunication->setVisible(!w.commandMode);
    }
    if (first || w.developTab != window_.developTab)
        u.PageControlSetting->setTabVisible(u.PageControlSetting->indexOf(u.tabDevelop), w.developTab);
    // The layout holds the extended rows.
    if (w.extended != (first || window_.extended)) {
        u.lblSERIData->setVisible(w.extended);
        u.Label2->setVisible(w.extended);
        setHeight(u.grpSERI, w.extended ? 121 : 49);
    }
    u.chkCRLF->setVisible(w.crLfBox);
    // The layout's caption stands until a send first starts.
    if (!first && w.intervalRunning != window_.intervalRunning)
        setCaption(u.btnIntervalTx, fromQt(w.intervalRunning ? TMainForm::tr("ストップ") : TMainForm::tr("スタート")));
    window_ = w;
    windowShown_ = true;
}

void MainWindowView::showInputs(const WindowInputs& in)
{
    Ui::TMainForm& u = ui_;
    // Only what differs is set: the fields also change as the user types.
    auto line = [](QLineEdit* e, const std::string& sjis) {
        const QString t = toQt(sjis);
        if (e->text() != t) {
            const QSignalBlocker b(e);
            e->setText(t);
        }
    };
    auto pick = [](QComboBox* c, int index) {
        if (c->currentIndex() != index) {
            const QSignalBlocker b(c);
            c->setCurrentIndex(index);
        }
    };
    line(u.txtEdit, in.commandLine);
    line(u.txtTerm, in.terminalLine);
    line(u.edtIntervalTx, in.intervalCommand);
    if (u.chkCRLF->isChecked() != in.terminalCrLf) {
        const QSignalBlocker b(u.chkCRLF);
        u.chkCRLF->setChecked(in.terminalCrLf);
    }
    pick(u.cmbChannel, in.testChannel);
    pick(u.cmbModulation, in.testModulation);
    pick(u.cmbIntervalTx, in.intervalIndex);
}

void MainWindowView::focusCommandLine()
{
    ui_.txtEdit->setFocus();
}

void MainWindowView::monitorLine(Monitor which, const std::string& sjisLine)
{
    appendLine(memo(which), sjisLine);
}

void MainWindowView::monitorText(Monitor which, const std::string& sjisText)
{
    replaceText(memo(which), sjisText);
}

QPlainTextEdit* MainWindowView::memo(Monitor which) const
{
    return which == Monitor::Commands ? ui_.memTxRxMonitor : ui_.memTerm;
}

} // namespace kd36
