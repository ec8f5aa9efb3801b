#pragma once

// The preview's sound, fed to one of the player's audio instances in step
// with its clock. The feed hands over the sample that is to be heard when
// everything the player already holds has played (its backlog), and no more
// than the device's next period and one frame beyond. Where the heard sound
// strays from the clock (a device whose clock runs a little fast or slow,
// a stretch the device ran dry) it plays a few samples in a hundred more or
// fewer until it is back; only a real jump (a seek, more than kJump off)
// repositions the source, and then the sound still waiting in the player is
// dropped. When nothing plays the sound (no device) the feed decodes
// nothing and only waits. Pushed frames carry their place on the album's
// timeline as pts, in 1/44100 s.

#include "media/ffmpeg/FFmpegPtr.h"
#include "media/recipes/AlbumTimeline.h"
#include "media/recipes/AudioReader.h"

#include <QSet>
#include <QString>

#include <atomic>
#include <climits>
#include <cstdint>
#include <functional>
#include <string>

class CPreviewOutput;

// What one feed plays: the background music or the clips' own sound.
// Positions are microseconds on the album's timeline.
class CSoundSource
{
public:
    static constexpr int64_t kNoSound = INT64_MAX;

    virtual ~CSoundSource() = default;
    // Prepares to give sound from iPosition on. Returns iPosition when there
    // is sound there, the position where the next sound begins when there is
    // none yet, or kNoSound when none comes any more.
    virtual int64_t seekTo(int64_t iPosition) = 0;
    // The next frame into frame() and where it starts: 1; 0 when this
    // stretch of sound has ended; a negative code when it failed.
    virtual int next(int64_t *piStart) = 0;
    virtual AVFrame *frame() = 0;
    // Nothing at or after this position belongs to the current stretch.
    virtual int64_t stretchEnd() const { return INT64_MAX; }
    // After a seek, stretches that ended may sound again.
    virtual void forgetEnded() {}
};

class CSoundFeed
{
public:
    static constexpr int64_t kJump = 100000;          // further off than this: reposition
    static constexpr int64_t kInStep = 2000;          // nearer than this: played as it is
    static constexpr int64_t kCatchUp = 1000000;      // an offset is made up over about this long...
    static constexpr double kMostStretch = 0.02;      // ...playing at most this much faster or slower
    static constexpr int64_t kIdleWait = 10000;
    static constexpr AVRational kSoundTimeBase{1, 44100};
    using SleepFn = std::function<void(int64_t iMicroseconds)>;

    // fnRunning, bPaused and iSeekRequests belong to the owner; fnSleep
    // (a real sleep when empty) is how the feed waits.
    CSoundFeed(CPreviewOutput *pOutput, int iInstance, CSoundSource &stSource, std::function<bool()> fnRunning,
               const std::atomic<bool> &bPaused, const std::atomic<int64_t> &iSeekRequests,
               SleepFn fnSleep = SleepFn());
    // Feeds until fnRunning says stop; then drops what it left waiting.
    void run();

private:
    bool deliver(int64_t iStart, double lfStretch);
    // How much longer (> 0) or shorter to play the next frame, for a sound
    // iOffset ahead of the clock.
    static double stretchFor(int64_t iOffset);

    CPreviewOutput *m_pOutput;
    int m_iInstance;
    CSoundSource &m_stSource;
    std::function<bool()> m_fnRunning;
    const std::atomic<bool> &m_bPaused;
    const std::atomic<int64_t> &m_iSeekRequests;
    SleepFn m_fnSleep;
    int64_t m_iNext = 0;            // the position of the next sample to hand over
    int64_t m_iFrameUs = 30000;     // the length of the source's last frame
    double m_lfOwed = 0;            // fractions of a sample the stretch still owes
};

// The background music, repeated for as long as the album lasts: position p
// of the album is (p modulo the music's duration) of the file.
class CMusicSource : public CSoundSource
{
public:
    explicit CMusicSource(std::function<bool()> fnStop);
    // False when the file has no usable sound (the preview then has no music).
    bool open(const std::string &szPath);
    void setInterrupt(std::function<bool()> fnStop) { m_stReader.setInterrupt(std::move(fnStop)); }

    int64_t seekTo(int64_t iPosition) override;
    int next(int64_t *piStart) override;
    AVFrame *frame() override { return m_stReader.frame(); }

private:
    recipes::AudioReader m_stReader;
    int64_t m_iDuration = 0;         // microseconds
    int64_t m_iPassStart = 0;        // where the current pass of the file began on the timeline
    int64_t m_iRestartsSeen = 0;
    bool m_bFailed = false;
};

// The clips' own sound, each only while its clip is on screen.
class CClipSoundSource : public CSoundSource
{
public:
    CClipSoundSource(const recipes::AlbumTimeline &stTimeline, std::function<bool()> fnStop);

    int64_t seekTo(int64_t iPosition) override;
    int next(int64_t *piStart) override;
    AVFrame *frame() override { return m_stReader.frame(); }
    int64_t stretchEnd() const override { return m_iEnd; }
    void forgetEnded() override { m_ended.clear(); }

private:
    const recipes::AlbumTimeline &m_stTimeline;
    recipes::AudioReader m_stReader;
    int m_iOpenMaterial = -1;        // the material m_stReader has open
    int m_iSegment = -1;             // the clip sounding
    int64_t m_iStart = 0;            // its segment on the timeline
    int64_t m_iEnd = 0;
    QSet<int> m_silent;              // materials without usable sound
    QSet<int> m_ended;               // segments whose sound has ended (or failed), until a seek
};
