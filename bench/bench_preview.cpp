// Preview benchmark: the real preview (ImageViewer, AudioDecoder) through the
// real player (CQVideoPlay, its clock, SDL embedded under an X server, the
// audio devices writing what they play to files with SDL's disk driver).
// Plays the album of bench/bench_preview.sh from the start, seeks back into
// the clip, pauses there for a second, seeks forward again, to the end; at
// 1/2 and at 1/1. Prints "key=value" lines: delivered rates and the longest
// gap per kind of segment, the first picture after play and after each
// seek, the sound's offset from the pictures, old sound after the seeks,
// sound repeated after the resume, jumps of the sound's place, and where
// the time went.
//
//   bench_preview WORK_DIR [SCALE ...]   (photo_01.jpg .. photo_10.jpg, clip.mp4, music.mp3 and their
//                                         decoded clip_ref.raw, music_ref.raw; divisors, default 2 then 1)
//   bench_preview WORK_DIR nodevice      (with SDL_AUDIODRIVER naming no usable driver, or "dummy":
//                                         CPU and picture rate of 3 photos with music, and of the clip)

#include "BenchCpu.h"
#include "album/AlbumProjectState.h"
#include "import/MaterialImport.h"
#include "media/preview/AudioDecoder.h"
#include "media/preview/ImageViewer.h"
#include "media/recipes/AlbumGeometry.h"
#include "media/recipes/AlbumTimeline.h"
#include "player/CQVideoPlay.h"
#include "player/VideoCtl.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

namespace {

using SteadyClock = std::chrono::steady_clock;
const SteadyClock::time_point g_tStart = SteadyClock::now();
using bench::processCpuMs;
using bench::threadCpuMs;

double wallMs()
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - g_tStart).count();
}

void spinUntil(const std::function<bool()> &bDone, int iTimeoutMs)
{
    QElapsedTimer stTimer;
    stTimer.start();
    while (!bDone() && stTimer.elapsed() < iTimeoutMs) {
        QEventLoop stLoop;
        QTimer::singleShot(5, &stLoop, &QEventLoop::quit);
        stLoop.exec();
    }
}

// The player as the producers see it, noting when each picture is handed over.
class MeasuringOutput : public CPreviewOutput
{
public:
    struct Handed
    {
        int64_t iFrame;
        double lfWallMs;
    };
    explicit MeasuringOutput(CQVideoPlay *pPlay) : m_pPlay(pPlay) {}
    int64_t position() const override { return m_pPlay->position(); }
    int pushVideoFrame(AVFrame *pFrame) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_handed.push_back(Handed{pFrame ? pFrame->pts : -1, wallMs()});
        }
        return m_pPlay->pushVideoFrame(pFrame);
    }
    int pushAudioFrame(AVFrame *pFrame, int iIndex) override { return m_pPlay->pushAudioFrame(pFrame, iIndex); }
    bool soundBacklog(int iIndex, SoundBacklog *pBacklog) const override
    {
        return m_pPlay->soundBacklog(iIndex, pBacklog);
    }
    void dropAudio(int iIndex) override { m_pPlay->dropAudio(iIndex); }
    std::vector<Handed> handed()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_handed;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_handed.clear();
    }

private:
    CQVideoPlay *m_pPlay;
    std::mutex m_mutex;
    std::vector<Handed> m_handed;
};

// When a file grew: what the disk audio driver has played, and when.
class FileGrowth
{
public:
    explicit FileGrowth(const QString &szPath) : m_szPath(szPath)
    {
        m_thread = std::thread([this] {
            qint64 iLast = -1;
            while (!m_bStop) {
                const qint64 iSize = QFileInfo(m_szPath).size();
                if (iSize != iLast) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_points.push_back({iSize, wallMs()});
                    iLast = iSize;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    ~FileGrowth() { stop(); }
    void stop()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // Samples a second the device wrote while it was open (4 bytes a sample).
    double samplesPerSecond() const
    {
        return m_points.size() < 3 ? 0
                                   : (m_points.back().first - m_points[1].first) / 4.0
                                         / ((m_points.back().second - m_points[1].second) / 1000);
    }
    // When the write that holds the byte at iOffset came; -1 when never.
    double writtenAt(qint64 iOffset) const
    {
        for (size_t i = 1; i < m_points.size(); ++i)
            if (m_points[i].first > iOffset)
                return m_points[i].second;
        return -1;
    }
    // When the byte at iOffset was written (and so played); -1 when never.
    double wallOf(qint64 iOffset, int iBytesPerSecond) const
    {
        for (size_t i = 1; i < m_points.size(); ++i) {
            if (m_points[i].first > iOffset)
                return m_points[i].second + 1000.0 * (iOffset - m_points[i - 1].first) / iBytesPerSecond;
        }
        return -1;
    }

private:
    QString m_szPath;
    std::atomic<bool> m_bStop{false};
    std::mutex m_mutex;
    std::vector<std::pair<qint64, double>> m_points;
    std::thread m_thread;
};

void print(const QString &szKey, double lfValue)
{
    std::printf("%s=%.1f\n", qPrintable(szKey), lfValue);
}

// The wall time frame iFrame was (or would have been) handed over, from
// the pictures handed over within [lfFrom, lfTo).
double wallOfFrame(const std::vector<MeasuringOutput::Handed> &handed, double lfFrom, double lfTo, double lfFrame)
{
    const MeasuringOutput::Handed *pBefore = nullptr;
    for (const MeasuringOutput::Handed &h : handed) {
        if (h.lfWallMs < lfFrom || h.lfWallMs >= lfTo)
            continue;
        if (h.iFrame >= lfFrame && pBefore && pBefore->iFrame < h.iFrame)
            return pBefore->lfWallMs
                   + (h.lfWallMs - pBefore->lfWallMs) * (lfFrame - pBefore->iFrame) / (h.iFrame - pBefore->iFrame);
        if (h.iFrame >= lfFrame)
            return h.lfWallMs - (h.iFrame - lfFrame) * 40;
        pBefore = &h;
    }
    return -1;
}

// Stereo s16 sound as a device wrote it (or the ffmpeg CLI decoded it).
struct RawSound
{
    explicit RawSound(const QString &szPath)
    {
        QFile stFile(szPath);
        if (stFile.open(QIODevice::ReadOnly))
            data = stFile.readAll();
    }
    const int16_t *samples() const { return reinterpret_cast<const int16_t *>(data.constData()); }
    qint64 frames() const { return data.size() / 4; }
    QByteArray data;
};

// The picture handed over within the stretch nearest to lfWall; null when none was.
const MeasuringOutput::Handed *nearestHanded(const std::vector<MeasuringOutput::Handed> &handed,
                                             const std::pair<double, double> &stretch, double lfWall)
{
    const MeasuringOutput::Handed *pNear = nullptr;
    for (const MeasuringOutput::Handed &h : handed)
        if (h.lfWallMs >= stretch.first && h.lfWallMs < stretch.second
            && (!pNear || std::abs(h.lfWallMs - lfWall) < std::abs(pNear->lfWallMs - lfWall)))
            pNear = &h;
    return pNear;
}

// The sound's clicks (one at every second of the album) against the
// pictures of the same second: sound wall time minus picture wall time, ms.
std::vector<double> soundOffsets(const QString &szRaw, const FileGrowth &stGrowth,
                                 const std::vector<MeasuringOutput::Handed> &handed,
                                 const std::vector<std::pair<double, double>> &stretches)
{
    std::vector<double> offsets;
    const RawSound stSound(szRaw);
    const int16_t *pSamples = stSound.samples();
    const qint64 iFrames = stSound.frames();
    qint64 iQuiet = 0;
    for (qint64 n = 0; n < iFrames; ++n) {
        const int iLevel = std::abs(int(pSamples[2 * n]));
        if (iLevel < 1000) {
            ++iQuiet;
            continue;
        }
        const bool bOnset = iQuiet > 44100 / 2;
        iQuiet = 0;
        if (!bOnset)
            continue;
        const double lfSound = stGrowth.wallOf(4 * n, 4 * 44100);
        for (const auto &stretch : stretches) {
            // Where the album stood then, by the pictures; its whole second.
            if (lfSound < stretch.first + 1000 || lfSound >= stretch.second)
                continue;
            const MeasuringOutput::Handed *pNear = nearestHanded(handed, stretch, lfSound);
            if (!pNear)
                continue;
            const double lfSecond = std::round((pNear->iFrame * 40 + lfSound - pNear->lfWallMs) / 1000);
            const double lfPicture = wallOfFrame(handed, stretch.first, stretch.second, lfSecond * 25);
            if (lfPicture >= 0) {
                offsets.push_back(lfSound - lfPicture);
                if (qEnvironmentVariableIsSet("PICTORA_BENCH_VERBOSE"))
                    std::printf("click at %.0f ms, album second %.0f, offset %.1f ms\n", lfSound, lfSecond,
                                lfSound - lfPicture);
            }
        }
    }
    return offsets;
}

void printOffsets(const QString &szKey, std::vector<double> offsets)
{
    if (offsets.empty()) {
        print(szKey + ".clicks", 0);
        return;
    }
    std::sort(offsets.begin(), offsets.end());
    double lfSum = 0;
    for (double lf : offsets)
        lfSum += lf;
    print(szKey + ".clicks", offsets.size());
    print(szKey + ".min_ms", offsets.front());
    print(szKey + ".mean_ms", lfSum / offsets.size());
    print(szKey + ".max_ms", offsets.back());
}

constexpr int kBlock = 441; // 10 ms of sound

// Whether a block of stereo s16 sound carries the ramp on its right channel
// (no silent sample, no wrap in it), and its mean there; 0 for silence, -1
// for anything else.
int rampBlock(const int16_t *pStereo, double *plfMean)
{
    int iMin = INT16_MAX, iMax = INT16_MIN, iZero = 0;
    double lfSum = 0;
    for (int i = 0; i < kBlock; ++i) {
        const int16_t iRight = pStereo[2 * i + 1];
        iMin = std::min<int>(iMin, iRight);
        iMax = std::max<int>(iMax, iRight);
        iZero += iRight == 0;
        lfSum += iRight;
    }
    *plfMean = lfSum / kBlock;
    if (iZero == kBlock)
        return 0;
    return iZero == 0 && iMax - iMin < 400 ? 1 : -1;
}

// Where a sound is, read from its right channel: the generated music and
// clip carry a ramp from 0.1 to 0.9 over every 8 s there. The encoders bend
// the ramp a little, so the place is looked up in the same file decoded by
// the ffmpeg CLI (the reference), block by block.
class RampReference
{
public:
    bool load(const QString &szRaw)
    {
        const RawSound stSound(szRaw);
        for (qint64 b = 0; b < stSound.frames() / kBlock; ++b) {
            double lfMean = 0;
            m_means.push_back(rampBlock(stSound.samples() + 2 * b * kBlock, &lfMean) == 1 ? lfMean : NAN);
        }
        return !m_means.empty();
    }
    // The place (s) of a ramp block of mean lfMean nearest to lfNear; -1 when none fits.
    double placeOf(double lfMean, double lfNear) const
    {
        const int64_t iFrom = std::max<int64_t>(0, int64_t((lfNear - 3.9) * 100));
        const int64_t iTo = std::min<int64_t>(int64_t(m_means.size()) - 1, int64_t((lfNear + 3.9) * 100));
        int64_t iBest = -1;
        for (int64_t k = iFrom; k <= iTo; ++k)
            if (!std::isnan(m_means[k])
                && (iBest < 0 || std::abs(m_means[k] - lfMean) < std::abs(m_means[iBest] - lfMean)))
                iBest = k;
        // Near a wrap of the ramp, or the end of the sound, the encoders
        // smear it: the place is not certain there.
        const auto wrapBeside = [&](int64_t k) {
            for (int64_t j = k - 5; j <= k + 5; ++j)
                if (j < 0 || j >= int64_t(m_means.size()) || std::isnan(m_means[j]))
                    return true;
            return false;
        };
        if (iBest < 0 || std::abs(m_means[iBest] - lfMean) > 60 || wrapBeside(iBest))
            return -1;
        double lfBlock = iBest;
        const int64_t iNext = lfMean > m_means[iBest] ? iBest + 1 : iBest - 1;
        if (iNext >= 0 && iNext < int64_t(m_means.size()) && !std::isnan(m_means[iNext])
            && m_means[iNext] != m_means[iBest])
            lfBlock += (iNext - iBest) * (lfMean - m_means[iBest]) / (m_means[iNext] - m_means[iBest]);
        return (lfBlock + 0.5) * kBlock / 44100.0;
    }

private:
    std::vector<double> m_means;
};

// The events of a run, by wall time.
struct Events
{
    double lfPlay = 0, lfSeekBack = 0, lfPause = 0, lfResume = 0, lfSeekOn = 0, lfEnd = 0;
    double lfSeekBackTo = 0, lfSeekOnTo = 0; // seconds of the album
    // The stretches in which the album runs on without a jump.
    std::vector<std::pair<double, double>> stretches() const
    {
        return {{lfPlay, lfSeekBack}, {lfSeekBack, lfPause}, {lfResume, lfSeekOn}, {lfSeekOn, lfEnd}};
    }
};

// Where the album stood at lfWall by the pictures handed over in the
// stretch that holds lfStretchAt (during the pause: at the pause), in
// seconds; -1 outside the stretches.
double albumAt(const std::vector<MeasuringOutput::Handed> &handed, const Events &stEvents, double lfWall,
               double lfStretchAt)
{
    // The clock stands while paused.
    if (lfWall >= stEvents.lfPause && lfWall < stEvents.lfResume)
        lfWall = stEvents.lfPause - 0.001;
    for (const auto &stretch : stEvents.stretches()) {
        if (lfStretchAt < stretch.first || lfStretchAt >= stretch.second)
            continue;
        const MeasuringOutput::Handed *pNear = nearestHanded(handed, stretch, lfWall);
        return pNear ? pNear->iFrame * 0.04 + (lfWall - pNear->lfWallMs) / 1000 : -1;
    }
    return -1;
}

// What a device wrote, block by block: when, what (rampBlock's kind), which
// place of the album it was (seconds, -1 when it cannot be told) and where
// the pictures stood.
struct HeardBlock
{
    double lfWritten = -1;
    double lfWall = -1;
    int iKind = -1;
    double lfPlace = -1;
    double lfExpected = -1;
};

// Sound written before a seek belongs to the place before it, even when it
// plays after it; iBytesAtSeeks: how much the device had written when each
// seek was asked for.
std::vector<HeardBlock> heardBlocks(const QString &szRaw, const FileGrowth &stGrowth, const RampReference &stReference,
                                    double lfReferenceStart, const std::vector<MeasuringOutput::Handed> &handed,
                                    const Events &stEvents, const qint64 (&iBytesAtSeeks)[2])
{
    std::vector<HeardBlock> blocks;
    const RawSound stSound(szRaw);
    for (qint64 b = 0; b < stSound.frames() / kBlock; ++b) {
        HeardBlock stBlock;
        stBlock.lfWritten = stGrowth.writtenAt(4 * b * kBlock);
        stBlock.lfWall = stGrowth.wallOf(4 * (b * kBlock + kBlock / 2), 4 * 44100);
        const double lfSeeks[2] = {stEvents.lfSeekBack, stEvents.lfSeekOn};
        for (int i = 0; i < 2; ++i)
            stBlock.lfWritten = 4 * b * kBlock >= iBytesAtSeeks[i] ? std::max(stBlock.lfWritten, lfSeeks[i])
                                                                   : std::min(stBlock.lfWritten, lfSeeks[i] - 0.001);
        stBlock.lfExpected = albumAt(handed, stEvents, stBlock.lfWall, stBlock.lfWritten);
        // Written after a seek, before the first pictures: where the clock went.
        const double lfSeekTo[2] = {stEvents.lfSeekBackTo, stEvents.lfSeekOnTo};
        for (int i = 0; i < 2; ++i)
            if (stBlock.lfWritten >= lfSeeks[i] && stBlock.lfWritten < lfSeeks[i] + 1000)
                stBlock.lfExpected = lfSeekTo[i] + (stBlock.lfWall - lfSeeks[i]) / 1000;
        double lfMean = 0;
        stBlock.iKind = rampBlock(stSound.samples() + 2 * b * kBlock, &lfMean);
        if (stBlock.iKind == 1 && stBlock.lfExpected >= 0) {
            const double lfPlace = stReference.placeOf(lfMean, stBlock.lfExpected - lfReferenceStart);
            stBlock.lfPlace = lfPlace < 0 ? -1 : lfPlace + lfReferenceStart;
        }
        blocks.push_back(stBlock);
    }
    return blocks;
}

// The sound's figures from what its device wrote: its place against the
// pictures, old sound after each seek, sound repeated or skipped at the
// resume, and the largest jump of its place anywhere but at the seeks.
void printHeard(const QString &szKey, const std::vector<HeardBlock> &blocks, const Events &stEvents)
{
    std::vector<double> offsets;
    double lfOldBack = 0, lfOldOn = 0, lfLargestJump = 0;
    int iJumps = 0;
    const HeardBlock *pPrevious = nullptr;
    double lfResumeStep = NAN;
    int iBetween = 0; // blocks of part sound, part silence since pPrevious
    for (const HeardBlock &b : blocks) {
        if (b.iKind == 0 || b.lfWall < 0)
            continue;
        if (b.iKind < 0) {
            ++iBetween;
            continue;
        }
        // Sound written after a seek that is not where the clock went is old.
        for (const auto &stSeek : {std::make_pair(stEvents.lfSeekBack, &lfOldBack),
                                   std::make_pair(stEvents.lfSeekOn, &lfOldOn)})
            if (b.lfWritten >= stSeek.first && b.lfWritten < stSeek.first + 1000
                && (b.lfPlace < 0 || std::abs(b.lfPlace - b.lfExpected) > 0.2)) {
                *stSeek.second += 10;
                if (qEnvironmentVariableIsSet("PICTORA_BENCH_VERBOSE"))
                    std::printf("%s: old sound written %.0f ms after a seek, at %.3f s (the clock at %.3f s)\n",
                                qPrintable(szKey), b.lfWritten - stSeek.first, b.lfPlace, b.lfExpected);
            }
        if (b.lfPlace < 0) {
            ++iBetween;
            continue;
        }
        for (const auto &stretch : stEvents.stretches())
            if (b.lfWall >= stretch.first + 1000 && b.lfWall < stretch.second)
                offsets.push_back((b.lfExpected - b.lfPlace) * 1000);
        // Seeks jump; nothing else may.
        const auto crosses = [&](double lfAt) {
            return pPrevious && pPrevious->lfWritten < lfAt && b.lfWritten >= lfAt;
        };
        if (pPrevious && !crosses(stEvents.lfSeekBack) && !crosses(stEvents.lfSeekOn)) {
            const double lfStep = b.lfPlace - pPrevious->lfPlace - 0.01;
            const double lfJump = lfStep < 0 ? lfStep : std::max(0.0, lfStep - 0.01 * iBetween);
            if (crosses(stEvents.lfResume))
                lfResumeStep = lfJump;
            lfLargestJump = std::max(lfLargestJump, std::abs(lfJump) * 1000);
            iJumps += std::abs(lfJump) > 0.005;
            if (std::abs(lfJump) > 0.005 && qEnvironmentVariableIsSet("PICTORA_BENCH_VERBOSE"))
                std::printf("%s: jump of %.1f ms at %.0f ms, from %.3f s to %.3f s (pictures at %.3f s)\n",
                            qPrintable(szKey), lfJump * 1000, b.lfWall, pPrevious->lfPlace, b.lfPlace, b.lfExpected);
        }
        pPrevious = &b;
        iBetween = 0;
    }
    printOffsets(szKey + ".place_offset", offsets);
    print(szKey + ".old_sound_after_seek_back_ms", lfOldBack);
    print(szKey + ".old_sound_after_seek_on_ms", lfOldOn);
    if (!std::isnan(lfResumeStep)) {
        print(szKey + ".repeated_after_resume_ms", std::max(0.0, -lfResumeStep) * 1000);
        print(szKey + ".skipped_after_resume_ms", std::max(0.0, lfResumeStep) * 1000);
    }
    print(szKey + ".largest_jump_ms", lfLargestJump);
    print(szKey + ".jumps_over_5ms", iJumps);
}

struct Workers
{
    ImageViewer *pViewer;
    AudioDecoder *pSound;
};

void runPreview(const QString &szWork, CQVideoPlay *pPlay, MeasuringOutput &stOutput, const Workers &w, int iScale)
{
    AlbumProjectState &st = albumState();
    const QString szPrefix = QString("scale_%1").arg(iScale);
    const recipes::AlbumTimeline stTimeline(st, AVRational{25, 1});
    st.iPreviewScale = iScale;
    st.iPreviewStartPos = 0;
    stOutput.clear();
    std::atomic<bool> bFinished{false};
    const QMetaObject::Connection stDone = QObject::connect(w.pViewer, &ImageViewer::sig_previewFinished, pPlay,
                                                            [&] { bFinished = true; }, Qt::QueuedConnection);
    const QString szMusicRaw = szWork + "/" + szPrefix + "_music.raw";
    const QString szClipRaw = szWork + "/" + szPrefix + "_clip.raw";
    QFile::remove(szMusicRaw);
    QFile::remove(szClipRaw);
    FileGrowth stMusicGrowth(szMusicRaw), stClipGrowth(szClipRaw);

    const VideoCtl::DisplayCounters stBefore = VideoCtl::instance(0)->displayCounters();
    const double lfCpuBefore = processCpuMs();
    const char *threadNames[] = {"pictora-preview", "pictora-pusher", "pictora-sound", "pictora-music",
                                 "pictora-clipsnd", "pictora-display"};
    std::vector<double> threadBefore;
    for (const char *szName : threadNames)
        threadBefore.push_back(threadCpuMs(szName));

    // What the editor does on play.
    const double lfPlay = wallMs();
    Q_EMIT w.pViewer->sig_previewVideo();
    pPlay->startClock();
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(szMusicRaw));
    pPlay->startAudio(0);
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(szClipRaw));
    pPlay->startAudio(1);
    Q_EMIT w.pSound->sig_preview();

    // The seek step: clock, start position, both workers.
    qint64 iMusicBytesAtSeeks[2] = {0, 0}, iClipBytesAtSeeks[2] = {0, 0};
    int iSeeks = 0;
    const auto seek = [&](int64_t iMs) {
        const double lfAsked = wallMs();
        iMusicBytesAtSeeks[iSeeks] = QFileInfo(szMusicRaw).size();
        iClipBytesAtSeeks[iSeeks++] = QFileInfo(szClipRaw).size();
        pPlay->showPosition(iMs);
        pPlay->restartClockAt(iMs);
        st.iPreviewStartPos = iMs * 1000;
        w.pViewer->requestSeek();
        w.pSound->requestSeek();
        return lfAsked;
    };
    spinUntil([&] { return pPlay->position() >= 45000; }, 120000);
    const double lfSeekBack = seek(28000);
    spinUntil([&] { return pPlay->position() >= 31000; }, 20000);
    // Threads of the preview live while it plays: their time is taken now.
    std::vector<double> threadAfter;
    for (const char *szName : threadNames)
        threadAfter.push_back(threadCpuMs(szName));
    const double lfCpuMs = processCpuMs() - lfCpuBefore;
    const double lfSeconds = (wallMs() - lfPlay) / 1000;
    // A second's pause inside the clip: what the editor does.
    Events stEvents;
    stEvents.lfPause = wallMs();
    pPlay->pauseClock();
    w.pViewer->setPaused(true);
    w.pSound->pauseSound();
    spinUntil([] { return false; }, 1000);
    stEvents.lfResume = wallMs();
    pPlay->resumeClock();
    w.pViewer->setPaused(false);
    w.pSound->resumeSound();
    spinUntil([&] { return pPlay->position() >= 33000; }, 20000);
    const double lfSeekOn = seek(50000);
    spinUntil([&] { return bFinished.load(); }, 60000);
    const double lfEnd = wallMs();
    QObject::disconnect(stDone);
    w.pSound->stopSound();
    pPlay->stopClock();
    spinUntil([&] { return !w.pSound->isActive(); }, 5000);
    pPlay->closeAudio(0);
    pPlay->closeAudio(1);
    stMusicGrowth.stop();
    stClipGrowth.stop();

    const std::vector<MeasuringOutput::Handed> handed = stOutput.handed();

    // Rates and gaps per kind of segment, over the stretch played from the
    // start up to the first seek (images, transitions and the whole clip).
    const char *kinds[] = {"image", "transition", "video"};
    for (int k = 0; k < 3; ++k) {
        int64_t iExpected = 0, iHanded = 0;
        double lfGap = 0;
        const MeasuringOutput::Handed *pPrevious = nullptr;
        for (const recipes::TimelineSegment &s : stTimeline.segments()) {
            if (int(s.eKind) == k && s.end() <= 45000000)
                iExpected += s.iFrames;
        }
        for (const MeasuringOutput::Handed &h : handed) {
            if (h.lfWallMs >= lfSeekBack)
                break;
            const int iSegment = stTimeline.segmentOfFrame(h.iFrame);
            const bool bThisKind = iSegment >= 0 && int(stTimeline.segments().at(iSegment).eKind) == k
                                   && stTimeline.segments().at(iSegment).end() <= 45000000;
            if (bThisKind) {
                ++iHanded;
                if (pPrevious)
                    lfGap = std::max(lfGap, h.lfWallMs - pPrevious->lfWallMs);
            }
            pPrevious = &h;
        }
        print(szPrefix + "." + kinds[k] + ".fps", iExpected ? 25.0 * iHanded / iExpected : 0);
        print(szPrefix + "." + kinds[k] + ".longest_gap_ms", lfGap);
    }
    // The first picture after play and after each seek, and which it was.
    int iPoint = 0;
    for (double lfFrom : {lfPlay, lfSeekBack, lfSeekOn}) {
        const char *szWhat[] = {"play", "seek_back", "seek_on"};
        for (const MeasuringOutput::Handed &h : handed) {
            if (h.lfWallMs >= lfFrom) {
                print(szPrefix + ".first_picture_after_" + szWhat[iPoint] + "_ms", h.lfWallMs - lfFrom);
                print(szPrefix + ".first_picture_after_" + szWhat[iPoint] + "_frame", h.iFrame);
                break;
            }
        }
        ++iPoint;
    }
    const VideoCtl::DisplayCounters stAfter = VideoCtl::instance(0)->displayCounters();
    print(szPrefix + ".handed", handed.size());
    print(szPrefix + ".album_frames", stTimeline.totalFrames());
    print(szPrefix + ".display_presented", stAfter.iPresented - stBefore.iPresented);
    print(szPrefix + ".display_dropped", stAfter.iDropped - stBefore.iDropped);

    // Sound against pictures, away from the seeks and the pause (positive:
    // the sound is later), by its clicks and by its place all along.
    stEvents.lfPlay = lfPlay;
    stEvents.lfSeekBack = lfSeekBack;
    stEvents.lfSeekBackTo = 28;
    stEvents.lfSeekOn = lfSeekOn;
    stEvents.lfSeekOnTo = 50;
    stEvents.lfEnd = lfEnd;
    const std::vector<std::pair<double, double>> stretches = stEvents.stretches();
    printOffsets(szPrefix + ".music_offset", soundOffsets(szMusicRaw, stMusicGrowth, handed, stretches));
    printOffsets(szPrefix + ".clip_sound_offset", soundOffsets(szClipRaw, stClipGrowth, handed, stretches));
    // SDL's disk writer keeps its pace by sleeping: on a busy machine it runs slow.
    print(szPrefix + ".music_device_rate_hz", stMusicGrowth.samplesPerSecond());
    RampReference stMusicReference, stClipReference;
    if (stMusicReference.load(szWork + "/music_ref.raw"))
        printHeard(szPrefix + ".music",
                   heardBlocks(szMusicRaw, stMusicGrowth, stMusicReference, 0, handed, stEvents, iMusicBytesAtSeeks),
                   stEvents);
    const int iClip = stTimeline.segmentOfMaterial(5);
    if (stClipReference.load(szWork + "/clip_ref.raw") && iClip >= 0)
        printHeard(szPrefix + ".clip_sound",
                   heardBlocks(szClipRaw, stClipGrowth, stClipReference,
                               stTimeline.segments().at(iClip).iStart / 1e6, handed, stEvents, iClipBytesAtSeeks),
                   stEvents);

    // Where the time went.
    const ImageViewer::Stats stStats = w.pViewer->lastStats();
    print(szPrefix + ".picture_width", stStats.stSize.width());
    print(szPrefix + ".pusher_dropped_late", stStats.stPusher.iDropped);
    print(szPrefix + ".pusher_mean_late_ms", stStats.stPusher.lfMeanLateMs);
    print(szPrefix + ".pusher_max_late_ms", stStats.stPusher.lfMaxLateMs);
    print(szPrefix + ".render.pictures_and_clips_s", stStats.stRender.seconds(ExportPhase::Prepare));
    print(szPrefix + ".render.transitions_s", stStats.stRender.seconds(ExportPhase::Transition));
    print(szPrefix + ".render.watermark_s", stStats.stRender.seconds(ExportPhase::Watermark));
    print(szPrefix + ".render.waiting_and_other_s", stStats.stRender.seconds(ExportPhase::Other));
    for (size_t i = 0; i < std::size(threadNames); ++i)
        print(szPrefix + ".cpu_pct." + threadNames[i],
              100 * (threadAfter[i] - std::max(0.0, threadBefore[i])) / (lfSeconds * 1000));
    print(szPrefix + ".cpu_pct.process", 100 * lfCpuMs / (lfSeconds * 1000));
}

} // namespace

// Without a usable sound device: the process's CPU and the pictures' rate
// while lfSeconds of the album play (from its second second on).
void playWithoutDevice(const QString &szKey, CQVideoPlay *pPlay, MeasuringOutput &stOutput, const Workers &w,
                       double lfSeconds)
{
    AlbumProjectState &st = albumState();
    st.iPreviewStartPos = 0;
    st.iPreviewScale = std::max(1, qEnvironmentVariableIntValue("NODEVICE_SCALE"));
    updateExportSize();
    pPlay->setTotalDuration(st.iTotalDuration / 1000);
    Q_EMIT w.pViewer->sig_previewVideo();
    pPlay->startClock();
    pPlay->startAudio(0);
    pPlay->startAudio(1);
    Q_EMIT w.pSound->sig_preview();
    spinUntil([&] { return pPlay->position() >= 1000; }, 20000);
    const double lfCpuBefore = processCpuMs(), lfWallBefore = wallMs();
    const char *threadNames[] = {"pictora-music", "pictora-clipsnd"};
    double lfThreadsBefore[2];
    for (int i = 0; i < 2; ++i)
        lfThreadsBefore[i] = std::max(0.0, threadCpuMs(threadNames[i]));
    const size_t iHandedBefore = stOutput.handed().size();
    const int64_t iPresentedBefore = VideoCtl::instance(0)->displayCounters().iPresented;
    spinUntil([&] { return pPlay->position() >= 1000 + lfSeconds * 1000; }, int(lfSeconds * 3000));
    const double lfWall = wallMs() - lfWallBefore;
    for (int i = 0; i < 2; ++i)
        print(szKey + ".cpu_pct." + threadNames[i], 100 * (threadCpuMs(threadNames[i]) - lfThreadsBefore[i]) / lfWall);
    print(szKey + ".scale", st.iPreviewScale);
    print(szKey + ".sound_devices_open",
          int(VideoCtl::instance(0)->isAudioOpen()) + int(VideoCtl::instance(1)->isAudioOpen()));
    print(szKey + ".album_seconds", st.iTotalDuration / 1e6);
    print(szKey + ".cpu_pct.process", 100 * (processCpuMs() - lfCpuBefore) / lfWall);
    print(szKey + ".pictures_handed_per_s", 1000.0 * double(stOutput.handed().size() - iHandedBefore) / lfWall);
    print(szKey + ".pictures_shown_per_s",
          1000.0 * double(VideoCtl::instance(0)->displayCounters().iPresented - iPresentedBefore) / lfWall);
    w.pViewer->abortPreview();
    w.pSound->stopSound();
    pPlay->stopClock();
    spinUntil([&] { return !w.pSound->isActive() && !w.pViewer->isActive(); }, 5000);
    pPlay->closeAudio(0);
    pPlay->closeAudio(1);
}

int main(int argc, char **argv)
{
    const bool bNoDevice = argc > 2 && qstrcmp(argv[2], "nodevice") == 0;
    if (!bNoDevice)
        qputenv("SDL_AUDIODRIVER", "disk");
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb") || argc < 2) {
        std::fprintf(stderr, "bench_preview needs an X server and a work folder (run bench/bench_preview.sh)\n");
        return 2;
    }
    const QString szWork = QFile::decodeName(argv[1]);
    registerAlbumMetaTypes();
    applyEditorDefaults();
    setTransitionPickerIndex(0);
    AlbumProjectState &st = albumState();

    CQVideoPlay stPlay;
    stPlay.resize(960, 600);
    stPlay.show();
    spinUntil([] { return false; }, 500);
    stPlay.startDisplay();
    MeasuringOutput stOutput(&stPlay);
    st.pVideoPlay = &stOutput;

    QThread stViewerThread, stSoundThread;
    stViewerThread.setObjectName("pictora-preview");
    stSoundThread.setObjectName("pictora-sound");
    auto *pViewer = new ImageViewer;
    auto *pSound = new AudioDecoder;
    pViewer->moveToThread(&stViewerThread);
    pSound->moveToThread(&stSoundThread);
    stViewerThread.start();
    stSoundThread.start();
    // The player's end of the album: what the editor does (stop-preview step).
    QObject::connect(&stPlay, &CQVideoPlay::vp_timeLoopEndSignal, &stPlay, [&] {
        pViewer->abortPreview();
        pSound->stopSound();
    });
    const Workers w{pViewer, pSound};
    const auto import = [&](const QStringList &paths) {
        clearAlbum();
        const double lfImportStart = wallMs();
        const MaterialImportReport stImport = importMaterials(paths);
        print("import_ms", wallMs() - lfImportStart);
        if (stImport.iSucceeded != paths.size()) {
            std::fprintf(stderr, "import failed: %d of %d\n", stImport.iSucceeded, int(paths.size()));
            return false;
        }
        updateExportSize();
        print("album_seconds", st.iTotalDuration / 1e6);
        return true;
    };
    st.szBackgroundMusicPath = szWork + "/music.mp3";
    st.iKeepAudioTrack = 1;
    // MOTION=gentle and FRAMING=fill|blur play the album with those looks.
    st.iMotion = qgetenv("MOTION") == "gentle" ? MotionGentle : MotionNone;
    st.iFraming = qgetenv("FRAMING") == "fill" ? FramingFill : qgetenv("FRAMING") == "blur" ? FramingBlur : FramingFit;
    st.iMotionSeed = 1;
    print("motion", st.iMotion);
    print("framing", st.iFraming);

    int iExit = 0;
    if (bNoDevice) {
        // Three photos of 10 s with music; the clip alone with its sound.
        std::printf("audio_driver=%s\n", qPrintable(qEnvironmentVariable("SDL_AUDIODRIVER")));
        st.iBackgroundMusicType = MusicCustom;
        if (import({szWork + "/photo_01.jpg", szWork + "/photo_02.jpg", szWork + "/photo_03.jpg"})) {
            setImageDurationSeconds(10);
            playWithoutDevice("photos_with_music", &stPlay, stOutput, w, 20);
        } else {
            iExit = 1;
        }
        st.iBackgroundMusicType = MusicNone;
        if (import({szWork + "/clip.mp4"}))
            playWithoutDevice("clip_with_sound", &stPlay, stOutput, w, 8);
        else
            iExit = 1;
    } else {
        // The album: photos 1-5, the clip, photos 6-10, music; imported as
        // the editor imports (tier pictures into the store).
        QStringList paths;
        for (int i = 1; i <= 10; ++i) {
            paths << QString("%1/photo_%2.jpg").arg(szWork).arg(i, 2, 10, QChar('0'));
            if (i == 5)
                paths << szWork + "/clip.mp4";
        }
        st.iBackgroundMusicType = MusicCustom;
        if (import(paths)) {
            stPlay.setTotalDuration(st.iTotalDuration / 1000);
            for (int i = 2; i < std::max(argc, 3); ++i)
                runPreview(szWork, &stPlay, stOutput, w, argc > 2 ? std::max(1, std::atoi(argv[i])) : 2);
            if (argc <= 2)
                runPreview(szWork, &stPlay, stOutput, w, 1);
        } else {
            iExit = 1;
        }
    }

    Q_EMIT pViewer->sig_close(0);
    Q_EMIT pSound->sig_close(0);
    stViewerThread.wait();
    stSoundThread.wait();
    delete pViewer;
    delete pSound;
    st.pVideoPlay = nullptr;
    stPlay.stop(0);
    return iExit;
}
