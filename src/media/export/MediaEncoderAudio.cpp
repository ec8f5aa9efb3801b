// The sound of the export: the audio encoder, the two-input mixer, the
// sample FIFO and the writers that bring the sound up to each video frame.
//
// Every writer feeds the mixer "[in1][in2]amix[out]" and counts what it
// pushed into each input (iMixerIn1Samples, iMixerIn2Samples, at the output
// rate); the mixed sound goes into the FIFO, which is cut into encoder
// frames. Still pictures get silence (writer 1) or, with background music,
// the music against silence (writer 2); video segments choose their writer
// per frame through m_ctx.eAudioWriter.

#include "editor/AlbumProjectState.h"
#include "media/export/MediaEncoder.h"
#include "media/ffmpeg/FFmpegCodec.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/ffmpeg/FrameOps.h"

#include <algorithm>
#include <climits>
#include <sstream>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
}

namespace {

uint64_t defaultChannelMask(int iChannels)
{
    AVChannelLayout stLayout;
    av_channel_layout_default(&stLayout, iChannels);
    const uint64_t iMask = stLayout.order == AV_CHANNEL_ORDER_NATIVE ? stLayout.u.mask : 0;
    av_channel_layout_uninit(&stLayout);
    return iMask;
}

uint64_t channelMask(const AVChannelLayout &stLayout)
{
    if (stLayout.order == AV_CHANNEL_ORDER_NATIVE && stLayout.u.mask)
        return stLayout.u.mask;
    return defaultChannelMask(stLayout.nb_channels);
}

} // namespace

void MediaEncoder::openMusic()
{
    int ret = 0;
    AVFormatContext *pInput = openInputFile(m_ctx.szMusicPath, nullptr, nullptr, &ret);
    if (!pInput)
        fail(AVERROR(EINVAL), tr("Open mp3 file failed"));
    m_ctx.pMusicInput.reset(pInput);
    ret = findStreamInfo(pInput);
    if (ret < 0)
        fail(ret, tr("Open mp3 file failed"));
    m_ctx.pMusicStream = findFirstStream(pInput, AVMEDIA_TYPE_AUDIO);
    if (!m_ctx.pMusicStream)
        fail(AVERROR_STREAM_NOT_FOUND, tr("Can not find audio stream on mp3 file"));
    m_ctx.pMusicDecoder.reset(openDecoder(m_ctx.pMusicStream->codecpar));
    if (!m_ctx.pMusicDecoder)
        fail(AVERROR_DECODER_NOT_FOUND, tr("Create audio decoder failed"));
    m_ctx.pMusicDecoder->pkt_timebase = m_ctx.pMusicStream->time_base;
}

void MediaEncoder::setUpAudio()
{
    const AlbumProjectState &st = albumState();
    ScopedPhase phase(m_clock, ExportPhase::Audio);
    if (st.iBackgroundMusicType == MusicCustom && !m_ctx.szMusicPath.empty())
        openMusic();

    m_ctx.iMixerIn1Samples = 0;
    m_ctx.iMixerIn2Samples = 0;
    m_ctx.iNextAudioPts = 0;

    const uint64_t iLayout = m_ctx.pMusicDecoder ? channelMask(m_ctx.pMusicDecoder->ch_layout)
                                                 : defaultChannelMask(static_cast<int>(st.iAudioChannels));
    const std::string &szFile = m_ctx.stTemporary.path();
    const AVCodecID eCodec = guessCodecId(szFile, AVMEDIA_TYPE_AUDIO);
    const int iRate = m_ctx.stSettings.iSampleRate;
    AVCodecContext *pEncoder = nullptr;
    m_ctx.pAudioStream = iRate > 0 ? addAudioStream(m_ctx.pOutput.get(), &pEncoder, eCodec, iLayout,
                                                    defaultSampleFormat(szFile), iRate,
                                                    m_ctx.stSettings.iAudioBitRate, AVRational{1, iRate})
                                   : nullptr;
    m_ctx.pAudioEncoder.reset(pEncoder);
    if (!m_ctx.pAudioStream || !m_ctx.pAudioEncoder)
        fail(AVERROR(EINVAL), tr("Create output audio stream failed"));
    const AVCodecContext *pAudio = m_ctx.pAudioEncoder.get();
    // Encoders that take any frame size are fed in chunks of this many samples.
    m_ctx.iAudioFrameSize = pAudio->frame_size > 0 ? pAudio->frame_size : 1024;

    if (allocSampleFifo(m_ctx.stFifo, pAudio->sample_fmt, pAudio->ch_layout.nb_channels, m_ctx.iAudioFrameSize) < 0)
        fail(AVERROR(ENOMEM));

    const uint64_t iEncoderLayout = channelMask(pAudio->ch_layout);
    const FilterInput stIn1("in1", iEncoderLayout, pAudio->ch_layout.nb_channels, pAudio->sample_fmt,
                            pAudio->time_base, pAudio->sample_rate);
    FilterInput stIn2 = stIn1;
    stIn2.szName = "in2";
    m_ctx.pMixer.reset(createFilterGraph("[in1][in2]amix[out]", std::vector<FilterInput>{stIn1, stIn2},
                                         FilterOutput("out", pAudio->sample_fmt)));
    if (!m_ctx.pMixer)
        fail(AVERROR(EINVAL), tr("Create audio mix filter failed"));

    if (m_ctx.pMusicDecoder) {
        const AVCodecContext *pMusic = m_ctx.pMusicDecoder.get();
        std::ostringstream description;
        description << "aformat=sample_fmts='" << av_get_sample_fmt_name(pAudio->sample_fmt) << "'"
                    << ":sample_rates=" << pAudio->sample_rate
                    << ":channel_layouts=" << defaultChannelMask(pAudio->ch_layout.nb_channels);
        m_ctx.pMusicGraph.reset(createFilterGraph(
            description.str(),
            FilterInput("in", channelMask(pMusic->ch_layout), pMusic->ch_layout.nb_channels, pMusic->sample_fmt,
                        m_ctx.pMusicStream->time_base, pMusic->sample_rate),
            FilterOutput("out", pAudio->sample_fmt)));
        if (!m_ctx.pMusicGraph)
            fail(AVERROR(EINVAL), tr("Create audio filter of BGM failed"));
    }
}

AudioWriter MediaEncoder::stillPictureAudioWriter() const
{
    return m_ctx.pMusicGraph ? AudioWriter::Music : AudioWriter::Silence;
}

void MediaEncoder::writeAudioUpToVideo()
{
    ScopedPhase phase(m_clock, ExportPhase::Audio);
    switch (m_ctx.eAudioWriter) {
    case AudioWriter::Silence:
        writeSilenceUpTo();
        break;
    case AudioWriter::Music:
        writeMusicUpTo();
        break;
    }
}

// Samples that last as long as every video frame emitted so far.
int64_t MediaEncoder::audioTarget() const
{
    return av_rescale_q(m_ctx.iNextVideoPts, m_ctx.stVideoTimeBase,
                        AVRational{1, m_ctx.pAudioEncoder->sample_rate});
}

void MediaEncoder::writeSilenceUpTo()
{
    const int64_t iTarget = audioTarget();
    if (m_ctx.iMixerIn1Samples >= iTarget)
        return;
    const AVCodecContext *pAudio = m_ctx.pAudioEncoder.get();
    const int iSamples = static_cast<int>(std::min<int64_t>(iTarget - m_ctx.iMixerIn1Samples, INT_MAX));
    AVFramePtr pSilence = makeFramePtr();
    if (!pSilence)
        fail(AVERROR(ENOMEM));
    int ret = makeSilentFrame(pSilence.get(), pAudio->ch_layout.nb_channels, pAudio->sample_rate,
                              pAudio->sample_fmt, iSamples);
    if (ret < 0)
        fail(ret);
    pSilence->pts = av_rescale_q(m_ctx.iMixerIn1Samples, AVRational{1, pAudio->sample_rate}, pAudio->time_base);

    ret = pushFrameToFilter(m_ctx.pMixer.get(), "in1", pSilence.get());
    if (ret >= 0)
        ret = pushFrameToFilter(m_ctx.pMixer.get(), "in2", pSilence.get());
    if (ret < 0)
        fail(ret, tr("Failed to push frame to filter when writing mute frame"));
    // Counted as pushed, whether or not the mixer gives it out at once:
    // counting only what came out would push the same stretch again.
    m_ctx.iMixerIn1Samples += iSamples;
    m_ctx.iMixerIn2Samples += iSamples;

    // Everything the mixer has ready goes on, so nothing piles up inside it.
    for (;;) {
        bool bGot = false;
        ret = pullFrameFromFilter(m_ctx.pMixer.get(), "out", m_ctx.pAudioFrame.get(), bGot);
        if (ret == AVERROR_EOF || (ret >= 0 && !bGot))
            break;
        if (ret < 0)
            fail(ret, tr("Failed to get frame from filter when writing mute frame"));
        ret = fifoWriteFrame(m_ctx.stFifo, m_ctx.pAudioFrame.get());
        av_frame_unref(m_ctx.pAudioFrame.get());
        if (ret < 0)
            fail(ret);
    }
    encodeFifoFrames();
}

void MediaEncoder::writeMusicUpTo()
{
    // The background music is decoded and mixed by the music writer, which
    // this build does not have yet: fail rather than export silence in its place.
    fail(AVERROR(ENOSYS));
}

void MediaEncoder::encodeFifoFrame(int iSamples)
{
    const AVCodecContext *pAudio = m_ctx.pAudioEncoder.get();
    AVFrame *pFrame = m_ctx.pAudioFrame.get();
    const int ret = fifoReadFrame(m_ctx.stFifo, iSamples, pFrame);
    if (ret < 0)
        fail(ret);
    pFrame->sample_rate = pAudio->sample_rate;
    pFrame->pts = m_ctx.iNextAudioPts;
    m_ctx.iNextAudioPts += av_rescale_q(pFrame->nb_samples, AVRational{1, pAudio->sample_rate}, pAudio->time_base);
    encodeAndWrite(m_ctx.pAudioEncoder.get(), pFrame, m_ctx.pAudioPacket.get(), m_ctx.pAudioStream, false);
    av_frame_unref(pFrame);
}

void MediaEncoder::encodeFifoFrames()
{
    while (m_ctx.stFifo.size() >= m_ctx.iAudioFrameSize)
        encodeFifoFrame(m_ctx.iAudioFrameSize);
}

// An encoder that cannot be flushed (WMA) still holds its delay's worth of
// the last samples when the sound ends; that much silence after them brings
// them out, so the end of the sound is not lost.
void MediaEncoder::padUnflushableEncoder()
{
    const AVCodecContext *pAudio = m_ctx.pAudioEncoder.get();
    if ((pAudio->codec->capabilities & AV_CODEC_CAP_DELAY) || pAudio->initial_padding <= 0)
        return;
    AVFramePtr pSilence = makeFramePtr();
    if (!pSilence)
        fail(AVERROR(ENOMEM));
    int ret = makeSilentFrame(pSilence.get(), pAudio->ch_layout.nb_channels, pAudio->sample_rate, pAudio->sample_fmt,
                              pAudio->initial_padding);
    if (ret >= 0)
        ret = fifoWriteFrame(m_ctx.stFifo, pSilence.get());
    if (ret < 0)
        fail(ret);
}

void MediaEncoder::drainFifo()
{
    checkRunning();
    // The last frame may be shorter than the encoder's frame size.
    while (m_ctx.stFifo.size() > 0)
        encodeFifoFrame(std::min(m_ctx.stFifo.size(), m_ctx.iAudioFrameSize));
}
