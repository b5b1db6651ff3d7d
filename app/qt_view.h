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

    // The window's own controls by object name (the engine addresses none).
    void setEnabled(std::string_view name, bool on);
    bool isEnabled(std::string_view name) const;
    void setVisible(std::string_view name, bool on);
    bool isVisible(std::string_view name) const;
    void setChecked(std::string_view name, bool on);
    bool isChecked(std::string_view name) const;
    std::string text(std::string_view name) const;
    void setText(std::string_view name, const std::string& sjis);
    int itemIndex(std::string_view name) const;
    void setItemIndex(std::string_view name, int index);
    int value(std::string_view name) const;
    void setValue(std::string_view name, int v);
    void setColor(std::string_view name, uint32_t rgb);
    void setHeight(std::string_view name, int h);
    void setFocus(std::string_view name);
    bool hasFocus(std::string_view name) const;
    void appendMemoLine(std::string_view name, const std::string& sjisLine);
    void setMemoText(std::string_view name, const std::string& sjisText);
    void setTabVisible(std::string_view page, bool on);
    bool isTabVisible(std::string_view page) const;
    std::string currentPage(std::string_view pageControl) const;
    void setStatusText(int panel, const std::string& sjis);
    std::string statusText(int panel) const;
    void setStatusHint(int panel, const std::string& sjis);
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
