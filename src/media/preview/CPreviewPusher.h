#pragma once

// Hands the preview's rendered pictures to the player when the player's
// clock says they are due. The renderer queues pictures (at most
// kQueueLength) from its thread; a thread of the pusher's own takes the head
// when the clock reaches its frame, drops it when the next queued frame is
// due already (a late picture is not shown late), and sleeps until the next
// due time otherwise. Every picture carries the seek generation it was
// rendered for: once the owner has asked for a seek, nothing older is handed
// over. After the album's last picture the pusher waits for the clock to
// pass its end and ends by itself.

#include "media/ffmpeg/FFmpegPtr.h"
#include "media/recipes/AlbumTimeline.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CPreviewOutput;

class CPreviewPusher
{
public:
    static constexpr int kQueueLength = 15;

    struct Stats
    {
        int64_t iHanded = 0;       // pictures given to the player
        int64_t iDropped = 0;      // queued but due after a later one (late)
        double lfMeanLateMs = 0;   // how long after its due time a picture was given, on average
        double lfMaxLateMs = 0;
    };

    // bPaused and iSeekRequests are the owner's flags; they outlive the pusher.
    CPreviewPusher(CPreviewOutput *pOutput, const recipes::AlbumTimeline &stTimeline,
                   const std::atomic<bool> &bPaused, const std::atomic<int64_t> &iSeekRequests);
    ~CPreviewPusher();
    CPreviewPusher(const CPreviewPusher &) = delete;
    CPreviewPusher &operator=(const CPreviewPusher &) = delete;

    // Starts the thread, taking pictures of seek generation iGeneration.
    void start(int64_t iGeneration);
    // Ends the thread (at once, also while it waits) and drops what is queued.
    void stop();

    // Renderer's side.
    // True when the clock has passed frame iFrame.
    bool isLate(int64_t iFrame) const;
    // Queues a reference to pPicture as frame iFrame, waiting for room. A
    // picture with bMust is handed over even when late or paused (the first
    // one after a start or seek). False when fnStop said stop while waiting,
    // or the pusher has ended.
    bool append(const AVFrame *pPicture, int64_t iFrame, bool bMust, int64_t iGeneration,
                const std::function<bool()> &fnStop);
    // Drops everything queued; from now on only pictures of iGeneration go out.
    void restart(int64_t iGeneration);
    // Nothing more comes after what is queued.
    void setAllQueued();
    // Waits up to iMs for the pusher to end by itself; true once it has.
    bool waitForEnd(int iMs);

    Stats stats() const;

private:
    struct Queued
    {
        AVFramePtr pPicture;
        int64_t iFrame = 0;
        int64_t iGeneration = 0;
        bool bMust = false;
    };

    void run();
    int64_t clockMicroseconds() const;

    CPreviewOutput *m_pOutput;
    const recipes::AlbumTimeline &m_stTimeline;
    const std::atomic<bool> &m_bPaused;
    const std::atomic<int64_t> &m_iSeekRequests;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Queued> m_queue;
    int64_t m_iGeneration = 0;
    bool m_bAllQueued = false;
    bool m_bStop = false;
    bool m_bEnded = false;
    Stats m_stats;
    double m_lfLateSumMs = 0;
    std::thread m_thread;
};
