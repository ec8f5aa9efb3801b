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
                     AVRational stFrameRate)
{
    std::function<bool()> fnStop = std::move(m_fnStop);
    *this = ClipReader();
    m_fnStop = std::move(fnStop);
    m_iTurns = iTurns;
    m_iWidth = iWidth;
    m_iHeight = iHeight;
    m_ePixelFormat = ePixelFormat;
    m_stFrameRate = stFrameRate;
    m_pPacket = makePacketPtr();
    m_pDecoded = makeFramePtr();
    m_pSkipped = makeFramePtr();
    if (!m_pPacket || !m_pDecoded || !m_pSkipped)
        return fail(AVERROR(ENOMEM), Step::None);

    AVFormatContext *pInput = openInputFile(szPath);
    if (!pInput)
        return fail(AVERROR(EINVAL), Step::Open);
    m_pInput.reset(pInput);
    const int ret = findStreamInfo(pInput);
    if (ret < 0)
        return fail(ret, Step::Open);
    m_pStream = findFirstStream(pInput, AVMEDIA_TYPE_VIDEO);
    if (!m_pStream)
        return fail(AVERROR_STREAM_NOT_FOUND, Step::NoStream);
    // The sound has an input of its own: this one reads the pictures only.
    for (unsigned i = 0; i < pInput->nb_streams; ++i)
        pInput->streams[i]->discard = pInput->streams[i] == m_pStream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;

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

void ClipReader::resetDecoding()
{
    avcodec_flush_buffers(m_pDecoder.get());
    m_pGraph.reset();
    av_frame_unref(m_pSkipped.get());
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
    // Backward to the key frame at or before the target; the frames from
    // there to the target are decoded and left out.
    int ret = avformat_seek_file(m_pInput.get(), m_pStream->index, INT64_MIN, iTarget, iTarget, 0);
    if (ret < 0)
        ret = avformat_seek_file(m_pInput.get(), m_pStream->index, INT64_MIN, iStart, iStart, 0);
    if (ret < 0)
        return fail(ret, Step::Read);
    m_iTargetPts = av_rescale_q_rnd(iStart, stTimeBase, stFrame,
                                    static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX))
                   + iFrame;
    return 0;
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
        *pbEnded = true;
        return 0;
    }
    if (ret == AVERROR(EAGAIN)) {
        ret = readPacket(m_pInput.get(), pPacket);
        if (ret == AVERROR_EOF) {
            m_bDraining = true;
            ret = avcodec_send_packet(pDecoder, nullptr);
            return ret < 0 && ret != AVERROR_EOF ? fail(ret, Step::Read) : 0;
        }
        if (ret < 0)
            return fail(ret, Step::Read);
        if (pPacket->stream_index == m_pStream->index)
            ret = avcodec_send_packet(pDecoder, pPacket);
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
    if (!m_pGraph) {
        // Built for the frames as they decode, whatever the container said.
        // Upright as players show it, then the user's turns.
        m_pGraph.reset(createClipGraph(clipOrientation(m_pStream, pDecoded, m_iTurns), pDecoded->width,
                                       pDecoded->height,
                                       av_guess_sample_aspect_ratio(m_pInput.get(), m_pStream, pDecoded),
                                       static_cast<AVPixelFormat>(pDecoded->format), stTimeBase, pDecoder->framerate,
                                       m_iWidth, m_iHeight, m_ePixelFormat, m_stFrameRate));
        if (!m_pGraph) {
            av_frame_unref(pDecoded);
            return fail(AVERROR(EINVAL), Step::Graph);
        }
    }
    ret = pushFrameToFilter(m_pGraph.get(), "in", pDecoded);
    av_frame_unref(pDecoded);
    return ret < 0 ? fail(ret, Step::Read) : 0;
}

} // namespace recipes
