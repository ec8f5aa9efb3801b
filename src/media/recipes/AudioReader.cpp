#include "media/recipes/AudioReader.h"

#include "media/ffmpeg/FFmpegCodec.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/recipes/AudioRecipes.h"

#include <QtGlobal>

#include <climits>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace recipes {

int AudioReader::fail(int iCode, Step eStep)
{
    m_eFailed = eStep;
    return iCode < 0 ? iCode : AVERROR(EINVAL);
}

int AudioReader::open(const std::string &szPath)
{
    std::function<bool()> fnStop = std::move(m_fnStop);
    *this = AudioReader();
    m_fnStop = std::move(fnStop);
    m_pPacket = makePacketPtr();
    m_pFrame = makeFramePtr();
    if (!m_pPacket || !m_pFrame)
        return fail(AVERROR(ENOMEM), Step::None);
    // Only the sound is read: the demuxer skips the others' data.
    const int ret = openStreamOf(szPath, AVMEDIA_TYPE_AUDIO, m_pInput, &m_pStream);
    if (ret < 0)
        return fail(ret, ret == AVERROR_STREAM_NOT_FOUND ? Step::NoStream : Step::Open);
    m_pDecoder.reset(openDecoder(m_pStream->codecpar));
    if (!m_pDecoder)
        return fail(AVERROR_DECODER_NOT_FOUND, Step::NoDecoder);
    m_pDecoder->pkt_timebase = m_pStream->time_base;
    m_stFormat = decodedAudioSource("in", m_pDecoder.get(), m_pStream->time_base);
    return 0;
}

int64_t AudioReader::startTime() const
{
    return m_pStream && m_pStream->start_time != AV_NOPTS_VALUE ? m_pStream->start_time : 0;
}

int64_t AudioReader::duration() const
{
    if (!m_pStream)
        return 0;
    if (m_pStream->duration > 0)
        return m_pStream->duration;
    const AVFormatContext *pInput = m_pInput.get();
    return pInput->duration > 0 ? av_rescale_q(pInput->duration, AVRational{1, AV_TIME_BASE}, m_pStream->time_base)
                                : 0;
}

int AudioReader::decode(bool bLoop)
{
    if (!m_pDecoder)
        return fail(AVERROR(EINVAL), Step::Decode);
    AVCodecContext *pDecoder = m_pDecoder.get();
    AVFrame *pFrame = m_pFrame.get();
    AVPacket *pPacket = m_pPacket.get();
    for (;;) {
        if (m_fnStop && m_fnStop())
            return fail(AVERROR(EINTR), Step::None);
        if (m_bRestartPending) {
            const int ret = restart();
            if (ret < 0)
                return fail(ret, Step::None);
        }

        // What the decoder holds comes first; it asks for a packet with EAGAIN.
        int ret = avcodec_receive_frame(pDecoder, pFrame);
        if (ret >= 0) {
            m_iLastFrameSamples = pFrame->nb_samples;
            m_iSamplesThisPass += pFrame->nb_samples;
            if (pFrame->pts == AV_NOPTS_VALUE)
                pFrame->pts = pFrame->best_effort_timestamp;
            return 1;
        }
        if (ret == AVERROR(EAGAIN) && m_bDraining)
            ret = AVERROR_EOF;
        if (ret == AVERROR_EOF) {
            if (!bLoop)
                return 0;
            // A file that gives no sound at all would be read again and again.
            if (m_iSamplesThisPass == 0)
                return fail(AVERROR_EOF, Step::Read);
            m_bRestartPending = true;
            continue;
        }
        if (ret == AVERROR_INVALIDDATA) {
            if (damagedPacketSilence())
                return 1;
            continue;
        }
        if (ret != AVERROR(EAGAIN))
            return fail(ret, Step::Decode);

        ret = readPacket(m_pInput.get(), pPacket);
        if (ret == AVERROR_EOF) {
            // The decoder gives out what it still holds before the end (or the loop).
            m_bDraining = true;
            ret = avcodec_send_packet(pDecoder, nullptr);
            if (ret < 0 && ret != AVERROR_EOF)
                return fail(ret, Step::Decode);
            continue;
        }
        if (ret < 0) {
            // A packet that cannot be read is left out: the frames after it
            // carry their own times. Only a file that reads nothing any more fails.
            if (++m_iUnreadable > kMostUnreadable)
                return fail(ret, Step::Read);
            continue;
        }
        m_iUnreadable = 0;
        if (pPacket->stream_index != m_pStream->index) {
            av_packet_unref(pPacket);
            continue;
        }
        // The packet stays for damagedPacketSilence; the decoder keeps its own reference.
        ret = avcodec_send_packet(pDecoder, pPacket);
        if (ret == AVERROR_INVALIDDATA) {
            if (damagedPacketSilence())
                return 1;
            continue;
        }
        if (ret < 0)
            return fail(ret, Step::Decode);
    }
}

// A packet the decoder refused as damaged becomes silence as long as the
// packet. False (with a warning) when not even that can be made; the packet
// is then left out.
bool AudioReader::damagedPacketSilence()
{
    qWarning("解码到无效音频数据");
    const FilterInput &stIn = m_stFormat;
    const AVPacket *pPacket = m_pPacket.get();
    int64_t iSamples = 0;
    if (pPacket->duration > 0 && stIn.iSampleRate > 0)
        iSamples = av_rescale_q_rnd(pPacket->duration, m_pStream->time_base, AVRational{1, stIn.iSampleRate},
                                    AV_ROUND_DOWN);
    // A packet that does not say how long it is lasts as long as its neighbours.
    if (iSamples < 1)
        iSamples = m_iLastFrameSamples > 0 ? m_iLastFrameSamples : m_pDecoder->frame_size;
    AVFrame *pFrame = m_pFrame.get();
    int ret = iSamples > 0 && iSamples <= INT_MAX
                  ? makeSilentFrame(pFrame, stIn.iChannels, stIn.iSampleRate,
                                    static_cast<AVSampleFormat>(stIn.iFormat), static_cast<int>(iSamples))
                  : AVERROR(EINVAL);
    if (ret >= 0 && stIn.iChannelLayout) {
        av_channel_layout_uninit(&pFrame->ch_layout);
        ret = av_channel_layout_from_mask(&pFrame->ch_layout, stIn.iChannelLayout);
    }
    if (ret < 0) {
        av_frame_unref(pFrame);
        qWarning("获取静音帧失败");
        return false;
    }
    // Where the packet was, so that a player places it there.
    pFrame->pts = pPacket->pts;
    m_iSamplesThisPass += pFrame->nb_samples;
    return true;
}

// Back to the start of a looping sound, with nothing of the old pass left in
// the decoder; whoever converts the frames runs on, so the join has neither
// gap nor overlap.
int AudioReader::restart()
{
    avcodec_flush_buffers(m_pDecoder.get());
    const int ret = avformat_seek_file(m_pInput.get(), m_pStream->index, INT64_MIN, 0, INT64_MAX,
                                       AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
    if (ret < 0)
        return ret;
    m_bRestartPending = false;
    m_bDraining = false;
    m_iSamplesThisPass = 0;
    ++m_iRestarts;
    return 0;
}

int AudioReader::seek(int64_t iTimestamp)
{
    if (!m_pDecoder)
        return fail(AVERROR(EINVAL), Step::Read);
    avcodec_flush_buffers(m_pDecoder.get());
    m_bRestartPending = false;
    m_bDraining = false;
    const int ret =
        avformat_seek_file(m_pInput.get(), m_pStream->index, INT64_MIN, iTimestamp, iTimestamp, AVSEEK_FLAG_BACKWARD);
    return ret < 0 ? fail(ret, Step::Read) : 0;
}

} // namespace recipes
