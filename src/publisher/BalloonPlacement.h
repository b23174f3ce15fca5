#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where the news balloon goes: its pointer touches the anchor point and its body opens below-left of
// it, or, when that does not fit the screen, below-right, above-left or above-right, in that order.

enum class BalloonSide { BelowLeft, BelowRight, AboveLeft, AboveRight };
bool BalloonOpensBelow(BalloonSide side);

// The shape's measures, in pixels.
inline constexpr int BalloonStemHeight = 12; // from the body's edge to the pointer's tip
inline constexpr int BalloonStemInset = 24;  // from the body's side to the pointer's tip
inline constexpr int BalloonShadowDepth = 4;

// The pointer's tip inside a balloon window of `size` (shadow included) opening to `side`.
QPoint BalloonTip(BalloonSide side, const QSize& size);
// The window's frame on the screen when its tip touches `anchor`.
QRect BalloonFrame(BalloonSide side, const QPoint& anchor, const QSize& size);

struct BalloonPlacement {
    BalloonSide Side = BalloonSide::BelowLeft;
    QRect Frame;
};
// The first side whose frame lies inside `available`. When none does, the balloon opens below-left
// and is pushed inside the available area as far as it goes, so that its text can still be read.
BalloonPlacement PlaceBalloon(const QPoint& anchor, const QSize& size, const QRect& available);
