#include "media/ffmpeg/SizeMath.h"

#include <climits>
#include <cmath>

extern "C" {
#include <libavutil/mathematics.h>
}

int evenFloor(double v)
{
    // Degenerate sizes (a zero side divides by zero) give 0 instead of an
    // undefined conversion.
    if (!std::isfinite(v) || v <= -INT_MAX || v >= INT_MAX)
        return 0;
    double lf = std::trunc(v);
    if (static_cast<long long>(lf) % 2 != 0)
        lf -= 1.0;
    return static_cast<int>(lf);
}

// The scaled side is computed as h * W / w rather than h / (w / W): the same
// value, but a square scaled to 480 stays 480 instead of 479.99 (-> 478).
QSize fitSize(double w, double h, double W, double H)
{
    if (w <= 0 || h <= 0)
        return QSize(0, 0);
    double lfWidth = W;
    double lfHeight = h * W / w;
    if (lfHeight > H) {
        lfHeight = H;
        lfWidth = w * H / h;
    }
    return QSize(evenFloor(lfWidth), evenFloor(lfHeight));
}

QSize fitLongerSide(double w, double h, double L)
{
    if (w <= 0 || h <= 0)
        return QSize(0, 0);
    double lfWidth, lfHeight;
    if (w > h) {
        lfWidth = L;
        lfHeight = h * L / w;
    } else {
        lfHeight = L;
        lfWidth = w * L / h;
    }
    return QSize(evenFloor(lfWidth), evenFloor(lfHeight));
}

QSize divideSize(double w, double h, double f)
{
    return QSize(evenFloor(w / f), evenFloor(h / f));
}

QSize evenSizeFromRatio(int H, int num, int den)
{
    const int iHeight = H - (H & 1);
    if (den == 0)
        return QSize(0, iHeight);
    int64_t iWidth = av_rescale(iHeight, num, den);
    if (iWidth % 2 != 0)
        iWidth -= 1;
    return QSize(static_cast<int>(iWidth), iHeight);
}

QSize displaySize(int w, int h, AVRational stPixelAspect)
{
    if (stPixelAspect.num > 0 && stPixelAspect.den > 0 && stPixelAspect.num != stPixelAspect.den)
        w = static_cast<int>(av_rescale(w, stPixelAspect.num, stPixelAspect.den));
    return QSize(w, h);
}

AVRational reduceRatio(int num, int den)
{
    AVRational st{0, 1};
    av_reduce(&st.num, &st.den, num, den, INT_MAX);
    return st;
}
