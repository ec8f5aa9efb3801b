#include "media/preview/CPreviewRenderer.h"

#include "album/AlbumProjectState.h"
#include "import/CQSql.h"
#include "import/ImageDecoder.h"
#include "import/MaterialImport.h"
#include "media/ffmpeg/PictureBytes.h"
#include "media/ffmpeg/SizeMath.h"
#include "media/recipes/PictureMotion.h"
#include "media/recipes/TransitionFrames.h"

#include <algorithm>

using recipes::TimelineSegment;

QSize CPreviewRenderer::previewSize(int iWidth, int iHeight, int iScale)
{
    return divideSize(iWidth, iHeight, std::max(1, iScale));
}

int CPreviewRenderer::setUp(const AlbumProjectState &st, int iScale, std::function<bool()> fnStop)
{
    m_clock.start();
    ScopedPhase phase(m_clock, ExportPhase::Prepare);
    m_fnStop = std::move(fnStop);
    m_stClip.setInterrupt(m_fnStop);
    iScale = std::max(1, iScale);
    const QSize stSize = previewSize(st.iExportWidth, st.iExportHeight, iScale);
    m_iWidth = stSize.width();
    m_iHeight = stSize.height();
    if (stSize.isEmpty())
        return AVERROR(EINVAL);
    m_timeline = recipes::AlbumTimeline(st, kFrameRate);
    m_pOutput = makeFramePtr();
    if (!m_pOutput)
        return AVERROR(ENOMEM);
    // The store is looked up without holding its mutex: it takes it itself.
    m_bUseStore = thumbnailStoreStarted() && CQSql::instance().isOpen();
    return recipes::prepareAlbumWatermark(m_stWatermark, st, m_iWidth, m_iHeight, kPixelFormat, iScale);
}

int CPreviewRenderer::render(int64_t iFrom, CPreviewPictureSink &stSink)
{
    const QVector<TimelineSegment> &segments = m_timeline.segments();
    const int iFirst = m_timeline.segmentOfFrame(iFrom);
    if (iFirst < 0)
        return 0;
    for (int i = iFirst; i < segments.size(); ++i) {
        const TimelineSegment &stSegment = segments.at(i);
        if (stSegment.iFrames < 1)
            continue;
        // Only this material's pictures and the next one's can still be needed.
        for (auto it = m_pictures.begin(); it != m_pictures.end();)
            it = it->first.first < stSegment.iMaterial ? m_pictures.erase(it) : std::next(it);
        const int ret = renderSegment(stSegment, std::max(iFrom, stSegment.iFirstFrame), stSink);
        if (ret != 0)
            return ret;
    }
    return 0;
}

int CPreviewRenderer::renderSegment(const TimelineSegment &stSegment, int64_t iFrom, CPreviewPictureSink &stSink)
{
    switch (stSegment.eKind) {
    case TimelineSegment::Kind::Image:
        return renderImage(stSegment, iFrom, stSink);
    case TimelineSegment::Kind::Transition:
        return renderTransition(stSegment, iFrom, stSink);
    case TimelineSegment::Kind::Video:
        return renderVideo(stSegment, iFrom, stSink);
    case TimelineSegment::Kind::Nothing:
        break;
    }
    return 0;
}

int CPreviewRenderer::emitPicture(const AVFrame *pPicture, int64_t iFrame, CPreviewPictureSink &stSink)
{
    {
        ScopedPhase phase(m_clock, ExportPhase::Watermark);
        const int ret = recipes::applyWatermarkOverlay(m_stWatermark, pPicture, m_pOutput.get());
        if (ret < 0)
            return ret;
    }
    const bool bGoOn = stSink.take(m_pOutput.get(), iFrame);
    av_frame_unref(m_pOutput.get());
    return bGoOn ? 0 : 1;
}

int CPreviewRenderer::renderImage(const TimelineSegment &stSegment, int64_t iFrom, CPreviewPictureSink &stSink)
{
    int ret = 0;
    const AVFrame *pPicture = picture(stSegment.iMaterial, false, &ret);
    if (!pPicture)
        return ret;
    AVFramePtr pMarked = makeFramePtr();
    if (!pMarked)
        return AVERROR(ENOMEM);
    const bool bMoves = m_timeline.moves(stSegment.iMaterial);
    for (int64_t iFrame = iFrom; iFrame < stSegment.endFrame(); ++iFrame) {
        if (stopped())
            return 1;
        if (stSink.isLate(iFrame))
            continue;
        if (bMoves) {
            {
                ScopedPhase phase(m_clock, ExportPhase::Motion);
                if ((ret = recipes::shownPicture(m_timeline, stSegment.iMaterial, pPicture, iFrame, m_iWidth,
                                                 m_iHeight, kPixelFormat, pMarked.get()))
                    < 0)
                    return ret;
            }
            if ((ret = emitPicture(pMarked.get(), iFrame, stSink)) != 0)
                return ret;
            continue;
        }
        // A still photo: the same watermarked picture for every frame, as the export does.
        if (!pMarked->data[0]) {
            ScopedPhase phase(m_clock, ExportPhase::Watermark);
            if ((ret = recipes::applyWatermarkOverlay(m_stWatermark, pPicture, pMarked.get())) < 0)
                return ret;
        }
        if (!stSink.take(pMarked.get(), iFrame))
            return 1;
    }
    return 0;
}

int CPreviewRenderer::renderTransition(const TimelineSegment &stSegment, int64_t iFrom, CPreviewPictureSink &stSink)
{
    if (stSegment.iMaterial + 1 >= m_timeline.materials().size())
        return AVERROR(EINVAL);
    int ret = 0;
    const AVFrame *pFrom = picture(stSegment.iMaterial, true, &ret);
    const AVFrame *pTo = pFrom ? picture(stSegment.iMaterial + 1, false, &ret) : nullptr;
    if (!pTo)
        return ret;
    recipes::TransitionFrames stFrames;
    AVFramePtr pFrame = makeFramePtr();
    if (!pFrame)
        return AVERROR(ENOMEM);
    {
        ScopedPhase phase(m_clock, ExportPhase::Transition);
        if ((ret = recipes::openAlbumTransition(stFrames, m_timeline, stSegment, pFrom, pTo, m_iWidth, m_iHeight,
                                                kPixelFormat, av_inv_q(kFrameRate), kFrameRate, iFrom))
            < 0)
            return ret;
    }
    for (int64_t iFrame = iFrom; iFrame < stSegment.endFrame(); ++iFrame) {
        if (stopped())
            return 1;
        // xfade places each picture by its timestamp: a frame left out
        // costs nothing and moves nothing.
        if (stSink.isLate(iFrame))
            continue;
        {
            ScopedPhase phase(m_clock, ExportPhase::Transition);
            if ((ret = stFrames.frame(iFrame - stSegment.iFirstFrame, pFrame.get())) < 0)
                return ret;
        }
        if ((ret = emitPicture(pFrame.get(), iFrame, stSink)) != 0)
            return ret;
    }
    return 0;
}

int CPreviewRenderer::renderVideo(const TimelineSegment &stSegment, int64_t iFrom, CPreviewPictureSink &stSink)
{
    const int iMaterial = stSegment.iMaterial;
    const recipes::TimelineMaterial &stMaterial = m_timeline.materials().at(iMaterial);
    const int64_t iClipFrame = iFrom - stSegment.iFirstFrame;
    int ret = 0;
    {
        ScopedPhase phase(m_clock, ExportPhase::Prepare);
        if (m_iClipMaterial != iMaterial) {
            m_iClipMaterial = -1;
            if ((ret = m_stClip.open(stMaterial.szPath.toUtf8().toStdString(), stMaterial.iRotation, m_iWidth,
                                     m_iHeight, kPixelFormat, kFrameRate, m_timeline.framing()))
                < 0)
                return ret;
            m_iClipMaterial = iMaterial;
            m_iClipNextFrame = 0;
        }
        if (m_iClipNextFrame != iClipFrame) {
            if ((ret = m_stClip.seekToFrame(iClipFrame)) < 0)
                return ret;
            m_iClipNextFrame = iClipFrame;
        }
    }

    AVFramePtr pPicture = makeFramePtr();
    AVFramePtr pShown = makeFramePtr();
    if (!pPicture || !pShown)
        return AVERROR(ENOMEM);
    bool bEnded = false;
    for (int64_t iFrame = iFrom; iFrame < stSegment.endFrame(); ++iFrame) {
        if (stopped())
            return 1;
        // Once the clip's pictures have run out, its last one stays until the count is reached.
        if (!bEnded) {
            ScopedPhase phase(m_clock, ExportPhase::Prepare);
            if ((ret = m_stClip.next(pPicture.get())) < 0)
                return ret == AVERROR(EINTR) ? 1 : ret;
            bEnded = ret == 0;
            if (!bEnded) {
                ++m_iClipNextFrame;
                av_frame_unref(pShown.get());
                av_frame_move_ref(pShown.get(), pPicture.get());
            }
        }
        // A clip that gives no picture at all has nothing to show.
        if (!pShown->data[0])
            return AVERROR_INVALIDDATA;
        if (stSink.isLate(iFrame))
            continue;
        if ((ret = emitPicture(pShown.get(), iFrame, stSink)) != 0)
            return ret;
    }
    // Where the transition after the clip starts.
    keepPicture(iMaterial, true, std::move(pShown));
    return 0;
}

const AVFrame *CPreviewRenderer::picture(int iMaterial, bool bLast, int *pError)
{
    const QVector<recipes::TimelineMaterial> &materials = m_timeline.materials();
    if (iMaterial < 0 || iMaterial >= materials.size()) {
        *pError = AVERROR(EINVAL);
        return nullptr;
    }
    // An image's last picture is its first.
    bLast = bLast && materials.at(iMaterial).iSourceType == SourceVideo;
    const auto it = m_pictures.find(PictureKey(iMaterial, bLast));
    if (it != m_pictures.end())
        return it->second.get();
    AVFramePtr pPicture = makeFramePtr();
    *pError = pPicture ? loadPicture(iMaterial, bLast, pPicture.get()) : AVERROR(ENOMEM);
    if (*pError < 0)
        return nullptr;
    const AVFrame *pKept = pPicture.get();
    keepPicture(iMaterial, bLast, std::move(pPicture));
    return pKept;
}

void CPreviewRenderer::keepPicture(int iMaterial, bool bLast, AVFramePtr pPicture)
{
    if (pPicture && pPicture->data[0])
        m_pictures[PictureKey(iMaterial, bLast)] = std::move(pPicture);
}

int CPreviewRenderer::loadPicture(int iMaterial, bool bLast, AVFrame *pDst)
{
    ScopedPhase phase(m_clock, ExportPhase::Prepare);
    const recipes::TimelineMaterial &stMaterial = m_timeline.materials().at(iMaterial);
    const QSize stSize = recipes::albumPictureSize(m_timeline, iMaterial, m_iWidth, m_iHeight);
    if (m_bUseStore && loadStoredPicture(stMaterial, bLast, stSize, pDst))
        return recipes::makeAlbumPicture(pDst, stMaterial.iRotation, stSize.width(), stSize.height(), kPixelFormat,
                                         nullptr, m_timeline.framing());
    return recipes::loadAlbumPicture(stMaterial.szPath.toUtf8().toStdString(), stMaterial.iRotation, stSize.width(),
                                     stSize.height(), kPixelFormat, pDst, nullptr, bLast, m_timeline.framing());
}

// The smallest tier picture as large as the material is shown in the
// preview (at stSize, framed), from the store, or made and stored now when
// the store lacks it (the largest tier is made only when a preview first
// needs it); false when the preview shows it larger than any tier.
bool CPreviewRenderer::loadStoredPicture(const recipes::TimelineMaterial &stMaterial, bool bLast, QSize stSize,
                                         AVFrame *pDst)
{
    if (stMaterial.stSize.isEmpty())
        return false;
    const bool bTurned = (stMaterial.iRotation & 1) != 0;
    const QSize stShown = recipes::framedPictureSize(
        m_timeline.framing(), bTurned ? stMaterial.stSize.height() : stMaterial.stSize.width(),
        bTurned ? stMaterial.stSize.width() : stMaterial.stSize.height(), stSize.width(), stSize.height());
    const int iNeeded = std::max(stShown.width(), stShown.height());
    const QList<QPair<QString, int>> &tiers = ImageDecoder::tiers();
    const auto it = std::find_if(tiers.crbegin(), tiers.crend(), [iNeeded](const auto &tier) {
        return tier.second >= iNeeded;
    });
    if (it == tiers.crend())
        return false;
    const QString szKey = stMaterial.szPath + it->first + (bLast ? QStringLiteral("_end") : QString());
    ThumbnailRecord stRecord;
    AVFramePtr pFrame = makeFramePtr();
    if (!pFrame)
        return false;
    if (CQSql::instance().findImage(QString::fromLatin1(CQSql::kTableName), QString::fromLatin1(CQSql::kColumnFlag),
                                    szKey, stRecord)
        && unpackPicture(stRecord.imageData, pFrame.get()) >= 0) {
        av_frame_unref(pDst);
        av_frame_move_ref(pDst, pFrame.get());
        return true;
    }
    return ImageDecoder::makeMissingTier(stMaterial.szPath, it->first, it->second, bLast, pDst) >= 0;
}
