#include "player/CAudioPlayback.h"

#include "player/FrameRing.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/common.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
}

namespace {

int64_t steadyMicroseconds()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// FFmpeg's default layout for a channel count, 0 when it has none.
uint64_t defaultLayoutMask(int iChannels)
{
    AVChannelLayout stLayout;
    av_channel_layout_default(&stLayout, iChannels);
    const uint64_t iMask = stLayout.order == AV_CHANNEL_ORDER_NATIVE ? stLayout.u.mask : 0;
    av_channel_layout_uninit(&stLayout);
    return iMask;
}

int channelCount(uint64_t iLayout)
{
    return av_popcount64(iLayout);
}

AVSampleFormat sampleFormatOf(SDL_AudioFormat iFormat)
{
    switch (iFormat) {
    case AUDIO_S16LSB:
    case AUDIO_S16MSB:
        return AV_SAMPLE_FMT_S16;
    case AUDIO_S32SYS:
        return AV_SAMPLE_FMT_S32;
    case AUDIO_F32SYS:
        return AV_SAMPLE_FMT_FLT;
    default:
        return AV_SAMPLE_FMT_U8;
    }
}

bool sameFormat(const AudioFormatSpec &a, const AudioFormatSpec &b)
{
    return a.iSampleRate == b.iSampleRate && a.iChannelLayout == b.iChannelLayout &&
           a.eSampleFormat == b.eSampleFormat;
}

} // namespace

SDL_AudioDeviceID openDefaultAudioDevice(const SDL_AudioSpec &stWanted, SDL_AudioSpec *pObtained)
{
    return SDL_OpenAudioDevice(nullptr, 0, &stWanted, pObtained, 0);
}

SDL_AudioDeviceID openAudioDevice(uint64_t iWantedLayout, int iWantedChannels, int iWantedRate,
                                  SDL_AudioCallback stCallback, void *pUserData, const AudioDeviceOpenFn &fnOpen,
                                  AudioFormatSpec *pDevice)
{
    static const int kNextChannels[] = {0, 0, 1, 6, 2, 6, 4, 6};
    static const int kNextRates[] = {0, 44100, 48000, 96000, 192000};

    if (const char *szChannels = std::getenv("SDL_AUDIO_CHANNELS")) {
        iWantedChannels = std::atoi(szChannels);
        iWantedLayout = defaultLayoutMask(iWantedChannels);
    }
    if (!iWantedLayout || channelCount(iWantedLayout) != iWantedChannels)
        iWantedLayout = defaultLayoutMask(iWantedChannels) & ~uint64_t(AV_CH_LAYOUT_STEREO_DOWNMIX);
    iWantedChannels = channelCount(iWantedLayout);
    if (iWantedRate <= 0 || iWantedChannels <= 0) {
        av_log(nullptr, AV_LOG_ERROR, "Invalid sample rate or channel count!\n");
        return 0;
    }

    int iNextRate = FF_ARRAY_ELEMS(kNextRates) - 1;
    while (iNextRate && kNextRates[iNextRate] >= iWantedRate)
        --iNextRate;

    SDL_AudioSpec stWanted{};
    stWanted.freq = iWantedRate;
    stWanted.format = AUDIO_S16SYS;
    stWanted.channels = Uint8(iWantedChannels);
    stWanted.silence = 0;
    stWanted.samples = Uint16(std::max(512, 2 << av_log2(unsigned(stWanted.freq / 30))));
    stWanted.callback = stCallback;
    stWanted.userdata = pUserData;

    SDL_AudioSpec stObtained{};
    SDL_AudioDeviceID iDevice = 0;
    while (!(iDevice = fnOpen(stWanted, &stObtained))) {
        av_log(nullptr, AV_LOG_WARNING, "SDL_OpenAudio (%d channels, %d Hz): %s\n", stWanted.channels,
               stWanted.freq, SDL_GetError());
        stWanted.channels = Uint8(kNextChannels[std::min(7, int(stWanted.channels))]);
        if (!stWanted.channels) {
            stWanted.freq = kNextRates[iNextRate--];
            stWanted.channels = Uint8(iWantedChannels);
            if (!stWanted.freq) {
                av_log(nullptr, AV_LOG_ERROR, "No more combinations to try, audio open failed\n");
                return 0;
            }
        }
    }

    uint64_t iLayout = defaultLayoutMask(stWanted.channels);
    if (stObtained.channels != stWanted.channels) {
        iLayout = defaultLayoutMask(stObtained.channels);
        if (!iLayout) {
            av_log(nullptr, AV_LOG_ERROR, "SDL advised channel count %d is not supported!\n", stObtained.channels);
            SDL_CloseAudioDevice(iDevice);
            return 0;
        }
    }
    pDevice->iSampleRate = stObtained.freq;
    pDevice->iChannels = stObtained.channels;
    pDevice->iChannelLayout = iLayout;
    pDevice->eSampleFormat = sampleFormatOf(stObtained.format);
    pDevice->iFrameSize = av_samples_get_buffer_size(nullptr, pDevice->iChannels, 1, pDevice->eSampleFormat, 1);
    pDevice->iPeriod = stObtained.samples;
    return iDevice;
}

CAudioPlayback::CAudioPlayback(FrameRing &stRing, ClockFn fnNow)
    : m_stRing(stRing), m_fnNow(fnNow ? std::move(fnNow) : ClockFn(&steadyMicroseconds))
{
}

CAudioPlayback::~CAudioPlayback()
{
    av_freep(&m_pResampleBuffer);
}

void CAudioPlayback::start(const AudioFormatSpec &stDevice, int64_t iDelayUs)
{
    m_stDevice = stDevice;
    m_iVolume = SDL_MIX_MAXVOLUME;
    m_pChunk = nullptr;
    m_iChunkSize = m_iChunkIndex = 0;
    {
        std::lock_guard<std::mutex> lock(m_backlogMutex);
        m_iBytesPerSecond = stDevice.iFrameSize * stDevice.iSampleRate;
        m_iDelayUs = iDelayUs;
        m_periods[0] = m_periods[1] = Period();
        m_iChunkLeftBytes = m_iLeadInBytes = 0;
        m_bPaused = false;
    }
    m_bClosed = false;
}

int CAudioPlayback::push(AVFrame *pFrame)
{
    const int64_t iLengthUs =
        pFrame && pFrame->sample_rate > 0 ? av_rescale(pFrame->nb_samples, 1000000, pFrame->sample_rate) : 0;
    return m_stRing.push(pFrame, iLengthUs);
}

int64_t CAudioPlayback::bytesToMicroseconds(int64_t iBytes) const
{
    return m_iBytesPerSecond > 0 ? iBytes * 1000000 / m_iBytesPerSecond : 0;
}

// Each period plays from when the device asked for it plus the device's
// delay; silence in it holds up what follows as much as sound. What is
// given next plays no earlier than the device's next request (it asks at
// the same pace, paused or not) plus its delay.
int64_t CAudioPlayback::unplayedLocked(int64_t iNow) const
{
    int64_t iUnplayed = 0;
    for (const Period &stPeriod : m_periods)
        iUnplayed += std::clamp<int64_t>(stPeriod.iAskedUs + m_iDelayUs + stPeriod.iLengthUs - iNow, 0,
                                         stPeriod.iLengthUs);
    const Period &stLatest = m_periods[0];
    int64_t iNextAsk = iNow;
    if (stLatest.iLengthUs > 0)
        iNextAsk = stLatest.iAskedUs
                   + std::max<int64_t>(1, (iNow - stLatest.iAskedUs + stLatest.iLengthUs - 1) / stLatest.iLengthUs)
                         * stLatest.iLengthUs;
    return std::max(iUnplayed, iNextAsk + m_iDelayUs - iNow);
}

CPreviewOutput::SoundBacklog CAudioPlayback::backlog() const
{
    CPreviewOutput::SoundBacklog stBacklog;
    const int64_t iQueuedUs = m_stRing.remainingWeight();
    std::lock_guard<std::mutex> lock(m_backlogMutex);
    stBacklog.iWaitingUs = iQueuedUs + bytesToMicroseconds(m_iChunkLeftBytes + m_iLeadInBytes);
    // While paused, what the device plays out is made up for by the lead-in
    // at the resume: the sound to come stays where it was.
    const int64_t iUnplayed = m_bPaused && m_iPausedTailUs >= 0 ? m_iPausedTailUs : unplayedLocked(m_fnNow());
    stBacklog.iUnheardUs = stBacklog.iWaitingUs + iUnplayed;
    stBacklog.iPeriodUs =
        m_stDevice.iSampleRate > 0 ? int64_t(m_stDevice.iPeriod) * 1000000 / m_stDevice.iSampleRate : 0;
    return stBacklog;
}

void CAudioPlayback::dropWaiting()
{
    m_stRing.flush();
    m_iChunkIndex = m_iChunkSize;
    std::lock_guard<std::mutex> lock(m_backlogMutex);
    m_iChunkLeftBytes = 0;
    m_iLeadInBytes = 0;
    // Nothing waits to be put back in place any more.
    m_iPausedTailUs = -1;
}

void CAudioPlayback::pause(bool bPause)
{
    std::lock_guard<std::mutex> lock(m_backlogMutex);
    if (bPause == m_bPaused)
        return;
    m_bPaused = bPause;
    const int64_t iUnplayed = unplayedLocked(m_fnNow());
    if (bPause) {
        m_iPausedTailUs = iUnplayed;
        return;
    }
    if (m_iPausedTailUs > iUnplayed && m_stDevice.iFrameSize > 0)
        m_iLeadInBytes += av_rescale(m_iPausedTailUs - iUnplayed, m_iBytesPerSecond / m_stDevice.iFrameSize, 1000000)
                          * m_stDevice.iFrameSize;
    m_iPausedTailUs = -1;
}

void CAudioPlayback::reset()
{
    m_bClosed = true;
    m_pResampler.reset();
    av_freep(&m_pResampleBuffer);
    m_iResampleBufferSize = 0;
    m_stSource = AudioFormatSpec();
    m_pChunk = nullptr;
    m_iChunkSize = m_iChunkIndex = 0;
    m_iVolume = 0;
    std::lock_guard<std::mutex> lock(m_backlogMutex);
    m_periods[0] = m_periods[1] = Period();
    m_iChunkLeftBytes = m_iLeadInBytes = 0;
    m_bPaused = false;
    m_iPausedTailUs = -1;
}

void SDLCALL CAudioPlayback::deviceCallback(void *pUserData, Uint8 *pStream, int iLength)
{
    static_cast<CAudioPlayback *>(pUserData)->fill(pStream, iLength);
}

void CAudioPlayback::fill(uint8_t *pStream, int iLength)
{
    // SDL does not clear the buffer before calling: whatever is not written
    // here would replay the previous period.
    if (m_bClosed || m_stDevice.iFrameSize <= 0) {
        std::memset(pStream, 0, size_t(std::max(iLength, 0)));
        return;
    }
    const int64_t iAskedUs = m_fnNow();
    const int64_t iPeriodBytes = std::max(iLength, 0);
    // Written only while the device stands (pause, dropWaiting), never
    // during a callback.
    int64_t iLeadIn = m_iLeadInBytes;
    if (iLeadIn > 0) {
        const int iSilence = int(std::min<int64_t>(iLength, iLeadIn));
        std::memset(pStream, 0, size_t(iSilence));
        iLeadIn -= iSilence;
        pStream += iSilence;
        iLength -= iSilence;
    }
    while (iLength > 0) {
        if (m_iChunkIndex >= m_iChunkSize) {
            const int iSize = nextChunk();
            if (iSize < 0) {
                m_pChunk = nullptr;
                m_iChunkSize = std::max(512 / m_stDevice.iFrameSize, 1) * m_stDevice.iFrameSize;
            } else {
                m_iChunkSize = iSize;
            }
            m_iChunkIndex = 0;
        }
        const int iCopy = std::min(iLength, m_iChunkSize - m_iChunkIndex);
        // Sound plays at full volume or not at all.
        if (m_pChunk && m_iVolume == SDL_MIX_MAXVOLUME)
            std::memcpy(pStream, m_pChunk + m_iChunkIndex, size_t(iCopy));
        else
            std::memset(pStream, 0, size_t(iCopy));
        m_iChunkIndex += iCopy;
        pStream += iCopy;
        iLength -= iCopy;
    }
    std::lock_guard<std::mutex> lock(m_backlogMutex);
    m_iLeadInBytes = iLeadIn;
    m_periods[1] = m_periods[0];
    m_periods[0] = Period{iAskedUs, bytesToMicroseconds(iPeriodBytes)};
    m_iChunkLeftBytes = m_pChunk ? m_iChunkSize - m_iChunkIndex : 0;
}

int CAudioPlayback::nextChunk()
{
    if (m_stRing.remaining() <= 0)
        return -1;
    AVFrame *pFrame = m_stRing.next().pFrame.get();
    // Keep-last keeps the frame alive until the next one is taken.
    m_stRing.advance();

    const int iChannels = pFrame->ch_layout.nb_channels;
    const auto eFormat = AVSampleFormat(pFrame->format);
    if (iChannels <= 0 || pFrame->sample_rate <= 0 || pFrame->nb_samples <= 0 || !pFrame->extended_data)
        return -1;

    AudioFormatSpec stSource;
    stSource.iSampleRate = pFrame->sample_rate;
    stSource.iChannels = iChannels;
    stSource.eSampleFormat = eFormat;
    stSource.iChannelLayout = pFrame->ch_layout.order == AV_CHANNEL_ORDER_NATIVE &&
                                      channelCount(pFrame->ch_layout.u.mask) == iChannels
                                  ? pFrame->ch_layout.u.mask
                                  : defaultLayoutMask(iChannels);
    // Every frame goes through the resampler (a plain copy when the formats
    // match); it is rebuilt whenever the frames' format changes.
    if (!m_pResampler || !sameFormat(stSource, m_stSource)) {
        if (buildResampler(pFrame, stSource) < 0)
            return -1;
    }

    const int64_t iCapacity = int64_t(pFrame->nb_samples) * m_stDevice.iSampleRate / pFrame->sample_rate + 256;
    const int iBytes =
        av_samples_get_buffer_size(nullptr, m_stDevice.iChannels, int(iCapacity), m_stDevice.eSampleFormat, 0);
    if (iBytes < 0) {
        av_log(nullptr, AV_LOG_ERROR, "av_samples_get_buffer_size() failed\n");
        return -1;
    }
    av_fast_malloc(&m_pResampleBuffer, &m_iResampleBufferSize, size_t(iBytes));
    if (!m_pResampleBuffer)
        return -1;
    const int iConverted = swr_convert(m_pResampler.get(), &m_pResampleBuffer, int(iCapacity),
                                       const_cast<const uint8_t **>(pFrame->extended_data), pFrame->nb_samples);
    if (iConverted < 0) {
        av_log(nullptr, AV_LOG_ERROR, "swr_convert() failed\n");
        return -1;
    }
    if (iConverted == iCapacity) {
        av_log(nullptr, AV_LOG_WARNING, "audio buffer is probably too small\n");
        if (swr_init(m_pResampler.get()) < 0) {
            m_pResampler.reset();
            m_stSource = AudioFormatSpec();
        }
    }
    m_pChunk = m_pResampleBuffer;
    return iConverted * m_stDevice.iChannels * av_get_bytes_per_sample(m_stDevice.eSampleFormat);
}

int CAudioPlayback::buildResampler(const AVFrame *pFrame, const AudioFormatSpec &stSource)
{
    m_pResampler.reset();
    m_stSource = AudioFormatSpec();
    AVChannelLayout stIn, stOut;
    av_channel_layout_from_mask(&stIn, stSource.iChannelLayout);
    av_channel_layout_from_mask(&stOut, m_stDevice.iChannelLayout);
    SwrContext *pResampler = nullptr;
    int iResult = swr_alloc_set_opts2(&pResampler, &stOut, m_stDevice.eSampleFormat, m_stDevice.iSampleRate, &stIn,
                                      stSource.eSampleFormat, stSource.iSampleRate, 0, nullptr);
    SwrContextPtr pOwned(pResampler);
    if (iResult >= 0)
        iResult = swr_init(pOwned.get());
    if (iResult < 0) {
        av_log(nullptr, AV_LOG_ERROR,
               "Cannot create sample rate converter for conversion of %d Hz %s %d channels to %d Hz %s %d channels!\n",
               pFrame->sample_rate, av_get_sample_fmt_name(stSource.eSampleFormat), stSource.iChannels,
               m_stDevice.iSampleRate, av_get_sample_fmt_name(m_stDevice.eSampleFormat), m_stDevice.iChannels);
        return iResult;
    }
    m_pResampler = std::move(pOwned);
    m_stSource = stSource;
    return 0;
}
