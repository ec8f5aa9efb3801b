#pragma once

// The transitions of FFmpeg's xfade filter on 8-bit planes, painted here
// with the same arithmetic, so that every pixel comes out as xfade makes it,
// but with what depends only on the pixel's position (the angle of the
// radial sweep, the distance of the circles) worked out once per plane size
// instead of for every pixel of every frame, and with the blends of two
// pictures at one weight read from a table. TransitionFrames uses it for the
// transitions it knows and leaves the others to the filter.

#include <cstdint>
#include <memory>
#include <vector>

namespace recipes {

// One plane of the two pictures and of the frame being painted.
struct TransitionPlane
{
    const uint8_t *pFrom = nullptr;   // the picture before (xfade's first input)
    int iFromStride = 0;
    const uint8_t *pTo = nullptr;     // the picture after
    int iToStride = 0;
    uint8_t *pOut = nullptr;
    int iOutStride = 0;
    int iWidth = 0;
    int iHeight = 0;
    // What xfade fades through on this plane: 0 and 255 for luma, 127 for
    // chroma (half its maximum).
    uint8_t iBlack = 0;
    uint8_t iWhite = 255;
};

class TransitionPainter
{
public:
    // A painter for xfade's transition szName, or null when it has none.
    static std::unique_ptr<TransitionPainter> create(const char *szName);
    virtual ~TransitionPainter() = default;

    // Paints stPlane at xfade's progress (1 at the start, 0 at the end).
    void paint(const TransitionPlane &stPlane, float lfProgress);

    // xfade's progress for frame iFrame of a transition of iFrames frames.
    static float progress(int64_t iFrame, int64_t iFrames);

protected:
    TransitionPainter() = default;
    // What every row of the plane shares at this progress (tables).
    virtual void prepare(const TransitionPlane &, float) {}
    // Rows [y0, y1) of the plane, after prepare(); bands of one plane could
    // be painted at once.
    virtual void paintRows(const TransitionPlane &stPlane, float lfProgress, int y0, int y1) const = 0;
};

} // namespace recipes
