#pragma once
// A label of fixed width whose text may be wider in the user's font than in
// the design's: its design font, made smaller until the text fits.
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QVariant>

namespace kd36 {

inline void fitToWidth(QLabel* label)
{
    static const char* const kDesign = "kd36DesignFont";
    QVariant design = label->property(kDesign);
    if (!design.isValid()) {
        design = label->font();
        label->setProperty(kDesign, design);
    }
    QFont f = design.value<QFont>();
    const int room = label->contentsRect().width() - 2 * label->margin();
    int px = QFontInfo(f).pixelSize();
    constexpr int kSmallest = 8; // still readable
    while (px > kSmallest && QFontMetrics(f).horizontalAdvance(label->text()) > room)
        f.setPixelSize(--px);
    if (f != label->font())
        label->setFont(f);
}

} // namespace kd36
