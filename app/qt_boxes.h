#pragma once
// Message boxes on QMessageBox: application-modal, titled with the main
// window's current caption. A box asked for on another thread is shown on
// the user-interface thread while the asking thread waits.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <functional>

#include "../serial/message_boxes.h"

namespace kd36 {

class QtBoxes : public QObject, public MessageBoxes {
    Q_OBJECT
public:
    // `window` gives the title (its caption at the time of each box) and
    // the parent. Create this object on the user-interface thread.
    explicit QtBoxes(QWidget* window);

    void warning(const std::string& text, const std::string& detail = {}, const std::string& title = {}) override;
    void information(const std::string& text, const std::string& detail = {}) override;
    bool question(const std::string& text, bool warningIcon) override;
    void beep() override;

    // From now on a box asked for on another thread is not shown, and a
    // thread waiting on one goes on (answer No). For shutting down.
    void cancelWaits();

    // Boxes open right now (the idle loop pauses meanwhile).
    int openCount() const { return open_.load(); }

    // Called with each box just before it is shown (tests answer it here).
    std::function<void(QWidget* box)> onShow;

private:
    enum class Kind { Warning, Information, Question };
    struct Pending {
        bool done = false;
        bool answer = false;
    };
    struct Request {
        Kind kind = Kind::Warning;
        QString text, detail, title;
        bool warningIcon = false;
        std::shared_ptr<Pending> pending;
    };
    // Shows the oldest box asked for on another thread.
    Q_INVOKABLE void showRequested();
    bool show(Kind kind, const QString& text, const QString& detail, const QString& title, bool warningIcon);
    bool showHere(Kind kind, const QString& text, const QString& detail, const QString& title, bool warningIcon);

    QPointer<QWidget> window_;
    std::atomic<int> open_{0};
    std::mutex waitMutex_;
    std::condition_variable answered_;
    std::deque<Request> requests_; // under waitMutex_
    std::atomic<bool> cancelled_{false};
};

} // namespace kd36
