#pragma once

#include <QSize>

extern "C" {
#include <libavutil/rational.h>
}

// Size arithmetic shared by the decoder, the renderers and the watermark
// geometry. Every picture size that reaches a filter graph is even, because
// YUV 4:2:0 needs even dimensions.

// Truncates v and, when the integer part is odd, takes one off.
int evenFloor(double v);

// Fits w x h into the box W x H keeping the aspect: width first, then the
// height when the width-first height would overflow the box.
QSize fitSize(double w, double h, double W, double H);

// Scales w x h so that its longer side becomes L.
QSize fitLongerSide(double w, double h, double L);

// w / f by h / f.
QSize divideSize(double w, double h, double f);

// An even frame size of height H (rounded down to even) at the ratio num:den.
QSize evenSizeFromRatio(int H, int num, int den);

// The size that w x h pixels of shape stPixelAspect (a pixel's width to its
// height; 0/1 for unknown) take when shown, as players show them: the width
// stretched or squeezed, the height kept.
QSize displaySize(int w, int h, AVRational stPixelAspect);

// num:den reduced by their greatest common divisor.
AVRational reduceRatio(int num, int den);
