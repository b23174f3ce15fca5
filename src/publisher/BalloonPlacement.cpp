#include "publisher/BalloonPlacement.h"

#include <algorithm>

bool BalloonOpensBelow(BalloonSide side)
{
    return side == BalloonSide::BelowLeft || side == BalloonSide::BelowRight;
}

namespace {

bool opensLeft(BalloonSide side)
{
    return side == BalloonSide::BelowLeft || side == BalloonSide::AboveLeft;
}

} // namespace

QPoint BalloonTip(BalloonSide side, const QSize& size)
{
    // The shadow lies to the right of and below the shape, so the shape ends that much earlier.
    const int shapeRight = size.width() - BalloonShadowDepth;
    const int shapeBottom = size.height() - BalloonShadowDepth;
    return {opensLeft(side) ? shapeRight - BalloonStemInset : BalloonStemInset,
            BalloonOpensBelow(side) ? 0 : shapeBottom};
}

QRect BalloonFrame(BalloonSide side, const QPoint& anchor, const QSize& size)
{
    return {anchor - BalloonTip(side, size), size};
}

BalloonPlacement PlaceBalloon(const QPoint& anchor, const QSize& size, const QRect& available)
{
    for (const BalloonSide side :
         {BalloonSide::BelowLeft, BalloonSide::BelowRight, BalloonSide::AboveLeft, BalloonSide::AboveRight}) {
        const QRect frame = BalloonFrame(side, anchor, size);
        if (available.contains(frame))
            return {side, frame};
    }
    QRect frame = BalloonFrame(BalloonSide::BelowLeft, anchor, size);
    frame.moveLeft(std::max(available.left(), std::min(frame.left(), available.right() + 1 - frame.width())));
    frame.moveTop(std::max(available.top(), std::min(frame.top(), available.bottom() + 1 - frame.height())));
    return {BalloonSide::BelowLeft, frame};
}
