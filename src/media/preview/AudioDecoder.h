#pragma once

// The preview's sound: the background music to the player's audio instance
// 0 and the clips' own sound (only while each clip is on screen, and only
// with iKeepAudioTrack 1) to instance 1, each by a thread of its own that
// follows the player's clock (CSoundFeed). A preview's sound runs from
// sig_preview until stopSound(), holding albumState().mutexAudio meanwhile;
// every preview starts afresh from iPreviewStartPos.
//
// The object lives in a worker thread of its own; the owner (GUI thread)
// emits sig_preview and calls the operations below, which are safe from any
// thread at any time: a stop asked for before the sound starts is not lost,
// and one never reaches a preview asked for after it.

#include "media/preview/CPreviewJobs.h"

#include <QObject>

#include <atomic>
#include <cstdint>

class AudioDecoder : public QObject
{
    Q_OBJECT
public:
    AudioDecoder();
    ~AudioDecoder() override;

    // Ends the running preview's sound and every one asked for so far.
    void stopSound();
    void pauseSound();
    void resumeSound();
    // After iPreviewStartPos changed: music and clip sound go on from there.
    void requestSeek();
    bool isActive() const { return m_bActive.load(); }

Q_SIGNALS:
    void sig_close(int iExitCode);
    void sig_preview();

public Q_SLOTS:
    void closeImpl(int iExitEcode);
    void previewImpl();

private:
    CPreviewJobs m_jobs;
    std::atomic<bool> m_bPaused{false};
    std::atomic<int64_t> m_iSeekRequests{0};
    std::atomic<bool> m_bActive{false};
};
