#include "media/recipes/PictureRecipes.h"

#include "album/AlbumProjectState.h"
#include "media/ffmpeg/EdgeFrames.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/ImageConvert.h"
#include "media/ffmpeg/PictureOrientation.h"
#include "media/ffmpeg/SizeMath.h"
#include "media/recipes/AlbumGeometry.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

extern "C" {
#include <libavfilter/buffersrc.h>
#include <libavutil/mathematics.h>
#include <libavutil/pixdesc.h>
}

namespace recipes {

namespace {

bool hasAlpha(int iFormat)
{
    const AVPixFmtDescriptor *pDesc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(iFormat));
    return pDesc && (pDesc->flags & AV_PIX_FMT_FLAG_ALPHA);
}

bool isSubsampled(int iFormat)
{
    const AVPixFmtDescriptor *pDesc = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(iFormat));
    return pDesc && (pDesc->log2_chroma_w > 0 || pDesc->log2_chroma_h > 0);
}

bool isPicture(const AVFrame *pFrame)
{
    return pFrame && pFrame->width > 0 && pFrame->height > 0 && pFrame->format >= 0 && pFrame->data[0];
}

} // namespace

int64_t segmentFrameCount(int64_t iDuration, AVRational stTimeBase, AVRational stFrameRate)
{
    if (iDuration <= 0 || stTimeBase.num <= 0 || stTimeBase.den <= 0 || stFrameRate.num <= 0 || stFrameRate.den <= 0)
        return 0;
    // d * tb * fps in doubles loses a frame when 3 s comes out as 2.9999...
    return av_rescale_rnd(iDuration, static_cast<int64_t>(stTimeBase.num) * stFrameRate.num,
                          static_cast<int64_t>(stTimeBase.den) * stFrameRate.den, AV_ROUND_DOWN);
}

const char *quarterTurnFilter(int64_t iTurns)
{
    return orientationFilter(turnedOrientation(1, iTurns));
}

QSize framedPictureSize(int iFraming, int w, int h, int W, int H)
{
    if (iFraming != FramingFill)
        return fitSize(w, h, W, H);
    if (w < 1 || h < 1 || W < 1 || H < 1)
        return QSize();
    const double lfScale = std::max(static_cast<double>(W) / w, static_cast<double>(H) / h);
    return QSize(std::max(W, static_cast<int>(std::ceil(w * lfScale - 1e-6))),
                 std::max(H, static_cast<int>(std::ceil(h * lfScale - 1e-6))));
}

std::string framingDescription(int iFraming, int iSourceWidth, int iSourceHeight, int iWidth, int iHeight)
{
    if ((iFraming != FramingFill && iFraming != FramingBlur) || iSourceWidth < 1 || iSourceHeight < 1 || iWidth < 1
        || iHeight < 1)
        return std::string();
    const char *szWorkFormat = av_get_pix_fmt_name(AV_PIX_FMT_YUV444P);
    // Scaled to cover the box at iBoxWidth x iBoxHeight and cut to it, centred.
    const auto cover = [&](int iBoxWidth, int iBoxHeight) {
        const QSize stCover = framedPictureSize(FramingFill, iSourceWidth, iSourceHeight, iBoxWidth, iBoxHeight);
        const int iCoverWidth = stCover.width();
        const int iCoverHeight = stCover.height();
        std::ostringstream text;
        text << "scale=" << iCoverWidth << ":" << iCoverHeight << ",format=pix_fmts='" << szWorkFormat
             << "',crop=" << iBoxWidth << ":" << iBoxHeight << ":" << (iCoverWidth - iBoxWidth) / 2 << ":"
             << (iCoverHeight - iBoxHeight) / 2;
        return text.str();
    };
    if (iFraming == FramingFill)
        return cover(iWidth, iHeight);

    const QSize stFit = fitSize(iSourceWidth, iSourceHeight, iWidth, iHeight);
    if (stFit.isEmpty())
        return std::string();
    // The backdrop is blurred at a quarter of the frame and scaled up: as
    // soft as a wide blur at full size, for a sixteenth of the work, and the
    // same look at every frame size (the preview's and the export's).
    const int iSmallWidth = std::max(2, iWidth / 4);
    const int iSmallHeight = std::max(2, iHeight / 4);
    const int iSmallSide = std::min(iSmallWidth, iSmallHeight);
    const int iRadius = std::max(1, std::min(static_cast<int>(std::lround(iSmallSide * 0.1)), iSmallSide / 2));
    std::ostringstream description;
    description << "split[framed_picture][framed_backdrop];[framed_backdrop]" << cover(iSmallWidth, iSmallHeight)
                << ",boxblur=luma_radius=" << iRadius << ":luma_power=3,scale=" << iWidth << ":" << iHeight
                << ",lutyuv=y=val*0.7[framed_blur];[framed_picture]scale=" << stFit.width() << ":" << stFit.height()
                << ",format=pix_fmts='" << szWorkFormat << "'[framed_fit];[framed_blur][framed_fit]overlay=x="
                << (iWidth - stFit.width()) / 2 << ":y=" << (iHeight - stFit.height()) / 2 << ":format=yuv444";
    return description.str();
}

std::string clipFilterDescription(int iOrientation, int iClipWidth, int iClipHeight, int iWidth, int iHeight,
                                  AVPixelFormat ePixelFormat, AVRational stFrameRate, bool bTransparent,
                                  int iFraming)
{
    const char *szFormat = av_get_pix_fmt_name(ePixelFormat);
    if (iClipWidth < 1 || iClipHeight < 1 || iWidth < 1 || iHeight < 1 || !szFormat || stFrameRate.num < 1
        || stFrameRate.den < 1)
        return std::string();
    // A rate as a rounded decimal (29.97 for 30000/1001) would slowly move
    // the pictures against the output's own timing; a fraction is exact.
    std::ostringstream rate;
    rate << "fps=" << stFrameRate.num;
    if (stFrameRate.den != 1)
        rate << "/" << stFrameRate.den;
    std::ostringstream description;
    const char *szTurn = orientationFilter(iOrientation);
    if (*szTurn) {
        description << szTurn << ",";
        if (orientationSwapsSides(iOrientation))
            std::swap(iClipWidth, iClipHeight);
    }
    // Transparent parts show the backdrop, as a picture's do: it is painted
    // over a copy of each picture, so that both keep its timestamp. After the
    // rate conversion, because the overlay ends its output where the last
    // picture starts, which would cost that picture its frames.
    if (bTransparent)
        description << rate.str() << ",format=pix_fmts='yuva444p',split[picture][box];[box]drawbox=t=fill:color="
                    << kBackdropColor << ":replace=1[backdrop];[backdrop][picture]overlay=format=yuv444,";
    const std::string szFraming = framingDescription(iFraming, iClipWidth, iClipHeight, iWidth, iHeight);
    if (!szFraming.empty()) {
        description << szFraming << ",format=pix_fmts='" << szFormat << "'";
        if (!bTransparent)
            description << "," << rate.str();
        return description.str();
    }
    const QSize stFit = fitSize(iClipWidth, iClipHeight, iWidth, iHeight);
    if (stFit.isEmpty())
        return std::string();
    const int x = (iWidth - stFit.width()) / 2;
    const int y = (iHeight - stFit.height()) / 2;
    // pad puts a subsampled picture only at even offsets; an odd one is
    // padded without subsampling, so that the clip sits where its first
    // picture sits in a transition (preparePicture pads the same way).
    const AVPixFmtDescriptor *pDesc = av_pix_fmt_desc_get(ePixelFormat);
    const bool bOddInSubsampled =
        pDesc && (((x & 1) && pDesc->log2_chroma_w > 0) || ((y & 1) && pDesc->log2_chroma_h > 0));
    if (bOddInSubsampled)
        description << "scale=" << stFit.width() << ":" << stFit.height() << ",format=pix_fmts='"
                    << av_get_pix_fmt_name(AV_PIX_FMT_YUV444P) << "'";
    else
        description << "format=pix_fmts='" << szFormat << "'"
                    << ",scale=" << stFit.width() << ":" << stFit.height();
    description << ",pad=w=" << iWidth << ":h=" << iHeight << ":x=" << x << ":y=" << y << ":color=black";
    if (bOddInSubsampled)
        description << ",format=pix_fmts='" << szFormat << "'";
    if (!bTransparent)
        description << "," << rate.str();
    return description.str();
}

int endClipGraph(AVFilterGraph *pGraph, int64_t iEndPts)
{
    AVFilterContext *pSource = pGraph ? avfilter_graph_get_filter(pGraph, "in") : nullptr;
    if (!pSource || !pSource->filter || std::string(pSource->filter->name) != "buffer")
        return AVERROR(EINVAL);
    return av_buffersrc_close(pSource, iEndPts, 0);
}

int clipOrientation(const AVStream *pStream, const AVFrame *pFirstFrame, int64_t iTurns)
{
    return turnedOrientation(pictureOrientation(pStream, pFirstFrame), iTurns);
}

AVFilterGraph *createClipGraph(int iOrientation, int iClipWidth, int iClipHeight, AVRational stPixelAspect,
                               AVPixelFormat eClipFormat, AVRational stTimeBase, AVRational stClipFrameRate,
                               int iWidth, int iHeight, AVPixelFormat ePixelFormat, AVRational stFrameRate,
                               int iFraming)
{
    // Fitted as shown: a camera's pixels need not be square.
    const QSize stShown = displaySize(iClipWidth, iClipHeight, stPixelAspect);
    const std::string szDescription = clipFilterDescription(iOrientation, stShown.width(), stShown.height(), iWidth,
                                                            iHeight, ePixelFormat, stFrameRate, hasAlpha(eClipFormat),
                                                            iFraming);
    if (szDescription.empty() || eClipFormat < 0 || stTimeBase.num < 1 || stTimeBase.den < 1)
        return nullptr;
    if (stClipFrameRate.num < 1 || stClipFrameRate.den < 1)
        stClipFrameRate = AVRational{0, 1};
    return createFilterGraph(szDescription,
                             FilterInput("in", iClipWidth, iClipHeight, eClipFormat, stTimeBase, stClipFrameRate,
                                         stPixelAspect),
                             FilterOutput("out", ePixelFormat));
}

int rotateQuarterTurns(AVFrame *pPicture, int64_t iTurns, bool *pbConversionFailed)
{
    if (pbConversionFailed)
        *pbConversionFailed = false;
    const char *szFilter = quarterTurnFilter(iTurns);
    if (!*szFilter)
        return 0;
    if (!isPicture(pPicture))
        return AVERROR(EINVAL);

    const AVPixelFormat eFormat = hasAlpha(pPicture->format) ? AV_PIX_FMT_YUVA420P : AV_PIX_FMT_YUV420P;
    int ret = convertPixelFormat(pPicture, pPicture, eFormat);
    if (ret < 0) {
        if (pbConversionFailed)
            *pbConversionFailed = true;
        return ret;
    }
    return filterFrame(pPicture, pPicture, szFilter);
}

int preparePicture(const AVFrame *pSource, AVFrame *pDst, int iWidth, int iHeight, AVPixelFormat ePixelFormat,
                   int iFraming)
{
    if (!isPicture(pSource) || !pDst || iWidth < 1 || iHeight < 1 || ePixelFormat < 0)
        return AVERROR(EINVAL);
    AVFramePtr pWork = makeFramePtr();
    if (!pWork)
        return AVERROR(ENOMEM);
    const bool bBars = iFraming != FramingFill && iFraming != FramingBlur;

    // The picture at its size in the frame first (fitted, or covering it):
    // laying it on the backdrop afterwards gives the same picture as the
    // other way round, at a fraction of the work for a large photo. A
    // palette picture comes out with its colours and transparency in RGBA.
    // Our scaler reads a full-range picture's range as the other paths do;
    // the framing filters would leave it unread.
    const QSize stFramed = framedPictureSize(iFraming, pSource->width, pSource->height, iWidth, iHeight);
    int ret = bBars ? fitResizeFrame(pSource, pWork.get(), iWidth, iHeight)
                    : resizeFrame(pSource, pWork.get(), stFramed.width(), stFramed.height());
    if (ret < 0)
        return ret;
    // Padded (or framed) without chroma subsampling, so that the picture
    // sits exactly in the middle even where that is an odd number of pixels
    // from the edge.
    if (hasAlpha(pWork->format)) {
        AVFramePtr pBackdrop = makeFramePtr();
        if (!pBackdrop)
            return AVERROR(ENOMEM);
        ret = makeColorFrame(pBackdrop.get(), pWork->width, pWork->height, AV_PIX_FMT_YUV444P, kBackdropColor);
        if (ret < 0)
            return ret;
        ret = overlayFrame(pBackdrop.get(), pWork.get(), pWork.get(), 0, 0);
    } else if (isSubsampled(pWork->format) || !bBars) {
        // An opaque picture covers the backdrop completely.
        ret = convertPixelFormat(pWork.get(), pWork.get(), AV_PIX_FMT_YUV444P);
    }
    if (ret < 0)
        return ret;
    ret = bBars ? scalePadFrame(pWork.get(), pWork.get(), iWidth, iHeight, kBarColor)
                : filterFrame(pWork.get(), pWork.get(),
                              framingDescription(iFraming, pWork->width, pWork->height, iWidth, iHeight));
    if (ret < 0)
        return ret;
    ret = convertPixelFormat(pWork.get(), pWork.get(), ePixelFormat);
    if (ret < 0)
        return ret;
    pWork->pts = 0;
    av_frame_unref(pDst);
    av_frame_move_ref(pDst, pWork.get());
    return 0;
}

namespace {

// Microseconds as seconds: whole when they are, else with six decimals.
std::string secondsText(int64_t iMicroseconds)
{
    std::ostringstream text;
    if (iMicroseconds < 0)
        text << "-";
    const int64_t iMagnitude = iMicroseconds < 0 ? -iMicroseconds : iMicroseconds;
    text << iMagnitude / 1000000;
    if (iMagnitude % 1000000 != 0)
        text << "." << std::to_string(1000000 + iMagnitude % 1000000).substr(1);
    return text.str();
}

} // namespace

int makeAlbumPicture(AVFrame *pPicture, int64_t iTurns, int iWidth, int iHeight, AVPixelFormat ePixelFormat,
                     PictureStep *peFailed, int iFraming)
{
    const auto failed = [peFailed](PictureStep eStep, int iCode) {
        if (peFailed)
            *peFailed = eStep;
        return iCode;
    };
    if (peFailed)
        *peFailed = PictureStep::None;
    bool bConversionFailed = false;
    int ret = rotateQuarterTurns(pPicture, iTurns, &bConversionFailed);
    if (ret < 0)
        return failed(bConversionFailed ? PictureStep::Convert : PictureStep::Turn, ret);
    ret = preparePicture(pPicture, pPicture, iWidth, iHeight, ePixelFormat, iFraming);
    if (ret < 0)
        return failed(PictureStep::Fit, ret);
    ret = convertPixelFormat(pPicture, pPicture, ePixelFormat);
    if (ret < 0)
        return failed(PictureStep::Convert, ret);
    pPicture->pts = 0;
    return 0;
}

int loadAlbumPicture(const std::string &szPath, int64_t iTurns, int iWidth, int iHeight, AVPixelFormat ePixelFormat,
                     AVFrame *pDst, PictureStep *peFailed, bool bLast, int iFraming)
{
    int ret = bLast ? decodeEdgeFrames(szPath, nullptr, pDst) : decodeEdgeFrames(szPath, pDst);
    if (ret < 0) {
        if (peFailed)
            *peFailed = PictureStep::Decode;
        return ret;
    }
    ret = makeAlbumPicture(pDst, iTurns, iWidth, iHeight, ePixelFormat, peFailed, iFraming);
#ifdef __GLIBC__
    // The full-size photo and its intermediate pictures are free again. glibc
    // keeps such memory in its heaps, scattered between the frames that stay,
    // so that a long album would slowly grow the process; hand it back now.
    malloc_trim(0);
#endif
    return ret;
}

std::string transitionDescription(const TransitionEffect &stEffect, int64_t iDuration, AVRational stTimeBase,
                                  int64_t iOffset, AVRational stOffsetTimeBase)
{
    constexpr AVRational kMicroseconds{1, 1000000};
    // Rounded to whole seconds a short transition would last 0 s, which
    // xfade divides by, and a transition started inside would be off by up
    // to half a second.
    std::ostringstream description;
    description << "[in1][in2]" << stEffect.szFilterName << "=" << "transition=" << stEffect.szTransitionName
                << ":offset=" << secondsText(av_rescale_q(iOffset, stOffsetTimeBase, kMicroseconds))
                << ":duration=" << secondsText(av_rescale_q(iDuration, stTimeBase, kMicroseconds));
    return description.str();
}

AVFilterGraph *createTransitionGraph(const TransitionSegment &stSegment, int iWidth, int iHeight,
                                     AVPixelFormat eInputFormat, AVPixelFormat eOutputFormat, AVRational stTimeBase,
                                     AVRational stFrameRate, int64_t iStartFrame)
{
    if (!stSegment.pEffect || iWidth < 1 || iHeight < 1 || stSegment.iDuration <= 0 || iStartFrame < 0)
        return nullptr;
    // xfade counts its progress from the first picture it is given: starting
    // at frame k, the transition began k frames before that picture.
    const std::string szDescription = transitionDescription(*stSegment.pEffect, stSegment.iDuration,
                                                            stSegment.stTimeBase, -iStartFrame, stTimeBase);
    return createFilterGraph(
        szDescription,
        std::vector<FilterInput>{
            FilterInput("in1", iWidth, iHeight, eInputFormat, stTimeBase, stFrameRate, AVRational{0, 1}),
            FilterInput("in2", iWidth, iHeight, eInputFormat, stTimeBase, stFrameRate, AVRational{0, 1})},
        FilterOutput("out", eOutputFormat));
}

QImage renderTextWatermark(const QString &szText, const QFont &stFont, const QColor &stColor,
                           double lfTransparency)
{
    if (szText.isEmpty())
        return QImage();
    const QFontMetrics stMetrics(stFont);
    const QSize stSize = stMetrics.boundingRect(szText).size();
    if (stSize.isEmpty())
        return QImage();
    QImage stImage(stSize, QImage::Format_ARGB32);
    if (stImage.isNull())
        return QImage();
    stImage.fill(Qt::transparent);
    QPainter painter(&stImage);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(stFont);
    QColor stPen = stColor;
    stPen.setAlphaF(qBound(0.0, 1.0 - lfTransparency, 1.0));
    painter.setPen(stPen);
    painter.drawText(QPoint(0, stMetrics.ascent()), szText);
    painter.end();
    return stImage;
}

std::string watermarkDescription(int x, int y, AVPixelFormat ePixelFormat)
{
    const char *szFormat = av_get_pix_fmt_name(ePixelFormat);
    std::ostringstream description;
    description << "[in1][in2]overlay=" << ":x=" << x << ":y=" << y << ",format=pix_fmts='"
                << (szFormat ? szFormat : "") << "'";
    return description.str();
}

AVFilterGraph *createWatermarkGraph(int iWidth, int iHeight, AVPixelFormat ePixelFormat, const AVFrame *pMark, int x,
                                    int y)
{
    if (!isPicture(pMark) || iWidth < 1 || iHeight < 1 || !av_get_pix_fmt_name(ePixelFormat))
        return nullptr;
    return createFilterGraph(
        watermarkDescription(x, y, ePixelFormat),
        std::vector<FilterInput>{
            FilterInput("in1", iWidth, iHeight, ePixelFormat, AVRational{1, 1}, AVRational{0, 1}, AVRational{0, 1}),
            FilterInput("in2", pMark->width, pMark->height, static_cast<AVPixelFormat>(pMark->format),
                        AVRational{1, 1}, AVRational{0, 1}, pMark->sample_aspect_ratio)},
        FilterOutput("out", ePixelFormat));
}

namespace {

int failedAt(WatermarkStep *peFailed, WatermarkStep eStep, int iCode)
{
    if (peFailed)
        *peFailed = eStep;
    return iCode;
}

// The last step of both kinds of watermark: the overlay graph for pMark at
// stRect, and the overlay filled in.
int installWatermark(WatermarkOverlay &stOverlay, AVFramePtr pMark, const QRect &stRect, int iWidth, int iHeight,
                     AVPixelFormat ePixelFormat, WatermarkStep *peFailed)
{
    AVFilterGraphPtr pGraph(createWatermarkGraph(iWidth, iHeight, ePixelFormat, pMark.get(), stRect.x(), stRect.y()));
    if (!pGraph)
        return failedAt(peFailed, WatermarkStep::Graph, AVERROR(EINVAL));
    stOverlay.pMark = std::move(pMark);
    stOverlay.pGraph = std::move(pGraph);
    stOverlay.stRect = stRect;
    return 0;
}

} // namespace

int prepareTextWatermark(WatermarkOverlay &stOverlay, const QString &szText, const QFont &stFont,
                         const QColor &stColor, double lfTransparency, int iPos, int iWidth, int iHeight,
                         AVPixelFormat ePixelFormat, WatermarkStep *peFailed)
{
    stOverlay.reset();
    if (peFailed)
        *peFailed = WatermarkStep::None;
    if (szText.isEmpty())
        return 0;
    const QRect stRect = textWatermarkRect(szText, stFont, iPos, iWidth, iHeight);
    const QImage stImage = renderTextWatermark(szText, stFont, stColor, lfTransparency);
    AVFramePtr pMark(imageToFrame(stImage));
    if (!pMark)
        return failedAt(peFailed, WatermarkStep::Render, AVERROR(ENOMEM));
    return installWatermark(stOverlay, std::move(pMark), stRect, iWidth, iHeight, ePixelFormat, peFailed);
}

int prepareImageWatermark(WatermarkOverlay &stOverlay, const std::string &szPath, int iPos, int iWidth,
                          int iHeight, AVPixelFormat ePixelFormat, WatermarkStep *peFailed)
{
    stOverlay.reset();
    if (peFailed)
        *peFailed = WatermarkStep::None;
    if (szPath.empty())
        return 0;
    AVFramePtr pMark = makeFramePtr();
    if (!pMark)
        return failedAt(peFailed, WatermarkStep::Decode, AVERROR(ENOMEM));
    int ret = decodeEdgeFrames(szPath, pMark.get());
    if (ret < 0)
        return failedAt(peFailed, WatermarkStep::Decode, ret);
    const QRect stRect = imageWatermarkRect(pMark->width, pMark->height, iPos, iWidth, iHeight);
    ret = resizeFrame(pMark.get(), pMark.get(), stRect.width(), stRect.height());
    if (ret < 0)
        return failedAt(peFailed, WatermarkStep::Resize, ret);
    return installWatermark(stOverlay, std::move(pMark), stRect, iWidth, iHeight, ePixelFormat, peFailed);
}

int prepareAlbumWatermark(WatermarkOverlay &stOverlay, const AlbumProjectState &st, int iWidth, int iHeight,
                          AVPixelFormat ePixelFormat, int iFontDivisor, WatermarkStep *peFailed)
{
    stOverlay.reset();
    if (peFailed)
        *peFailed = WatermarkStep::None;
    if (st.iWatermarkType == WatermarkText && !st.szWatermarkText.isEmpty()) {
        QFont stFont = st.stWatermarkFont;
        if (iFontDivisor > 1) {
            if (stFont.pixelSize() > 0)
                stFont.setPixelSize(std::max(1, stFont.pixelSize() / iFontDivisor));
            else if (stFont.pointSizeF() > 0)
                stFont.setPointSizeF(stFont.pointSizeF() / iFontDivisor);
        }
        return prepareTextWatermark(stOverlay, st.szWatermarkText, stFont, st.stWatermarkColor,
                                    st.lfWatermarkTransparency, st.iWatermarkPos, iWidth, iHeight, ePixelFormat,
                                    peFailed);
    }
    if (st.iWatermarkType == WatermarkImage && !st.szImageWatermarkPath.isEmpty())
        return prepareImageWatermark(stOverlay, st.szImageWatermarkPath.toUtf8().toStdString(), st.iWatermarkPos,
                                     iWidth, iHeight, ePixelFormat, peFailed);
    return 0;
}

int applyWatermarkOverlay(WatermarkOverlay &stOverlay, const AVFrame *pPicture, AVFrame *pOut)
{
    if (!isPicture(pPicture) || !pOut)
        return AVERROR(EINVAL);
    if (!stOverlay.isActive()) {
        if (pOut == pPicture)
            return 0;
        av_frame_unref(pOut);
        return av_frame_ref(pOut, pPicture);
    }
    // Picture and mark go in with the same, ever increasing timestamp, so
    // that the overlay pairs them at once and gives one picture per push.
    AVFramePtr pIn(av_frame_clone(pPicture));
    if (!pIn)
        return AVERROR(ENOMEM);
    const int64_t iPts = stOverlay.iNextPts++;
    pIn->pts = iPts;
    stOverlay.pMark->pts = iPts;
    int ret = pushFrameToFilter(stOverlay.pGraph.get(), "in1", pIn.get());
    if (ret < 0)
        return ret;
    ret = pushFrameToFilter(stOverlay.pGraph.get(), "in2", stOverlay.pMark.get());
    if (ret < 0)
        return ret;
    bool bGot = false;
    ret = pullFrameFromFilter(stOverlay.pGraph.get(), "out", pOut, bGot);
    if (ret < 0)
        return ret;
    return bGot ? 0 : AVERROR(EAGAIN);
}

} // namespace recipes
