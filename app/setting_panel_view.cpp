#include "setting_panel_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

#include <initializer_list>

#include "../engine/main_engine.h"
#include "qt_view.h"
#include "ui_main_form.h"

namespace kd36 {
namespace {

void setEnabled(std::initializer_list<QWidget*> widgets, bool on)
{
    for (QWidget* w : widgets)
        w->setEnabled(on);
}

void showText(QLineEdit* edit, const std::string& sjis)
{
    // Same text: leave the caret and the undo history alone.
    const QString text = QtView::toQt(sjis);
    if (edit->text() != text) {
        const QSignalBlocker quiet(edit);
        edit->setText(text);
    }
}

} // namespace

SettingPanelView::SettingPanelView(Ui::TMainForm& ui, QObject* parent)
    : QObject(parent), ui_(ui), shownEnables_(panelEnables(shown_))
{
    ticks_ = {ui.chkSYID, ui.chkCHAN, ui.chkROUT, ui.chkFRAM, ui.chkINFO, ui.chkSERI, ui.chkSERISet};
    choices_ = {ui.cmbCHANGroup,  ui.cmbCHANCh,       ui.cmbROUTDest, ui.cmbSERI,
                ui.cmbSERIParity, ui.cmbSERIStopBits, ui.cmbSERIFlow, ui.cmbSERIData};
    relays_ = {ui.cmbROUTNode1, ui.cmbROUTNode2, ui.cmbROUTNode3, ui.cmbROUTNode4, ui.cmbROUTNode5};
    frames_ = {ui.speFRAMByte, ui.speFRAMIdle, ui.speFRAMWait, ui.speFRAMTxNumber};
    readBack_ = {ui.edtRead1,  ui.edtRead2,  ui.edtRead3,  ui.edtRead4,  ui.edtRead5,  ui.edtRead6,  ui.edtRead7,
                 ui.edtRead8,  ui.edtRead9,  ui.edtRead10, ui.edtRead11, ui.edtRead12, ui.edtRead13, ui.edtRead14,
                 ui.edtRead15, ui.edtRead16, ui.edtRead17, ui.edtRead18, ui.edtRead19, ui.edtRead20};
}

void SettingPanelView::showPanel(const SettingPanel& p, const PanelEnables& e)
{
    // Signals stay quiet: what is shown here came from the engine.
    for (size_t i = 0; i < kPanelTicks; ++i)
        if (ticks_[i]->isChecked() != p.ticks[i]) {
            const QSignalBlocker quiet(ticks_[i]);
            ticks_[i]->setChecked(p.ticks[i]);
        }
    showText(ui_.edtSYIDWrite, p.systemId);
    showText(ui_.edtINFOWrite, p.deviceInfo);
    if (ui_.radChAuto->isChecked() != p.channelAuto || ui_.radChHand->isChecked() == p.channelAuto) {
        const QSignalBlocker quietAuto(ui_.radChAuto), quietHand(ui_.radChHand);
        ui_.radChAuto->setChecked(p.channelAuto);
        ui_.radChHand->setChecked(!p.channelAuto);
    }
    for (size_t i = 0; i < kPanelChoices; ++i)
        if (choices_[i]->currentIndex() != p.choices[i]) {
            const QSignalBlocker quiet(choices_[i]);
            choices_[i]->setCurrentIndex(p.choices[i]);
        }
    for (size_t i = 0; i < kRelayCount; ++i)
        if (relays_[i]->currentIndex() != p.relays[i]) {
            const QSignalBlocker quiet(relays_[i]);
            relays_[i]->setCurrentIndex(p.relays[i]);
        }
    for (size_t i = 0; i < kPanelFrames; ++i)
        if (frames_[i]->value() != p.frame[i]) {
            const QSignalBlocker quiet(frames_[i]);
            frames_[i]->setValue(p.frame[i]);
        }
    for (size_t i = 0; i < kReadBackFields; ++i)
        showText(readBack_[i], p.readBack[i]);
    shown_ = p;

    if (e == shownEnables_)
        return;
    const PanelEnables& was = shownEnables_;
    auto changed = [](bool a, bool b) { return a != b; };
    if (changed(e.systemId, was.systemId))
        setEnabled({ui_.lblSYID, ui_.edtSYIDWrite}, e.systemId);
    if (changed(e.channelMode, was.channelMode))
        setEnabled({ui_.radChAuto, ui_.radChHand}, e.channelMode);
    ui_.cmbCHANGroup->setEnabled(e.group);
    ui_.cmbCHANCh->setEnabled(e.channel);
    if (changed(e.route, was.route))
        setEnabled({ui_.lblROUTDest, ui_.cmbROUTDest}, e.route);
    QWidget* relayLabels[kRelayCount] = {ui_.lblROUTNode1, ui_.lblROUTNode2, ui_.lblROUTNode3, ui_.lblROUTNode4,
                                         ui_.lblROUTNode5};
    for (size_t i = 0; i < kRelayCount; ++i)
        setEnabled({relays_[i], relayLabels[i]}, e.relays[i]);
    if (changed(e.frame, was.frame))
        setEnabled({ui_.lblFRAMByte, ui_.lblFRAMIdle, ui_.lblFRAMWait, ui_.lblFRAMTxNumber, ui_.speFRAMByte,
                    ui_.speFRAMIdle, ui_.speFRAMWait, ui_.speFRAMTxNumber},
                   e.frame);
    // The device ID's label starts enabled in the layout; it follows the
    // device-information tick from the first change on.
    if (changed(e.deviceInfo, was.deviceInfo))
        setEnabled({ui_.lblEQID, ui_.lblINFO, ui_.edtINFOWrite}, e.deviceInfo);
    if (changed(e.serial, was.serial))
        setEnabled({ui_.lblSERI, ui_.cmbSERI, ui_.chkSERISet, ui_.grpSERISet}, e.serial);
    if (changed(e.serialDetail, was.serialDetail))
        setEnabled({ui_.lblSERIData, ui_.cmbSERIData, ui_.lblSERIParity, ui_.cmbSERIParity, ui_.lblSERIStopBits,
                    ui_.cmbSERIStopBits, ui_.lblSERIFlow, ui_.cmbSERIFlow},
                   e.serialDetail);
    shownEnables_ = e;
}

void SettingPanelView::bind(MainEngine& e, std::function<void(const std::function<void()>&)> run)
{
    // Every change of a box counts, by mouse, key or program.
    auto onToggle = [this, run](QAbstractButton* b, std::function<void(bool)> f) {
        connect(b, &QAbstractButton::toggled, this, [run, f](bool on) { run([&] { f(on); }); });
    };
    onToggle(ui_.chkSYID, [&e](bool on) { e.chkSYIDClick(on); });
    onToggle(ui_.chkCHAN, [&e](bool on) { e.chkCHANClick(on); });
    onToggle(ui_.radChAuto, [&e](bool on) {
        if (on)
            e.radChAutoClick();
    });
    onToggle(ui_.radChHand, [&e](bool on) {
        if (on)
            e.radChHandClick();
    });
    onToggle(ui_.chkROUT, [&e](bool on) { e.chkROUTClick(on); });
    onToggle(ui_.chkFRAM, [&e](bool on) { e.chkFRAMClick(on); });
    onToggle(ui_.chkINFO, [&e](bool on) { e.chkINFOClick(on); });
    onToggle(ui_.chkSERI, [&e](bool on) { e.chkSERIClick(on); });
    onToggle(ui_.chkSERISet, [&e](bool on) { e.chkSERISetClick(on); });
    for (size_t i = 0; i < kPanelChoices; ++i)
        connect(choices_[i], &QComboBox::currentIndexChanged, this,
                [run, &e, i](int index) { run([&] { e.panelChoiceChanged(PanelChoice(i), index); }); });
    for (size_t i = 0; i < kRelayCount; ++i)
        connect(relays_[i], &QComboBox::currentIndexChanged, this,
                [run, &e, i](int index) { run([&] { e.cmbROUTNodeChange(int(i + 1), index); }); });
    for (size_t i = 0; i < kPanelFrames; ++i)
        connect(frames_[i], &QSpinBox::valueChanged, this,
                [run, &e, i](int value) { run([&] { e.panelFrameChanged(PanelFrame(i), value); }); });
    connect(ui_.edtSYIDWrite, &QLineEdit::textChanged, this,
            [run, &e](const QString& text) { run([&] { e.systemIdEdited(QtView::fromQt(text)); }); });
    connect(ui_.edtINFOWrite, &QLineEdit::textChanged, this,
            [run, &e](const QString& text) { run([&] { e.deviceInfoEdited(QtView::fromQt(text)); }); });
}

void SettingPanelView::commitTyping()
{
    for (QSpinBox* spin : frames_)
        spin->interpretText();
}

} // namespace kd36
