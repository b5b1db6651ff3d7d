#pragma once
// View over a tree of Qt widgets: controls are found by object name under
// the root window (widgets, menu actions, menus, timers). Texts cross in
// Shift-JIS and are converted here, at the widget boundary.
#include <QPointer>
#include <QString>

#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "../engine/view.h"

class QLabel;
class QPlainTextEdit;
class QTimer;
class QObject;
class QWidget;

namespace kd36 {

class QtView : public View {
public:
    // A captioned control under `root` with a fixed accessible name gets its
    // caption as name, now and whenever the view changes the caption, so
    // that assistive tools read what the screen shows.
    explicit QtView(QWidget* root);

    // Status panels 0..3 (labels inside the status bar).
    void setStatusPanels(const std::array<QLabel*, 4>& panels);

    void setEnabled(std::string_view name, bool on) override;
    bool isEnabled(std::string_view name) const override;
    void setVisible(std::string_view name, bool on) override;
    bool isVisible(std::string_view name) const override;
    void setChecked(std::string_view name, bool on) override;
    bool isChecked(std::string_view name) const override;
    std::string text(std::string_view name) const override;
    void setText(std::string_view name, const std::string& sjis) override;
    int itemIndex(std::string_view name) const override;
    void setItemIndex(std::string_view name, int index) override;
    int value(std::string_view name) const override;
    void setValue(std::string_view name, int v) override;
    void setColor(std::string_view name, uint32_t rgb) override;
    void setHeight(std::string_view name, int h) override;
    void setFocus(std::string_view name) override;
    bool hasFocus(std::string_view name) const override;
    void appendMemoLine(std::string_view name, const std::string& sjisLine) override;
    void setMemoText(std::string_view name, const std::string& sjisText) override;
    void setTabVisible(std::string_view page, bool on) override;
    bool isTabVisible(std::string_view page) const override;
    std::string currentPage(std::string_view pageControl) const override;
    void setStatusText(int panel, const std::string& sjis) override;
    std::string statusText(int panel) const override;
    void setStatusHint(int panel, const std::string& sjis) override;
    // Only the main window has log memos (MainWindowView).
    void monitorLine(Monitor, const std::string&) override {}
    void monitorText(Monitor, const std::string&) override {}
    void startTimer(TimerId id, int intervalMs) override;
    void stopTimer(TimerId id) override;
    bool timerActive(TimerId id) const override;
    int timerInterval(TimerId id) const override;
    // The window's QTimer of `id`, found by its object name; nullptr when
    // the window has none.
    QTimer* timer(TimerId id) const;
    void showForm() override;
    void hideForm() override;
    bool formShown() const override;
    void repaintNow() override;

    QWidget* root() const { return root_; }
    // The object called `name`, or nullptr (with a warning, once per name).
    QObject* find(std::string_view name) const;
    template <class T>
    T* find(std::string_view name) const { return qobject_cast<T*>(find(name)); }

    // Text conversions at the boundary.
    static QString toQt(const std::string& sjis);
    static std::string fromQt(const QString& text);
    // Memo text (lines ending in CR LF) to the memo's own form and back.
    static QString memoFromSjis(const std::string& sjis);
    static std::string memoToSjis(const QString& text);

    // Fixed accessible names of labels, buttons, group boxes and the window
    // made equal to their captions (see the constructor).
    static void nameByCaption(QWidget* root);

    // Of `names`, those no object under the root carries (checked at
    // start-up against the names the engine addresses; says nothing).
    std::vector<std::string> missingNames(const std::vector<std::string>& names) const;

protected:
    // Sets a label's or button's text unless it already shows `sjis`.
    bool setCaption(QObject* o, const std::string& sjis);
    // A memo's new last line, or its whole text; the view stays at the end
    // when it was there, else where the user scrolled to.
    static void appendLine(QPlainTextEdit* memo, const std::string& sjisLine);
    static void replaceText(QPlainTextEdit* memo, const std::string& sjisText);
    static void setHeight(QWidget* w, int h);

private:
    static const char* timerName(TimerId id);
    // A control with a fixed accessible name keeps it equal to its caption.
    static void followCaption(QWidget* w, const QString& caption);
    QObject* lookup(std::string_view name) const;
    void complain(std::string_view name, const char* what) const;

    // Last caption set per control: the engine sets the lamp captions on
    // every pass, and an unchanged one costs no conversion.
    struct Shown {
        std::string sjis;
        QString text;
    };

    QPointer<QWidget> root_;
    std::array<QPointer<QLabel>, 4> panels_{};
    mutable std::map<std::string, QPointer<QObject>, std::less<>> cache_;
    mutable std::set<std::string, std::less<>> warned_;
    std::map<const QObject*, Shown> shown_;
    mutable QPointer<QWidget> pageSeen_; // currentPage's last answer, asked every pass
    mutable std::string pageName_;
};

} // namespace kd36
