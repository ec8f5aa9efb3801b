#pragma once

// A bounded ring of frames between one producer thread and one consumer (the
// display loop for pictures, the audio callback for sound).
//
// Producers block while the ring is full; that is the only back-pressure on
// them. A producer must never wait for a consumer that does not run: pushes
// are refused while the ring is closed, and closing it wakes every producer
// already waiting. The consumer opens the ring when it starts and closes it
// when it stops.
//
// With keep-last the frame the consumer took stays in the ring (and counts
// against the capacity) until the consumer takes the next one, so it can be
// drawn again or played from without a copy.

#include "media/ffmpeg/FFmpegPtr.h"

#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <mutex>

extern "C" {
#include <libavutil/rational.h>
}

struct QueueSlot
{
    AVFramePtr pFrame;
    int iWidth = 0;
    int iHeight = 0;
    int iFormat = -1;
    AVRational stSampleAspect{0, 1};
    bool bUploaded = false;      // the display's texture already holds this picture
    bool bFlipVertical = false;  // stored bottom-up (negative first line size)
    bool bPresented = false;     // the display has shown it at least once
    int64_t iWeight = 0;         // what the producer said it is worth (a sound frame's length)
};

class FrameRing
{
public:
    static constexpr int kMaxCapacity = 9;

    // iCapacity is clamped to 1..kMaxCapacity. The ring starts closed.
    FrameRing(int iCapacity, bool bKeepLast);
    FrameRing(const FrameRing &) = delete;
    FrameRing &operator=(const FrameRing &) = delete;

    // False when a slot's frame could not be allocated.
    bool isValid() const { return m_bValid; }

    // Producer: waits for room, then moves pFrame's references into the next
    // slot (pFrame is left empty). 0 when queued; -1 when the ring is closed
    // or gets closed while waiting (pFrame untouched). iWeight counts in
    // remainingWeight() until the consumer takes the frame.
    int push(AVFrame *pFrame, int64_t iWeight = 0);

    // Consumer lifecycle.
    void open();
    void close();
    bool isOpen() const;
    // Drops every frame and forgets which one was shown last.
    void flush();

    // Consumer side. Slots returned here are the consumer's until it advances.
    int remaining() const;
    // The weights of the frames not taken yet, summed.
    int64_t remainingWeight() const;
    bool hasShown() const;
    QueueSlot &current() { return m_slots[m_iRead]; }
    QueueSlot &next();
    // Takes the next frame: with keep-last the first call only marks the
    // current frame shown; later calls drop the shown frame and move on.
    // Does nothing while no frame remains.
    void advance();

    // Consumer: waits up to stTimeout for a frame to take or for wakeConsumer().
    // True when a frame is waiting.
    bool waitForFrame(std::chrono::milliseconds stTimeout);
    void wakeConsumer();

private:
    QueueSlot m_slots[kMaxCapacity];
    int m_iCapacity = 1;
    bool m_bKeepLast = false;
    bool m_bValid = false;

    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    int m_iRead = 0;
    int m_iWrite = 0;
    int m_iCount = 0;
    int64_t m_iRemainingWeight = 0;
    bool m_bShown = false;
    bool m_bOpen = false;
    bool m_bWakeConsumer = false;
};
