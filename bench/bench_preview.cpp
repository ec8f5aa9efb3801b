// Preview benchmark: the real preview (ImageViewer, AudioDecoder) through the
// real player (CQVideoPlay, its clock, SDL embedded under an X server, the
// audio devices writing what they play to files with SDL's disk driver).
// Plays the album of bench/bench_preview.sh from the start, seeks back into
// the clip and forward again, to the end; at 1/2 and at 1/1. Prints
// "key=value" lines: delivered rates and the longest gap per kind of
// segment, the first picture after play and after each seek, the sound's
// offset from the pictures, and where the time went.
//
//   bench_preview WORK_DIR [SCALE ...]   (photo_01.jpg .. photo_10.jpg, clip.mp4, music.mp3;
//                                         divisors, default 2 then 1)

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
    int64_t playedAudio(int iIndex) const override { return m_pPlay->playedAudio(iIndex); }
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

// The sound's clicks (one at every second of the album) against the
// pictures of the same second: sound wall time minus picture wall time, ms.
std::vector<double> soundOffsets(const QString &szRaw, const FileGrowth &stGrowth,
                                 const std::vector<MeasuringOutput::Handed> &handed,
                                 const std::vector<std::pair<double, double>> &stretches)
{
    std::vector<double> offsets;
    QFile stFile(szRaw);
    if (!stFile.open(QIODevice::ReadOnly))
        return offsets;
    const QByteArray data = stFile.readAll();
    const auto *pSamples = reinterpret_cast<const int16_t *>(data.constData());
    const qint64 iFrames = data.size() / 4;
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
            const MeasuringOutput::Handed *pNear = nullptr;
            for (const MeasuringOutput::Handed &h : handed)
                if (h.lfWallMs >= stretch.first && h.lfWallMs < stretch.second
                    && (!pNear || std::abs(h.lfWallMs - lfSound) < std::abs(pNear->lfWallMs - lfSound)))
                    pNear = &h;
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
    const auto seek = [&](int64_t iMs) {
        pPlay->showPosition(iMs);
        pPlay->restartClockAt(iMs);
        st.iPreviewStartPos = iMs * 1000;
        w.pViewer->requestSeek();
        w.pSound->requestSeek();
        return wallMs();
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

    // Sound against pictures, away from the seeks (positive: the sound is later).
    const std::vector<std::pair<double, double>> stretches = {
        {lfPlay, lfSeekBack}, {lfSeekBack, lfSeekOn}, {lfSeekOn, lfEnd}};
    printOffsets(szPrefix + ".music_offset", soundOffsets(szMusicRaw, stMusicGrowth, handed, stretches));
    printOffsets(szPrefix + ".clip_sound_offset", soundOffsets(szClipRaw, stClipGrowth, handed, stretches));

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

int main(int argc, char **argv)
{
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

    // The album: photos 1-5, the clip, photos 6-10, music; imported as the
    // editor imports (tier pictures into the store).
    QStringList paths;
    for (int i = 1; i <= 10; ++i) {
        paths << QString("%1/photo_%2.jpg").arg(szWork).arg(i, 2, 10, QChar('0'));
        if (i == 5)
            paths << szWork + "/clip.mp4";
    }
    const double lfImportStart = wallMs();
    const MaterialImportReport stImport = importMaterials(paths);
    print("import_ms", wallMs() - lfImportStart);
    if (stImport.iSucceeded != 11) {
        std::fprintf(stderr, "import failed: %d of 11\n", stImport.iSucceeded);
        return 1;
    }
    st.iBackgroundMusicType = MusicCustom;
    st.szBackgroundMusicPath = szWork + "/music.mp3";
    st.iKeepAudioTrack = 1;
    // MOTION=gentle and FRAMING=fill|blur play the album with those looks.
    st.iMotion = qgetenv("MOTION") == "gentle" ? MotionGentle : MotionNone;
    st.iFraming = qgetenv("FRAMING") == "fill" ? FramingFill : qgetenv("FRAMING") == "blur" ? FramingBlur : FramingFit;
    st.iMotionSeed = 1;
    print("motion", st.iMotion);
    print("framing", st.iFraming);
    updateExportSize();
    print("album_seconds", st.iTotalDuration / 1e6);

    CQVideoPlay stPlay;
    stPlay.resize(960, 600);
    stPlay.show();
    spinUntil([] { return false; }, 500);
    stPlay.setTotalDuration(st.iTotalDuration / 1000);
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
    for (int i = 2; i < std::max(argc, 3); ++i)
        runPreview(szWork, &stPlay, stOutput, w, argc > 2 ? std::max(1, std::atoi(argv[i])) : 2 + 0 * i);
    if (argc <= 2)
        runPreview(szWork, &stPlay, stOutput, w, 1);

    Q_EMIT pViewer->sig_close(0);
    Q_EMIT pSound->sig_close(0);
    stViewerThread.wait();
    stSoundThread.wait();
    delete pViewer;
    delete pSound;
    st.pVideoPlay = nullptr;
    stPlay.stop(0);
    return 0;
}
