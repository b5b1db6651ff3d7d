#pragma once
// The packet send/receive dialog. Every event goes to PacketLogic; the
// logic reaches the widgets through a view the window builds over it.
#include "modeless_form.h"
#include <QString>
#include <functional>
#include <array>
#include <memory>
#include <string>

#include "engine/packet_logic.h"

class QComboBox;
class QLabel;

namespace Ui {
class TPacketForm;
}

namespace kd36 {

// The two user-data memos carry their text exactly, line breaks as CR LF
// and no line end added: the packet length counts every byte of it.
std::string packetMemoToSjis(const QString& memoText);
QString packetMemoFromSjis(const std::string& sjis);

} // namespace kd36

class TPacketForm : public ModelessForm<kd36::PacketLogic> {
    Q_OBJECT
public:
    explicit TPacketForm(QWidget* parent = nullptr);
    ~TPacketForm() override;

    // Wires the widgets to the logic and runs its creation steps.
    void bind(kd36::PacketLogic& logic, Guard guard = {});
    // Shows what the logic says; sets only what differs.
    void showPacket(const kd36::PacketShown& s);
    // lblMemInfo: the view sets its caption (and the name it is read by).
    QLabel* counterLabel() const;
    // "12 文字 / 残 244" for user data of 12 bytes (Shift-JIS).
    static QString counterText(size_t length);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void limitUserData();
    // One widget per route field: own station, relays 1..5, destination.
    template <class W>
    using Row = std::array<W*, kd36::PacketShown::kFields>;
    Row<QComboBox> routeLists() const;

    std::unique_ptr<Ui::TPacketForm> ui;
    QString FLastUserData; // the memo's text while within its byte limit
};
