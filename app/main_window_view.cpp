#include "main_window_view.h"

#include "lamp_widget.h"
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
    setCaption(ui_.lblSupplySignal, l.supplyCaption);
    setCaption(ui_.lblTxableSignal, l.txableCaption);
    for (int i = 0; i < 4; ++i)
        setStatusText(i, l.status[size_t(i)]);
    setStatusHint(1, l.portHint);
    line_ = l;
    lineShown_ = true;
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
