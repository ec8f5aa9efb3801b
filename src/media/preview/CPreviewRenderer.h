#pragma once

// The album's pictures at preview size, from any frame on: the export's
// recipes (timeline, picture loading, transitions, clips, watermark) at the
// export size divided by the preview divisor, 25 frames a second, in YUV
// 4:2:0. Pictures of materials come from the thumbnail store's tier
// pictures when one is large enough, otherwise from the file.
//
// The caller holds albumState().mutexPreview from set-up to the end.

#include "media/export/ExportStats.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/recipes/AlbumTimeline.h"
#include "media/recipes/ClipReader.h"
#include "media/recipes/PictureRecipes.h"

#include <QSize>

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

struct AlbumProjectState;

// Where the rendered pictures go.
class CPreviewPictureSink
{
public:
    virtual ~CPreviewPictureSink() = default;
    // True when frame iFrame is no longer wanted (the player is past it):
    // it is then neither watermarked nor taken.
    virtual bool isLate(int64_t iFrame) = 0;
    // Takes a reference to the picture of frame iFrame (its pts); false
    // stops the rendering.
    virtual bool take(const AVFrame *pPicture, int64_t iFrame) = 0;
};

class CPreviewRenderer
{
public:
    static constexpr AVRational kFrameRate{25, 1};
    static constexpr AVPixelFormat kPixelFormat = AV_PIX_FMT_YUV420P;

    // The preview size of an export of iWidth x iHeight at divisor iScale:
    // each side divided and made even.
    static QSize previewSize(int iWidth, int iHeight, int iScale);

    // Reads the album (timeline, size, watermark) at divisor iScale. fnStop
    // is asked between pictures and inside clips; it ends the rendering.
    int setUp(const AlbumProjectState &st, int iScale, std::function<bool()> fnStop);

    const recipes::AlbumTimeline &timeline() const { return m_timeline; }
    QSize size() const { return QSize(m_iWidth, m_iHeight); }

    // Renders frames iFrom .. the album's last into stSink. 0 when all were
    // rendered, 1 when the sink or fnStop ended it, a negative code when a
    // step failed.
    int render(int64_t iFrom, CPreviewPictureSink &stSink);

    // Time spent in each step since set-up (Prepare: pictures and clips).
    ExportStats stats() { return m_clock.finish(0); }

private:
    using PictureKey = std::pair<int, bool>; // material, its last picture

    int renderSegment(const recipes::TimelineSegment &stSegment, int64_t iFrom, CPreviewPictureSink &stSink);
    int renderImage(const recipes::TimelineSegment &stSegment, int64_t iFrom, CPreviewPictureSink &stSink);
    int renderTransition(const recipes::TimelineSegment &stSegment, int64_t iFrom, CPreviewPictureSink &stSink);
    int renderVideo(const recipes::TimelineSegment &stSegment, int64_t iFrom, CPreviewPictureSink &stSink);
    // Watermarks pPicture (as frame iFrame) and hands it on; 1 when the sink stopped.
    int emitPicture(const AVFrame *pPicture, int64_t iFrame, CPreviewPictureSink &stSink);
    // The prepared first (or last) picture of a material, loaded when not in hand.
    const AVFrame *picture(int iMaterial, bool bLast, int *pError);
    int loadPicture(int iMaterial, bool bLast, AVFrame *pDst);
    bool loadStoredPicture(const recipes::TimelineMaterial &stMaterial, bool bLast, QSize stSize, AVFrame *pDst);
    void keepPicture(int iMaterial, bool bLast, AVFramePtr pPicture);
    bool stopped() const { return m_fnStop && m_fnStop(); }

    recipes::AlbumTimeline m_timeline;
    recipes::WatermarkOverlay m_stWatermark;
    recipes::ClipReader m_stClip;
    int m_iClipMaterial = -1;             // the material m_stClip has open
    int64_t m_iClipNextFrame = -1;        // the clip frame its next picture is
    std::map<PictureKey, AVFramePtr> m_pictures;
    AVFramePtr m_pOutput;
    std::function<bool()> m_fnStop;
    int m_iWidth = 0;
    int m_iHeight = 0;
    bool m_bUseStore = false;
    PhaseClock m_clock;
};
