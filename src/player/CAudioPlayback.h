#pragma once

// The sound side of one player instance: opening the audio device, and the
// device's callback, which takes frames from the sample ring, resamples them
// to the device's format and hands out the bytes. The callback never waits:
// when the ring is dry it plays silence.

#include "media/ffmpeg/FFmpegPtr.h"

#include <SDL2/SDL_audio.h>

#include <atomic>
#include <mutex>
#include <cstdint>
#include <functional>

extern "C" {
#include <libavutil/samplefmt.h>
}

class FrameRing;

struct AudioFormatSpec
{
    int iSampleRate = 0;
    int iChannels = 0;
    uint64_t iChannelLayout = 0;
    AVSampleFormat eSampleFormat = AV_SAMPLE_FMT_NONE;
    int iFrameSize = 0; // bytes of one sample in every channel
};

// One attempt at opening the default output device: SDL_OpenAudioDevice with
// no name, not for capture and no changes allowed, or a stand-in in tests.
// Returns the device id, 0 when the attempt failed.
using AudioDeviceOpenFn = std::function<SDL_AudioDeviceID(const SDL_AudioSpec &stWanted, SDL_AudioSpec *pObtained)>;
SDL_AudioDeviceID openDefaultAudioDevice(const SDL_AudioSpec &stWanted, SDL_AudioSpec *pObtained);

// Opens a device close to the wanted layout, channel count and rate, going
// down through fewer channels and lower rates until one opens. stCallback
// and pUserData go into the device's spec. Returns the device id and fills
// *pDevice, or 0 when nothing opened.
SDL_AudioDeviceID openAudioDevice(uint64_t iWantedLayout, int iWantedChannels, int iWantedRate,
                                  SDL_AudioCallback stCallback, void *pUserData, const AudioDeviceOpenFn &fnOpen,
                                  AudioFormatSpec *pDevice);

class CAudioPlayback
{
public:
    explicit CAudioPlayback(FrameRing &stRing) : m_stRing(stRing) {}
    ~CAudioPlayback();
    CAudioPlayback(const CAudioPlayback &) = delete;
    CAudioPlayback &operator=(const CAudioPlayback &) = delete;

    // The device opened with this format: play at full volume from a fresh chunk.
    void start(const AudioFormatSpec &stDevice);
    // From now on the callback gives silence (before the device is closed).
    void close() { m_bClosed = true; }
    bool isClosed() const { return m_bClosed; }
    // After the device is closed: frees the resampler and its buffer.
    void reset();

    // Microseconds of sound (not of the silence played while the ring was
    // dry) the device has played since it was last opened: what earlier
    // periods took, and of the latest period as much as has passed since
    // the device asked for it.
    int64_t playedMicroseconds() const;

    // The device's callback: fills iLength bytes of pStream.
    void fill(uint8_t *pStream, int iLength);
    static void SDLCALL deviceCallback(void *pUserData, Uint8 *pStream, int iLength);

private:
    // The next chunk's size in bytes, or -1 for silence.
    int nextChunk();
    int buildResampler(const AVFrame *pFrame, const AudioFormatSpec &stSource);

    FrameRing &m_stRing;
    std::atomic<bool> m_bClosed{true};
    AudioFormatSpec m_stDevice;
    AudioFormatSpec m_stSource;
    SwrContextPtr m_pResampler;
    const uint8_t *m_pChunk = nullptr; // null means silence
    int m_iChunkSize = 0;
    int m_iChunkIndex = 0;
    uint8_t *m_pResampleBuffer = nullptr;
    unsigned int m_iResampleBufferSize = 0;
    int m_iVolume = 0;
    mutable std::mutex m_playedMutex;
    int64_t m_iPlayedBytes = 0;                // of sound, in the device's format, before the latest period
    int64_t m_iPeriodBytes = 0;                // of sound in the latest period
    int64_t m_iPeriodStartUs = 0;              // steady clock, when the device asked for it
    int m_iBytesPerSecond = 0;
};
