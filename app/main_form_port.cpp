// The main window's port: the port properties dialog, a lost port and
// taking it up again when it is back.
#include "main_form.h"

#include <QCheckBox>

#include "../dialogs/settings_form.h"
#include "../engine/sjis.h"
#include "../host/engine_host.h"
#include "../serial/gensio_device.h"
#include "../serial/port_catalog.h"
#include "../serial/reconnect.h"
#include "port_pins.h"

namespace kd36 {

namespace {

// The port properties dialog as the engine asks for it.
class PortDialog final : public PortDialogRunner {
public:
    PortDialog(QWidget* parent, MessageBoxes& boxes, PortCatalog& catalog, std::string settingsPath,
               bool& autoReconnect)
        : parent_(parent), boxes_(boxes), catalog_(catalog), settingsPath_(std::move(settingsPath)),
          autoReconnect_(autoReconnect)
    {
    }
    void run(int& portNumber, PortSettings& settings, const std::vector<std::string>& portList,
             int extension) override
    {
        TSettingsForm dialog(parent_, portNumber, settings, portList, extension, boxes_,
                             [this](int n) { return catalog_.describe(n); });
        // In the free space between the flow group and OK; the compact
        // layout has none, and keeps the stored choice.
        QCheckBox* autoBox = nullptr;
        if (extension != 0) {
            autoBox = new QCheckBox(TMainForm::tr("自動再接続"), &dialog);
            autoBox->setObjectName(QStringLiteral("chkAutoReconnect"));
            autoBox->setGeometry(216, 74, 96, 20);
            autoBox->setChecked(autoReconnect_);
            autoBox->setToolTip(TMainForm::tr("抜けたポートが戻ったら開き直します。"));
        }
        if (dialog.exec() == QDialog::Accepted) {
            if (autoBox)
                autoReconnect_ = autoBox->isChecked();
            pinChosenAdapter(portNumber);
        }
    }

private:
    // A chosen USB adapter keeps its number wherever it is plugged in: the
    // number is pinned to its by-id path in [Ports]. A failed write leaves
    // the file whole and the number unpinned for this run.
    void pinChosenAdapter(int n)
    {
        const std::string byId = catalog_.pinCandidate(n);
        if (byId.empty() || settingsPath_.empty())
            return;
        std::string why;
        if (writePortPin(settingsPath_, n, byId, &why))
            catalog_.setPins(readPortPins(settingsPath_));
    }

private:
    QWidget* parent_;
    MessageBoxes& boxes_;
    PortCatalog& catalog_;
    std::string settingsPath_;
    bool& autoReconnect_;
};

} // namespace

void TMainForm::takeDeviceLost()
{
    guard([&] {
        const bool wasOpen = FEngine->portOpen();
        if (!FHost->takeLoss())
            return;
        if (wasOpen && !FEngine->portOpen()) {
            FReconnector->portLost(FEngine->portNumber());
            if (FReconnector->watching())
                FReconnectTimer.start(100);
        }
    });
}

void TMainForm::setUpReconnect()
{
    PortReconnector::Hooks hooks;
    hooks.reopen = [this] {
        // An automatic retry that fails is no box, only the next try.
        FHost->setQuietOpen(true);
        FEngine->mnuCommOpenClick();
        FHost->setQuietOpen(false);
        return FEngine->portOpen();
    };
    hooks.reconnected = [this](int n) {
        FEngine->EchoMonitor(sj(tr("ポートを再接続しました: COM%1").arg(n).toStdString()) + "\r\n");
    };
    hooks.describe = [this](int n) -> std::optional<LostPort> {
        for (const auto& e : FCatalog->entries()) {
            if (e.number != n || e.simulator)
                continue;
            LostPort p;
            p.path = e.path;
            p.network = isNetworkPortName(e.path);
            if (e.identity) {
                p.byId = e.identity->byId;
                if (e.identity->usb)
                    p.usbSerial = e.identity->serial;
            }
            return p;
        }
        return std::nullopt;
    };
    FReconnector = std::make_unique<PortReconnector>(*FReconnectOpener, *FClock, makeUdevEventSource(), hooks);
    connect(&FReconnectTimer, &QTimer::timeout, this, [this] {
        // A port the user opened or chose meanwhile ends the watch.
        if (FEngine->portOpen() || !FEngine->passAllowed())
            FReconnector->cancel();
        else
            guard([&] { FReconnector->pass(); });
        if (!FReconnector->watching())
            FReconnectTimer.stop();
    });
}

void TMainForm::mnuCommSettingsClick()
{
    FReconnector->cancel(); // the user decides the port now
    FHost->cancelOpen();
    PortDialog dialog(this, *FBoxes, *FCatalog, FSettingsPath, FAutoReconnect);
    FEngine->mnuCommSettingsClick(dialog);
    FReconnector->setEnabled(FAutoReconnect);
    scheduleIdle();
}

} // namespace kd36
