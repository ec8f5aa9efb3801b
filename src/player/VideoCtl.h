#pragma once

// The player's output engine. It presents what producers have already
// decoded or rendered: pictures through the display loop, sound through an
// audio device. Two instances live for the whole run: instance 0 has the
// display and plays the background music, instance 1 plays the clips' own
// sound; each opens its own device. Control calls come from the GUI thread
// (through the player panel), pushes from producer threads.

#include "media/preview/CPreviewOutput.h"
#include "player/CDisplayLoop.h"

#include <QColor>
#include <QImage>
#include <QObject>

#include <SDL2/SDL_audio.h>

#include <memory>
#include <mutex>
#include <thread>

struct AVFrame;
class FrameRing;
struct VideoState;

class VideoCtl : public QObject
{
    Q_OBJECT
public:
    // Pictures and sound frames a producer may have waiting before it blocks.
    static constexpr int kPictureCapacity = 3;
    static constexpr int kSampleCapacity = 9;

    // Instance 0 or 1, created on first use; null when SDL cannot start at
    // all, in which case callers do nothing.
    static VideoCtl *instance(int iIndex);
    ~VideoCtl() override;

    // Opens the audio device if it is closed (44100 Hz stereo, or the
    // nearest the system offers) and lets it play.
    void startAudio();
    // Closes the device and drops the sound waiting in the ring; producers
    // waiting to push sound return at once.
    void closeAudio();
    bool isAudioOpen() const;
    // Holds the device and what it was given; the resumed sound goes on
    // where the held one stopped, in its time.
    void pauseAudio(bool bPause);
    // Drops the sound that has not gone to the device yet.
    void dropQueuedAudio();
    // What was pushed and is not heard yet; false when no device is open.
    bool soundBacklog(CPreviewOutput::SoundBacklog *pBacklog) const;

    // Starts the display loop: SDL draws into the native window
    // iNativeHandle, or with 0 (or when that fails) the pictures come out as
    // sig_pictureReady for the widget to paint.
    void startDisplay(uintptr_t iNativeHandle);
    // Ends the display loop (and waits for it), closes the audio device and
    // frees the playback state; waiting producers return at once.
    void stop();
    bool isDisplayRunning() const;

    // Producers: 0 when queued, -1 when refused (see CPreviewOutput).
    int pushVideoFrame(AVFrame *pFrame);
    int pushAudioFrame(AVFrame *pFrame);

    // From the display widget: its native window's new size in pixels, and
    // that it was exposed.
    void setDisplaySize(int iWidth, int iHeight);
    void requestRedraw();
    // A colour the embedded display lays over its picture (the window's
    // dimming); a transparent one shows it plain again.
    void setDimming(const QColor &stColour);

    struct DisplayCounters
    {
        int64_t iPictures = 0;  // taken from the ring
        int64_t iPresented = 0; // shown at least once
        int64_t iDropped = 0;   // replaced before they were shown
    };
    DisplayCounters displayCounters() const;

    // The display widget, when it paints the pictures itself: takes the
    // newest picture; false when there is none since the last call. Only
    // the newest is kept, so a busy GUI thread never piles pictures up.
    bool takePicture(QImage *pPicture, AVRational *pSampleAspect);

Q_SIGNALS:
    // For the player panel's stop handling; the engine itself never emits it.
    void StopPlaySingle();
    // From the display thread: whether SDL draws into the native window.
    void sig_displayEmbedded(bool bEmbedded);
    // From the display thread, when the widget paints: a new picture waits in takePicture.
    void sig_pictureReady();

private:
    VideoCtl();
    // Under m_mutex: the state, created when there is none (null when it cannot be built).
    std::shared_ptr<VideoState> stateLocked();
    // The state as it is now, for a producer to hold while it pushes.
    std::shared_ptr<VideoState> sharedState() const;

    bool m_bReady = false;
    bool m_bAudioInitialised = false;
    mutable std::mutex m_mutex; // m_pState and m_displayThread
    // Producers hold a reference while they push, so a released state is
    // freed only once the last push has left.
    std::shared_ptr<VideoState> m_pState;
    std::thread m_displayThread;
    DisplayControl m_stDisplay;

    std::mutex m_pictureMutex;
    QImage m_stPicture;
    AVRational m_stPictureAspect{0, 1};
};
