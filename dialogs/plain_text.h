#pragma once
// Text that comes from outside (the serial line, packets, the settings file)
// is data. Qt labels and message boxes guess rich text from a leading tag,
// which would let a received line load local files or freeze the window;
// every such text goes through these helpers instead.
#include <QString>

class QLabel;
class QMessageBox;

namespace kd36 {

// The label shows `text` character for character.
void setPlainLabelText(QLabel* label, const QString& text);
// The box's text and informative text show character for character.
void makePlainText(QMessageBox& box);

} // namespace kd36
