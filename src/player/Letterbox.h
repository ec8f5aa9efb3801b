#pragma once

// Where a preview picture goes inside the display area, and the colour of the
// bars around it. The SDL display and the Qt-drawn display both place
// pictures with this, so they show the same rectangle.

#include <QColor>
#include <QRect>

extern "C" {
#include <libavutil/rational.h>
}

// The display area's background and bars: RGB (47, 47, 47).
inline QColor displayBackgroundColor() { return QColor(47, 47, 47); }

// The largest rectangle of the picture's display aspect (its size times its
// sample aspect; a missing or invalid sample aspect counts as square pixels)
// that fits the area, centred, with even width and height (at least 1),
// offset by (iLeft, iTop).
QRect letterboxRect(int iPictureWidth, int iPictureHeight, AVRational stSampleAspect, int iAreaWidth,
                    int iAreaHeight, int iLeft = 0, int iTop = 0);
