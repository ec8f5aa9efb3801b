// Video clips in the export: the clip's pictures decoded, turned, fitted and
// brought to the output rate one frame at a time, and its sound opened for
// the writers that mix it.

#include "editor/AlbumProjectState.h"
#include "media/export/MediaEncoder.h"
#include "media/ffmpeg/FFmpegCodec.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/recipes/PictureRecipes.h"

extern "C" {
#include <libavutil/mathematics.h>
}

// A clip's pictures on their way to the encoder; all of it goes with the segment.
struct ClipPictures
{
    AVInputContextPtr pInput;
    AVStream *pStream = nullptr;         // owned by pInput
    AVCodecContextPtr pDecoder;
    AVFilterGraphPtr pGraph;             // built for the first decoded frame
    AVPacketPtr pPacket = makePacketPtr();
    AVFramePtr pDecoded = makeFramePtr();
    AVFramePtr pPicture = makeFramePtr(); // the latest album picture out of the graph
    int64_t iLastPts = AV_NOPTS_VALUE;
    int64_t iEndPts = AV_NOPTS_VALUE;    // where the latest frame ends
    bool bDraining = false;              // the demuxer ended; the decoder gives what it holds
    bool bGraphClosed = false;           // the end has been pushed into the graph
    bool bEnded = false;                 // no picture comes any more
};

void MediaEncoder::openClipPictures(ClipPictures &stClip, const std::string &szPath)
{
    if (!stClip.pPacket || !stClip.pDecoded || !stClip.pPicture)
        fail(AVERROR(ENOMEM));
    AVFormatContext *pInput = openInputFile(szPath);
    if (!pInput)
        fail(AVERROR(EINVAL), tr("Open video material failed"));
    stClip.pInput.reset(pInput);
    const int ret = findStreamInfo(pInput);
    if (ret < 0)
        fail(ret, tr("Open video material failed"));
    stClip.pStream = findFirstStream(pInput, AVMEDIA_TYPE_VIDEO);
    if (!stClip.pStream)
        fail(AVERROR_STREAM_NOT_FOUND, tr("Can not find video stream on video material"));
    // The sound has an input of its own: this one reads the pictures only.
    for (unsigned i = 0; i < pInput->nb_streams; ++i)
        pInput->streams[i]->discard = pInput->streams[i] == stClip.pStream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;

    // Decoding takes every core, as the ffmpeg tools do: FFmpeg decoders run
    // on one thread unless asked.
    AVDictionaryPtr options;
    if (options.set("threads", "auto") < 0)
        fail(AVERROR(ENOMEM));
    stClip.pDecoder.reset(openDecoder(stClip.pStream->codecpar, options.get()));
    if (!stClip.pDecoder)
        fail(AVERROR_DECODER_NOT_FOUND, tr("Create video decoder of video material failed"));
    AVRational stRate = stClip.pStream->avg_frame_rate;
    if (stRate.num < 1 || stRate.den < 1)
        stRate = stClip.pStream->r_frame_rate;
    stClip.pDecoder->framerate = stRate;
    stClip.pDecoder->pkt_timebase = stClip.pStream->time_base;
}

// The clip's next album picture into stClip.pPicture; false once the clip
// has no more.
bool MediaEncoder::nextClipPicture(ClipPictures &stClip, int64_t iTurns)
{
    ScopedPhase phase(m_clock, ExportPhase::Prepare);
    AVCodecContext *pDecoder = stClip.pDecoder.get();
    AVFrame *pDecoded = stClip.pDecoded.get();
    AVPacket *pPacket = stClip.pPacket.get();
    const AVRational stTimeBase = stClip.pStream->time_base;
    for (;;) {
        checkRunning();
        // Pictures the graph has ready come first: a clip slower than the
        // output gives several album pictures for one decoded frame, and
        // decoding on would pile them up in the graph.
        if (stClip.pGraph) {
            bool bGot = false;
            const int ret = pullFrameFromFilter(stClip.pGraph.get(), "out", stClip.pPicture.get(), bGot);
            if (ret == AVERROR_EOF)
                return false;
            if (ret < 0)
                fail(ret);
            if (bGot)
                return true;
        }
        if (stClip.bGraphClosed)
            return false;

        int ret = avcodec_receive_frame(pDecoder, pDecoded);
        if (ret == AVERROR(EAGAIN) && stClip.bDraining)
            ret = AVERROR_EOF;
        if (ret == AVERROR_EOF) {
            // The last frame's picture is due now: the rate conversion keeps
            // it until it knows the clip has ended.
            stClip.bGraphClosed = true;
            if (stClip.pGraph && (ret = recipes::endClipGraph(stClip.pGraph.get(), stClip.iEndPts)) < 0)
                fail(ret);
            continue;
        }
        if (ret == AVERROR(EAGAIN)) {
            ret = readPacket(stClip.pInput.get(), pPacket);
            if (ret == AVERROR_EOF) {
                stClip.bDraining = true;
                ret = avcodec_send_packet(pDecoder, nullptr);
                if (ret < 0 && ret != AVERROR_EOF)
                    fail(ret);
                continue;
            }
            if (ret < 0)
                fail(ret);
            if (pPacket->stream_index == stClip.pStream->index)
                ret = avcodec_send_packet(pDecoder, pPacket);
            av_packet_unref(pPacket);
            if (ret < 0)
                fail(ret);
            continue;
        }
        if (ret < 0)
            fail(ret);

        // The rate conversion places pictures by their timestamps; a frame
        // without one follows its predecessor by a frame's duration.
        const AVRational stRate =
            pDecoder->framerate.num > 0 && pDecoder->framerate.den > 0 ? pDecoder->framerate : AVRational{25, 1};
        const int64_t iFrameTicks = pDecoded->pkt_duration > 0
                                        ? pDecoded->pkt_duration
                                        : std::max<int64_t>(1, av_rescale_q(1, av_inv_q(stRate), stTimeBase));
        pDecoded->pts =
            pDecoded->best_effort_timestamp != AV_NOPTS_VALUE ? pDecoded->best_effort_timestamp : pDecoded->pkt_dts;
        if (pDecoded->pts == AV_NOPTS_VALUE)
            pDecoded->pts = stClip.iLastPts == AV_NOPTS_VALUE ? 0 : stClip.iLastPts + iFrameTicks;
        stClip.iLastPts = pDecoded->pts;
        if (stClip.iEndPts == AV_NOPTS_VALUE || pDecoded->pts + iFrameTicks > stClip.iEndPts)
            stClip.iEndPts = pDecoded->pts + iFrameTicks;
        if (!stClip.pGraph) {
            // Built for the frames as they decode, whatever the container said.
            // Upright as players show it, then the user's turns.
            stClip.pGraph.reset(recipes::createClipGraph(
                recipes::clipOrientation(stClip.pStream, pDecoded, iTurns), pDecoded->width, pDecoded->height,
                av_guess_sample_aspect_ratio(stClip.pInput.get(), stClip.pStream, pDecoded),
                static_cast<AVPixelFormat>(pDecoded->format), stTimeBase,
                pDecoder->framerate, m_ctx.iWidth, m_ctx.iHeight, m_ctx.ePixelFormat, m_ctx.stFrameRate));
            if (!stClip.pGraph)
                fail(AVERROR(EINVAL), tr("Create filter of video material failed"));
        }
        ret = pushFrameToFilter(stClip.pGraph.get(), "in", pDecoded);
        av_frame_unref(pDecoded);
        if (ret < 0)
            fail(ret);
    }
}

void MediaEncoder::renderVideoSegment(const ImageSource &stSource)
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

    ClipPictures stClip;
    {
        ScopedPhase phase(m_clock, ExportPhase::Prepare);
        openClipPictures(stClip, szPath);
    }
    if (m_ctx.bAudio && findFirstStream(stClip.pInput.get(), AVMEDIA_TYPE_AUDIO)) {
        ScopedPhase phase(m_clock, ExportPhase::Audio);
        openClipAudio(szPath);
    }

    const bool bClipSound = m_ctx.stClipAudio.pGraph && st.iKeepAudioTrack == 1;
    const bool bMusic = m_ctx.stMusic.pGraph != nullptr;
    m_ctx.eAudioWriter = bClipSound ? (bMusic ? AudioWriter::MusicAndClip : AudioWriter::Clip)
                                    : (bMusic ? AudioWriter::Music : AudioWriter::Silence);

    const int64_t n = recipes::segmentFrameCount(stSource.iDuration, stSource.stTimeBase, m_ctx.stFrameRate);
    AVFrame *pOutput = m_ctx.pOutputFrame.get();
    bool bShown = false;
    for (int64_t j = 0; j < n; ++j) {
        checkRunning();
        // Once the clip's pictures have run out, its last one stays until the count is reached.
        if (!stClip.bEnded && nextClipPicture(stClip, stSource.iRotation)) {
            av_frame_unref(m_ctx.pCurrentPicture.get());
            av_frame_move_ref(m_ctx.pCurrentPicture.get(), stClip.pPicture.get());
            m_ctx.pCurrentPicture->pts = 0;
            const int ret = applyWatermark(m_ctx.pCurrentPicture.get(), pOutput);
            if (ret < 0)
                fail(ret, tr("Add watermark failed"));
            bShown = true;
        } else {
            stClip.bEnded = true;
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
        loadPicture(stSource, m_ctx.pCurrentPicture.get());
    m_ctx.szCurrentPictureOf.clear();
}
