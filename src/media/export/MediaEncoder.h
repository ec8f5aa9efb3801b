#pragma once

// The export renderer: the album state in, one video file out.
//
// MediaEncoder lives in a worker thread of its own (parentless, moved there
// by its owner). The owner starts an export by emitting sig_exportVideo and
// cancels it by clearing the running flag; the renderer reports through
// sig_exportProgress, sig_succeeded and sig_exportFail. One output frame at
// a time: pictures are prepared, encoded and written, then the sound is
// brought up to the same instant, all in the worker thread.

#include "album/AlbumProjectState.h"
#include "media/export/ExportContext.h"
#include "media/export/ExportStats.h"
#include "media/recipes/AlbumTimeline.h"

#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <string>

namespace recipes {
class ClipReader;
}

class MediaEncoder : public QObject
{
    Q_OBJECT
public:
    MediaEncoder();
    ~MediaEncoder() override;

    // True while an export may go on. Every emission of sig_exportVideo sets
    // it (in the emitting thread, so a cancel that follows the request is
    // never lost); clearing it from any thread, or from a signal handler,
    // cancels the export at its next frame.
    std::atomic<bool> &runningFlag() { return m_bRunning; }

    // Whether a finished export may replace a file at the target (the user
    // chose to overwrite it). When not, a file that appeared there during the
    // export is kept and the export fails. Set before sig_exportVideo; true
    // until set.
    void setReplaceExisting(bool bReplace) { m_bReplaceExisting.store(bReplace); }

    // Where the time of the last finished export went (any thread).
    ExportStats lastExportStats() const;

Q_SIGNALS:
    void sig_encoded(QString szFile);
    void sig_close(int iExitCode);
    void sig_exportVideo();
    void sig_exportProgress(int iVal);
    // Beside the percentage: frames written so far of all the album's frames.
    void sig_exportFrames(qint64 iEncoded, qint64 iTotal);
    void sig_exportFail(QString szError);
    void sig_succeeded();

public Q_SLOTS:
    void exportVideoImpl();
    void closeImpl(int iExitEcode);

private:
    // Pipeline.
    void runExport();
    void setUpOutput();
    void emitVideoFrame(AVFrame *pFrame);
    void finishOutput();
    void releaseExport();
    void reportFailure(int iCode);
    [[noreturn]] void fail(int iCode, const QString &szMessage = QString());
    void checkRunning();
    const ImageSource &material(int i) const;
    // Sends pFrame (null: flush) and writes every packet that comes out.
    void encodeAndWrite(AVCodecContext *pEncoder, const AVFrame *pFrame, AVPacket *pPacket, AVStream *pStream,
                        bool bVideo);

    // Pictures, transitions and the watermark.
    void loadPicture(const ImageSource &stSource, int iMaterial, AVFrame *pDst);
    void renderImageSegment(const recipes::TimelineSegment &stSegment, const ImageSource &stSource);
    void renderTransition(const recipes::TimelineSegment &stSegment, const ImageSource &stTo);
    void prepareWatermark();
    int applyWatermark(const AVFrame *pPicture, AVFrame *pOut);

    // Video clips.
    void renderVideoSegment(const recipes::TimelineSegment &stSegment, const ImageSource &stSource);
    void openClipPictures(recipes::ClipReader &stClip, const std::string &szPath, int64_t iTurns);
    bool nextClipPicture(recipes::ClipReader &stClip, AVFrame *pPicture);
    void openClipAudio(const std::string &szPath);

    // Sound.
    void setUpAudio();
    void openMusic();
    void openAudioSource(AudioSource &stSource, const std::string &szPath, const QString &szOpenFailed,
                         const QString &szNoStream, const QString &szNoDecoder);
    void createAudioSourceGraph(AudioSource &stSource, const QString &szFailed);
    AudioWriter stillPictureAudioWriter() const;
    void writeAudioUpToVideo();
    int64_t audioTarget() const;
    int samplesToTarget() const;
    void writeSilenceUpTo();
    void writeMusicUpTo();
    void writeClipAudioUpTo();
    void writeMusicAndClipUpTo();
    AVFrame *nextMusicFrame(bool bWithMessages);
    bool nextClipAudioFrame(bool bWithMessages);
    bool nextConvertedFrame(AudioSource &stSource, bool bLoop, const QString &szPushFailed,
                            const QString &szPullFailed);
    bool decodeAudio(AudioSource &stSource, bool bLoop);
    void fillMusic(int iSamples, bool bWithMessages);
    bool fillClipAudio(int iSamples, bool bWithMessages);
    AVFramePtr takePending(AudioSource &stSource, int iSamples);
    AVFramePtr mixerSilence(int iSamples);
    void pushToMixer(int iInput, AVFrame *pFrame, const QString &szFailed);
    void pullMixer(const QString &szFailed);
    void encodeFifoFrames();
    void drainFifo();
    void padUnflushableEncoder();
    void encodeFifoFrame(int iSamples);

    std::atomic<bool> m_bRunning{true};
    std::atomic<bool> m_bReplaceExisting{true};
    const ImageSource m_stMissing;   // made with the renderer, in the owner's thread
    ExportContext m_ctx;
    recipes::AlbumTimeline m_timeline;   // the album's segments while an export runs
    PhaseClock m_clock;
    mutable QMutex m_statsMutex;
    ExportStats m_stLastStats;
};
