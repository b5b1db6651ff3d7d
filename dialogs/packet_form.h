#pragma once
// The packet send/receive dialog. Every event goes to PacketLogic; the
// logic reaches the widgets through view().
#include "modeless_form.h"
#include <QString>
#include <functional>
#include <memory>

#include "engine/packet_logic.h"
#include "app/qt_view.h"

namespace Ui {
class TPacketForm;
}

namespace kd36 {

// The two user-data memos carry their text exactly, line breaks as CR LF
// and no line end added: the packet length counts every byte of it.
class PacketView : public QtView {
public:
    using QtView::QtView;
    std::string text(std::string_view name) const override;
    void setText(std::string_view name, const std::string& sjis) override;

    static std::string exactToSjis(const QString& memoText);
    static QString exactFromSjis(const std::string& sjis);

private:
    static bool isDataMemo(std::string_view name);
};

} // namespace kd36

class TPacketForm : public ModelessForm<kd36::PacketLogic> {
    Q_OBJECT
public:
    explicit TPacketForm(QWidget* parent = nullptr);
    ~TPacketForm() override;

    kd36::View& view() { return *FView; }
    // Wires the widgets to the logic and runs its creation steps.
    void bind(kd36::PacketLogic& logic, Guard guard = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void limitUserData();

    std::unique_ptr<Ui::TPacketForm> ui;
    std::unique_ptr<kd36::PacketView> FView;
    QString FLastUserData; // the memo's text while within its byte limit
};
