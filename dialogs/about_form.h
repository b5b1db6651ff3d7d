#pragma once
// The version dialog, with the hidden Shift-double-click switch of the
// extended mode on the model name.
#include <QDialog>
#include <QString>
#include <memory>

#include "serial/message_boxes.h"

namespace Ui {
class TAboutForm;
}

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    // `extension` is the flag (0 off, 1 on) the dialog shows and switches;
    // each switch is also told through extensionChanged.
    TAboutForm(QWidget* parent, const QString& homeUrl, int& extension, kd36::MessageBoxes& boxes);
    ~TAboutForm() override;

    static const QString& versionText(int extension);

signals:
    void extensionChanged(int extension);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void lblTypeMouseDown(Qt::KeyboardModifiers modifiers, qint64 timestamp);
    void lblTypeDblClick();
    void lblUrlClick();

    std::unique_ptr<Ui::TAboutForm> ui;
    int& FExtension;
    kd36::MessageBoxes& FBoxes;
    bool FShiftHeld = false;
    // Qt widgets get the double click in place of its second press. Should
    // that press come first all the same (same time stamp), the Shift state
    // of the press before it is the one that counts.
    bool FShiftHeldBefore = false;
    qint64 FLastPressTime = -1;
};
