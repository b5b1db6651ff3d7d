#include "qt_boxes.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QThread>

#include <memory>

#include "../dialogs/plain_text.h"

namespace kd36 {

QtBoxes::QtBoxes(QWidget* window) : window_(window) {}

namespace {

// The engine's and the port's box texts come as written (UTF-8) and are
// translated here, where they are shown; details are data and stay as given.
QString boxText(const std::string& text)
{
    return text.empty() ? QString() : QCoreApplication::translate("QtBoxes", text.c_str());
}

} // namespace

void QtBoxes::warning(const std::string& text, const std::string& detail, const std::string& title)
{
    show(Kind::Warning, boxText(text), QString::fromStdString(detail), boxText(title), true);
}

void QtBoxes::information(const std::string& text, const std::string& detail)
{
    show(Kind::Information, boxText(text), QString::fromStdString(detail), {}, false);
}

bool QtBoxes::question(const std::string& text, bool warningIcon)
{
    return show(Kind::Question, boxText(text), {}, {}, warningIcon);
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
    // Widgets live on the user-interface thread only; the caller waits
    // until the box is answered or the waits are cancelled. The request goes
    // under the mutex and the queued call carries nothing, so the hand-over
    // is one a race detector can follow.
    auto pending = std::make_shared<Pending>();
    {
        std::lock_guard lock(waitMutex_);
        if (cancelled_)
            return false;
        requests_.push_back({kind, text, detail, title, warningIcon, pending});
    }
    QMetaObject::invokeMethod(this, "showRequested", Qt::QueuedConnection);
    std::unique_lock lock(waitMutex_);
    answered_.wait(lock, [&] { return pending->done || cancelled_; });
    return pending->answer;
}

void QtBoxes::showRequested()
{
    Request r;
    {
        std::lock_guard lock(waitMutex_);
        if (requests_.empty())
            return;
        r = std::move(requests_.front());
        requests_.pop_front();
    }
    const bool answer = !cancelled_ && showHere(r.kind, r.text, r.detail, r.title, r.warningIcon);
    {
        std::lock_guard lock(waitMutex_);
        r.pending->answer = answer;
        r.pending->done = true;
    }
    answered_.notify_all();
}

void QtBoxes::cancelWaits()
{
    {
        std::lock_guard lock(waitMutex_);
        cancelled_ = true;
    }
    answered_.notify_all();
}

bool QtBoxes::showHere(Kind kind, const QString& text, const QString& detail, const QString& title,
                       bool warningIcon)
{
    QMessageBox box(window_);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(!title.isEmpty() ? title
                       : window_       ? window_->windowTitle()
                                       : QApplication::applicationDisplayName());
    box.setText(text);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    makePlainText(box);
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
