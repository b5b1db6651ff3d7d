#pragma once
// The main window's view: what the engine still reaches by name through
// QtView, and the parts it hands over as values, shown through the
// generated ui members.
#include "../engine/line_state.h"
#include "../engine/window_state.h"
#include "qt_view.h"

namespace Ui {
class TMainForm;
}

namespace kd36 {

class MainWindowView : public QtView {
public:
    MainWindowView(QWidget* root, Ui::TMainForm& ui);
    void showLine(const LineShown& line) override;
    void showWindow(const WindowShown& w) override;
    void showInputs(const WindowInputs& in) override;
    void focusCommandLine() override;
    void monitorLine(Monitor which, const std::string& sjisLine) override;
    void monitorText(Monitor which, const std::string& sjisText) override;

private:
    QPlainTextEdit* memo(Monitor which) const;

    Ui::TMainForm& ui_;
    LineShown line_;
    bool lineShown_ = false;
    WindowShown window_;
    bool windowShown_ = false;
};

} // namespace kd36
