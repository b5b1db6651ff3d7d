#include "plain_text.h"

#include <QLabel>
#include <QMessageBox>

namespace kd36 {

void setPlainLabelText(QLabel* label, const QString& text)
{
    if (!label)
        return;
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
}

void makePlainText(QMessageBox& box)
{
    box.setTextFormat(Qt::PlainText);
    // The informative text has a label of its own that Qt leaves on auto.
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
}

} // namespace kd36
