#include "media/ffmpeg/PictureOrientation.h"

#include <cmath>
#include <cstdlib>

extern "C" {
#include <libavutil/display.h>
}

namespace {

// Every orientation is a mirroring (or none) followed by quarter turns
// clockwise; kMirrored and kTurns give that form for 1..8.
constexpr bool kMirrored[9] = {false, false, true, false, true, true, false, true, false};
constexpr int kTurns[9] = {0, 0, 0, 2, 2, 3, 1, 1, 3};

int orientationOf(bool bMirrored, int iTurns)
{
    for (int i = 1; i <= 8; ++i) {
        if (kMirrored[i] == bMirrored && kTurns[i] == iTurns)
            return i;
    }
    return 1;
}

bool isOrientation(int iOrientation)
{
    return iOrientation >= 1 && iOrientation <= 8;
}

} // namespace

const char *orientationFilter(int iOrientation)
{
    switch (iOrientation) {
    case 2:
        return "hflip";
    case 3:
        return "transpose=dir=1,transpose=dir=1";
    case 4:
        return "transpose=dir=1,transpose=dir=1,hflip";
    case 5:
        return "transpose=dir=1,hflip";
    case 6:
        return "transpose=dir=1";
    case 7:
        return "transpose=dir=2,hflip";
    case 8:
        return "transpose=dir=2";
    default:
        return "";
    }
}

bool orientationSwapsSides(int iOrientation)
{
    return iOrientation >= 5 && iOrientation <= 8;
}

int turnedOrientation(int iOrientation, int64_t iTurns)
{
    if (!isOrientation(iOrientation))
        iOrientation = 1;
    int64_t r = (kTurns[iOrientation] + iTurns % 4) % 4;
    if (r < 0)
        r += 4;
    return orientationOf(kMirrored[iOrientation], static_cast<int>(r));
}

int displayMatrixOrientation(const int32_t *pMatrix)
{
    if (!pMatrix)
        return 1;
    const double lfRotation = av_display_rotation_get(pMatrix);
    if (std::isnan(lfRotation))
        return 1;
    // The matrix turns counter-clockwise; the picture is shown turned by
    // theta clockwise, with the signs of the matrix telling the mirrorings.
    double theta = -std::round(lfRotation);
    theta -= 360.0 * std::floor(theta / 360.0 + 0.9 / 360.0);
    if (std::fabs(theta - 90.0) < 1.0)
        return pMatrix[3] > 0 ? 5 : 6;
    if (std::fabs(theta - 270.0) < 1.0)
        return pMatrix[3] < 0 ? 7 : 8;
    if (std::fabs(theta - 180.0) < 1.0) {
        const bool bMirrorX = pMatrix[0] < 0;
        const bool bMirrorY = pMatrix[4] < 0;
        return bMirrorX ? (bMirrorY ? 3 : 2) : (bMirrorY ? 4 : 1);
    }
    if (std::fabs(theta) < 1.0)
        return pMatrix[4] < 0 ? 4 : 1;
    return 1;
}

int pictureOrientation(const AVStream *pStream, const AVFrame *pFrame)
{
    constexpr size_t kMatrixBytes = 9 * sizeof(int32_t);
    if (pFrame) {
        const AVDictionaryEntry *pEntry = av_dict_get(pFrame->metadata, "Orientation", nullptr, 0);
        const int iExif = pEntry && pEntry->value ? std::atoi(pEntry->value) : 0;
        if (isOrientation(iExif))
            return iExif;
        const AVFrameSideData *pSide = av_frame_get_side_data(pFrame, AV_FRAME_DATA_DISPLAYMATRIX);
        if (pSide && pSide->size >= kMatrixBytes)
            return displayMatrixOrientation(reinterpret_cast<const int32_t *>(pSide->data));
    }
    if (pStream) {
        size_t iSize = 0;
        const uint8_t *pData = av_stream_get_side_data(pStream, AV_PKT_DATA_DISPLAYMATRIX, &iSize);
        if (pData && iSize >= kMatrixBytes)
            return displayMatrixOrientation(reinterpret_cast<const int32_t *>(pData));
    }
    return 1;
}
