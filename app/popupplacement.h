// Where the pop-up look-up opens: beside the pointer, below and to the right of it, turned to the
// other side of the pointer where it would leave the screen, and never outside the screen's free
// area. Where the pointer's place is not known (a Wayland session tells a program the pointer only
// over its own windows) the pop-up opens in the middle of the screen.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace PopupPlacement {

// Space between the pointer and the pop-up, so that the pointer does not cover its first line.
constexpr int Gap = 12;

// The pop-up's rectangle for a window of `size` on a screen whose free area is `screen`, the
// pointer at `pointer` when `pointerKnown`. A window larger than the screen is cut to it.
QRect place(const QSize& size, const QRect& screen, const QPoint& pointer, bool pointerKnown);
}
