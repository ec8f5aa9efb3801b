#include "player/Letterbox.h"

#include <algorithm>
#include <cmath>

QRect letterboxRect(int iPictureWidth, int iPictureHeight, AVRational stSampleAspect, int iAreaWidth,
                    int iAreaHeight, int iLeft, int iTop)
{
    float fAspect = stSampleAspect.num == 0 ? 0.0f : float(av_q2d(stSampleAspect));
    if (fAspect <= 0.0f)
        fAspect = 1.0f;
    if (iPictureWidth > 0 && iPictureHeight > 0)
        fAspect *= float(iPictureWidth) / float(iPictureHeight);

    int iHeight = iAreaHeight;
    int iWidth = int(std::lrint(iHeight * fAspect)) & ~1;
    if (iWidth > iAreaWidth) {
        iWidth = iAreaWidth;
        iHeight = int(std::lrint(iWidth / fAspect)) & ~1;
    }
    const int x = (iAreaWidth - iWidth) / 2 + iLeft;
    const int y = (iAreaHeight - iHeight) / 2 + iTop;
    return QRect(x, y, std::max(iWidth, 1), std::max(iHeight, 1));
}
