#pragma once
// A modeless dialog kept for the whole run: its events go to a logic object
// under the application's error display, and closing it only hides it.
#include <QCloseEvent>
#include <QDialog>
#include <QHideEvent>
#include <QKeyEvent>
#include <QShowEvent>

#include <functional>

template <class Logic>
class ModelessForm : public QDialog {
public:
    // Runs a handler under the application's error display.
    using Guard = std::function<void(const std::function<void()>&)>;

    // Stops forwarding events, for a logic that goes before the dialog.
    void unbind() { FLogic = nullptr; }

protected:
    explicit ModelessForm(QWidget* parent)
        : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                              | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    {
        setModal(false);
    }

    void attach(Logic& logic, Guard guard)
    {
        FLogic = &logic;
        FGuard = std::move(guard);
    }

    void run(const std::function<void(Logic&)>& handler)
    {
        if (!FLogic)
            return;
        if (FGuard)
            FGuard([&] { handler(*FLogic); });
        else
            handler(*FLogic);
    }

    void showEvent(QShowEvent* e) override
    {
        QDialog::showEvent(e);
        // Restoring from the task bar is not a new opening.
        if (!e->spontaneous())
            run([](Logic& l) { l.FormShow(); });
    }

    void hideEvent(QHideEvent* e) override
    {
        QDialog::hideEvent(e);
        if (!e->spontaneous())
            run([](Logic& l) { l.FormHide(); });
    }

    void closeEvent(QCloseEvent* e) override
    {
        // The dialog lives as long as the main window: closing only hides it.
        e->accept();
        hide();
    }

    void keyPressEvent(QKeyEvent* e) override
    {
        // Escape is no way out here: only the close button and the close box
        // hide the dialog, so a run is not ended by a stray key.
        if (e->key() == Qt::Key_Escape) {
            e->ignore();
            return;
        }
        QDialog::keyPressEvent(e);
    }

    Logic* FLogic = nullptr;
    Guard FGuard;
};
