#include "media/preview/ImageViewer.h"

#include "album/AlbumProjectState.h"
#include "media/preview/CPreviewOutput.h"
#include "media/preview/CPreviewRenderer.h"

#include <QMutexLocker>
#include <QThread>

#include <chrono>

namespace {

// The cover: the one picture goes straight to the player.
class CoverSink : public CPreviewPictureSink
{
public:
    explicit CoverSink(CPreviewOutput *pOutput) : m_pOutput(pOutput) {}
    bool isLate(int64_t) override { return false; }
    bool take(const AVFrame *pPicture, int64_t iFrame) override
    {
        AVFramePtr pCopy(av_frame_clone(pPicture));
        if (pCopy) {
            pCopy->pts = iFrame;
            m_pOutput->pushVideoFrame(pCopy.get());
        }
        return false;
    }

private:
    CPreviewOutput *m_pOutput;
};

// Playing: the pictures go into the pusher's queue. The first one after a
// start or a seek is shown whatever the clock says; later ones the clock
// has passed are left out.
class PlayingSink : public CPreviewPictureSink
{
public:
    PlayingSink(CPreviewPusher &stPusher, std::function<bool()> fnStop)
        : m_stPusher(stPusher), m_fnStop(std::move(fnStop))
    {
    }
    void restart(int64_t iGeneration)
    {
        m_iGeneration = iGeneration;
        m_bMust = true;
    }
    bool isLate(int64_t iFrame) override { return !m_bMust && m_stPusher.isLate(iFrame); }
    bool take(const AVFrame *pPicture, int64_t iFrame) override
    {
        if (!m_stPusher.append(pPicture, iFrame, m_bMust, m_iGeneration, m_fnStop))
            return false;
        if (m_iFirstFrame < 0) {
            m_iFirstFrame = iFrame;
            m_tFirst = std::chrono::steady_clock::now();
        }
        m_bMust = false;
        return true;
    }
    int64_t firstFrame() const { return m_iFirstFrame; }
    std::chrono::steady_clock::time_point firstTime() const { return m_tFirst; }

private:
    CPreviewPusher &m_stPusher;
    std::function<bool()> m_fnStop;
    int64_t m_iGeneration = 0;
    bool m_bMust = true;
    int64_t m_iFirstFrame = -1;
    std::chrono::steady_clock::time_point m_tFirst;
};

} // namespace

ImageViewer::ImageViewer()
    : QObject(nullptr)
{
    // Counted in the emitting thread at the moment of the request, so that a
    // call-off that follows the request reaches the job, and one before it
    // does not.
    connect(this, &ImageViewer::sig_changePreviewCover, this, [this] { m_jobs.requested(); }, Qt::DirectConnection);
    connect(this, &ImageViewer::sig_previewVideo, this,
            [this] {
                m_jobs.requested();
                m_bPaused.store(false);
            },
            Qt::DirectConnection);
    connect(this, &ImageViewer::sig_changePreviewCover, this, &ImageViewer::changePreviewCoverImpl,
            Qt::QueuedConnection);
    connect(this, &ImageViewer::sig_previewVideo, this, &ImageViewer::previewVideoImpl, Qt::QueuedConnection);
    connect(this, &ImageViewer::sig_close, this, &ImageViewer::closeImpl, Qt::QueuedConnection);
}

ImageViewer::~ImageViewer() = default;

void ImageViewer::abortPreview()
{
    m_jobs.cancelAll();
}

void ImageViewer::setPaused(bool bPaused)
{
    m_bPaused.store(bPaused);
}

void ImageViewer::requestSeek()
{
    m_iSeekRequests.fetch_add(1);
}

ImageViewer::Stats ImageViewer::lastStats() const
{
    QMutexLocker lock(&m_statsMutex);
    return m_stLastStats;
}

void ImageViewer::closeImpl(int iExitEcode)
{
    if (QThread *pThread = QThread::currentThread())
        pThread->exit(iExitEcode);
}

void ImageViewer::changePreviewCoverImpl()
{
    const int64_t iJob = m_jobs.started();
    AlbumProjectState &st = albumState();
    try {
        QMutexLocker lock(&st.mutexPreview);
        CPreviewRenderer stRenderer;
        if (!m_jobs.isCancelled(iJob) && st.pVideoPlay
            && stRenderer.setUp(st, st.iPreviewScale, [this, iJob] { return m_jobs.isCancelled(iJob); }) >= 0) {
            const recipes::AlbumTimeline &stTimeline = stRenderer.timeline();
            // At or past the end the album's last picture stays.
            const int64_t iFrame = std::min(stTimeline.frameAt(st.iPreviewStartPos), stTimeline.totalFrames() - 1);
            CoverSink stSink(st.pVideoPlay);
            if (iFrame >= 0)
                stRenderer.render(iFrame, stSink);
        }
    } catch (...) {
        // Nothing leaves a slot; the cover is simply not shown.
    }
}

void ImageViewer::previewVideoImpl()
{
    const int64_t iJob = m_jobs.started();
    AlbumProjectState &st = albumState();
    try {
        QMutexLocker lock(&st.mutexPreview);
        m_bActive.store(true);
        if (!m_jobs.isCancelled(iJob))
            play(iJob);
    } catch (...) {
        // Nothing leaves a slot; the preview ends as if called off.
    }
    m_bActive.store(false);
    Q_EMIT sig_previewFinished();
}

bool ImageViewer::play(int64_t iJob)
{
    const auto tStart = std::chrono::steady_clock::now();
    AlbumProjectState &st = albumState();
    CPreviewOutput *pOutput = st.pVideoPlay;
    // The seek request counter is read before the position it stands for.
    int64_t iSeekSeen = m_iSeekRequests.load();
    const auto fnCancelled = [this, iJob] { return m_jobs.isCancelled(iJob); };
    const auto fnStop = [&] { return m_jobs.isCancelled(iJob) || m_iSeekRequests.load() != iSeekSeen; };
    CPreviewRenderer stRenderer;
    if (!pOutput || stRenderer.setUp(st, st.iPreviewScale, fnStop) < 0)
        return false;
    const recipes::AlbumTimeline &stTimeline = stRenderer.timeline();
    int64_t iStartPosition = st.iPreviewStartPos.load();
    int64_t iFrom = stTimeline.frameAt(iStartPosition);

    CPreviewPusher stPusher(pOutput, stTimeline, m_bPaused, m_iSeekRequests);
    stPusher.start(iSeekSeen);
    PlayingSink stSink(stPusher, fnStop);
    bool bReachedEnd = false;
    for (;;) {
        stSink.restart(iSeekSeen);
        int ret = stRenderer.render(iFrom, stSink);
        bool bSeek = false;
        if (ret == 0 && !fnStop()) {
            // Everything is queued: wait for the pusher to hand out the
            // rest, still following seeks and call-offs.
            stPusher.setAllQueued();
            while (!fnStop() && !(bReachedEnd = stPusher.waitForEnd(10))) {
            }
        }
        bSeek = !fnCancelled() && m_iSeekRequests.load() != iSeekSeen && !bReachedEnd;
        if (!bSeek)
            break;
        iSeekSeen = m_iSeekRequests.load();
        iStartPosition = st.iPreviewStartPos.load();
        iFrom = stTimeline.frameAt(iStartPosition);
        stPusher.restart(iSeekSeen);
    }
    stPusher.stop();

    // The next preview starts from the beginning, unless the editor has
    // chosen another position meanwhile.
    if (bReachedEnd)
        st.iPreviewStartPos.compare_exchange_strong(iStartPosition, 0);

    Stats stStats;
    stStats.stSize = stRenderer.size();
    stStats.iFirstFrame = stSink.firstFrame();
    if (stSink.firstFrame() >= 0)
        stStats.lfFirstPictureMs = std::chrono::duration<double, std::milli>(stSink.firstTime() - tStart).count();
    stStats.stPusher = stPusher.stats();
    stStats.stRender = stRenderer.stats();
    QMutexLocker lock(&m_statsMutex);
    m_stLastStats = stStats;
    return bReachedEnd;
}
