#pragma once
// The answer-back dialog: sixteen station rows with level bars and a log.
// Every event goes to LinkLogic; the logic reaches the widgets through view().
#include <QDialog>
#include <functional>
#include <memory>

#include "engine/link_logic.h"
#include "qt_view.h"

namespace Ui {
class TLinkForm;
}

class TLinkForm : public QDialog {
    Q_OBJECT
public:
    // Runs a handler under the application's error display.
    using Guard = std::function<void(const std::function<void()>&)>;

    explicit TLinkForm(QWidget* parent = nullptr);
    ~TLinkForm() override;

    kd36::View& view() { return *FView; }
    // Wires the widgets to the logic (once the main engine exists).
    void bind(kd36::LinkLogic& logic, Guard guard = {});

    // Stops forwarding events, for a logic that goes before the dialog.
    void unbind() { FLogic = nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void run(const std::function<void(kd36::LinkLogic&)>& handler);

    std::unique_ptr<Ui::TLinkForm> ui;
    std::unique_ptr<kd36::QtView> FView;
    kd36::LinkLogic* FLogic = nullptr;
    Guard FGuard;
};
