#include "media/recipes/ClipReader.h"

#include "media/ffmpeg/FFmpegCodec.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/recipes/PictureRecipes.h"

#include <algorithm>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace recipes {

int ClipReader::fail(int iCode, Step eStep)
{
    m_eFailed = eStep;
    return iCode < 0 ? iCode : AVERROR(EINVAL);
}

int ClipReader::open(const std::string &szPath, int64_t iTurns, int iWidth, int iHeight, AVPixelFormat ePixelFormat,
                     AVRational stFrameRate, int iFraming)
{
    std::function<bool()> fnStop = std::move(m_fnStop);
    *this = ClipReader();
    m_fnStop = std::move(fnStop);
    m_iTurns = iTurns;
    m_iFraming = iFraming;
    m_iWidth = iWidth;
    m_iHeight = iHeight;
    m_ePixelFormat = ePixelFormat;
    m_stFrameRate = stFrameRate;
    m_pPacket = makePacketPtr();
    m_pDecoded = makeFramePtr();
    m_pSkipped = makeFramePtr();
    m_pHeld = makeFramePtr();
    if (!m_pPacket || !m_pDecoded || !m_pSkipped || !m_pHeld)
        return fail(AVERROR(ENOMEM), Step::None);

    m_szPath = szPath;
    const int ret = openInput();
    if (ret < 0)
        return ret;

    // Decoding takes every core, as the ffmpeg tools do: FFmpeg decoders run
    // on one thread unless asked.
    AVDictionaryPtr options;
    if (options.set("threads", "auto") < 0)
        return fail(AVERROR(ENOMEM), Step::None);
    m_pDecoder.reset(openDecoder(m_pStream->codecpar, options.get()));
    if (!m_pDecoder)
        return fail(AVERROR_DECODER_NOT_FOUND, Step::NoDecoder);
    AVRational stRate = m_pStream->avg_frame_rate;
    if (stRate.num < 1 || stRate.den < 1)
        stRate = m_pStream->r_frame_rate;
    m_pDecoder->framerate = stRate;
    m_pDecoder->pkt_timebase = m_pStream->time_base;
    return 0;
}

int ClipReader::openInput()
{
    // The sound has an input of its own: this one reads the pictures only.
    const int ret = openStreamOf(m_szPath, AVMEDIA_TYPE_VIDEO, m_pInput, &m_pStream);
    return ret < 0 ? fail(ret, ret == AVERROR_STREAM_NOT_FOUND ? Step::NoStream : Step::Open) : 0;
}

void ClipReader::resetDecoding()
{
    avcodec_flush_buffers(m_pDecoder.get());
    m_pDecoder->skip_frame = AVDISCARD_DEFAULT;
    m_pGraph.reset();
    av_frame_unref(m_pSkipped.get());
    av_frame_unref(m_pHeld.get());
    m_iSkipBefore = AV_NOPTS_VALUE;
    av_packet_unref(m_pPacket.get());
    m_bPacketPending = false;
    m_bWaitForKey = false;
    m_iLastPts = AV_NOPTS_VALUE;
    m_iEndPts = AV_NOPTS_VALUE;
    m_bDraining = false;
    m_bGraphClosed = false;
}

int ClipReader::seekToFrame(int64_t iFrame)
{
    if (!m_pDecoder)
        return fail(AVERROR(EINVAL), Step::Read);
    iFrame = std::max<int64_t>(0, iFrame);
    // Nothing read yet: the first picture is frame 0 already.
    if (iFrame == 0 && !m_pGraph && m_iLastPts == AV_NOPTS_VALUE)
        return 0;
    // The album counts a clip from its start time (an MPEG-TS clip starts
    // well after 0); the rate conversion numbers its pictures from there.
    const AVRational stTimeBase = m_pStream->time_base;
    const int64_t iStart = m_pStream->start_time != AV_NOPTS_VALUE ? m_pStream->start_time : 0;
    const AVRational stFrame = av_inv_q(m_stFrameRate);
    const int64_t iTarget = iStart + av_rescale_q(iFrame, stFrame, stTimeBase);
    resetDecoding();
    const int ret = seekToKeyFrame(iStart, iTarget);
    if (ret < 0)
        return fail(ret, Step::Read);
    m_iTargetPts = av_rescale_q_rnd(iStart, stTimeBase, stFrame,
                                    static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX))
                   + iFrame;
    // Frames that end a whole album frame before the target are decoded
    // only as far as later frames need them, and never scaled.
    m_iSkipBefore = iTarget - av_rescale_q(1, stFrame, stTimeBase);
    return 0;
}

// Positions the input on a key frame at or before iTarget, its packet kept
// for decoding: the frames from there to the target are decoded and left
// out. Some containers (MPEG-TS) land anywhere, so the search steps further
// back until it finds a key frame; at the clip's start it opens the file
// again and reads it from its first packet, as the export does.
int ClipReader::seekToKeyFrame(int64_t iStart, int64_t iTarget)
{
    const int64_t iSecond = av_rescale_q(1, AVRational{1, 1}, m_pStream->time_base);
    for (int64_t iBack = 0;; iBack = iBack ? 2 * iBack : iSecond) {
        const int64_t iAt = iTarget - iBack;
        if (iAt <= iStart)
            return openInput();
        int ret = avformat_seek_file(m_pInput.get(), m_pStream->index, INT64_MIN, iAt, iAt, 0);
        while (ret >= 0) {
            ret = readPacket(m_pInput.get(), m_pPacket.get());
            if (ret >= 0 && m_pPacket->stream_index == m_pStream->index)
                break;
            av_packet_unref(m_pPacket.get());
        }
        if (ret >= 0 && (m_pPacket->flags & AV_PKT_FLAG_KEY)
            && (m_pPacket->pts == AV_NOPTS_VALUE || m_pPacket->pts <= iTarget)) {
            m_bPacketPending = true;
            m_bWaitForKey = true;
            return 0;
        }
        av_packet_unref(m_pPacket.get());
    }
}

int ClipReader::next(AVFrame *pOut)
{
    for (;;) {
        const int ret = fill(pOut);
        if (ret <= 0) {
            // Sought past the last picture: that picture stays on screen.
            if (ret == 0 && m_iTargetPts != AV_NOPTS_VALUE && m_pSkipped->width > 0) {
                m_iTargetPts = AV_NOPTS_VALUE;
                av_frame_unref(pOut);
                av_frame_move_ref(pOut, m_pSkipped.get());
                return 1;
            }
            return ret;
        }
        if (m_iTargetPts == AV_NOPTS_VALUE)
            return 1;
        if (pOut->pts != AV_NOPTS_VALUE && pOut->pts < m_iTargetPts) {
            av_frame_unref(m_pSkipped.get());
            av_frame_move_ref(m_pSkipped.get(), pOut);
            continue;
        }
        m_iTargetPts = AV_NOPTS_VALUE;
        av_frame_unref(m_pSkipped.get());
        return 1;
    }
}

// The next picture out of the graph, decoding as much as it takes.
int ClipReader::fill(AVFrame *pOut)
{
    if (!m_pDecoder || !pOut)
        return fail(AVERROR(EINVAL), Step::Read);
    for (;;) {
        if (m_fnStop && m_fnStop())
            return fail(AVERROR(EINTR), Step::Read);
        // Pictures the graph has ready come first: a clip slower than the
        // output gives several album pictures for one decoded frame, and
        // decoding on would pile them up in the graph.
        if (m_pGraph) {
            bool bGot = false;
            const int ret = pullFrameFromFilter(m_pGraph.get(), "out", pOut, bGot);
            if (ret == AVERROR_EOF)
                return 0;
            if (ret < 0)
                return fail(ret, Step::Read);
            if (bGot)
                return 1;
        }
        if (m_bGraphClosed)
            return 0;
        bool bEnded = false;
        const int ret = decodeInto(&bEnded);
        if (ret < 0)
            return ret;
        if (bEnded) {
            // The last frame's picture is due now: the rate conversion keeps
            // it until it knows the clip has ended.
            m_bGraphClosed = true;
            int iClosed = 0;
            if (m_pGraph && (iClosed = endClipGraph(m_pGraph.get(), m_iEndPts)) < 0)
                return fail(iClosed, Step::Read);
        }
    }
}

// Sends one packet or takes one decoded frame into the graph; *pbEnded once
// the decoder has given everything.
int ClipReader::decodeInto(bool *pbEnded)
{
    AVCodecContext *pDecoder = m_pDecoder.get();
    AVFrame *pDecoded = m_pDecoded.get();
    AVPacket *pPacket = m_pPacket.get();
    const AVRational stTimeBase = m_pStream->time_base;

    int ret = avcodec_receive_frame(pDecoder, pDecoded);
    if (ret == AVERROR(EAGAIN) && m_bDraining)
        ret = AVERROR_EOF;
    if (ret == AVERROR_EOF) {
        // Sought past the last frame: that frame still shows.
        if (m_pHeld->data[0] && (ret = filter(m_pHeld.get())) < 0)
            return ret;
        *pbEnded = true;
        return 0;
    }
    if (ret == AVERROR(EAGAIN)) {
        ret = m_bPacketPending ? 0 : readPacket(m_pInput.get(), pPacket);
        m_bPacketPending = false;
        if (ret == AVERROR_EOF) {
            m_bDraining = true;
            ret = avcodec_send_packet(pDecoder, nullptr);
            return ret < 0 && ret != AVERROR_EOF ? fail(ret, Step::Read) : 0;
        }
        if (ret < 0)
            return fail(ret, Step::Read);
        // After a seek, decoding starts at a key frame.
        if (pPacket->stream_index == m_pStream->index && m_bWaitForKey && !(pPacket->flags & AV_PKT_FLAG_KEY)) {
            av_packet_unref(pPacket);
            return 0;
        }
        if (pPacket->stream_index == m_pStream->index) {
            m_bWaitForKey = false;
            // Before the target, frames nothing refers to need not be decoded at all.
            const bool bBefore = m_iSkipBefore != AV_NOPTS_VALUE && pPacket->pts != AV_NOPTS_VALUE
                                 && pPacket->pts + std::max<int64_t>(0, pPacket->duration) < m_iSkipBefore;
            pDecoder->skip_frame = bBefore ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
            ret = avcodec_send_packet(pDecoder, pPacket);
        }
        av_packet_unref(pPacket);
        return ret < 0 ? fail(ret, Step::Read) : 0;
    }
    if (ret < 0)
        return fail(ret, Step::Read);

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
        pDecoded->pts = m_iLastPts == AV_NOPTS_VALUE ? 0 : m_iLastPts + iFrameTicks;
    m_iLastPts = pDecoded->pts;
    if (m_iEndPts == AV_NOPTS_VALUE || pDecoded->pts + iFrameTicks > m_iEndPts)
        m_iEndPts = pDecoded->pts + iFrameTicks;
    if (m_iSkipBefore != AV_NOPTS_VALUE) {
        if (pDecoded->pts + iFrameTicks < m_iSkipBefore) {
            av_frame_unref(m_pHeld.get());
            av_frame_move_ref(m_pHeld.get(), pDecoded);
            return 0;
        }
        // The frame before this one may still show at the target (a clip
        // slower than the album): it goes in first.
        m_iSkipBefore = AV_NOPTS_VALUE;
        if (m_pHeld->data[0] && (ret = filter(m_pHeld.get())) < 0)
            return ret;
    }
    return filter(pDecoded);
}

// Passes a decoded frame into the graph (built for the first one).
int ClipReader::filter(AVFrame *pDecoded)
{
    const AVRational stTimeBase = m_pStream->time_base;
    if (!m_pGraph) {
        // Built for the frames as they decode, whatever the container said.
        // Upright as players show it, then the user's turns.
        m_pGraph.reset(createClipGraph(clipOrientation(m_pStream, pDecoded, m_iTurns), pDecoded->width,
                                       pDecoded->height,
                                       av_guess_sample_aspect_ratio(m_pInput.get(), m_pStream, pDecoded),
                                       static_cast<AVPixelFormat>(pDecoded->format), stTimeBase, m_pDecoder->framerate,
                                       m_iWidth, m_iHeight, m_ePixelFormat, m_stFrameRate, m_iFraming));
        if (!m_pGraph) {
            av_frame_unref(pDecoded);
            return fail(AVERROR(EINVAL), Step::Graph);
        }
    }
    const int ret = pushFrameToFilter(m_pGraph.get(), "in", pDecoded);
    av_frame_unref(pDecoded);
    return ret < 0 ? fail(ret, Step::Read) : 0;
}

} // namespace recipes
