#include "media/recipes/PictureMotion.h"

#include "album/AlbumProjectState.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/recipes/AlbumTimeline.h"

#include <algorithm>
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

extern "C" {
#include <libavutil/error.h>
#include <libavutil/pixdesc.h>
}

namespace recipes {

namespace {

// splitmix64: a well-spread number from any other, the same on every machine.
uint64_t spread(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A number in [-1, 1] from the top bits of h.
double signedUnit(uint64_t h)
{
    return static_cast<double>(h >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

// Planar, a byte a sample, each component a plane of its own: the pictures
// paintPlane reads and writes.
bool isPaintable(int iFormat)
{
    const AVPixFmtDescriptor *pDesc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(iFormat));
    if (!pDesc || !(pDesc->flags & AV_PIX_FMT_FLAG_PLANAR)
        || (pDesc->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_FLOAT
                            | AV_PIX_FMT_FLAG_HWACCEL)))
        return false;
    for (int i = 0; i < pDesc->nb_components; ++i) {
        if (pDesc->comp[i].depth != 8 || pDesc->comp[i].step != 1 || pDesc->comp[i].shift != 0
            || pDesc->comp[i].plane != i)
            return false;
    }
    return true;
}

// Weights of the two samples blended across, in 1/128: small enough for
// the byte multiplies of the wide path below, fine enough (1/128 px) that
// the picture still glides.
constexpr int kAcrossOne = 128;

struct Tap
{
    int i0, i1, w;    // the two source samples and the second one's weight in 1/kAcrossOne
};

// Where each of iDstSize samples takes its value from, for a window of
// lfSize starting at lfStart (fractions) of iSrcSize samples. Sample
// centres map onto sample centres, so every plane of a picture takes the
// same window whatever its subsampling.
std::vector<Tap> taps(int iSrcSize, int iDstSize, double lfStart, double lfSize, int iOne)
{
    std::vector<Tap> table(static_cast<size_t>(iDstSize));
    const double lfStep = lfSize * iSrcSize / iDstSize;
    const double lfFirst = lfStart * iSrcSize + 0.5 * lfStep - 0.5;
    for (int k = 0; k < iDstSize; ++k) {
        const double lf = std::clamp(lfFirst + k * lfStep, 0.0, static_cast<double>(iSrcSize - 1));
        int i0 = static_cast<int>(lf);
        int w = static_cast<int>(std::lround((lf - i0) * iOne));
        if (w == iOne) {
            ++i0;
            w = 0;
        }
        i0 = std::min(i0, iSrcSize - 1);
        table[static_cast<size_t>(k)] = Tap{i0, std::min(i0 + 1, iSrcSize - 1), w};
    }
    return table;
}

// Eight samples of a row blended across at once: they take their pairs
// from 16 source bytes starting at iBase, picked by a byte shuffle.
struct AcrossBlock
{
    int iBase = -1;    // -1: the pairs do not lie in 16 readable bytes, done one by one
    alignas(16) uint8_t pick[16];
    alignas(16) int8_t weights[16];
};

std::vector<AcrossBlock> acrossBlocks(const std::vector<Tap> &columns, int iSrcSize)
{
    std::vector<AcrossBlock> blocks(columns.size() / 8);
    for (size_t b = 0; b < blocks.size(); ++b) {
        const Tap *pTaps = &columns[b * 8];
        const int iBase = pTaps[0].i0;
        if (iBase + 16 > iSrcSize || pTaps[7].i0 + 1 - iBase > 15)
            continue;
        AcrossBlock &stBlock = blocks[b];
        stBlock.iBase = iBase;
        for (int j = 0; j < 8; ++j) {
            // Byte weights stop at 127: a sample taken whole is taken as
            // twice its half.
            const Tap &t = pTaps[j];
            const bool bWhole = t.w == 0;
            stBlock.pick[2 * j] = static_cast<uint8_t>(t.i0 - iBase);
            stBlock.pick[2 * j + 1] = static_cast<uint8_t>(bWhole ? t.i0 - iBase : t.i0 + 1 - iBase);
            stBlock.weights[2 * j] = static_cast<int8_t>(bWhole ? kAcrossOne / 2 : kAcrossOne - t.w);
            stBlock.weights[2 * j + 1] = static_cast<int8_t>(bWhole ? kAcrossOne / 2 : t.w);
        }
    }
    return blocks;
}

struct PlaneJob
{
    const uint8_t *pSrc;
    int iSrcStride;
    uint8_t *pDst;
    int iDstStride;
    std::vector<Tap> columns, rows;
    std::vector<AcrossBlock> blocks;
};

// A source row blended across into 16-bit values (in 1/kAcrossOne), one by one.
void acrossScalar(const uint8_t *p, const Tap *pTaps, uint16_t *pOut, size_t uFrom, size_t uTo)
{
    for (size_t x = uFrom; x < uTo; ++x) {
        const Tap &t = pTaps[x];
        pOut[x] = static_cast<uint16_t>(p[t.i0] * (kAcrossOne - t.w) + p[t.i1] * t.w);
    }
}

#if defined(__x86_64__) || defined(__i386__)
// The same, eight at a time with a byte shuffle and byte multiplies (SSSE3,
// which every x86-64 processor of the last fifteen years has; checked at run time).
__attribute__((target("ssse3"))) void acrossWide(const uint8_t *p, const PlaneJob &stJob, uint16_t *pOut)
{
    const size_t uBlocks = stJob.blocks.size();
    for (size_t b = 0; b < uBlocks; ++b) {
        const AcrossBlock &stBlock = stJob.blocks[b];
        if (stBlock.iBase < 0) {
            acrossScalar(p, stJob.columns.data(), pOut, b * 8, b * 8 + 8);
            continue;
        }
        const __m128i src = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + stBlock.iBase));
        const __m128i pairs = _mm_shuffle_epi8(src, _mm_load_si128(reinterpret_cast<const __m128i *>(stBlock.pick)));
        const __m128i sums =
            _mm_maddubs_epi16(pairs, _mm_load_si128(reinterpret_cast<const __m128i *>(stBlock.weights)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(pOut + b * 8), sums);
    }
    acrossScalar(p, stJob.columns.data(), pOut, uBlocks * 8, stJob.columns.size());
}

bool hasWideAcross()
{
    static const bool bWide = __builtin_cpu_supports("ssse3");
    return bWide;
}
#endif

void across(const PlaneJob &stJob, int iRow, uint16_t *pOut)
{
    const uint8_t *p = stJob.pSrc + static_cast<ptrdiff_t>(iRow) * stJob.iSrcStride;
#if defined(__x86_64__) || defined(__i386__)
    if (hasWideAcross()) {
        acrossWide(p, stJob, pOut);
        return;
    }
#endif
    acrossScalar(p, stJob.columns.data(), pOut, 0, stJob.columns.size());
}

// Two rows of values blended across blended down by wy (in 1/256), into samples.
void blendRows(const uint16_t *pUpper, const uint16_t *pLower, int wy, uint8_t *pOut, size_t uWidth)
{
    constexpr int iShift = 8 + 7;    // 1/256 down, 1/kAcrossOne across
    size_t x = 0;
#ifdef __SSE2__
    // Pairs (upper, lower) times (256 - wy, wy), summed in 32 bits.
    const __m128i weights = _mm_set1_epi32(static_cast<int>((static_cast<uint32_t>(wy) << 16) | (256u - wy)));
    const __m128i half = _mm_set1_epi32(1 << (iShift - 1));
    const auto blend = [&](__m128i upper, __m128i lower) {
        const __m128i lo = _mm_madd_epi16(_mm_unpacklo_epi16(upper, lower), weights);
        const __m128i hi = _mm_madd_epi16(_mm_unpackhi_epi16(upper, lower), weights);
        return _mm_packs_epi32(_mm_srli_epi32(_mm_add_epi32(lo, half), iShift),
                               _mm_srli_epi32(_mm_add_epi32(hi, half), iShift));
    };
    for (; x + 16 <= uWidth; x += 16) {
        const auto load = [](const uint16_t *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); };
        const __m128i first = blend(load(pUpper + x), load(pLower + x));
        const __m128i second = blend(load(pUpper + x + 8), load(pLower + x + 8));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(pOut + x), _mm_packus_epi16(first, second));
    }
#endif
    for (; x < uWidth; ++x)
        pOut[x] = static_cast<uint8_t>((pUpper[x] * (256 - wy) + pLower[x] * wy + (1 << (iShift - 1))) >> iShift);
}

// Rows iFrom .. iTo - 1 of a plane, bilinear: each source row is blended
// across once into a row of 16-bit values, and two of those down.
void paintRows(const PlaneJob &stJob, int iFrom, int iTo)
{
    const size_t uWidth = stJob.columns.size();
    std::vector<uint16_t> upper(uWidth), lower(uWidth);
    int iUpper = -1, iLower = -1;
    for (int y = iFrom; y < iTo; ++y) {
        const Tap &t = stJob.rows[static_cast<size_t>(y)];
        if (t.i0 == iLower) {
            std::swap(upper, lower);
            std::swap(iUpper, iLower);
        }
        if (t.i0 != iUpper) {
            across(stJob, t.i0, upper.data());
            iUpper = t.i0;
        }
        if (t.i1 != iLower) {
            across(stJob, t.i1, lower.data());
            iLower = t.i1;
        }
        blendRows(upper.data(), lower.data(), t.w, stJob.pDst + static_cast<ptrdiff_t>(y) * stJob.iDstStride,
                  uWidth);
    }
}

// The format a moving picture is prepared and painted in: the album's
// when the painter reads it, YUV 4:2:0 otherwise (its frames are then
// converted one by one).
AVPixelFormat paintFormat(AVPixelFormat eFormat)
{
    return isPaintable(eFormat) ? eFormat : AV_PIX_FMT_YUV420P;
}

} // namespace

MotionWindow motionWindow(uint32_t iSeed, int iPhoto, double lfProgress)
{
    const double p = std::clamp(lfProgress, 0.0, 1.0);
    const bool bZoomIn = iPhoto % 2 == 0;
    const double lfZoom = bZoomIn ? 1.0 + (kMotionZoom - 1.0) * p : kMotionZoom - (kMotionZoom - 1.0) * p;
    const uint64_t h = spread((static_cast<uint64_t>(iSeed) << 32) ^ static_cast<uint32_t>(iPhoto));
    // The point the view closes in on, as a share of the room the zoom
    // leaves on each side: the view stays inside the picture.
    const double lfPointX = signedUnit(h);
    const double lfPointY = signedUnit(spread(h));
    MotionWindow stWindow;
    stWindow.lfWidth = 1.0 / lfZoom;
    stWindow.lfHeight = stWindow.lfWidth;
    const double lfRoom = (1.0 - stWindow.lfWidth) / 2.0;
    stWindow.lfLeft = 0.5 + lfPointX * lfRoom - stWindow.lfWidth / 2.0;
    stWindow.lfTop = 0.5 + lfPointY * lfRoom - stWindow.lfHeight / 2.0;
    return stWindow;
}

QSize motionSourceSize(int iWidth, int iHeight)
{
    const auto enlarged = [](int iSide) {
        const int i = static_cast<int>(std::ceil(iSide * kMotionZoom - 1e-9));
        return i + (i & 1);
    };
    return QSize(enlarged(iWidth), enlarged(iHeight));
}

int paintMotionWindow(const AVFrame *pSource, const MotionWindow &stWindow, int iWidth, int iHeight, AVFrame *pOut)
{
    if (!pSource || !pSource->data[0] || !pOut || iWidth < 1 || iHeight < 1 || !isPaintable(pSource->format))
        return AVERROR(EINVAL);
    const AVPixFmtDescriptor *pDesc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(pSource->format));
    AVFramePtr pFrame = makeFramePtr();
    if (!pFrame)
        return AVERROR(ENOMEM);
    pFrame->format = pSource->format;
    pFrame->width = iWidth;
    pFrame->height = iHeight;
    int ret = av_frame_get_buffer(pFrame.get(), 0);
    if (ret >= 0)
        ret = av_frame_copy_props(pFrame.get(), pSource);
    if (ret < 0)
        return ret;
    std::vector<PlaneJob> planes;
    for (int i = 0; i < pDesc->nb_components; ++i) {
        const bool bChroma = (i == 1 || i == 2) && !(pDesc->flags & AV_PIX_FMT_FLAG_RGB);
        const int iShiftW = bChroma ? pDesc->log2_chroma_w : 0;
        const int iShiftH = bChroma ? pDesc->log2_chroma_h : 0;
        const int iSrcWidth = AV_CEIL_RSHIFT(pSource->width, iShiftW);
        PlaneJob stJob{pSource->data[i], pSource->linesize[i], pFrame->data[i], pFrame->linesize[i],
                       taps(iSrcWidth, AV_CEIL_RSHIFT(iWidth, iShiftW), stWindow.lfLeft, stWindow.lfWidth,
                            kAcrossOne),
                       taps(AV_CEIL_RSHIFT(pSource->height, iShiftH), AV_CEIL_RSHIFT(iHeight, iShiftH),
                            stWindow.lfTop, stWindow.lfHeight, 256),
                       {}};
        stJob.blocks = acrossBlocks(stJob.columns, iSrcWidth);
        planes.push_back(std::move(stJob));
    }
    // The lower half of every plane on a second core: the encoder waits for
    // this picture, so it would stand idle otherwise.
    const auto paintHalf = [&planes](bool bLower) {
        for (const PlaneJob &stJob : planes) {
            const int iRows = static_cast<int>(stJob.rows.size());
            paintRows(stJob, bLower ? iRows / 2 : 0, bLower ? iRows : iRows / 2);
        }
    };
    std::thread lower;
    try {
        lower = std::thread(paintHalf, true);
    } catch (const std::system_error &) {
        paintHalf(true);   // no thread to be had: all of it here
    }
    paintHalf(false);
    if (lower.joinable())
        lower.join();
    av_frame_unref(pOut);
    av_frame_move_ref(pOut, pFrame.get());
    return 0;
}

QSize albumPictureSize(const AlbumTimeline &stTimeline, int iMaterial, int iWidth, int iHeight)
{
    return stTimeline.moves(iMaterial) ? motionSourceSize(iWidth, iHeight) : QSize(iWidth, iHeight);
}

AVPixelFormat albumPictureFormat(const AlbumTimeline &stTimeline, int iMaterial, AVPixelFormat eFormat)
{
    return stTimeline.moves(iMaterial) ? paintFormat(eFormat) : eFormat;
}

int shownPicture(const AlbumTimeline &stTimeline, int iMaterial, const AVFrame *pPicture, int64_t iFrame, int iWidth,
                 int iHeight, AVPixelFormat eFormat, AVFrame *pOut)
{
    int64_t iFirst = 0;
    int64_t iFrames = 0;
    if (!stTimeline.moves(iMaterial) || !stTimeline.screenFrames(iMaterial, &iFirst, &iFrames)) {
        av_frame_unref(pOut);
        return av_frame_ref(pOut, pPicture);
    }
    const double lfProgress = static_cast<double>(iFrame - iFirst) / static_cast<double>(iFrames);
    const MotionWindow stWindow =
        motionWindow(stTimeline.motionSeed(), stTimeline.materials().at(iMaterial).iPhoto, lfProgress);
    const int ret = paintMotionWindow(pPicture, stWindow, iWidth, iHeight, pOut);
    if (ret < 0 || pOut->format == eFormat)
        return ret;
    return convertPixelFormat(pOut, pOut, eFormat);
}

int openAlbumTransition(TransitionFrames &stFrames, const AlbumTimeline &stTimeline,
                        const TimelineSegment &stSegment, const AVFrame *pFrom, const AVFrame *pTo, int iWidth,
                        int iHeight, AVPixelFormat eFormat, AVRational stTimeBase, AVRational stFrameRate,
                        int64_t iFrom)
{
    const TransitionSegment *pTransition = stTimeline.transition(stSegment);
    if (!pTransition || !pFrom || !pTo)
        return AVERROR(EINVAL);
    const int iBefore = stSegment.iMaterial;
    const int iAfter = stSegment.iMaterial + 1;
    const int64_t iStart = iFrom - stSegment.iFirstFrame;
    if (!stTimeline.moves(iBefore) && !stTimeline.moves(iAfter))
        return stFrames.open(*pTransition, pFrom, pTo, stTimeBase, stFrameRate, iStart);

    const auto pictureOf = [&stTimeline, iWidth, iHeight, eFormat, iFirst = stSegment.iFirstFrame](
                               int iMaterial, const AVFrame *pPicture) {
        return [&stTimeline, iMaterial, pPicture, iWidth, iHeight, eFormat, iFirst](int64_t i, AVFrame *pOut) {
            return shownPicture(stTimeline, iMaterial, pPicture, iFirst + i, iWidth, iHeight, eFormat, pOut);
        };
    };
    const TransitionFrames::PictureAt fnFrom = pictureOf(iBefore, pFrom);
    const TransitionFrames::PictureAt fnTo = pictureOf(iAfter, pTo);
    AVFramePtr pFirstFrom = makeFramePtr();
    AVFramePtr pFirstTo = makeFramePtr();
    if (!pFirstFrom || !pFirstTo)
        return AVERROR(ENOMEM);
    int ret = fnFrom(iStart, pFirstFrom.get());
    if (ret >= 0)
        ret = fnTo(iStart, pFirstTo.get());
    if (ret >= 0)
        ret = stFrames.open(*pTransition, pFirstFrom.get(), pFirstTo.get(), stTimeBase, stFrameRate, iStart);
    if (ret >= 0)
        stFrames.followPictures(fnFrom, fnTo);
    return ret;
}

} // namespace recipes
