#include "media/recipes/TransitionFrames.h"

#include "album/AlbumProjectState.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/recipes/PictureRecipes.h"
#include "media/recipes/TransitionPainter.h"

#include <initializer_list>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
}

namespace recipes {

namespace {

// Adds to pFrame a reference to the buffer holding plane iPlane of pSource,
// unless pFrame already holds one to that buffer.
bool referencePlaneBuffer(AVFrame *pFrame, AVFrame *pSource, int iPlane)
{
    AVBufferRef *pBuffer = av_frame_get_plane_buffer(pSource, iPlane);
    if (!pBuffer)
        return false;
    int i = 0;
    for (; i < AV_NUM_DATA_POINTERS && pFrame->buf[i]; ++i) {
        if (pFrame->buf[i]->buffer == pBuffer->buffer)
            return true;
    }
    if (i == AV_NUM_DATA_POINTERS)
        return false;
    pFrame->buf[i] = av_buffer_ref(pBuffer);
    return pFrame->buf[i] != nullptr;
}

// A frame of iFormat and iWidth x iHeight whose plane k is plane planes[k]
// of pSource, sharing its buffers (pSource must be reference-counted).
AVFramePtr planeView(AVFrame *pSource, int iFormat, int iWidth, int iHeight, std::initializer_list<int> planes)
{
    AVFramePtr pView = makeFramePtr();
    if (!pView)
        return nullptr;
    pView->format = iFormat;
    pView->width = iWidth;
    pView->height = iHeight;
    pView->sample_aspect_ratio = pSource->sample_aspect_ratio;
    int k = 0;
    for (int iPlane : planes) {
        pView->data[k] = pSource->data[iPlane];
        pView->linesize[k] = pSource->linesize[iPlane];
        if (!referencePlaneBuffer(pView.get(), pSource, iPlane))
            return nullptr;
        ++k;
    }
    return pView;
}

// The colour description the album's pictures carry, for frames put
// together from planes.
void copyColorProperties(AVFrame *pDst, const AVFrame *pSource)
{
    pDst->color_range = pSource->color_range;
    pDst->colorspace = pSource->colorspace;
    pDst->color_primaries = pSource->color_primaries;
    pDst->color_trc = pSource->color_trc;
    pDst->chroma_location = pSource->chroma_location;
    pDst->sample_aspect_ratio = pSource->sample_aspect_ratio;
}

} // namespace

bool TransitionFrames::goesByPlanes(int iFormat, int iWidth, int iHeight)
{
    return iFormat == AV_PIX_FMT_YUV420P && iWidth % 2 == 0 && iHeight % 2 == 0;
}

int TransitionFrames::fail(int iCode, Step eStep)
{
    m_eFailed = eStep;
    return iCode < 0 ? iCode : AVERROR(EINVAL);
}

int TransitionFrames::open(const TransitionSegment &stSegment, const AVFrame *pFrom, const AVFrame *pTo,
                           AVRational stTimeBase, AVRational stFrameRate, int64_t iStartFrame, Maker eMaker)
{
    *this = TransitionFrames();
    if (!pFrom || !pTo || pFrom->width < 1 || pFrom->height < 1 || pFrom->width != pTo->width
        || pFrom->height != pTo->height || pFrom->format != pTo->format)
        return fail(AVERROR(EINVAL), Step::Convert);
    m_iWidth = pFrom->width;
    m_iHeight = pFrom->height;
    m_iFormat = pFrom->format;
    return goesByPlanes(m_iFormat, m_iWidth, m_iHeight)
               ? openByPlanes(stSegment, pFrom, pTo, stTimeBase, stFrameRate, iStartFrame, eMaker)
               : openWhole(stSegment, pFrom, pTo, stTimeBase, stFrameRate, iStartFrame);
}

int TransitionFrames::openByPlanes(const TransitionSegment &stSegment, const AVFrame *pFrom, const AVFrame *pTo,
                                   AVRational stTimeBase, AVRational stFrameRate, int64_t iStartFrame, Maker eMaker)
{
    m_bByPlanes = true;
    if (eMaker == Maker::Fastest && stSegment.pEffect)
        m_pPainter = TransitionPainter::create(stSegment.pEffect->szTransitionName);
    if (m_pPainter && stSegment.iDuration > 0) {
        // Counted as the graph counts them: its duration and start offset
        // go through whole microseconds (transitionDescription).
        constexpr AVRational kMicroseconds{1, 1000000};
        m_iPaintedFrames = av_rescale_q(av_rescale_q(stSegment.iDuration, stSegment.stTimeBase, kMicroseconds),
                                        kMicroseconds, stTimeBase);
        const int64_t iOffset =
            av_rescale_q(av_rescale_q(-iStartFrame, stTimeBase, kMicroseconds), kMicroseconds, stTimeBase);
        m_iPaintedFirst = -iStartFrame - iOffset;
        if (m_iPaintedFrames > 0)
            return takePictures(pFrom, pTo);
    }
    m_pPainter.reset();

    m_pLuma = makeFramePtr();
    m_pChroma = makeFramePtr();
    if (!m_pLuma || !m_pChroma)
        return fail(AVERROR(ENOMEM), Step::Convert);
    const int ret = takePictures(pFrom, pTo);
    if (ret < 0)
        return ret;
    m_pGraph.reset(createTransitionGraph(stSegment, m_iWidth, m_iHeight, AV_PIX_FMT_GRAY8, AV_PIX_FMT_GRAY8,
                                         stTimeBase, stFrameRate, iStartFrame));
    m_pChromaGraph.reset(createTransitionGraph(stSegment, m_iWidth / 2, m_iHeight / 2, AV_PIX_FMT_YUV444P,
                                               AV_PIX_FMT_YUV444P, stTimeBase, stFrameRate, iStartFrame));
    if (!m_pGraph || !m_pChromaGraph)
        return fail(AVERROR(EINVAL), Step::Graph);
    return 0;
}

int TransitionFrames::takePictures(const AVFrame *pFrom, const AVFrame *pTo)
{
    const auto fits = [this](const AVFrame *p) {
        return p && p->width == m_iWidth && p->height == m_iHeight && p->format == m_iFormat;
    };
    if (!fits(pFrom) || !fits(pTo))
        return fail(AVERROR(EINVAL), Step::Convert);
    if (!m_bByPlanes) {
        // Put into xfade's own format here rather than have the graph
        // convert them (for still pictures: once, not for every frame).
        if (!m_pFrom)
            m_pFrom = makeFramePtr();
        if (!m_pTo)
            m_pTo = makeFramePtr();
        if (!m_pFrom || !m_pTo)
            return fail(AVERROR(ENOMEM), Step::Convert);
        int ret = convertPixelFormat(pFrom, m_pFrom.get(), kTransitionFormat);
        if (ret >= 0)
            ret = convertPixelFormat(pTo, m_pTo.get(), kTransitionFormat);
        return ret < 0 ? fail(ret, Step::Convert) : 0;
    }
    // Cloning a reference-counted picture only takes references; one that
    // is not gets buffers of its own to be viewed.
    AVFramePtr pFromRef(av_frame_clone(pFrom));
    AVFramePtr pToRef(av_frame_clone(pTo));
    if (!pFromRef || !pToRef)
        return fail(AVERROR(ENOMEM), Step::Convert);
    if (m_pPainter) {
        m_pFrom = std::move(pFromRef);
        m_pTo = std::move(pToRef);
        return 0;
    }
    const int iChromaWidth = m_iWidth / 2;
    const int iChromaHeight = m_iHeight / 2;
    m_pFrom = planeView(pFromRef.get(), AV_PIX_FMT_GRAY8, m_iWidth, m_iHeight, {0});
    m_pTo = planeView(pToRef.get(), AV_PIX_FMT_GRAY8, m_iWidth, m_iHeight, {0});
    m_pFromChroma = planeView(pFromRef.get(), AV_PIX_FMT_YUV444P, iChromaWidth, iChromaHeight, {1, 1, 2});
    m_pToChroma = planeView(pToRef.get(), AV_PIX_FMT_YUV444P, iChromaWidth, iChromaHeight, {1, 1, 2});
    if (!m_pFrom || !m_pTo || !m_pFromChroma || !m_pToChroma)
        return fail(AVERROR(ENOMEM), Step::Convert);
    copyColorProperties(m_pFromChroma.get(), pFrom);
    copyColorProperties(m_pToChroma.get(), pTo);
    m_pColors = std::move(pFromRef);
    return 0;
}

void TransitionFrames::followPictures(PictureAt fnFrom, PictureAt fnTo)
{
    m_fnFrom = std::move(fnFrom);
    m_fnTo = std::move(fnTo);
}

int TransitionFrames::openWhole(const TransitionSegment &stSegment, const AVFrame *pFrom, const AVFrame *pTo,
                                AVRational stTimeBase, AVRational stFrameRate, int64_t iStartFrame)
{
    const int ret = takePictures(pFrom, pTo);
    if (ret < 0)
        return ret;
    m_pGraph.reset(createTransitionGraph(stSegment, m_iWidth, m_iHeight, kTransitionFormat,
                                         static_cast<AVPixelFormat>(m_iFormat), stTimeBase, stFrameRate, iStartFrame));
    if (!m_pGraph)
        return fail(AVERROR(EINVAL), Step::Graph);
    return 0;
}

int TransitionFrames::pushPair(AVFilterGraph *pGraph, AVFrame *pFrom, AVFrame *pTo, int64_t i)
{
    pFrom->pts = i;
    pTo->pts = i;
    const int ret = pushFrameToFilter(pGraph, "in1", pFrom);
    return ret < 0 ? ret : pushFrameToFilter(pGraph, "in2", pTo);
}

int TransitionFrames::paintFrame(int64_t i, AVFrame *pOut)
{
    AVFramePtr pFrame = makeFramePtr();
    if (!pFrame)
        return fail(AVERROR(ENOMEM), Step::Pull);
    pFrame->format = m_iFormat;
    pFrame->width = m_iWidth;
    pFrame->height = m_iHeight;
    const int ret = av_frame_get_buffer(pFrame.get(), 0);
    if (ret < 0)
        return fail(ret, Step::Pull);
    const float lfProgress = TransitionPainter::progress(m_iPaintedFirst + i, m_iPaintedFrames);
    // xfade's levels: the luma graph takes grey pictures (black 0, white
    // 255), the chroma graph 4:4:4 ones whose chroma blacks and whites are
    // both half the maximum.
    for (int iPlane = 0; iPlane < 3; ++iPlane) {
        TransitionPlane stPlane;
        stPlane.pFrom = m_pFrom->data[iPlane];
        stPlane.iFromStride = m_pFrom->linesize[iPlane];
        stPlane.pTo = m_pTo->data[iPlane];
        stPlane.iToStride = m_pTo->linesize[iPlane];
        stPlane.pOut = pFrame->data[iPlane];
        stPlane.iOutStride = pFrame->linesize[iPlane];
        stPlane.iWidth = iPlane == 0 ? m_iWidth : m_iWidth / 2;
        stPlane.iHeight = iPlane == 0 ? m_iHeight : m_iHeight / 2;
        stPlane.iBlack = iPlane == 0 ? 0 : 127;
        stPlane.iWhite = iPlane == 0 ? 255 : 127;
        m_pPainter->paint(stPlane, lfProgress);
    }
    copyColorProperties(pFrame.get(), m_pFrom.get());
    pFrame->pts = i;
    av_frame_unref(pOut);
    av_frame_move_ref(pOut, pFrame.get());
    return 0;
}

int TransitionFrames::frame(int64_t i, AVFrame *pOut)
{
    if (m_fnFrom && m_fnTo) {
        if (!m_pMovedFrom)
            m_pMovedFrom = makeFramePtr();
        if (!m_pMovedTo)
            m_pMovedTo = makeFramePtr();
        if (!m_pMovedFrom || !m_pMovedTo)
            return fail(AVERROR(ENOMEM), Step::Push);
        int ret = m_fnFrom(i, m_pMovedFrom.get());
        if (ret >= 0)
            ret = m_fnTo(i, m_pMovedTo.get());
        if (ret >= 0)
            ret = takePictures(m_pMovedFrom.get(), m_pMovedTo.get());
        if (ret < 0)
            return fail(ret, Step::Push);
    }
    if (m_pPainter && pOut)
        return paintFrame(i, pOut);
    if (!m_pGraph || !pOut)
        return fail(AVERROR(EINVAL), Step::Push);
    int ret = pushPair(m_pGraph.get(), m_pFrom.get(), m_pTo.get(), i);
    if (ret >= 0 && m_bByPlanes)
        ret = pushPair(m_pChromaGraph.get(), m_pFromChroma.get(), m_pToChroma.get(), i);
    if (ret < 0)
        return fail(ret, Step::Push);

    const auto pull = [](AVFilterGraph *pGraph, AVFrame *pFrame) {
        bool bGot = false;
        const int ret = pullFrameFromFilter(pGraph, "out", pFrame, bGot);
        return ret >= 0 && !bGot ? AVERROR(EAGAIN) : ret;
    };
    if (!m_bByPlanes) {
        ret = pull(m_pGraph.get(), pOut);
        return ret < 0 ? fail(ret, Step::Pull) : 0;
    }

    ret = pull(m_pGraph.get(), m_pLuma.get());
    if (ret >= 0)
        ret = pull(m_pChromaGraph.get(), m_pChroma.get());
    if (ret < 0)
        return fail(ret, Step::Pull);
    // The planes back together, without copying: the frame references the
    // buffers the two graphs made.
    av_frame_unref(pOut);
    pOut->format = m_iFormat;
    pOut->width = m_iWidth;
    pOut->height = m_iHeight;
    pOut->data[0] = m_pLuma->data[0];
    pOut->linesize[0] = m_pLuma->linesize[0];
    pOut->data[1] = m_pChroma->data[1];
    pOut->linesize[1] = m_pChroma->linesize[1];
    pOut->data[2] = m_pChroma->data[2];
    pOut->linesize[2] = m_pChroma->linesize[2];
    if (!referencePlaneBuffer(pOut, m_pLuma.get(), 0) || !referencePlaneBuffer(pOut, m_pChroma.get(), 1)
        || !referencePlaneBuffer(pOut, m_pChroma.get(), 2)) {
        av_frame_unref(pOut);
        return fail(AVERROR(ENOMEM), Step::Pull);
    }
    // Described as the pictures are.
    copyColorProperties(pOut, m_pColors.get());
    pOut->pts = i;
    return 0;
}

} // namespace recipes
