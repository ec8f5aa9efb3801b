#include "media/preview/AudioDecoder.h"

#include "album/AlbumProjectState.h"
#include "media/preview/CPreviewRenderer.h"
#include "media/preview/CSoundFeed.h"

#include <QMutexLocker>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <pthread.h>

namespace {

// Opens the music on a thread of its own, so that a file that does not
// answer (a share gone away) holds up nobody: whoever waits for it gives
// up at a stop, and the opening thread then ends on its own once the file
// answers, with what it opened.
std::unique_ptr<CMusicSource> openMusic(const std::string &szPath, const std::function<bool()> &fnStop)
{
    struct Opening
    {
        std::mutex mutex;
        std::condition_variable cond;
        bool bDone = false;
        std::atomic<bool> bGivenUp{false};
        std::unique_ptr<CMusicSource> pMusic;
    };
    auto pOpening = std::make_shared<Opening>();
    std::thread([pOpening, szPath] {
        pthread_setname_np(pthread_self(), "pictora-musicopen");
        auto pMusic = std::make_unique<CMusicSource>([pOpening] { return pOpening->bGivenUp.load(); });
        const bool bOpened = pMusic->open(szPath);
        std::lock_guard<std::mutex> lock(pOpening->mutex);
        if (bOpened)
            pOpening->pMusic = std::move(pMusic);
        pOpening->bDone = true;
        pOpening->cond.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(pOpening->mutex);
    while (!pOpening->cond.wait_for(lock, std::chrono::milliseconds(10), [&] { return pOpening->bDone; })) {
        if (fnStop()) {
            pOpening->bGivenUp = true;
            return nullptr;
        }
    }
    if (pOpening->pMusic)
        pOpening->pMusic->setInterrupt(fnStop);
    return std::move(pOpening->pMusic);
}

} // namespace

AudioDecoder::AudioDecoder()
    : QObject(nullptr)
{
    // Counted in the emitting thread at the moment of the request, so that a
    // stop that follows the request reaches the preview, and one before it
    // does not.
    connect(this, &AudioDecoder::sig_preview, this,
            [this] {
                m_jobs.requested();
                m_bPaused.store(false);
            },
            Qt::DirectConnection);
    connect(this, &AudioDecoder::sig_preview, this, &AudioDecoder::previewImpl, Qt::QueuedConnection);
    connect(this, &AudioDecoder::sig_close, this, &AudioDecoder::closeImpl, Qt::QueuedConnection);
}

AudioDecoder::~AudioDecoder() = default;

void AudioDecoder::stopSound()
{
    m_jobs.cancelAll();
}

void AudioDecoder::pauseSound()
{
    m_bPaused.store(true);
}

void AudioDecoder::resumeSound()
{
    m_bPaused.store(false);
}

void AudioDecoder::requestSeek()
{
    m_iSeekRequests.fetch_add(1);
}

void AudioDecoder::closeImpl(int iExitEcode)
{
    if (QThread *pThread = QThread::currentThread())
        pThread->exit(iExitEcode);
}

void AudioDecoder::previewImpl()
{
    const int64_t iJob = m_jobs.started();
    AlbumProjectState &st = albumState();
    try {
        QMutexLocker lock(&st.mutexAudio);
        CPreviewOutput *pOutput = st.pVideoPlay;
        if (m_jobs.isCancelled(iJob) || !pOutput)
            return;
        m_bActive.store(true);
        const auto fnRunning = [this, iJob] { return !m_jobs.isCancelled(iJob); };
        const auto fnStop = [this, iJob] { return m_jobs.isCancelled(iJob); };
        // What the sound needs of the album, taken now: the album does not
        // change while the lock is held.
        const recipes::AlbumTimeline stTimeline(st, CPreviewRenderer::kFrameRate);
        const std::string szMusic = st.iBackgroundMusicType == MusicCustom && !st.szBackgroundMusicPath.isEmpty()
                                        ? st.szBackgroundMusicPath.toUtf8().toStdString()
                                        : std::string();
        const bool bClipSound = st.iKeepAudioTrack == 1;

        CClipSoundSource stClips(stTimeline, fnStop);
        CSoundFeed stClipFeed(pOutput, 1, stClips, fnRunning, m_bPaused, m_iSeekRequests);
        std::thread musicThread([&] {
            pthread_setname_np(pthread_self(), "pictora-music");
            // A music that does not open leaves the pictures and the clips' sound.
            std::unique_ptr<CMusicSource> pMusic = szMusic.empty() ? nullptr : openMusic(szMusic, fnStop);
            if (!pMusic)
                return;
            CSoundFeed stMusicFeed(pOutput, 0, *pMusic, fnRunning, m_bPaused, m_iSeekRequests);
            stMusicFeed.run();
        });
        std::thread clipThread([&] {
            pthread_setname_np(pthread_self(), "pictora-clipsnd");
            if (bClipSound)
                stClipFeed.run();
        });
        musicThread.join();
        clipThread.join();
        // Both feeds end only when stopped; a missing one waits for that too,
        // so that the lock is held for the preview's whole sound.
        while (fnRunning())
            QThread::msleep(10);
    } catch (...) {
        // Nothing leaves a slot.
    }
    m_bActive.store(false);
}
