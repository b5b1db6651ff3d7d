#include "qt_boxes.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QThread>

namespace kd36 {

QtBoxes::QtBoxes(QWidget* window) : window_(window) {}

void QtBoxes::warning(const std::string& text, const std::string& detail, const std::string& title)
{
    show(Kind::Warning, QString::fromStdString(text), QString::fromStdString(detail), QString::fromStdString(title),
         true);
}

void QtBoxes::information(const std::string& text, const std::string& detail)
{
    show(Kind::Information, QString::fromStdString(text), QString::fromStdString(detail), {}, false);
}

bool QtBoxes::question(const std::string& text, bool warningIcon)
{
    return show(Kind::Question, QString::fromStdString(text), {}, {}, warningIcon);
}

void QtBoxes::beep()
{
    if (QThread::currentThread() == thread())
        QApplication::beep();
    else
        QMetaObject::invokeMethod(this, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

bool QtBoxes::show(Kind kind, const QString& text, const QString& detail, const QString& title, bool warningIcon)
{
    if (QThread::currentThread() == thread())
        return showHere(kind, text, detail, title, warningIcon);
    // Widgets live on the user-interface thread only; the caller waits.
    bool answer = false;
    QMetaObject::invokeMethod(
        this, [&] { answer = showHere(kind, text, detail, title, warningIcon); }, Qt::BlockingQueuedConnection);
    return answer;
}

bool QtBoxes::showHere(Kind kind, const QString& text, const QString& detail, const QString& title,
                       bool warningIcon)
{
    QMessageBox box(window_);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(!title.isEmpty() ? title
                       : window_       ? window_->windowTitle()
                                       : QApplication::applicationDisplayName());
    // Texts can carry what came from outside (file contents, device names):
    // shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    if (!detail.isEmpty()) {
        box.setInformativeText(detail);
        if (auto* info = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
            info->setTextFormat(Qt::PlainText);
    }
    switch (kind) {
    case Kind::Warning:
        box.setIcon(QMessageBox::Warning);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Kind::Information:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Kind::Question:
        box.setIcon(warningIcon ? QMessageBox::Warning : QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    }
    ++open_;
    if (onShow)
        onShow(&box);
    const int result = box.exec();
    --open_;
    return result == QMessageBox::Yes;
}

} // namespace kd36
