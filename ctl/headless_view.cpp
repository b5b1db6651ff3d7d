#include "ctl/headless_view.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <climits>

#include "engine/sjis.h"

namespace kd36 {

namespace {

int toInt(const std::string& s, bool* ok)
{
    try {
        size_t used = 0;
        const long v = std::stol(s, &used, 10);
        *ok = used == s.size() && v >= INT_MIN && v <= INT_MAX;
        return int(v);
    } catch (const std::exception&) {
        *ok = false;
        return 0;
    }
}

bool isSpin(const HeadlessView::Control& c) { return c.kind == "QSpinBox"; }
bool isCombo(const HeadlessView::Control& c) { return c.kind == "QComboBox"; }

// Reads a layout into the view's tables: every widget and action with the
// properties the engine can see.
class LayoutReader {
public:
    using Control = HeadlessView::Control;
    LayoutReader(std::string& root, std::map<std::string, Control, std::less<>>& controls,
                 std::map<std::string, std::vector<std::string>, std::less<>>& pagesOf,
                 std::map<std::string, int, std::less<>>& currentIndex)
        : root_(root), controls_(controls), pagesOf_(pagesOf), currentIndex_(currentIndex)
    {
    }

    void read(const std::string& uiXml)
    {
        QXmlStreamReader xml(QByteArray::fromStdString(uiXml));
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement())
                start(xml);
            else if (xml.isEndElement())
                end(xml);
        }
        if (xml.hasError() || root_.empty())
            throw std::invalid_argument("window layout unreadable: " + xml.errorString().toStdString());
    }

private:
    void start(QXmlStreamReader& xml)
    {
        const std::string el = xml.name().toString().toStdString();
        const std::string parentEl = elements.empty() ? std::string() : elements.back();
        elements.push_back(el);
        const auto attr = [&](const char* a) { return xml.attributes().value(QLatin1String(a)).toString().toStdString(); };
        if (el == "widget" || el == "action") {
            const std::string name = attr("name");
            Control ctl;
            ctl.kind = el == "action" ? "QAction" : attr("class");
            if (ctl.kind == "QProgressBar")
                ctl.maximum = 100;
            if (!owners.empty() && controls_.count(owners.back()) && controls_[owners.back()].kind == "QTabWidget"
                && el == "widget")
                pagesOf_[owners.back()].push_back(name);
            if (root_.empty())
                root_ = name;
            controls_[name] = ctl;
            owners.push_back(name);
        } else if (el == "property" || el == "attribute") {
            property = (parentEl == "widget" || parentEl == "action" || comboItem) ? attr("name") : std::string();
        } else if (el == "item") {
            comboItem = parentEl == "widget" && !owners.empty() && isCombo(controls_[owners.back()]);
        } else if ((el == "string" || el == "bool" || el == "number") && !property.empty() && !owners.empty()) {
            const std::string v = xml.readElementText().toStdString();
            elements.pop_back();
            take(v);
        }
    }

    // A property value for the innermost widget or action.
    void take(const std::string& v)
    {
        const std::string& owner = owners.back();
        Control& ctl = controls_[owner];
        bool ok = false;
        if (comboItem) {
            if (property == "text")
                ctl.items.push_back(utf8ToSjis(v));
        } else if (property == "text" || property == "title" || property == "windowTitle"
                   || property == "plainText") {
            // A page's "title" attribute is its tab text.
            ctl.text = utf8ToSjis(v);
        } else if (property == "checked") {
            ctl.checked = v == "true";
        } else if (property == "enabled") {
            ctl.enabled = v == "true";
        } else if (property == "visible") {
            ctl.visible = v == "true";
        } else if (property == "editable") {
            editable[owner] = v == "true";
        } else if (property == "value") {
            ctl.value = toInt(v, &ok);
        } else if (property == "minimum") {
            ctl.minimum = toInt(v, &ok);
        } else if (property == "maximum") {
            ctl.maximum = toInt(v, &ok);
        } else if (property == "currentIndex") {
            const int i = toInt(v, &ok);
            if (ctl.kind == "QTabWidget")
                currentIndex_[owner] = i;
            else
                ctl.index = i;
        }
    }

    void end(QXmlStreamReader& xml)
    {
        const std::string el = xml.name().toString().toStdString();
        if (!elements.empty())
            elements.pop_back();
        if (el == "widget" || el == "action") {
            Control& ctl = controls_[owners.back()];
            // As a fresh control settles: a list picks its first item, a
            // spin box its value within range.
            if (isCombo(ctl) && ctl.index < 0 && !ctl.items.empty() && !editable[owners.back()])
                ctl.index = 0;
            if (isSpin(ctl)) {
                ctl.value = std::clamp(ctl.value, ctl.minimum, ctl.maximum);
                ctl.text = std::to_string(ctl.value);
            }
            owners.pop_back();
        } else if (el == "property" || el == "attribute") {
            property.clear();
        } else if (el == "item") {
            comboItem = false;
        }
    }

    std::string& root_;
    std::map<std::string, Control, std::less<>>& controls_;
    std::map<std::string, std::vector<std::string>, std::less<>>& pagesOf_;
    std::map<std::string, int, std::less<>>& currentIndex_;
    std::vector<std::string> owners; // widget/action names, innermost last
    std::vector<std::string> elements;
    std::map<std::string, bool> editable;
    std::string property;
    bool comboItem = false;
};

} // namespace

HeadlessView::HeadlessView(const std::string& uiXml, std::map<TimerId, int> timers)
    : timers_(std::move(timers))
{
    LayoutReader{root_, controls_, pagesOf_, currentIndex_}.read(uiXml);
}

void HeadlessView::refuse(std::string_view what, std::string_view n) const
{
    throw std::invalid_argument(root_ + ": no " + std::string(what) + " '" + std::string(n) + "'");
}

HeadlessView::Control& HeadlessView::c(std::string_view n)
{
    auto it = controls_.find(n);
    if (it == controls_.end())
        refuse("control", n);
    return it->second;
}

const HeadlessView::Control& HeadlessView::get(std::string_view n) const
{
    auto it = controls_.find(n);
    if (it == controls_.end())
        refuse("control", n);
    return it->second;
}

std::string HeadlessView::text(std::string_view n) const
{
    const Control& ctl = get(n);
    if (isCombo(ctl) && ctl.index >= 0 && size_t(ctl.index) < ctl.items.size())
        return ctl.items[size_t(ctl.index)];
    return ctl.text;
}

void HeadlessView::setText(std::string_view n, const std::string& sjis)
{
    Control& ctl = c(n);
    ++ctl.writes;
    if (isCombo(ctl) && !ctl.items.empty()) {
        // A selection-only list takes a text only as one of its items.
        auto it = std::find(ctl.items.begin(), ctl.items.end(), sjis);
        ctl.index = it == ctl.items.end() ? -1 : int(it - ctl.items.begin());
        return;
    }
    if (isSpin(ctl)) {
        bool ok = false;
        const int v = toInt(sjis, &ok);
        if (ok) {
            ctl.value = std::clamp(v, ctl.minimum, ctl.maximum);
            ctl.text = std::to_string(ctl.value);
        } else {
            ctl.text = sjis;
        }
        return;
    }
    ctl.text = sjis;
}

int HeadlessView::itemIndex(std::string_view n) const
{
    auto p = pagesOf_.find(n);
    if (p != pagesOf_.end()) {
        auto i = currentIndex_.find(n);
        return i == currentIndex_.end() ? 0 : i->second;
    }
    return get(n).index;
}

void HeadlessView::setItemIndex(std::string_view n, int index)
{
    if (pagesOf_.count(n)) {
        currentIndex_[std::string(n)] = index;
        return;
    }
    Control& ctl = c(n);
    ++ctl.writes;
    ctl.index = index >= 0 && size_t(index) < ctl.items.size() ? index : -1;
}

int HeadlessView::value(std::string_view n) const
{
    const Control& ctl = get(n);
    if (isSpin(ctl)) {
        bool ok = false;
        const int v = toInt(ctl.text, &ok);
        return ok ? v : ctl.value;
    }
    return ctl.value;
}

void HeadlessView::setValue(std::string_view n, int v)
{
    Control& ctl = c(n);
    ++ctl.writes;
    ctl.value = std::clamp(v, ctl.minimum, ctl.maximum);
    if (isSpin(ctl))
        ctl.text = std::to_string(ctl.value);
}

void HeadlessView::appendMemoLine(std::string_view n, const std::string& line)
{
    Control& ctl = c(n);
    ++ctl.writes;
    ctl.text += line + "\r\n";
}

void HeadlessView::setMemoText(std::string_view n, const std::string& text)
{
    Control& ctl = c(n);
    ++ctl.writes;
    ctl.text = text;
}

void HeadlessView::setTabVisible(std::string_view page, bool on)
{
    c(page);
    if (on)
        hiddenTabs_.erase(std::string(page));
    else
        hiddenTabs_.insert(std::string(page));
}

bool HeadlessView::isTabVisible(std::string_view page) const
{
    get(page);
    return hiddenTabs_.count(page) == 0;
}

std::string HeadlessView::currentPage(std::string_view pageControl) const
{
    auto p = pagesOf_.find(pageControl);
    if (p == pagesOf_.end())
        refuse("page control", pageControl);
    const int i = itemIndex(pageControl);
    return i >= 0 && size_t(i) < p->second.size() ? p->second[size_t(i)] : std::string();
}

void HeadlessView::showForm()
{
    const bool was = shown_;
    shown_ = true;
    if (!was && onShow)
        onShow();
}

void HeadlessView::hideForm()
{
    const bool was = shown_;
    shown_ = false;
    if (was && onHide)
        onHide();
}

void HeadlessView::setItems(std::string_view n, std::vector<std::string> items, int index)
{
    Control& ctl = c(n);
    ctl.items = std::move(items);
    ctl.index = index;
}

} // namespace kd36
