// The sound of the export: the audio encoder, the two-input mixer, the
// sample FIFO and the writers that bring the sound up to each video frame.
//
// Every writer brings both mixer inputs to exactly the audio target (the
// samples that last as long as the video frames emitted so far), pushing one
// frame of the same length into each: silence into both (writer 1), music
// against silence (writer 2), the clip's sound into both (writer 3), music
// against the clip's sound (writer 4). The mixer therefore never waits for
// one input while holding the other, gives out all it was given after every
// call, and keeps its levels (no input ever ends). Music and clip sound come
// in frames of their own length; what a frame holds beyond the target waits
// in the source's pending FIFO for the next video frame, so every sample is
// mixed once, in order, and silence fills only where a clip's sound has ended.
// The mixed sound goes into the FIFO, which is cut into encoder frames.

#include "album/AlbumProjectState.h"
#include "media/export/MediaEncoder.h"
#include "media/ffmpeg/FFmpegCodec.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/recipes/AudioRecipes.h"

#include <QtGlobal>

#include <algorithm>
#include <climits>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
}

void MediaEncoder::openAudioSource(AudioSource &stSource, const std::string &szPath, const QString &szOpenFailed,
                                   const QString &szNoStream, const QString &szNoDecoder)
{
    stSource = AudioSource();
    stSource.stReader.setInterrupt([this] { return !m_bRunning.load(); });
    const int ret = stSource.stReader.open(szPath);
    if (ret >= 0)
        return;
    switch (stSource.stReader.failedStep()) {
    case recipes::AudioReader::Step::Open:
        fail(ret, szOpenFailed);
    case recipes::AudioReader::Step::NoStream:
        fail(ret, szNoStream);
    case recipes::AudioReader::Step::NoDecoder:
        fail(ret, szNoDecoder);
    default:
        fail(ret);
    }
}

// The graph into the encoder's format, rate and channels, and what the
// source needs to run through it. The encoder must exist.
void MediaEncoder::createAudioSourceGraph(AudioSource &stSource, const QString &szFailed)
{
    const AVCodecContext *pAudio = m_ctx.pAudioEncoder.get();
    stSource.pGraph.reset(recipes::createAudioFormatGraph(stSource.stReader.decodedFormat(), pAudio->sample_fmt,
                                                          pAudio->sample_rate, pAudio->ch_layout.nb_channels));
    if (!stSource.pGraph)
        fail(AVERROR(EINVAL), szFailed);
    stSource.pFrame = makeFramePtr();
    if (!stSource.pFrame
        || allocSampleFifo(stSource.stPending, pAudio->sample_fmt, pAudio->ch_layout.nb_channels,
                           m_ctx.iAudioFrameSize)
               < 0)
        fail(AVERROR(ENOMEM));
}

void MediaEncoder::openMusic()
{
    openAudioSource(m_ctx.stMusic, m_ctx.szMusicPath, tr("Open mp3 file failed"),
                    tr("Can not find audio stream on mp3 file"), tr("Create audio decoder failed"));
}

void MediaEncoder::openClipAudio(const std::string &szPath)
{
    openAudioSource(m_ctx.stClipAudio, szPath, tr("Open audio material failed"),
                    tr("Can not find audio stream on audio material"),
                    tr("Create audio decoder of audio material failed"));
    createAudioSourceGraph(m_ctx.stClipAudio, tr("Create filter of audio material failed"));
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

    const AVCodecContext *pMusic = m_ctx.stMusic.stReader.decoder();
    const uint64_t iLayout = pMusic ? recipes::channelMask(pMusic->ch_layout)
                                    : recipes::defaultChannelMask(static_cast<int>(st.iAudioChannels));
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

    m_ctx.pMixer.reset(recipes::createMixerGraph(pAudio->sample_fmt, pAudio->sample_rate,
                                                 recipes::channelMask(pAudio->ch_layout),
                                                 pAudio->ch_layout.nb_channels, pAudio->time_base));
    if (!m_ctx.pMixer)
        fail(AVERROR(EINVAL), tr("Create audio mix filter failed"));

    if (m_ctx.stMusic.stReader.isOpen())
        createAudioSourceGraph(m_ctx.stMusic, tr("Create audio filter of BGM failed"));
}

AudioWriter MediaEncoder::stillPictureAudioWriter() const
{
    return m_ctx.stMusic.pGraph ? AudioWriter::Music : AudioWriter::Silence;
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
    case AudioWriter::Clip:
        writeClipAudioUpTo();
        break;
    case AudioWriter::MusicAndClip:
        writeMusicAndClipUpTo();
        break;
    }
}

// Samples that last as long as every video frame emitted so far.
int64_t MediaEncoder::audioTarget() const
{
    return av_rescale_q(m_ctx.iNextVideoPts, m_ctx.stVideoTimeBase,
                        AVRational{1, m_ctx.pAudioEncoder->sample_rate});
}

// What each mixer input still needs to reach the audio target; both inputs
// always stand at the same count.
int MediaEncoder::samplesToTarget() const
{
    Q_ASSERT(m_ctx.iMixerIn1Samples == m_ctx.iMixerIn2Samples);
    const int64_t iMissing = audioTarget() - std::max(m_ctx.iMixerIn1Samples, m_ctx.iMixerIn2Samples);
    return static_cast<int>(std::clamp<int64_t>(iMissing, 0, INT_MAX));
}

AVFramePtr MediaEncoder::mixerSilence(int iSamples)
{
    const AVCodecContext *pAudio = m_ctx.pAudioEncoder.get();
    AVFramePtr pSilence = makeFramePtr();
    if (!pSilence)
        fail(AVERROR(ENOMEM));
    const int ret = makeSilentFrame(pSilence.get(), pAudio->ch_layout.nb_channels, pAudio->sample_rate,
                                    pAudio->sample_fmt, iSamples);
    if (ret < 0)
        fail(ret);
    return pSilence;
}

// Pushes pFrame into mixer input 1 or 2 at that input's count, which grows
// by its length.
void MediaEncoder::pushToMixer(int iInput, AVFrame *pFrame, const QString &szFailed)
{
    const AVCodecContext *pAudio = m_ctx.pAudioEncoder.get();
    int64_t &iCount = iInput == 1 ? m_ctx.iMixerIn1Samples : m_ctx.iMixerIn2Samples;
    // The mixer's sources take the encoder's own layout, and timestamps that
    // run on without a gap on each input.
    int ret = av_channel_layout_copy(&pFrame->ch_layout, &pAudio->ch_layout);
    if (ret >= 0) {
        pFrame->sample_rate = pAudio->sample_rate;
        pFrame->pts = av_rescale_q(iCount, AVRational{1, pAudio->sample_rate}, pAudio->time_base);
        ret = pushFrameToFilter(m_ctx.pMixer.get(), iInput == 1 ? "in1" : "in2", pFrame);
    }
    if (ret < 0)
        fail(ret, szFailed);
    iCount += pFrame->nb_samples;
}

// Takes everything the mixer has ready into the FIFO and encodes the full
// encoder frames it then holds.
void MediaEncoder::pullMixer(const QString &szFailed)
{
    for (;;) {
        bool bGot = false;
        int ret = pullFrameFromFilter(m_ctx.pMixer.get(), "out", m_ctx.pAudioFrame.get(), bGot);
        if (ret == AVERROR_EOF || (ret >= 0 && !bGot))
            break;
        if (ret < 0)
            fail(ret, szFailed);
        ret = fifoWriteFrame(m_ctx.stFifo, m_ctx.pAudioFrame.get());
        av_frame_unref(m_ctx.pAudioFrame.get());
        if (ret < 0)
            fail(ret);
    }
    encodeFifoFrames();
}

void MediaEncoder::writeSilenceUpTo()
{
    const int iSamples = samplesToTarget();
    if (iSamples < 1)
        return;
    AVFramePtr pSilence = mixerSilence(iSamples);
    const QString szPushFailed = tr("Failed to push frame to filter when writing mute frame");
    pushToMixer(1, pSilence.get(), szPushFailed);
    pushToMixer(2, pSilence.get(), szPushFailed);
    pullMixer(tr("Failed to get frame from filter when writing mute frame"));
}

void MediaEncoder::writeMusicUpTo()
{
    const int iSamples = samplesToTarget();
    if (iSamples < 1)
        return;
    fillMusic(iSamples, true);
    AVFramePtr pMusic = takePending(m_ctx.stMusic, iSamples);
    AVFramePtr pSilence = mixerSilence(iSamples);
    pushToMixer(1, pMusic.get(), QString());
    pushToMixer(2, pSilence.get(), QString());
    pullMixer(QString());
}

void MediaEncoder::writeClipAudioUpTo()
{
    const int iSamples = samplesToTarget();
    if (iSamples < 1)
        return;
    // The clip's sound into both inputs comes out at its own level.
    const bool bSound = fillClipAudio(iSamples, true);
    AVFramePtr pClip = takePending(m_ctx.stClipAudio, iSamples);
    pushToMixer(1, pClip.get(),
                bSound ? tr("Failed to push left frame to mix filter when writing source audio frame") : QString());
    pushToMixer(2, pClip.get(),
                bSound ? tr("Failed to push right frame to mix filter when writing source audio frame") : QString());
    pullMixer(bSound ? tr("Failed to get frame from mix filter when writing source audio frame") : QString());
}

void MediaEncoder::writeMusicAndClipUpTo()
{
    if (!m_ctx.stMusic.pGraph) {
        writeClipAudioUpTo();
        return;
    }
    const int iSamples = samplesToTarget();
    if (iSamples < 1)
        return;
    fillMusic(iSamples, false);
    fillClipAudio(iSamples, false);
    AVFramePtr pMusic = takePending(m_ctx.stMusic, iSamples);
    AVFramePtr pClip = takePending(m_ctx.stClipAudio, iSamples);
    pushToMixer(1, pMusic.get(), QString());
    pushToMixer(2, pClip.get(), QString());
    pullMixer(QString());
}

// Music until its pending FIFO holds iSamples; music never ends.
void MediaEncoder::fillMusic(int iSamples, bool bWithMessages)
{
    AudioSource &stMusic = m_ctx.stMusic;
    while (stMusic.stPending.size() < iSamples) {
        const int ret = fifoWriteFrame(stMusic.stPending, nextMusicFrame(bWithMessages));
        av_frame_unref(stMusic.pFrame.get());
        if (ret < 0)
            fail(ret);
    }
}

// The clip's sound until its pending FIFO holds iSamples or the sound has
// ended. False when there is none of it left to mix.
bool MediaEncoder::fillClipAudio(int iSamples, bool bWithMessages)
{
    AudioSource &stClip = m_ctx.stClipAudio;
    while (stClip.stPending.size() < iSamples && nextClipAudioFrame(bWithMessages)) {
        const int ret = fifoWriteFrame(stClip.stPending, stClip.pFrame.get());
        av_frame_unref(stClip.pFrame.get());
        if (ret < 0)
            fail(ret);
    }
    return stClip.stPending.size() > 0;
}

// iSamples from the source's pending FIFO, made up with silence where the
// source had fewer (a clip's sound that ended before its picture).
AVFramePtr MediaEncoder::takePending(AudioSource &stSource, int iSamples)
{
    const int iHave = stSource.stPending.size();
    if (iHave < iSamples) {
        AVFramePtr pSilence = mixerSilence(iSamples - iHave);
        const int ret = fifoWriteFrame(stSource.stPending, pSilence.get());
        if (ret < 0)
            fail(ret);
    }
    AVFramePtr pFrame = makeFramePtr();
    if (!pFrame)
        fail(AVERROR(ENOMEM));
    const int ret = fifoReadFrame(stSource.stPending, iSamples, pFrame.get());
    if (ret < 0)
        fail(ret);
    return pFrame;
}

AVFrame *MediaEncoder::nextMusicFrame(bool bWithMessages)
{
    // Writer 4 raises the music graph's failures with their codes only.
    nextConvertedFrame(m_ctx.stMusic, true,
                       bWithMessages ? tr("Failed to push frame to filter when writing BGM frame") : QString(),
                       bWithMessages ? tr("Failed to get frame from filter when writing BGM frame") : QString());
    return m_ctx.stMusic.pFrame.get();
}

bool MediaEncoder::nextClipAudioFrame(bool bWithMessages)
{
    AudioSource &stClip = m_ctx.stClipAudio;
    if (!stClip.pGraph || stClip.bEnded)
        return false;
    return nextConvertedFrame(
        stClip, false,
        bWithMessages ? tr("Failed to push frame to filter when writing source audio frame") : QString(),
        bWithMessages ? tr("Failed to get frame from filter when writing source audio frame") : QString());
}

// The source's next frame in the encoder's format, into its pFrame. False
// once it has ended (never for a looping source).
bool MediaEncoder::nextConvertedFrame(AudioSource &stSource, bool bLoop, const QString &szPushFailed,
                                      const QString &szPullFailed)
{
    AVFilterGraph *pGraph = stSource.pGraph.get();
    AVFrame *pFrame = stSource.pFrame.get();
    const FilterInput &stIn = stSource.stReader.decodedFormat();
    for (;;) {
        checkRunning();
        // What the graph has ready comes first, so that nothing piles up in it.
        bool bGot = false;
        int ret = pullFrameFromFilter(pGraph, "out", pFrame, bGot);
        if (ret == AVERROR_EOF) {
            stSource.bEnded = true;
            return false;
        }
        if (ret < 0)
            fail(ret, szPullFailed);
        if (bGot)
            return true;
        if (stSource.bGraphClosed) {
            stSource.bEnded = true;
            return false;
        }

        if (decodeAudio(stSource, bLoop)) {
            // Numbered by the samples that went in: a loop back to the start
            // or a damaged packet never makes the graph's time jump.
            AVFrame *pDecoded = stSource.stReader.frame();
            pDecoded->pts = av_rescale_q(stSource.iSamplesIntoGraph, AVRational{1, stIn.iSampleRate}, stIn.stTimeBase);
            stSource.iSamplesIntoGraph += pDecoded->nb_samples;
            ret = pushFrameToFilter(pGraph, "in", pDecoded);
            av_frame_unref(pDecoded);
        } else {
            // The end: the graph gives out what its resampler still holds.
            stSource.bGraphClosed = true;
            ret = pushFrameToFilter(pGraph, "in", nullptr);
        }
        if (ret < 0)
            fail(ret, szPushFailed);
    }
}

// Decodes the source's next frame into its reader's frame; false at the end
// of a sound that does not loop.
bool MediaEncoder::decodeAudio(AudioSource &stSource, bool bLoop)
{
    const int ret = stSource.stReader.decode(bLoop);
    if (ret >= 0)
        return ret > 0;
    if (ret == AVERROR(EINTR))
        checkRunning();
    switch (stSource.stReader.failedStep()) {
    case recipes::AudioReader::Step::Read:
        fail(ret, tr("Read audio packet failed"));
    case recipes::AudioReader::Step::Decode:
        fail(ret, tr("Decode audio packet failed"));
    default:
        fail(ret);
    }
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
