#pragma once

// The sound side of one player instance: opening the audio device, and the
// device's callback, which takes frames from the sample ring, resamples them
// to the device's format and hands out the bytes. The callback never waits:
// when the ring is dry it plays silence.

#include "media/ffmpeg/FFmpegPtr.h"
#include "media/preview/CPreviewOutput.h"

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
    int iPeriod = 0;    // samples the device asks for at a time
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
    using ClockFn = std::function<int64_t()>;

    // fnNow: a steady clock in microseconds (tests run it by hand).
    explicit CAudioPlayback(FrameRing &stRing, ClockFn fnNow = ClockFn());
    ~CAudioPlayback();
    CAudioPlayback(const CAudioPlayback &) = delete;
    CAudioPlayback &operator=(const CAudioPlayback &) = delete;

    // The device opened with this format: play at full volume from a fresh
    // chunk. What the device is given plays iDelayUs after it asks for it.
    void start(const AudioFormatSpec &stDevice, int64_t iDelayUs);
    // From now on the callback gives silence (before the device is closed).
    void close() { m_bClosed = true; }
    bool isClosed() const { return m_bClosed; }
    // After the device is closed: frees the resampler and its buffer.
    void reset();

    // Producer: queues a frame of sound (see FrameRing::push).
    int push(AVFrame *pFrame);
    // What has been queued and not heard yet.
    CPreviewOutput::SoundBacklog backlog() const;
    // With the device stopped (paused, locked or closed): drops what waits
    // for it, and the resumed sound's lead-in.
    void dropWaiting();
    // Around the device's pause: what it plays out meanwhile is not played
    // again, and what follows comes at its time, after as much silence.
    void pause(bool bPause);

    // The device's callback: fills iLength bytes of pStream.
    void fill(uint8_t *pStream, int iLength);
    static void SDLCALL deviceCallback(void *pUserData, Uint8 *pStream, int iLength);

private:
    // A period the device asked for: when, and how long it plays.
    struct Period
    {
        int64_t iAskedUs = 0;
        int64_t iLengthUs = 0;
    };
    // The next chunk's size in bytes, or -1 for silence.
    int nextChunk();
    int buildResampler(const AVFrame *pFrame, const AudioFormatSpec &stSource);
    int64_t bytesToMicroseconds(int64_t iBytes) const;
    // Under m_backlogMutex: the sound given to the device that it has not played.
    int64_t unplayedLocked(int64_t iNow) const;

    FrameRing &m_stRing;
    ClockFn m_fnNow;
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

    // The callback's bookkeeping, read by producers through backlog().
    mutable std::mutex m_backlogMutex;
    int m_iBytesPerSecond = 0;
    int64_t m_iDelayUs = 0;
    Period m_periods[2];              // the latest period and the one before
    int64_t m_iChunkLeftBytes = 0;    // of the current chunk, not handed to the device yet
    int64_t m_iLeadInBytes = 0;       // silence to play before the rest, after a pause
    bool m_bPaused = false;
    int64_t m_iPausedTailUs = -1;     // while paused: what the device held at the pause (-1: dropped since)
};
