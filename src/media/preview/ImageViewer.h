#pragma once

// The preview renderer: the album's pictures for the editor's player, as the
// export makes them but at the export size divided by the preview divisor
// and 25 frames a second (CPreviewRenderer), from any position.
//
// Two jobs, each holding albumState().mutexPreview while it runs:
// - the cover (sig_changePreviewCover): exactly one picture, the one at
//   iPreviewStartPos, handed straight to the player;
// - playing (sig_previewVideo): every picture from iPreviewStartPos on, each
//   handed over by CPreviewPusher when the player's clock reaches it; ends
//   by itself after the last one (and then sets iPreviewStartPos back to 0),
//   or when called off, and emits sig_previewFinished either way.
//
// The object lives in a worker thread of its own; the owner (GUI thread)
// emits the job signals and calls the operations below, which are safe from
// any thread at any time: a call-off or seek asked for before a job starts
// is not lost, and one never reaches a job asked for after it.

#include "media/export/ExportStats.h"
#include "media/preview/CPreviewJobs.h"
#include "media/preview/CPreviewPusher.h"

#include <QMutex>
#include <QObject>
#include <QSize>

#include <atomic>
#include <cstdint>

class ImageViewer : public QObject
{
    Q_OBJECT
public:
    ImageViewer();
    ~ImageViewer() override;

    // Calls off the running job and every job asked for so far.
    void abortPreview();
    // With the player's pause and play; a paused preview hands over nothing
    // but the picture a seek asks for.
    void setPaused(bool bPaused);
    // After iPreviewStartPos changed while playing: the next picture is the
    // one there, and nothing queued before is shown.
    void requestSeek();
    bool isActive() const { return m_bActive.load(); }

    // What the last playing job did (for the benchmark).
    struct Stats
    {
        QSize stSize;                    // of the pictures
        int64_t iFirstFrame = -1;        // the first frame queued
        double lfFirstPictureMs = -1;    // from the job's start to its first picture queued
        CPreviewPusher::Stats stPusher;
        ExportStats stRender;            // where the renderer's time went
    };
    Stats lastStats() const;

Q_SIGNALS:
    void sig_close(int iExitCode);
    void sig_previewFinished();
    void sig_changePreviewCover();
    void sig_previewVideo();

public Q_SLOTS:
    void changePreviewCoverImpl();
    void previewVideoImpl();
    void closeImpl(int iExitEcode);

private:
    // Plays from iPreviewStartPos; true when it reached the album's end.
    bool play(int64_t iJob);

    CPreviewJobs m_jobs;
    std::atomic<bool> m_bPaused{false};
    std::atomic<int64_t> m_iSeekRequests{0};
    std::atomic<bool> m_bActive{false};
    mutable QMutex m_statsMutex;
    Stats m_stLastStats;
};
