#include "app/popupplacement.h"

#include <algorithm>

namespace {
// The start of a span of `length` beside `at` on a line [low, high]: after it with the gap where
// it fits, else before it, else as far towards the end as the line allows.
int besides(int at, int length, int low, int high)
{
    const int after = at + PopupPlacement::Gap;
    if (after + length - 1 <= high)
        return after;
    const int before = at - PopupPlacement::Gap - length + 1;
    if (before >= low)
        return before;
    return std::max(low, high - length + 1);
}
}

QRect PopupPlacement::place(const QSize& size, const QRect& screen, const QPoint& pointer, bool pointerKnown)
{
    const QSize fitted = size.boundedTo(screen.size());
    if (!pointerKnown || !screen.contains(pointer)) {
        QRect centred(QPoint(), fitted);
        centred.moveCenter(screen.center());
        return centred;
    }
    const int x = besides(pointer.x(), fitted.width(), screen.left(), screen.right());
    const int y = besides(pointer.y(), fitted.height(), screen.top(), screen.bottom());
    return QRect(QPoint(x, y), fitted);
}
