#include "media/recipes/AlbumGeometry.h"

#include "album/AlbumProjectState.h"
#include "media/ffmpeg/SizeMath.h"

#include <QFontMetrics>

#include <cmath>

void updateExportSize()
{
    AlbumProjectState &st = albumState();
    const int iHeight = tierHeight(st.szExportResolution);
    if (iHeight <= 0 || st.stVideoRatio.den == 0)
        return;
    const QSize stSize = evenSizeFromRatio(iHeight, st.stVideoRatio.num, st.stVideoRatio.den);
    st.iExportWidth = stSize.width();
    st.iExportHeight = stSize.height();
}

QRect placeWatermark(int w, int h, int pos, int W, int H)
{
    const int mx = static_cast<int>(W * 0.01);
    const int my = static_cast<int>(H * 0.01);
    const int cx = W / 2 - w / 2;
    const int cy = H / 2 - h / 2;
    switch (pos) {
    case 1: return QRect(mx, my, w, h);
    case 2: return QRect(cx, my, w, h);
    case 4: return QRect(W - mx - w, my, w, h);
    case 8: return QRect(mx, cy, w, h);
    case 16: return QRect(cx, cy, w, h);
    case 32: return QRect(W - mx - w, cy, w, h);
    case 64: return QRect(mx, H - my - h, w, h);
    case 128: return QRect(cx, H - my - h, w, h);
    case 256: return QRect(W - mx - w, H - my - h, w, h);
    default: return QRect(0, 0, w, h);
    }
}

QRect textWatermarkRect(const QString &szText, const QFont &stFont, int pos, int W, int H)
{
    QSize stSize(0, 0);
    if (!szText.isEmpty())
        stSize = QFontMetrics(stFont).boundingRect(szText).size();
    return placeWatermark(stSize.width(), stSize.height(), pos, W, H);
}

QRect imageWatermarkRect(int imageW, int imageH, int pos, int W, int H)
{
    if (imageW <= 0 || imageH <= 0 || W <= 0 || H <= 0)
        return placeWatermark(0, 0, pos, W, H);

    struct RatioFactor { double lfRatio; double lfFactor; };
    // Tried in this order; the first of equally near ratios wins.
    static const RatioFactor s_table[] = {
        {16.0 / 9.0, 0.175}, {4.0 / 3.0, 0.311}, {2.0 / 1.0, 0.21},
        {9.0 / 16.0, 0.414}, {3.0 / 4.0, 0.311}, {1.0, 0.311},
    };
    const double lfFrameRatio = static_cast<double>(W) / H;
    const RatioFactor *pBest = &s_table[0];
    for (const RatioFactor &st : s_table) {
        if (std::fabs(st.lfRatio - lfFrameRatio) < std::fabs(pBest->lfRatio - lfFrameRatio))
            pBest = &st;
    }
    const int tw = static_cast<int>(W * pBest->lfFactor);
    const int th = static_cast<int>(static_cast<double>(tw) * imageH / imageW);
    const QSize stFit = fitSize(imageW, imageH, tw, th);
    return placeWatermark(stFit.width(), stFit.height(), pos, W, H);
}
