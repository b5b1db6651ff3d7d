#pragma once
// The spectrum display's palette, shared with the range test's chart so
// the two read as one family.
#include <QColor>

namespace kd36::display {

inline const QColor kBackground(0x0e, 0x15, 0x22);
inline const QColor kPlotFill(0x13, 0x1d, 0x2d);
inline const QColor kGridMajor(0x2c, 0x3d, 0x55);
inline const QColor kGridMinor(0x1c, 0x29, 0x3b);
inline const QColor kAxisText(0xc8, 0xd3, 0xe2);

} // namespace kd36::display
