// QtView's side of names: accessible names that follow the captions, and
// controls found by object name.
#include "qt_view.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

namespace kd36 {

namespace {

// The caption as a screen reader should say it: without mnemonic marks.
QString spoken(QString caption)
{
    caption.replace(QLatin1String("&&"), QLatin1String("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return caption;
}

QString captionOf(QWidget* w)
{
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->pixmap().isNull() ? l->text() : QString();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text(); // an arrow or icon without text keeps its name
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    return w->isWindow() ? w->windowTitle() : QString();
}

} // namespace

void QtView::followCaption(QWidget* w, const QString& caption)
{
    if (!w->accessibleName().isEmpty() && !caption.isEmpty())
        w->setAccessibleName(spoken(caption));
}

void QtView::nameByCaption(QWidget* root)
{
    followCaption(root, captionOf(root));
    for (QWidget* w : root->findChildren<QWidget*>())
        if (!w->isWindow())
            followCaption(w, captionOf(w));
}

QObject* QtView::lookup(std::string_view name) const
{
    if (!root_)
        return nullptr;
    const QString qname = QString::fromUtf8(name.data(), qsizetype(name.size()));
    return root_->objectName() == qname ? root_.data() : root_->findChild<QObject*>(qname);
}

} // namespace kd36
