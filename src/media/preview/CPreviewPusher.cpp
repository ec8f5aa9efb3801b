#include "media/preview/CPreviewPusher.h"

#include "media/preview/CPreviewOutput.h"

#include <algorithm>
#include <chrono>

#include <pthread.h>

namespace {

constexpr std::chrono::milliseconds kLongestSleep{10};

} // namespace

CPreviewPusher::CPreviewPusher(CPreviewOutput *pOutput, const recipes::AlbumTimeline &stTimeline,
                               const std::atomic<bool> &bPaused, const std::atomic<int64_t> &iSeekRequests)
    : m_pOutput(pOutput), m_stTimeline(stTimeline), m_bPaused(bPaused), m_iSeekRequests(iSeekRequests)
{
}

CPreviewPusher::~CPreviewPusher()
{
    stop();
}

void CPreviewPusher::start(int64_t iGeneration)
{
    stop();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_iGeneration = iGeneration;
        m_bAllQueued = m_bStop = m_bEnded = false;
        m_stats = Stats();
        m_lfLateSumMs = 0;
    }
    m_thread = std::thread([this] { run(); });
}

void CPreviewPusher::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.clear();
}

int64_t CPreviewPusher::clockMicroseconds() const
{
    return m_pOutput ? m_pOutput->position() * 1000 : 0;
}

bool CPreviewPusher::isLate(int64_t iFrame) const
{
    return m_stTimeline.frameAt(clockMicroseconds()) > iFrame;
}

bool CPreviewPusher::append(const AVFrame *pPicture, int64_t iFrame, bool bMust, int64_t iGeneration,
                            const std::function<bool()> &fnStop)
{
    AVFramePtr pCopy(av_frame_clone(pPicture));
    if (!pCopy)
        return false;
    pCopy->pts = iFrame;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (static_cast<int>(m_queue.size()) >= kQueueLength) {
        if (m_bEnded || m_bStop || (fnStop && fnStop()))
            return false;
        m_cv.wait_for(lock, kLongestSleep);
    }
    if (m_bEnded || m_bStop)
        return false;
    m_queue.push_back(Queued{std::move(pCopy), iFrame, iGeneration, bMust});
    m_bAllQueued = false;
    m_cv.notify_all();
    return true;
}

void CPreviewPusher::restart(int64_t iGeneration)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.clear();
        m_iGeneration = iGeneration;
        m_bAllQueued = false;
    }
    m_cv.notify_all();
}

void CPreviewPusher::setAllQueued()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bAllQueued = true;
    }
    m_cv.notify_all();
}

bool CPreviewPusher::waitForEnd(int iMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(iMs), [this] { return m_bEnded; });
}

CPreviewPusher::Stats CPreviewPusher::stats() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stats;
}

void CPreviewPusher::run()
{
    pthread_setname_np(pthread_self(), "pictora-pusher");
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStop) {
        // Pictures rendered before the last seek are never shown.
        while (!m_queue.empty() && m_queue.front().iGeneration != m_iGeneration)
            m_queue.pop_front();
        const int64_t iPosition = clockMicroseconds();
        if (m_queue.empty()) {
            // The last picture is out: the pusher's work ends with the album's time.
            if (m_bAllQueued && m_stTimeline.frameAt(iPosition) >= m_stTimeline.totalFrames()) {
                m_bEnded = true;
                m_cv.notify_all();
                break;
            }
            m_cv.wait_for(lock, kLongestSleep);
            continue;
        }
        // A seek the renderer has not taken up yet: what is queued is old.
        if (m_iSeekRequests.load() != m_iGeneration) {
            m_cv.wait_for(lock, std::chrono::milliseconds(2));
            continue;
        }
        Queued &stHead = m_queue.front();
        const int64_t iDue = m_stTimeline.frameStart(stHead.iFrame);
        if (!stHead.bMust) {
            if (m_bPaused.load()) {
                m_cv.wait_for(lock, kLongestSleep);
                continue;
            }
            if (iPosition < iDue) {
                const auto waitFor = std::chrono::milliseconds((iDue - iPosition + 999) / 1000);
                m_cv.wait_for(lock, std::min<std::chrono::milliseconds>(waitFor, kLongestSleep));
                continue;
            }
            if (m_queue.size() > 1 && iPosition >= m_stTimeline.frameStart(m_queue[1].iFrame)) {
                m_queue.pop_front();
                ++m_stats.iDropped;
                m_cv.notify_all();
                continue;
            }
        }
        AVFramePtr pPicture = std::move(stHead.pPicture);
        m_queue.pop_front();
        const double lfLateMs = std::max<int64_t>(0, iPosition - iDue) / 1000.0;
        ++m_stats.iHanded;
        m_lfLateSumMs += lfLateMs;
        m_stats.lfMeanLateMs = m_lfLateSumMs / m_stats.iHanded;
        m_stats.lfMaxLateMs = std::max(m_stats.lfMaxLateMs, lfLateMs);
        m_cv.notify_all();
        lock.unlock();
        // May wait while the display holds three pictures; returns at once when nothing shows.
        if (m_pOutput)
            m_pOutput->pushVideoFrame(pPicture.get());
        lock.lock();
    }
}
