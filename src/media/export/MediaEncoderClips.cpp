// Video clips in the export: the clip's pictures decoded, turned, fitted and
// brought to the output rate one frame at a time, and its sound opened for
// the writers that mix it.

#include "album/AlbumProjectState.h"
#include "media/export/MediaEncoder.h"
#include "media/ffmpeg/FFmpegCodec.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/recipes/ClipReader.h"
#include "media/recipes/PictureRecipes.h"

extern "C" {
#include <libavutil/mathematics.h>
}

void MediaEncoder::openClipPictures(recipes::ClipReader &stClip, const std::string &szPath, int64_t iTurns)
{
    stClip.setInterrupt([this] { return !m_bRunning.load(); });
    const int ret = stClip.open(szPath, iTurns, m_ctx.iWidth, m_ctx.iHeight, m_ctx.ePixelFormat, m_ctx.stFrameRate,
                                 m_timeline.framing());
    if (ret >= 0)
        return;
    switch (stClip.failedStep()) {
    case recipes::ClipReader::Step::Open:
        fail(ret, tr("Open video material failed"));
    case recipes::ClipReader::Step::NoStream:
        fail(ret, tr("Can not find video stream on video material"));
    case recipes::ClipReader::Step::NoDecoder:
        fail(ret, tr("Create video decoder of video material failed"));
    default:
        fail(ret);
    }
}

// The clip's next album picture into pPicture; false once the clip has no more.
bool MediaEncoder::nextClipPicture(recipes::ClipReader &stClip, AVFrame *pPicture)
{
    ScopedPhase phase(m_clock, ExportPhase::Prepare);
    const int ret = stClip.next(pPicture);
    if (ret >= 0)
        return ret > 0;
    if (ret == AVERROR(EINTR))
        checkRunning();
    fail(ret, stClip.failedStep() == recipes::ClipReader::Step::Graph ? tr("Create filter of video material failed")
                                                                       : QString());
}

void MediaEncoder::renderVideoSegment(const recipes::TimelineSegment &stSegment, const ImageSource &stSource)
{
    const AlbumProjectState &st = albumState();
    const std::string szPath = stSource.szFilePath.toUtf8().toStdString();

    // The clip's sound lives in the context while the writers need it, and
    // goes with the segment whatever happens.
    struct ClipAudioScope
    {
        ExportContext &ctx;
        ~ClipAudioScope()
        {
            ctx.stClipAudio = AudioSource();
            ctx.eAudioWriter = ctx.stMusic.pGraph ? AudioWriter::Music : AudioWriter::Silence;
        }
    } stAudioScope{m_ctx};

    recipes::ClipReader stClip;
    {
        ScopedPhase phase(m_clock, ExportPhase::Prepare);
        openClipPictures(stClip, szPath, stSource.iRotation);
    }
    if (m_ctx.bAudio && findFirstStream(stClip.input(), AVMEDIA_TYPE_AUDIO)) {
        ScopedPhase phase(m_clock, ExportPhase::Audio);
        openClipAudio(szPath);
    }

    const bool bClipSound = m_ctx.stClipAudio.pGraph && st.iKeepAudioTrack == 1;
    const bool bMusic = m_ctx.stMusic.pGraph != nullptr;
    m_ctx.eAudioWriter = bClipSound ? (bMusic ? AudioWriter::MusicAndClip : AudioWriter::Clip)
                                    : (bMusic ? AudioWriter::Music : AudioWriter::Silence);

    const int64_t n = recipes::segmentFrameCount(stSource.iDuration, stSource.stTimeBase, m_ctx.stFrameRate);
    AVFrame *pOutput = m_ctx.pOutputFrame.get();
    AVFramePtr pPicture = makeFramePtr();
    if (!pPicture)
        fail(AVERROR(ENOMEM));
    bool bShown = false;
    bool bEnded = false;
    for (int64_t j = 0; j < n; ++j) {
        checkRunning();
        // Once the clip's pictures have run out, its last one stays until the count is reached.
        if (!bEnded && nextClipPicture(stClip, pPicture.get())) {
            av_frame_unref(m_ctx.pCurrentPicture.get());
            av_frame_move_ref(m_ctx.pCurrentPicture.get(), pPicture.get());
            m_ctx.pCurrentPicture->pts = 0;
            const int ret = applyWatermark(m_ctx.pCurrentPicture.get(), pOutput);
            if (ret < 0)
                fail(ret, tr("Add watermark failed"));
            bShown = true;
        } else {
            bEnded = true;
            // A clip that gives no picture at all has nothing to show.
            if (!bShown)
                fail(AVERROR_INVALIDDATA);
        }
        emitVideoFrame(pOutput);
    }
    av_frame_unref(pOutput);

    // The clip's last picture is where the next transition starts; a clip
    // too short for a single frame leaves its first one.
    if (!bShown && !(m_ctx.pCurrentPicture->width > 0 && m_ctx.szCurrentPictureOf == stSource.szFilePath.toStdString()
                     && m_ctx.iCurrentPictureRotation == stSource.iRotation))
        loadPicture(stSource, stSegment.iMaterial, m_ctx.pCurrentPicture.get());
    m_ctx.szCurrentPictureOf.clear();
}
