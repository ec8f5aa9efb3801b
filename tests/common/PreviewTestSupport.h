#pragma once

// The player as the preview's producers see it, for the preview tests: a
// clock that runs in real time (or stands), sound outputs that play what
// they are given one after the other at the clock's pace, and a record of
// every picture and sound frame pushed, with the clock's position at the push.

#include "media/preview/CPreviewOutput.h"

#include <QElapsedTimer>
#include <QImage>
#include <QSize>
#include <QVector>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace previewtest {

class RecordingOutput : public CPreviewOutput
{
public:
    struct Picture
    {
        int64_t iFrame = 0;        // its pts
        int64_t iAtMs = 0;         // the clock when it was pushed
        QSize stSize;
        QImage stImage;            // only with keepImages(true)
    };
    struct Sound
    {
        int iInstance = 0;
        int64_t iPts = 0;          // in 1/44100 s of the album
        int iSamples = 0;
        int iRate = 0;
        int64_t iAtMs = 0;
        QVector<float> samples;    // the first channel
    };

    // The clock: counting from iMs, or standing.
    void start(int64_t iMs);
    void pause();
    void restartAt(int64_t iMs);
    void keepImages(bool bKeep) { m_bKeepImages = bKeep; }

    int64_t position() const override;
    int pushVideoFrame(AVFrame *pFrame) override;
    int pushAudioFrame(AVFrame *pFrame, int iIndex) override;
    bool soundBacklog(int iIndex, SoundBacklog *pBacklog) const override;
    void dropAudio(int iIndex) override;

    QVector<Picture> pictures() const;
    QVector<Sound> sounds(int iInstance) const;
    void clear();
    // Waits until bCondition holds (checked at every push and every 20 ms);
    // false after iTimeoutMs.
    bool waitFor(const std::function<bool()> &bCondition, int iTimeoutMs);

private:
    int64_t positionLocked() const;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    QElapsedTimer m_stTimer;
    bool m_bCounting = false;
    int64_t m_iOffset = 0;
    bool m_bKeepImages = false;
    QVector<Picture> m_pictures;
    QVector<Sound> m_sounds;
    int64_t m_iPlayedOutUs[2] = {0, 0}; // clock position when each output has played all it was given
};

// Peak signal-to-noise ratio of two pictures of one size, in dB (0 when
// they differ in size, 100 when equal).
double psnr(const QImage &a, const QImage &b);

// Which of lfHz has the strongest component in samples (Goertzel).
double strongestTone(const QVector<float> &samples, int iRate, const QVector<double> &frequencies);

} // namespace previewtest
