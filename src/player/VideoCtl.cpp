#include "player/VideoCtl.h"

#include "player/CAudioPlayback.h"
#include "player/FrameRing.h"
#include "player/SdlSubsystems.h"

#include <QCoreApplication>

#include <SDL2/SDL.h>

#include <cstring>
#include <new>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

// The playback state of one instance: its two rings and its audio device.
struct VideoState
{
    FrameRing stPictures{VideoCtl::kPictureCapacity, true};
    FrameRing stSamples{VideoCtl::kSampleCapacity, true};
    CAudioPlayback stAudio{stSamples};
    int iAudioOpen = 0; // 1 after startAudio, -1 once the device was closed
    SDL_AudioDeviceID iAudioDevice = 0;
};

namespace {

// Silences the callback, releases producers waiting for room, closes the
// device (which waits for a running callback) and drops the queued sound.
void closeAudioOf(VideoState &stState)
{
    stState.stAudio.close();
    stState.stSamples.close();
    if (stState.iAudioDevice)
        SDL_CloseAudioDevice(stState.iAudioDevice);
    stState.iAudioDevice = 0;
    stState.stAudio.reset();
    // Also forgets the last frame played, so that the first frame after a
    // reopen is played rather than taken for the old one.
    stState.stSamples.flush();
    if (stState.iAudioOpen == 1)
        stState.iAudioOpen = -1;
}

} // namespace

VideoCtl *VideoCtl::instance(int iIndex)
{
    struct Instances
    {
        std::unique_ptr<VideoCtl> pInstances[2];
        Instances()
        {
            pInstances[0].reset(new VideoCtl);
            pInstances[1].reset(new VideoCtl);
        }
        ~Instances()
        {
            pInstances[0].reset();
            pInstances[1].reset();
            SDL_Quit();
        }
    };
    static Instances s_instances;
    if (iIndex < 0 || iIndex > 1)
        return nullptr;
    VideoCtl *pInstance = s_instances.pInstances[iIndex].get();
    return pInstance->m_bReady ? pInstance : nullptr;
}

VideoCtl::VideoCtl()
{
    // The first use may come from a producer thread; the signals belong to the GUI's.
    if (QCoreApplication::instance())
        moveToThread(QCoreApplication::instance()->thread());
    if (!initSdlSubsystem(0)) {
        av_log(nullptr, AV_LOG_FATAL, "Could not initialize SDL - %s\n", SDL_GetError());
        av_log(nullptr, AV_LOG_FATAL, "(Did you set the DISPLAY variable?)\n");
        return;
    }
    m_bReady = true;
}

VideoCtl::~VideoCtl()
{
    stop();
}

std::shared_ptr<VideoState> VideoCtl::stateLocked()
{
    if (!m_pState) {
        std::shared_ptr<VideoState> pState;
        try {
            pState = std::make_shared<VideoState>();
        } catch (const std::bad_alloc &) {
        }
        if (!pState || !pState->stPictures.isValid() || !pState->stSamples.isValid()) {
            av_log(nullptr, AV_LOG_FATAL, "Failed to initialize VideoState!\n");
            return nullptr;
        }
        m_pState = std::move(pState);
    }
    return m_pState;
}

void VideoCtl::startAudio()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::shared_ptr<VideoState> pState = stateLocked();
    if (!pState)
        return;
    pState->iAudioOpen = 1;
    if (pState->stAudio.isClosed()) {
        // Audio stays initialised until the process ends.
        if (!m_bAudioInitialised && !(m_bAudioInitialised = initSdlSubsystem(SDL_INIT_AUDIO))) {
            av_log(nullptr, AV_LOG_WARNING, "SDL audio: %s\n", SDL_GetError());
            return;
        }
        AudioFormatSpec stDevice;
        pState->iAudioDevice = openAudioDevice(AV_CH_LAYOUT_STEREO, 2, 44100, &CAudioPlayback::deviceCallback,
                                               &pState->stAudio, openDefaultAudioDevice, &stDevice);
        if (!pState->iAudioDevice)
            return;
        // A sound card plays a period while the next is filled; the disk
        // writer has what it is given at once.
        const char *szDriver = SDL_GetCurrentAudioDriver();
        const bool bAtOnce = szDriver && std::strcmp(szDriver, "disk") == 0;
        pState->stAudio.start(stDevice, bAtOnce ? 0 : int64_t(stDevice.iPeriod) * 1000000 / stDevice.iSampleRate);
        pState->stSamples.open();
    } else {
        // A new start: nothing of before plays.
        SDL_LockAudioDevice(pState->iAudioDevice);
        pState->stAudio.dropWaiting();
        SDL_UnlockAudioDevice(pState->iAudioDevice);
    }
    pState->stAudio.pause(false);
    SDL_PauseAudioDevice(pState->iAudioDevice, 0);
}

void VideoCtl::pauseAudio(bool bPause)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_pState || m_pState->stAudio.isClosed())
        return;
    // The callback stands before the pause is noted, and after the resume is.
    if (bPause)
        SDL_PauseAudioDevice(m_pState->iAudioDevice, 1);
    m_pState->stAudio.pause(bPause);
    if (!bPause)
        SDL_PauseAudioDevice(m_pState->iAudioDevice, 0);
}

void VideoCtl::dropQueuedAudio()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_pState || m_pState->stAudio.isClosed())
        return;
    SDL_LockAudioDevice(m_pState->iAudioDevice);
    m_pState->stAudio.dropWaiting();
    SDL_UnlockAudioDevice(m_pState->iAudioDevice);
}

bool VideoCtl::soundBacklog(CPreviewOutput::SoundBacklog *pBacklog) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_pState || m_pState->stAudio.isClosed())
        return false;
    *pBacklog = m_pState->stAudio.backlog();
    return true;
}

void VideoCtl::closeAudio()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pState)
        closeAudioOf(*m_pState);
}

bool VideoCtl::isAudioOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pState && !m_pState->stAudio.isClosed();
}

void VideoCtl::startDisplay(uintptr_t iNativeHandle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // One loop at a time: an earlier one ends before the next starts.
    m_stDisplay.bRunning = false;
    if (m_pState)
        m_pState->stPictures.wakeConsumer();
    if (m_displayThread.joinable())
        m_displayThread.join();

    std::shared_ptr<VideoState> pState = stateLocked();
    if (!pState)
        return;
    QImage stUnshown; // a picture of an earlier loop that no widget took
    AVRational stUnshownAspect;
    takePicture(&stUnshown, &stUnshownAspect);
    m_stDisplay.bRunning = true;
    m_stDisplay.bRedraw = false;
    m_stDisplay.iPendingSize = 0;
    pState->stPictures.open();
    m_displayThread = std::thread([this, pState, iNativeHandle] {
        CDisplayLoop stLoop(
            pState->stPictures, m_stDisplay, iNativeHandle,
            [this](bool bEmbedded) { Q_EMIT sig_displayEmbedded(bEmbedded); },
            [this](const QImage &stPicture, AVRational stSampleAspect) {
                bool bWasEmpty = false;
                {
                    std::lock_guard<std::mutex> lock(m_pictureMutex);
                    bWasEmpty = m_stPicture.isNull();
                    m_stPicture = stPicture;
                    m_stPictureAspect = stSampleAspect;
                }
                // One notice until the widget takes it, however many pictures follow.
                if (bWasEmpty)
                    Q_EMIT sig_pictureReady();
            });
        stLoop.run();
    });
}

void VideoCtl::stop()
{
    std::shared_ptr<VideoState> pState;
    std::thread displayThread;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pState = std::move(m_pState);
        displayThread = std::move(m_displayThread);
        m_stDisplay.bRunning = false;
    }
    if (pState) {
        pState->stPictures.close();
        pState->stPictures.wakeConsumer();
        closeAudioOf(*pState);
    }
    if (displayThread.joinable())
        displayThread.join();
}

bool VideoCtl::isDisplayRunning() const
{
    return m_stDisplay.bRunning;
}

std::shared_ptr<VideoState> VideoCtl::sharedState() const
{
    // The reference keeps the state alive while a push waits, even when
    // stop releases it meanwhile.
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pState;
}

int VideoCtl::pushVideoFrame(AVFrame *pFrame)
{
    const std::shared_ptr<VideoState> pState = sharedState();
    return pState && pFrame ? pState->stPictures.push(pFrame) : -1;
}

int VideoCtl::pushAudioFrame(AVFrame *pFrame)
{
    const std::shared_ptr<VideoState> pState = sharedState();
    return pState && pFrame ? pState->stAudio.push(pFrame) : -1;
}

void VideoCtl::setDisplaySize(int iWidth, int iHeight)
{
    m_stDisplay.iPendingSize = uint64_t(uint32_t(iWidth)) << 32 | uint32_t(iHeight);
    requestRedraw();
}

void VideoCtl::requestRedraw()
{
    m_stDisplay.bRedraw = true;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pState)
        m_pState->stPictures.wakeConsumer();
}

void VideoCtl::setDimming(const QColor &stColour)
{
    m_stDisplay.iDimming = stColour.isValid() ? stColour.rgba() : 0;
    requestRedraw();
}

bool VideoCtl::takePicture(QImage *pPicture, AVRational *pSampleAspect)
{
    std::lock_guard<std::mutex> lock(m_pictureMutex);
    if (m_stPicture.isNull())
        return false;
    *pPicture = std::move(m_stPicture);
    m_stPicture = QImage();
    *pSampleAspect = m_stPictureAspect;
    return true;
}

VideoCtl::DisplayCounters VideoCtl::displayCounters() const
{
    DisplayCounters stCounters;
    stCounters.iPictures = m_stDisplay.iPictures;
    stCounters.iPresented = m_stDisplay.iPresented;
    stCounters.iDropped = m_stDisplay.iDropped;
    return stCounters;
}
