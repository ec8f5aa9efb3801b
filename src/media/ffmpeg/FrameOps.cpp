#include "media/ffmpeg/FrameOps.h"

#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/ffmpeg/SizeMath.h"

#include <cstring>
#include <sstream>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
}

namespace {

// 0 when pFrame is a picture the video operations can work on.
int checkVideoFrame(const AVFrame *pFrame)
{
    if (!pFrame)
        return AVERROR(EINVAL);
    if (pFrame->nb_samples > 0 && pFrame->ch_layout.nb_channels > 0)
        return AVERROR_INVALIDDATA;
    if (pFrame->width < 1 || pFrame->height < 1 || pFrame->format < 0 || !pFrame->data[0])
        return AVERROR(EINVAL);
    return 0;
}

void moveInto(AVFrame *pDst, AVFrame *pResult)
{
    av_frame_unref(pDst);
    av_frame_move_ref(pDst, pResult);
}

// The colour is spliced into a filter description, so only what FFmpeg
// parses as a colour is let through (no ':' ',' or '[' can sneak filters in).
bool isValidColor(const std::string &szColor)
{
    uint8_t rgba[4];
    return !szColor.empty() && av_parse_color(rgba, szColor.c_str(), -1, nullptr) >= 0;
}

FilterInput videoSourceFor(const char *szName, const AVFrame *pFrame)
{
    return FilterInput(szName, pFrame->width, pFrame->height, static_cast<AVPixelFormat>(pFrame->format),
                       AVRational{1, 1}, AVRational{0, 1}, pFrame->sample_aspect_ratio);
}

// Runs one frame per source through a throw-away graph and takes the first
// frame from "out". The sources are closed after their frame so that filters
// that wait for more input (overlay) give their picture out at once.
int runOneShot(AVFilterGraph *pRawGraph, const std::vector<std::pair<const char *, const AVFrame *>> &pushes,
               AVFrame *pResult)
{
    AVFilterGraphPtr pGraph(pRawGraph);
    if (!pGraph)
        return AVERROR(EINVAL);
    for (const auto &push : pushes) {
        int ret = pushFrameToFilter(pGraph.get(), push.first, push.second);
        if (ret < 0)
            return ret;
        ret = pushFrameToFilter(pGraph.get(), push.first, nullptr);
        if (ret < 0)
            return ret;
    }
    bool bGot = false;
    const int ret = pullFrameFromFilter(pGraph.get(), "out", pResult, bGot);
    if (ret < 0)
        return ret;
    return bGot ? 0 : AVERROR(EAGAIN);
}

// The scaler writes every component of these with at least this many bits;
// formats of fewer (3-3-2 RGB, one-bit black and white) would be dithered.
constexpr int kShallowestScaledDepth = 4;

bool scalesInFull(AVPixelFormat eFormat)
{
    const AVPixFmtDescriptor *pDesc = av_pix_fmt_desc_get(eFormat);
    if (!pDesc || (pDesc->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL))
        || sws_isSupportedOutput(eFormat) <= 0)
        return false;
    for (int i = 0; i < pDesc->nb_components; ++i) {
        if (pDesc->comp[i].depth < kShallowestScaledDepth)
            return false;
    }
    return true;
}

int scaleInto(const AVFrame *pSrc, AVFrame *pDst, int iWidth, int iHeight, AVPixelFormat eFormat, bool bKeepPictType)
{
    if (iWidth < 1 || iHeight < 1 || eFormat < 0)
        return AVERROR(EINVAL);
    AVFramePtr pOut = makeFramePtr();
    if (!pOut)
        return AVERROR(ENOMEM);
    pOut->width = iWidth;
    pOut->height = iHeight;
    pOut->format = eFormat;
    pOut->pts = pSrc->pts;
    pOut->pkt_dts = pSrc->pkt_dts;
    pOut->pkt_duration = pSrc->pkt_duration;
    if (bKeepPictType)
        pOut->pict_type = pSrc->pict_type;
    int ret = av_frame_get_buffer(pOut.get(), 0);
    if (ret < 0)
        return ret;
    const int iFlags = pSrc->width < iWidth ? SWS_BICUBIC : SWS_AREA;
    SwsContextPtr pScaler(sws_getContext(pSrc->width, pSrc->height, static_cast<AVPixelFormat>(pSrc->format), iWidth,
                                         iHeight, eFormat, iFlags, nullptr, nullptr, nullptr));
    if (!pScaler)
        return AVERROR(EINVAL);
    ret = sws_scale(pScaler.get(), pSrc->data, pSrc->linesize, 0, pSrc->height, pOut->data, pOut->linesize);
    if (ret < 0)
        return ret;
    if (ret == 0)
        return AVERROR_EXTERNAL;
    moveInto(pDst, pOut.get());
    return 0;
}

} // namespace

AVPixelFormat scalableFormat(AVPixelFormat ePixelFormat)
{
    if (scalesInFull(ePixelFormat))
        return ePixelFormat;
    const AVPixFmtDescriptor *pDesc = av_pix_fmt_desc_get(ePixelFormat);
    if (!pDesc)
        return ePixelFormat;
    // A palette may hold transparent colours, so its pictures keep alpha.
    const bool bAlpha = pDesc->flags & (AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL);
    if (pDesc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL))
        return bAlpha ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24;
    if (pDesc->nb_components <= 2)
        return bAlpha ? AV_PIX_FMT_YA8 : AV_PIX_FMT_GRAY8;
    return bAlpha ? AV_PIX_FMT_YUVA444P : AV_PIX_FMT_YUV444P;
}

int overlayFrame(const AVFrame *pBase, AVFrame *pDst, const AVFrame *pTop, int x, int y)
{
    int ret = checkVideoFrame(pBase);
    if (ret == 0)
        ret = checkVideoFrame(pTop);
    if (ret < 0)
        return ret;
    if (!pDst)
        return AVERROR(EINVAL);
    const char *szFormat = av_get_pix_fmt_name(static_cast<AVPixelFormat>(pBase->format));
    if (!szFormat)
        return AVERROR(EINVAL);

    // Both pictures are pushed at the same instant so that the overlay pairs them.
    AVFramePtr pBaseRef(av_frame_clone(pBase));
    AVFramePtr pTopRef(av_frame_clone(pTop));
    AVFramePtr pResult = makeFramePtr();
    if (!pBaseRef || !pTopRef || !pResult)
        return AVERROR(ENOMEM);
    const int64_t iPts = pBase->pts;
    pBaseRef->pts = 0;
    pTopRef->pts = 0;

    std::ostringstream description;
    description << "[in1][in2]overlay=" << ":x=" << x << ":y=" << y << ",format=pix_fmts='" << szFormat << "'";
    AVFilterGraph *pGraph = createFilterGraph(
        description.str(), {videoSourceFor("in1", pBase), videoSourceFor("in2", pTop)},
        FilterOutput("out", static_cast<AVPixelFormat>(pBase->format)));
    if (!pGraph)
        return AVERROR(EINVAL);
    ret = runOneShot(pGraph, {{"in1", pBaseRef.get()}, {"in2", pTopRef.get()}}, pResult.get());
    if (ret < 0)
        return ret;
    pResult->pts = iPts;
    moveInto(pDst, pResult.get());
    return 0;
}

int makeColorFrame(AVFrame *pDst, int iWidth, int iHeight, AVPixelFormat ePixelFormat, const std::string &szColor)
{
    if (!pDst || iWidth < 1 || iHeight < 1)
        return AVERROR(EINVAL);
    const std::string szUsed = szColor.empty() ? std::string("white") : szColor;
    const char *szFormat = av_get_pix_fmt_name(ePixelFormat);
    if (!szFormat || !isValidColor(szUsed))
        return AVERROR(EINVAL);
    AVFramePtr pResult = makeFramePtr();
    if (!pResult)
        return AVERROR(ENOMEM);

    std::ostringstream description;
    description << "color=size=" << iWidth << "x" << iHeight << ":color=" << szUsed << ",format=pix_fmts='"
                << szFormat << "'";
    AVFilterGraph *pGraph = createFilterGraph(description.str(), FilterOutput("out", ePixelFormat));
    if (!pGraph)
        return AVERROR(EINVAL);
    const int ret = runOneShot(pGraph, {}, pResult.get());
    if (ret < 0)
        return ret;
    moveInto(pDst, pResult.get());
    return 0;
}

int scalePadFrame(const AVFrame *pSrc, AVFrame *pDst, int iBoxWidth, int iBoxHeight, const std::string &szPadColor)
{
    int ret = checkVideoFrame(pSrc);
    if (ret < 0)
        return ret;
    if (!pDst || iBoxWidth < 1 || iBoxHeight < 1)
        return AVERROR(EINVAL);
    const std::string szUsed = szPadColor.empty() ? std::string("black") : szPadColor;
    if (!isValidColor(szUsed))
        return AVERROR(EINVAL);
    const QSize stFit = fitSize(pSrc->width, pSrc->height, iBoxWidth, iBoxHeight);
    if (stFit.width() < 1 || stFit.height() < 1)
        return AVERROR(EINVAL);
    const int x = (iBoxWidth - stFit.width()) / 2;
    const int y = (iBoxHeight - stFit.height()) / 2;
    std::ostringstream description;
    description << "scale=" << stFit.width() << ":" << stFit.height() << "," << "pad=w=" << iBoxWidth
                << ":h=" << iBoxHeight << ":x=" << x << ":y=" << y << ":color=" << szUsed;
    return filterFrame(pSrc, pDst, description.str());
}

int filterFrame(const AVFrame *pSrc, AVFrame *pDst, const std::string &szDescription)
{
    int ret = checkVideoFrame(pSrc);
    if (ret < 0)
        return ret;
    if (!pDst)
        return AVERROR(EINVAL);
    AVFramePtr pResult = makeFramePtr();
    if (!pResult)
        return AVERROR(ENOMEM);
    const AVPixelFormat eFormat = scalableFormat(static_cast<AVPixelFormat>(pSrc->format));
    AVFilterGraph *pGraph =
        createFilterGraph(szDescription, videoSourceFor("in", pSrc), FilterOutput("out", eFormat));
    if (!pGraph)
        return AVERROR(EINVAL);
    ret = runOneShot(pGraph, {{"in", pSrc}}, pResult.get());
    if (ret < 0)
        return ret;
    moveInto(pDst, pResult.get());
    return 0;
}

int convertPixelFormat(const AVFrame *pSrc, AVFrame *pDst, AVPixelFormat ePixelFormat)
{
    const int ret = checkVideoFrame(pSrc);
    if (ret < 0)
        return ret;
    if (!pDst)
        return AVERROR(EINVAL);
    if (pSrc->format == ePixelFormat) {
        if (pSrc == pDst)
            return 0;
        AVFramePtr pRef(av_frame_clone(pSrc));
        if (!pRef)
            return AVERROR(ENOMEM);
        moveInto(pDst, pRef.get());
        return 0;
    }
    return scaleInto(pSrc, pDst, pSrc->width, pSrc->height, ePixelFormat, true);
}

int resizeFrame(const AVFrame *pSrc, AVFrame *pDst, int iWidth, int iHeight)
{
    const int ret = checkVideoFrame(pSrc);
    if (ret < 0)
        return ret;
    if (!pDst)
        return AVERROR(EINVAL);
    return scaleInto(pSrc, pDst, iWidth, iHeight, scalableFormat(static_cast<AVPixelFormat>(pSrc->format)), false);
}

int fitResizeFrame(const AVFrame *pSrc, AVFrame *pDst, int iBoxWidth, int iBoxHeight)
{
    const int ret = checkVideoFrame(pSrc);
    if (ret < 0)
        return ret;
    if (!pDst)
        return AVERROR(EINVAL);
    const QSize stFit = fitSize(pSrc->width, pSrc->height, iBoxWidth, iBoxHeight);
    return scaleInto(pSrc, pDst, stFit.width(), stFit.height(),
                     scalableFormat(static_cast<AVPixelFormat>(pSrc->format)), false);
}

int makeSilentFrame(AVFrame *pDst, int iChannels, int iSampleRate, AVSampleFormat eSampleFormat, int iSamples)
{
    if (!pDst || iChannels < 1 || iSampleRate < 1 || iSamples < 1 || eSampleFormat < 0
        || eSampleFormat >= AV_SAMPLE_FMT_NB)
        return AVERROR(EINVAL);
    AVFramePtr pOut = makeFramePtr();
    if (!pOut)
        return AVERROR(ENOMEM);
    pOut->nb_samples = iSamples;
    pOut->format = eSampleFormat;
    pOut->sample_rate = iSampleRate;
    av_channel_layout_default(&pOut->ch_layout, iChannels);
    int ret = av_frame_get_buffer(pOut.get(), 0);
    if (ret < 0)
        return ret;
    ret = av_samples_set_silence(pOut->extended_data, 0, iSamples, iChannels, eSampleFormat);
    if (ret < 0)
        return ret;
    moveInto(pDst, pOut.get());
    return 0;
}

namespace {

// An empty sound frame of iSamples in pSrc's format, rate, layout and properties.
int allocateAudioLike(const AVFrame *pSrc, AVFrame *pOut, int iSamples)
{
    pOut->nb_samples = iSamples;
    pOut->format = pSrc->format;
    pOut->sample_rate = pSrc->sample_rate;
    int ret = av_channel_layout_copy(&pOut->ch_layout, &pSrc->ch_layout);
    if (ret >= 0)
        ret = av_frame_get_buffer(pOut, 0);
    if (ret >= 0)
        ret = av_frame_copy_props(pOut, pSrc);
    return ret;
}

} // namespace

int cutAudioFrame(const AVFrame *pSrc, AVFrame *pDst, int iFirstSample, int iSamples)
{
    if (!pSrc || !pDst || pSrc->nb_samples < 1 || pSrc->ch_layout.nb_channels < 1 || iFirstSample < 0
        || iSamples < 1 || iFirstSample + iSamples > pSrc->nb_samples)
        return AVERROR(EINVAL);
    AVFramePtr pOut = makeFramePtr();
    if (!pOut)
        return AVERROR(ENOMEM);
    int ret = allocateAudioLike(pSrc, pOut.get(), iSamples);
    if (ret >= 0)
        ret = av_samples_copy(pOut->extended_data, pSrc->extended_data, 0, iFirstSample, iSamples,
                              pSrc->ch_layout.nb_channels, static_cast<AVSampleFormat>(pSrc->format));
    if (ret < 0)
        return ret;
    moveInto(pDst, pOut.get());
    return 0;
}

int stretchAudioFrame(const AVFrame *pSrc, AVFrame *pDst, int iSamples)
{
    if (!pSrc || !pDst || pSrc->nb_samples < 1 || pSrc->ch_layout.nb_channels < 1 || iSamples < 1)
        return AVERROR(EINVAL);
    AVFramePtr pOut = makeFramePtr();
    if (!pOut)
        return AVERROR(ENOMEM);
    int ret = allocateAudioLike(pSrc, pOut.get(), iSamples);
    if (ret < 0)
        return ret;
    const auto eFormat = static_cast<AVSampleFormat>(pSrc->format);
    const int iChannels = pSrc->ch_layout.nb_channels;
    const bool bPlanar = av_sample_fmt_is_planar(eFormat);
    const int iPlanes = bPlanar ? iChannels : 1;
    const size_t iStep = size_t(av_get_bytes_per_sample(eFormat)) * (bPlanar ? 1 : iChannels);
    const int64_t iSource = pSrc->nb_samples;
    for (int i = 0; i < iSamples; ++i) {
        // The source sample under the middle of output sample i.
        const size_t iFrom = size_t((2 * int64_t(i) + 1) * iSource / (2 * int64_t(iSamples)));
        for (int p = 0; p < iPlanes; ++p)
            std::memcpy(pOut->extended_data[p] + i * iStep, pSrc->extended_data[p] + iFrom * iStep, iStep);
    }
    moveInto(pDst, pOut.get());
    return 0;
}
