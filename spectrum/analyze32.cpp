// The six exports of libanalyze32.so. The tool loads the library into its
// own process, which already runs a QApplication; the window is made on
// first show, on the thread of that application.
#include "analyze32.h"

#include <QDateTime>

#include <QApplication>
#include <QPointer>
#include <QThread>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <iconv.h>
#include <string>

#include "spectrum_window.h"

#define ANALYZE32_EXPORT __attribute__((visibility("default")))

namespace kd36::spectrum {
namespace {

struct Library {
    SpectrumModel model;
    Titles titles;
    SharedStatus status;
    QPointer<SpectrumWindow> window;

    // Runs when the tool unloads the library: no widget of ours may
    // outlive the code that drives it.
    ~Library()
    {
        if (window && QCoreApplication::instance() && QThread::currentThread() == window->thread())
            delete window.data();
    }
};

Library& lib()
{
    static Library l;
    return l;
}

bool haveWidgets()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

// Widgets may only be touched on the application's thread; a caller on
// another thread waits for the work to be done there. The work is handed
// over under a mutex of ours and the queued call carries nothing, so the
// hand-over is visible to the thread checker (Qt's event queue is not).
class GuiCall : public QObject {
    Q_OBJECT
public:
    void run(std::function<void()> job)
    {
        std::lock_guard one(callerMu_);
        std::unique_lock lk(mu_);
        job_ = std::move(job);
        done_ = false;
        QMetaObject::invokeMethod(this, "runPending", Qt::QueuedConnection);
        cv_.wait(lk, [this] { return done_; });
    }

public slots:
    void runPending()
    {
        std::function<void()> job;
        {
            std::lock_guard g(mu_);
            job = std::move(job_);
        }
        if (job)
            job();
        {
            std::lock_guard g(mu_);
            done_ = true;
        }
        cv_.notify_all();
    }

private:
    std::mutex callerMu_; // one foreign caller at a time
    std::mutex mu_;
    std::condition_variable cv_;
    std::function<void()> job_;
    bool done_ = false;
};

// Made when the tool loads the library, on the application's thread.
GuiCall guiCall;

template <typename F>
void onGuiThread(F&& f)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        f();
        return;
    }
    guiCall.run(std::forward<F>(f));
}

SpectrumWindow* window(bool create)
{
    Library& l = lib();
    if (!l.window && create && haveWidgets())
        l.window = new SpectrumWindow(l.model, l.titles, l.status);
    return l.window.data();
}

// Titles are single-byte strings from the tool, Shift-JIS if not ASCII.
QString decode(const char* text, const QString& fallback)
{
    if (!text)
        return fallback;
    const size_t n = strnlen(text, 256);
    std::string in(text, n);
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        std::string out(n * 3 + 4, '\0');
        char* src = in.data();
        size_t srcLeft = n;
        char* dst = out.data();
        size_t dstLeft = out.size();
        const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        iconv_close(cd);
        if (rc != static_cast<size_t>(-1))
            return QString::fromUtf8(out.data(), static_cast<qsizetype>(out.size() - dstLeft));
    }
    return QString::fromLatin1(in.data(), static_cast<qsizetype>(n));
}

} // namespace
} // namespace kd36::spectrum

using namespace kd36::spectrum;

extern "C" {

ANALYZE32_EXPORT void DLLShow(void)
{
    onGuiThread([] {
        if (SpectrumWindow* w = window(true))
            w->showDisplay();
    });
}

ANALYZE32_EXPORT void DLLHide(void)
{
    onGuiThread([] {
        if (SpectrumWindow* w = window(false))
            w->hideDisplay();
        lib().status.shown = 0;
        lib().status.running = 0;
    });
}

ANALYZE32_EXPORT void DLLTitle(const DisplayTitle* title)
{
    if (!title)
        return;
    Titles t = lib().titles;
    t.valueAxis = decode(title->ValueAxis, t.valueAxis);
    t.channelAxis = decode(title->ChannelAxis, t.channelAxis);
    t.window = decode(title->Window, t.window);
    onGuiThread([t] {
        lib().titles = t;
        if (SpectrumWindow* w = window(false))
            w->titlesChanged();
    });
}

ANALYZE32_EXPORT void DLLControl(const DisplayControl* control)
{
    if (!control)
        return;
    const ControlValues c{control->PeakDecayMvPerSecond, control->RefreshMs, control->PeakHoldSweeps};
    onGuiThread([c] {
        lib().model.setControl(c);
        if (SpectrumWindow* w = window(false))
            w->controlChanged();
    });
}

ANALYZE32_EXPORT void DLLStatus(DisplayStatus* status)
{
    if (!status)
        return;
    const SharedStatus& s = lib().status;
    status->Running = s.running.load(std::memory_order_relaxed);
    status->Sweeps = s.sweeps.load(std::memory_order_relaxed);
    status->PeakHold = s.peakHold.load(std::memory_order_relaxed);
    status->Shown = s.shown.load(std::memory_order_relaxed);
}

ANALYZE32_EXPORT void DLLUpdate(const DisplayData* data)
{
    if (!data || !data->Values || data->Count <= 0)
        return;
    // Copied at once: the caller may change its array after we return.
    std::array<int32_t, kChannels> v{};
    const int n = std::min<int>(data->Count, kChannels);
    std::memcpy(v.data(), data->Values, sizeof(int32_t) * static_cast<size_t>(n));
    const int64_t at = QDateTime::currentMSecsSinceEpoch();
    onGuiThread([v, n, at] {
        lib().model.record(at, v.data(), n);
        lib().model.update(v.data(), n);
        lib().status.sweeps = lib().model.sweeps();
        if (SpectrumWindow* w = window(false))
            w->modelChanged();
    });
}

} // extern "C"

#include "analyze32.moc"
