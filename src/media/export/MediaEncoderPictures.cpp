// Image segments, transitions and the watermark of the export.

#include "album/AlbumProjectState.h"
#include "media/export/MediaEncoder.h"
#include "media/ffmpeg/EdgeFrames.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/recipes/PictureMotion.h"
#include "media/recipes/PictureRecipes.h"
#include "media/recipes/TransitionFrames.h"


// The first picture of a material, upright, turned, framed and in the
// encoder's format (larger, for a photo that moves): what its image segment
// shows and a transition aims at.
void MediaEncoder::loadPicture(const ImageSource &stSource, int iMaterial, AVFrame *pDst)
{
    ScopedPhase phase(m_clock, ExportPhase::Prepare);
    recipes::PictureStep eFailed = recipes::PictureStep::None;
    const QSize stSize = recipes::albumPictureSize(m_timeline, iMaterial, m_ctx.iWidth, m_ctx.iHeight);
    const int ret = recipes::loadAlbumPicture(
        stSource.szFilePath.toUtf8().toStdString(), stSource.iRotation, stSize.width(), stSize.height(),
        recipes::albumPictureFormat(m_timeline, iMaterial, m_ctx.ePixelFormat), pDst, &eFailed, false,
        m_timeline.framing());
    switch (ret < 0 ? eFailed : recipes::PictureStep::None) {
    case recipes::PictureStep::None:
        return;
    case recipes::PictureStep::Decode:
        fail(ret, tr("Image decode failed"));
    case recipes::PictureStep::Convert:
        fail(ret, tr("Image format conversion failed"));
    case recipes::PictureStep::Fit:
        fail(ret, tr("Image zoom failed"));
    case recipes::PictureStep::Turn:
        fail(ret);
    }
}

void MediaEncoder::renderImageSegment(const recipes::TimelineSegment &stSegment, const ImageSource &stSource)
{
    // After a transition the current picture already is this image's; the
    // path check also covers an album whose transition list is short.
    const bool bPrepared = m_ctx.pCurrentPicture->width > 0 && m_ctx.pCurrentPicture->height > 0
                           && m_ctx.szCurrentPictureOf == stSource.szFilePath.toStdString()
                           && m_ctx.iCurrentPictureRotation == stSource.iRotation;
    if (!bPrepared) {
        loadPicture(stSource, stSegment.iMaterial, m_ctx.pCurrentPicture.get());
        m_ctx.szCurrentPictureOf = stSource.szFilePath.toStdString();
        m_ctx.iCurrentPictureRotation = stSource.iRotation;
    }
    m_ctx.eAudioWriter = stillPictureAudioWriter();

    if (m_timeline.moves(stSegment.iMaterial)) {
        AVFrame *pOutput = m_ctx.pOutputFrame.get();
        for (int64_t i = 0; i < stSegment.iFrames; ++i) {
            checkRunning();
            int ret = 0;
            {
                ScopedPhase phase(m_clock, ExportPhase::Motion);
                ret = recipes::shownPicture(m_timeline, stSegment.iMaterial, m_ctx.pCurrentPicture.get(),
                                            stSegment.iFirstFrame + i, m_ctx.iWidth, m_ctx.iHeight,
                                            m_ctx.ePixelFormat, pOutput);
            }
            if (ret < 0)
                fail(ret, tr("Image zoom failed"));
            if ((ret = applyWatermark(pOutput, pOutput)) < 0)
                fail(ret, tr("Add watermark failed"));
            emitVideoFrame(pOutput);
        }
        av_frame_unref(pOutput);
        return;
    }

    const int ret = applyWatermark(m_ctx.pCurrentPicture.get(), m_ctx.pOutputFrame.get());
    if (ret < 0)
        fail(ret, tr("Add watermark failed"));
    // The same watermarked picture n times: one encode per frame and nothing else.
    for (int64_t i = 0; i < stSegment.iFrames; ++i) {
        checkRunning();
        emitVideoFrame(m_ctx.pOutputFrame.get());
    }
    av_frame_unref(m_ctx.pOutputFrame.get());
}

void MediaEncoder::renderTransition(const recipes::TimelineSegment &stSegment, const ImageSource &stTo)
{
    // Whatever happens, the next material's picture becomes the current one,
    // so that the context stays consistent for its segment or the release.
    struct MoveNextIntoCurrent
    {
        ExportContext &ctx;
        std::string szPath;
        int64_t iRotation;
        ~MoveNextIntoCurrent()
        {
            av_frame_unref(ctx.pCurrentPicture.get());
            av_frame_move_ref(ctx.pCurrentPicture.get(), ctx.pNextPicture.get());
            ctx.pCurrentPicture->pts = 0;
            ctx.szCurrentPictureOf = szPath;
            ctx.iCurrentPictureRotation = iRotation;
        }
    } stMove{m_ctx, stTo.szFilePath.toStdString(), stTo.iRotation};

    loadPicture(stTo, stSegment.iMaterial + 1, m_ctx.pNextPicture.get());

    recipes::TransitionFrames stFrames;
    {
        ScopedPhase phase(m_clock, ExportPhase::Transition);
        const int ret = m_ctx.pCurrentPicture->width > 0
                            ? recipes::openAlbumTransition(stFrames, m_timeline, stSegment,
                                                           m_ctx.pCurrentPicture.get(), m_ctx.pNextPicture.get(),
                                                           m_ctx.iWidth, m_ctx.iHeight, m_ctx.ePixelFormat,
                                                           m_ctx.stVideoTimeBase, m_ctx.stFrameRate,
                                                           stSegment.iFirstFrame)
                            : AVERROR(EINVAL);
        if (ret < 0)
            fail(ret, stFrames.failedStep() == recipes::TransitionFrames::Step::Graph
                          ? tr("Create transition filter failed")
                          : tr("Image format conversion failed"));
    }

    m_ctx.eAudioWriter = stillPictureAudioWriter();
    AVFrame *pOutput = m_ctx.pOutputFrame.get();
    for (int64_t i = 0; i < stSegment.iFrames; ++i) {
        checkRunning();
        {
            ScopedPhase phase(m_clock, ExportPhase::Transition);
            const int ret = stFrames.frame(i, pOutput);
            if (ret < 0)
                fail(ret, stFrames.failedStep() == recipes::TransitionFrames::Step::Push
                              ? tr("Add frame to transition filter failed")
                              : tr("Get frame from transition filter failed"));
        }
        pOutput->pts = 0;
        const int ret = applyWatermark(pOutput, pOutput);
        if (ret < 0)
            fail(ret, tr("Add watermark failed"));
        emitVideoFrame(pOutput);
    }
    av_frame_unref(pOutput);
}

void MediaEncoder::prepareWatermark()
{
    ScopedPhase phase(m_clock, ExportPhase::Prepare);
    recipes::WatermarkStep eFailed = recipes::WatermarkStep::None;
    const int ret = recipes::prepareAlbumWatermark(m_ctx.stWatermark, albumState(), m_ctx.iWidth, m_ctx.iHeight,
                                                   m_ctx.ePixelFormat, 1, &eFailed);
    if (ret < 0)
        fail(ret, eFailed == recipes::WatermarkStep::Graph ? tr("Create watermark filter failed") : QString());
}

int MediaEncoder::applyWatermark(const AVFrame *pPicture, AVFrame *pOut)
{
    ScopedPhase phase(m_clock, ExportPhase::Watermark);
    return recipes::applyWatermarkOverlay(m_ctx.stWatermark, pPicture, pOut);
}
