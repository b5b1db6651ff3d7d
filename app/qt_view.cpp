#include "qt_view.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QtDebug>

#include "../engine/sjis.h"
#include "../dialogs/fit_text.h"
#include "lamp_widget.h"
#include "../dialogs/plain_text.h"

namespace kd36 {

namespace {

// A menu acts through its action in the menu bar.
QAction* actionOf(QObject* o)
{
    if (auto* a = qobject_cast<QAction*>(o))
        return a;
    if (auto* m = qobject_cast<QMenu*>(o))
        return m->menuAction();
    return nullptr;
}

// The tab widget holding `page`, and the page's index in it.
QTabWidget* tabOf(QWidget* page, int& index)
{
    if (!page)
        return nullptr;
    auto* stack = qobject_cast<QStackedWidget*>(page->parentWidget());
    auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    if (!tabs)
        return nullptr;
    index = tabs->indexOf(page);
    return index >= 0 ? tabs : nullptr;
}

// Memos keep the user's place: follow the end only when it was shown.
class ScrollKeeper {
public:
    explicit ScrollKeeper(QScrollBar* bar) : bar_(bar), value_(bar->value()), atEnd_(value_ >= bar->maximum()) {}
    ~ScrollKeeper() { bar_->setValue(atEnd_ ? bar_->maximum() : value_); }

private:
    QScrollBar* bar_;
    int value_;
    bool atEnd_;
};

QString oneLine(const std::string& sjis)
{
    // A line may still hold CR LF pairs: each shows as a line of its own.
    QString s = QtView::toQt(sjis);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

} // namespace

QtView::QtView(QWidget* root) : root_(root)
{
    if (root)
        nameByCaption(root);
}

bool QtView::setCaption(QObject* o, const std::string& sjis)
{
    auto* label = qobject_cast<QLabel*>(o);
    auto* button = label ? nullptr : qobject_cast<QAbstractButton*>(o);
    if (!label && !button)
        return false;
    Shown& last = shown_[o];
    // The control may have been changed behind the view: compare what it shows.
    if (last.sjis == sjis && (label ? label->text() : button->text()) == last.text && !last.text.isNull())
        return true;
    last.sjis = sjis;
    last.text = toQt(sjis);
    if (label)
        setPlainLabelText(label, last.text);
    else
        button->setText(last.text);
    followCaption(static_cast<QWidget*>(o), last.text);
    return true;
}

void QtView::setStatusPanels(const std::array<QLabel*, 4>& panels)
{
    for (size_t i = 0; i < panels.size(); ++i)
        panels_[i] = panels[i];
}

QString QtView::toQt(const std::string& sjis)
{
    return QString::fromStdString(sjisToUtf8(sjis));
}

std::string QtView::fromQt(const QString& text)
{
    return utf8ToSjis(text.toStdString());
}

QString QtView::memoFromSjis(const std::string& sjis)
{
    std::string_view v(sjis);
    // The last line's CR LF ends it; it does not start an empty line.
    if (v.size() >= 2 && v.substr(v.size() - 2) == "\r\n")
        v.remove_suffix(2);
    return oneLine(std::string(v));
}

std::string QtView::memoToSjis(const QString& text)
{
    if (text.isEmpty())
        return {};
    QString s = text;
    s.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    s += QLatin1String("\r\n");
    return fromQt(s);
}

void QtView::complain(std::string_view name, const char* what) const
{
    auto key = std::string(what) + ":" + std::string(name);
    if (warned_.insert(key).second)
        qWarning("QtView: %s: no control '%.*s' of that kind under '%s'", what, int(name.size()), name.data(),
                 root_ ? qPrintable(root_->objectName()) : "(none)");
}

QObject* QtView::find(std::string_view name) const
{
    if (!root_)
        return nullptr;
    auto it = cache_.find(name);
    if (it != cache_.end() && it->second)
        return it->second;
    QObject* o = lookup(name);
    if (!o) {
        complain(name, "find");
        return nullptr;
    }
    cache_[std::string(name)] = o;
    return o;
}

void QtView::setEnabled(std::string_view name, bool on)
{
    QObject* o = find(name);
    if (auto* a = actionOf(o))
        a->setEnabled(on);
    else if (auto* w = qobject_cast<QWidget*>(o))
        w->setEnabled(on);
    else if (o)
        complain(name, "setEnabled");
}

bool QtView::isEnabled(std::string_view name) const
{
    QObject* o = find(name);
    if (auto* a = actionOf(o))
        return a->isEnabled();
    // The control's own setting, as the engine set it, whatever its parents say.
    if (auto* w = qobject_cast<QWidget*>(o))
        return !w->testAttribute(Qt::WA_ForceDisabled);
    return false;
}

void QtView::setVisible(std::string_view name, bool on)
{
    QObject* o = find(name);
    if (auto* a = actionOf(o))
        a->setVisible(on);
    else if (auto* w = qobject_cast<QWidget*>(o))
        w->setVisible(on);
    else if (o)
        complain(name, "setVisible");
}

bool QtView::isVisible(std::string_view name) const
{
    QObject* o = find(name);
    if (auto* a = actionOf(o))
        return a->isVisible();
    auto* w = qobject_cast<QWidget*>(o);
    if (!w)
        return false;
    if (w->isWindow())
        return w->isVisible();
    // Own visibility: shown unless hidden explicitly, whatever the parents.
    return !(w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide));
}

void QtView::setChecked(std::string_view name, bool on)
{
    QObject* o = find(name);
    if (auto* a = actionOf(o)) {
        a->setCheckable(true);
        a->setChecked(on);
    } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        b->setCheckable(true);
        b->setChecked(on);
    } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
        g->setChecked(on);
    } else if (o) {
        complain(name, "setChecked");
    }
}

bool QtView::isChecked(std::string_view name) const
{
    QObject* o = find(name);
    if (auto* a = actionOf(o))
        return a->isChecked();
    if (auto* b = qobject_cast<QAbstractButton*>(o))
        return b->isChecked();
    if (auto* g = qobject_cast<QGroupBox*>(o))
        return g->isChecked();
    return false;
}

std::string QtView::text(std::string_view name) const
{
    QObject* o = find(name);
    if (!o)
        return {};
    if (auto* b = qobject_cast<QAbstractButton*>(o))
        return fromQt(b->text());
    if (auto* e = qobject_cast<QLineEdit*>(o))
        return fromQt(e->text());
    if (auto* c = qobject_cast<QComboBox*>(o))
        return fromQt(c->currentText());
    if (auto* s = qobject_cast<QAbstractSpinBox*>(o))
        return fromQt(s->text());
    if (auto* m = qobject_cast<QPlainTextEdit*>(o))
        return memoToSjis(m->toPlainText());
    if (auto* m = qobject_cast<QTextEdit*>(o))
        return memoToSjis(m->toPlainText());
    if (auto* l = qobject_cast<QLabel*>(o))
        return fromQt(l->text());
    if (auto* g = qobject_cast<QGroupBox*>(o))
        return fromQt(g->title());
    if (auto* p = qobject_cast<QProgressBar*>(o))
        return fromQt(p->text());
    if (auto* menu = qobject_cast<QMenu*>(o))
        return fromQt(menu->title());
    if (auto* a = qobject_cast<QAction*>(o))
        return fromQt(a->text());
    if (auto* w = qobject_cast<QWidget*>(o)) {
        int index = -1;
        if (QTabWidget* tabs = tabOf(w, index))
            return fromQt(tabs->tabText(index));
        if (w->isWindow())
            return fromQt(w->windowTitle());
    }
    complain(name, "text");
    return {};
}

void QtView::setText(std::string_view name, const std::string& sjis)
{
    QObject* o = find(name);
    if (!o || setCaption(o, sjis))
        return;
    const QString t = toQt(sjis);
    if (auto* e = qobject_cast<QLineEdit*>(o)) {
        e->setText(t);
    } else if (auto* c = qobject_cast<QComboBox*>(o)) {
        if (c->isEditable())
            c->setEditText(t);
        else
            c->setCurrentIndex(c->findText(t, Qt::MatchExactly));
    } else if (auto* s = qobject_cast<QSpinBox*>(o)) {
        bool ok = false;
        int v = t.trimmed().toInt(&ok);
        if (ok)
            s->setValue(v);
        else if (auto* line = s->findChild<QLineEdit*>())
            line->setText(t);
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(o)) {
        m->setPlainText(memoFromSjis(sjis));
    } else if (auto* m = qobject_cast<QTextEdit*>(o)) {
        m->setPlainText(memoFromSjis(sjis));
    } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
        g->setTitle(t);
        followCaption(g, t);
    } else if (auto* p = qobject_cast<QProgressBar*>(o)) {
        p->setFormat(t);
    } else if (auto* menu = qobject_cast<QMenu*>(o)) {
        menu->setTitle(t);
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        a->setText(t);
    } else if (auto* w = qobject_cast<QWidget*>(o)) {
        int index = -1;
        if (QTabWidget* tabs = tabOf(w, index))
            tabs->setTabText(index, t);
        else if (w->isWindow()) {
            w->setWindowTitle(t);
            followCaption(w, t);
        } else {
            complain(name, "setText");
        }
    } else {
        complain(name, "setText");
    }
}

int QtView::itemIndex(std::string_view name) const
{
    QObject* o = find(name);
    if (auto* c = qobject_cast<QComboBox*>(o))
        return c->currentIndex();
    if (auto* t = qobject_cast<QTabWidget*>(o))
        return t->currentIndex();
    if (o)
        complain(name, "itemIndex");
    return -1;
}

void QtView::setItemIndex(std::string_view name, int index)
{
    QObject* o = find(name);
    if (auto* c = qobject_cast<QComboBox*>(o))
        c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    else if (auto* t = qobject_cast<QTabWidget*>(o))
        t->setCurrentIndex(index);
    else if (o)
        complain(name, "setItemIndex");
}

int QtView::value(std::string_view name) const
{
    QObject* o = find(name);
    if (auto* s = qobject_cast<QSpinBox*>(o))
        return s->value();
    if (auto* p = qobject_cast<QProgressBar*>(o))
        return p->value();
    if (auto* s = qobject_cast<QAbstractSlider*>(o))
        return s->value();
    if (o)
        complain(name, "value");
    return 0;
}

void QtView::setValue(std::string_view name, int v)
{
    QObject* o = find(name);
    if (auto* s = qobject_cast<QSpinBox*>(o))
        s->setValue(v);
    else if (auto* p = qobject_cast<QProgressBar*>(o))
        p->setValue(v);
    else if (auto* s = qobject_cast<QAbstractSlider*>(o))
        s->setValue(v);
    else if (o)
        complain(name, "setValue");
}

void QtView::setColor(std::string_view name, uint32_t rgb)
{
    QObject* o = find(name);
    const QRgb c = qRgb(int((rgb >> 16) & 0xff), int((rgb >> 8) & 0xff), int(rgb & 0xff));
    if (auto* lamp = qobject_cast<LampWidget*>(o)) {
        lamp->setColor(c);
    } else if (auto* w = qobject_cast<QWidget*>(o)) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::Base, QColor(c));
        pal.setColor(QPalette::Window, QColor(c));
        pal.setColor(QPalette::Button, QColor(c));
        w->setPalette(pal);
        w->setAutoFillBackground(true);
    } else if (o) {
        complain(name, "setColor");
    }
}

void QtView::setHeight(std::string_view name, int h)
{
    auto* w = qobject_cast<QWidget*>(find(name));
    if (!w) {
        complain(name, "setHeight");
        return;
    }
    setHeight(w, h);
}

void QtView::setHeight(QWidget* w, int h)
{
    // Under a layout only a fixed height holds; placed by hand, a resize does.
    if (w->parentWidget() && w->parentWidget()->layout() && w->parentWidget()->layout()->indexOf(w) >= 0)
        w->setFixedHeight(h);
    else
        w->resize(w->width(), h);
}

void QtView::setFocus(std::string_view name)
{
    if (auto* w = qobject_cast<QWidget*>(find(name)))
        w->setFocus(Qt::OtherFocusReason);
}

bool QtView::hasFocus(std::string_view name) const
{
    auto* w = qobject_cast<QWidget*>(find(name));
    if (!w)
        return false;
    while (w->focusProxy())
        w = w->focusProxy();
    // The window's focus widget: right also while the window is inactive.
    return w->window()->focusWidget() == w;
}

void QtView::appendLine(QPlainTextEdit* memo, const std::string& sjisLine)
{
    ScrollKeeper keep(memo->verticalScrollBar());
    memo->appendPlainText(oneLine(sjisLine));
}

void QtView::replaceText(QPlainTextEdit* memo, const std::string& sjisText)
{
    ScrollKeeper keep(memo->verticalScrollBar());
    memo->setPlainText(memoFromSjis(sjisText));
}

void QtView::appendMemoLine(std::string_view name, const std::string& sjisLine)
{
    QObject* o = find(name);
    if (auto* m = qobject_cast<QPlainTextEdit*>(o)) {
        appendLine(m, sjisLine);
    } else if (auto* m = qobject_cast<QTextEdit*>(o)) {
        ScrollKeeper keep(m->verticalScrollBar());
        // QTextEdit::append would read rich text; add a plain block instead.
        QTextCursor cur(m->document());
        cur.movePosition(QTextCursor::End);
        if (!m->document()->isEmpty())
            cur.insertBlock();
        cur.insertText(oneLine(sjisLine));
    } else if (o) {
        complain(name, "appendMemoLine");
    }
}

void QtView::setMemoText(std::string_view name, const std::string& sjisText)
{
    QObject* o = find(name);
    if (auto* m = qobject_cast<QPlainTextEdit*>(o)) {
        replaceText(m, sjisText);
    } else if (auto* m = qobject_cast<QTextEdit*>(o)) {
        ScrollKeeper keep(m->verticalScrollBar());
        m->setPlainText(memoFromSjis(sjisText));
    } else if (o) {
        complain(name, "setMemoText");
    }
}

void QtView::setTabVisible(std::string_view page, bool on)
{
    int index = -1;
    if (QTabWidget* tabs = tabOf(qobject_cast<QWidget*>(find(page)), index))
        tabs->setTabVisible(index, on);
    else
        complain(page, "setTabVisible");
}

bool QtView::isTabVisible(std::string_view page) const
{
    int index = -1;
    if (QTabWidget* tabs = tabOf(qobject_cast<QWidget*>(find(page)), index))
        return tabs->isTabVisible(index);
    complain(page, "isTabVisible");
    return false;
}

std::string QtView::currentPage(std::string_view pageControl) const
{
    auto* tabs = qobject_cast<QTabWidget*>(find(pageControl));
    if (!tabs) {
        complain(pageControl, "currentPage");
        return {};
    }
    QWidget* page = tabs->currentWidget();
    if (page != pageSeen_ || !page) {
        pageSeen_ = page;
        pageName_ = page ? page->objectName().toStdString() : std::string();
    }
    return pageName_;
}

void QtView::setStatusText(int panel, const std::string& sjis)
{
    if (panel < 0 || panel > 3 || !panels_[size_t(panel)]) {
        complain("StatusBar", "setStatusText");
        return;
    }
    QLabel* label = panels_[size_t(panel)];
    setCaption(label, sjis);
    fitToWidth(label);
}

void QtView::setStatusHint(int panel, const std::string& sjis)
{
    if (panel < 0 || panel > 3 || !panels_[size_t(panel)]) {
        complain("StatusBar", "setStatusHint");
        return;
    }
    // A tooltip guesses whether it holds markup; escaped inside a paragraph
    // it is always markup and shows the text as written.
    const QString tip = sjis.empty() ? QString() : "<p style='white-space:pre'>" + toQt(sjis).toHtmlEscaped() + "</p>";
    panels_[size_t(panel)]->setToolTip(tip);
}

std::string QtView::statusText(int panel) const
{
    if (panel < 0 || panel > 3 || !panels_[size_t(panel)]) {
        complain("StatusBar", "statusText");
        return {};
    }
    return fromQt(panels_[size_t(panel)]->text());
}

const char* QtView::timerName(TimerId id)
{
    switch (id) {
    case TimerId::RxWait:
        return "timRxWait";
    case TimerId::IntervalTx:
        return "timIntervalTx";
    case TimerId::WaitTime:
        return "timWaitTime";
    case TimerId::RangeTick:
        return "timRangeTick";
    }
    return "";
}

QTimer* QtView::timer(TimerId id) const
{
    return qobject_cast<QTimer*>(find(timerName(id)));
}

void QtView::startTimer(TimerId id, int intervalMs)
{
    if (QTimer* t = timer(id))
        t->start(intervalMs > 0 ? intervalMs : t->interval());
}

void QtView::stopTimer(TimerId id)
{
    if (QTimer* t = timer(id))
        t->stop();
}

bool QtView::timerActive(TimerId id) const
{
    QTimer* t = timer(id);
    return t && t->isActive();
}

int QtView::timerInterval(TimerId id) const
{
    QTimer* t = timer(id);
    return t ? t->interval() : 0;
}

void QtView::showForm()
{
    if (!root_)
        return;
    root_->show();
    root_->raise();
    root_->activateWindow();
}

void QtView::hideForm()
{
    if (root_)
        root_->hide();
}

bool QtView::formShown() const
{
    return root_ && root_->isVisible();
}

void QtView::repaintNow()
{
    if (root_)
        root_->repaint();
}

} // namespace kd36
