#pragma once

#include <QRect>
#include <QSize>

// Where a window saved at `saved` opens on a screen whose free area is `available`: no larger than
// that area (nor smaller than `minimum`), and moved so that the whole of it is on the screen, so that
// a window closed on a screen that is gone, or on a larger one, can still be reached.
QRect PlaceWithin(const QRect& saved, const QRect& available, const QSize& minimum = QSize());
