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
    return iDevice;
}

CAudioPlayback::~CAudioPlayback()
{
    av_freep(&m_pResampleBuffer);
}

void CAudioPlayback::start(const AudioFormatSpec &stDevice)
{
    m_stDevice = stDevice;
    m_iVolume = SDL_MIX_MAXVOLUME;
    m_pChunk = nullptr;
    m_iChunkSize = m_iChunkIndex = 0;
    {
        std::lock_guard<std::mutex> lock(m_playedMutex);
        m_iPlayedBytes = m_iPeriodBytes = 0;
        m_iBytesPerSecond = stDevice.iFrameSize * stDevice.iSampleRate;
    }
    m_bClosed = false;
}

int64_t CAudioPlayback::playedMicroseconds() const
{
    std::lock_guard<std::mutex> lock(m_playedMutex);
    if (m_iBytesPerSecond <= 0)
        return 0;
    const int64_t iPeriodUs = m_iPeriodBytes * 1000000 / m_iBytesPerSecond;
    const int64_t iPlaying = std::clamp<int64_t>(steadyMicroseconds() - m_iPeriodStartUs, 0, iPeriodUs);
    return m_iPlayedBytes * 1000000 / m_iBytesPerSecond + iPlaying;
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
    int64_t iSoundBytes = 0;
    const int64_t iStartUs = steadyMicroseconds();
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
        if (m_pChunk)
            iSoundBytes += iCopy;
        m_iChunkIndex += iCopy;
        pStream += iCopy;
        iLength -= iCopy;
    }
    std::lock_guard<std::mutex> lock(m_playedMutex);
    m_iPlayedBytes += m_iPeriodBytes;
    m_iPeriodBytes = iSoundBytes;
    m_iPeriodStartUs = iStartUs;
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
