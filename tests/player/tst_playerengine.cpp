#include "common/TestMedia.h"
#include "media/ffmpeg/FrameOps.h"
#include "player/CAudioPlayback.h"
#include "player/FrameRing.h"
#include "player/Letterbox.h"
#include "player/VideoCtl.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
}

using Clock = std::chrono::steady_clock;

namespace {

// Interleaved s16 sound: a 440 Hz tone starting at its peak, sample i of
// channel c offset by c so that the channels differ.
AVFramePtr toneFrame(int iChannels, int iRate, int iSamples, int iFirst = 0)
{
    AVFramePtr pFrame = makeFramePtr();
    if (makeSilentFrame(pFrame.get(), iChannels, iRate, AV_SAMPLE_FMT_S16, iSamples) < 0)
        return nullptr;
    auto *pData = reinterpret_cast<int16_t *>(pFrame->data[0]);
    for (int i = 0; i < iSamples; ++i)
        for (int c = 0; c < iChannels; ++c)
            pData[i * iChannels + c] = int16_t(8000 * std::cos(2 * M_PI * 440 * (iFirst + i) / iRate) + c);
    return pFrame;
}

QByteArray bytesOf(const AVFrame *pFrame)
{
    return QByteArray(reinterpret_cast<const char *>(pFrame->data[0]),
                      pFrame->nb_samples * pFrame->ch_layout.nb_channels * 2);
}

// One push on a thread of its own, to watch it block and come back.
struct BackgroundPush
{
    std::atomic<bool> bDone{false};
    std::atomic<int> iResult{1};
    Clock::time_point stReturned;
    std::thread stThread;
    explicit BackgroundPush(std::function<int()> fnPush)
        : stThread([this, fnPush] {
              iResult = fnPush();
              stReturned = Clock::now();
              bDone = true;
          })
    {
    }
    ~BackgroundPush() { stThread.join(); }
    qint64 msSince(Clock::time_point stFrom) const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(stReturned - stFrom).count();
    }
};

// First byte of a non-zero stereo s16 frame, or -1.
int firstSound(const QByteArray &stBytes)
{
    const auto *pSamples = reinterpret_cast<const int16_t *>(stBytes.constData());
    for (int i = 0; i + 1 < stBytes.size() / 2; i += 2)
        if (pSamples[i] || pSamples[i + 1])
            return i * 2;
    return -1;
}

} // namespace

class TestPlayerEngine : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_stDir;
    QString m_szDiskFile;

private Q_SLOTS:
    void initTestCase()
    {
        // Every device of this process writes what it plays into one file.
        QVERIFY(m_stDir.isValid());
        m_szDiskFile = m_stDir.filePath("played.raw");
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", m_szDiskFile.toLocal8Bit());
        QVERIFY(VideoCtl::instance(0) && VideoCtl::instance(1));
    }

    void ringsBlockWhenFullUntilTakenOrClosed()
    {
        for (int iCapacity : {VideoCtl::kPictureCapacity, VideoCtl::kSampleCapacity}) {
            FrameRing stRing(iCapacity, true);
            stRing.open();
            for (int i = 0; i < iCapacity; ++i)
                QCOMPARE(stRing.push(testmedia::colorFrame(16, 16, "red").get()), 0);
            AVFramePtr pExtra = testmedia::colorFrame(16, 16, "blue");
            {
                BackgroundPush stPush([&] { return stRing.push(pExtra.get()); });
                QTest::qSleep(150);
                QVERIFY2(!stPush.bDone, "a push into a full ring must wait");
                stRing.advance(); // the first frame is shown and kept
                QTest::qSleep(50);
                QVERIFY(!stPush.bDone);
                stRing.advance(); // the shown frame goes: room for one
                QTRY_VERIFY_WITH_TIMEOUT(stPush.bDone, 2000);
                QCOMPARE(int(stPush.iResult), 0);
            }
            pExtra = testmedia::colorFrame(16, 16, "blue");
            {
                BackgroundPush stPush([&] { return stRing.push(pExtra.get()); });
                QTest::qSleep(100);
                QVERIFY(!stPush.bDone);
                const Clock::time_point stClosed = Clock::now();
                stRing.close();
                QTRY_VERIFY_WITH_TIMEOUT(stPush.bDone, 2000);
                QCOMPARE(int(stPush.iResult), -1);
                // Woken by the close, not by a time-out of its own; how fast is printed, not asserted.
                qInfo("closing the ring freed the producer after %d ms", int(stPush.msSince(stClosed)));
            }
            // A refused frame stays the caller's; later pushes do not wait.
            QVERIFY(pExtra->data[0]);
            QCOMPARE(stRing.push(pExtra.get()), -1);
        }
    }

    void enginePushesNeverWaitForAMissingConsumer()
    {
        VideoCtl *pCtl = VideoCtl::instance(1);
        pCtl->stop();
        // No display loop, and an audio device that failed to open.
        qputenv("SDL_AUDIO_CHANNELS", "0");
        pCtl->startAudio();
        qunsetenv("SDL_AUDIO_CHANNELS");
        QVERIFY(!pCtl->isAudioOpen());
        BackgroundPush stPush([pCtl] {
            int iRefused = 0;
            for (int i = 0; i < 20; ++i) {
                AVFramePtr pPicture = testmedia::colorFrame(16, 16, "red");
                AVFramePtr pSound = toneFrame(2, 44100, 1024);
                iRefused += (pCtl->pushVideoFrame(pPicture.get()) == -1) + (pCtl->pushAudioFrame(pSound.get()) == -1);
            }
            return iRefused;
        });
        QTRY_VERIFY_WITH_TIMEOUT(stPush.bDone, 5000);
        QCOMPARE(int(stPush.iResult), 40);
        pCtl->stop();
    }

    void closeAudioAndStopReleaseBlockedProducers()
    {
        VideoCtl *pCtl = VideoCtl::instance(1);
        const std::function<void()> releases[] = {[pCtl] { pCtl->closeAudio(); }, [pCtl] { pCtl->stop(); }};
        for (const auto &fnRelease : releases) {
            pCtl->startAudio();
            QVERIFY(pCtl->isAudioOpen());
            // One-second frames: the device takes one a second, so the
            // producer soon waits for room.
            std::atomic<int> iQueued{0};
            BackgroundPush stPush([&] {
                for (;;) {
                    AVFramePtr pSound = toneFrame(2, 44100, 44100);
                    if (pCtl->pushAudioFrame(pSound.get()) < 0)
                        return -1;
                    ++iQueued;
                }
            });
            QTRY_VERIFY_WITH_TIMEOUT(iQueued >= VideoCtl::kSampleCapacity, 2000);
            QTest::qSleep(100);
            QVERIFY(!stPush.bDone);
            const Clock::time_point stReleased = Clock::now();
            fnRelease();
            QTRY_VERIFY_WITH_TIMEOUT(stPush.bDone, 2000);
            qInfo("the release freed the producer after %d ms", int(stPush.msSince(stReleased)));
            QVERIFY(!pCtl->isAudioOpen());
        }
        pCtl->stop();
    }

    void diskDevicePlaysExactlyWhatWasPushed()
    {
        // Twice: the second opening must play its first frame too.
        VideoCtl *pCtl = VideoCtl::instance(0);
        for (int iRun = 0; iRun < 2; ++iRun) {
            pCtl->startAudio();
            QVERIFY(pCtl->isAudioOpen());
            QByteArray stPushed;
            for (int k = 0; k < 12; ++k) {
                AVFramePtr pSound = toneFrame(2, 44100, 1024, k * 1024);
                stPushed += bytesOf(pSound.get());
                QCOMPARE(pCtl->pushAudioFrame(pSound.get()), 0);
            }
            // The disk device plays in real time; wait until all of it went out.
            const auto playedAll = [&] {
                const QByteArray stPlayed = testmedia::readFile(m_szDiskFile);
                const int iStart = firstSound(stPlayed);
                return iStart >= 0 && stPlayed.size() - iStart >= stPushed.size();
            };
            QTRY_VERIFY_WITH_TIMEOUT(playedAll(), 10000);
            pCtl->closeAudio();
            const QByteArray stPlayed = testmedia::readFile(m_szDiskFile);
            const int iStart = firstSound(stPlayed);
            QVERIFY2(iStart >= 0, "nothing was played");
            QCOMPARE(stPlayed.mid(iStart, stPushed.size()), stPushed);
            QVERIFY(firstSound(stPlayed.mid(iStart + stPushed.size())) < 0);
        }
        pCtl->stop();
    }

    void callbackResamplesAndPlaysSilenceWhenDry()
    {
        FrameRing stRing(VideoCtl::kSampleCapacity, true);
        stRing.open();
        CAudioPlayback stPlayback(stRing);
        AudioFormatSpec stDevice{44100, 2, AV_CH_LAYOUT_STEREO, AV_SAMPLE_FMT_S16, 4, 4096};
        stPlayback.start(stDevice, 0);
        std::vector<int16_t> stOut(2 * 4096);
        const auto fill = [&] {
            std::fill(stOut.begin(), stOut.end(), int16_t(1));
            stPlayback.fill(reinterpret_cast<uint8_t *>(stOut.data()), int(stOut.size() * 2));
        };

        // 1152 samples at 48 kHz mono become about 1058 stereo frames.
        AVFramePtr pMono = toneFrame(1, 48000, 1152);
        QCOMPARE(stRing.push(pMono.get()), 0);
        fill();
        int iLastSound = -1;
        for (int i = 0; i < 4096; ++i) {
            QCOMPARE(stOut[2 * i], stOut[2 * i + 1]);
            if (stOut[2 * i])
                iLastSound = i;
        }
        QVERIFY2(iLastSound >= 1030 && iLastSound < 1059, qPrintable(QString::number(iLastSound)));
        QCOMPARE(stRing.remaining(), 0);

        // A dry ring gives silence at once.
        fill();
        QVERIFY(std::all_of(stOut.begin(), stOut.end(), [](int16_t v) { return v == 0; }));

        // Another format rebuilds the converter: 44.1 kHz stereo passes unchanged.
        AVFramePtr pStereo = toneFrame(2, 44100, 1000);
        const QByteArray stExpected = bytesOf(pStereo.get());
        QCOMPARE(stRing.push(pStereo.get()), 0);
        fill();
        const QByteArray stPlayed(reinterpret_cast<const char *>(stOut.data()), int(stOut.size() * 2));
        const int iStart = firstSound(stPlayed);
        QVERIFY(iStart >= 0 && iStart < 512);
        QCOMPARE(stPlayed.mid(iStart, stExpected.size()), stExpected);
    }

    void deviceOpenFallsBackThroughChannelsAndRates()
    {
        struct Attempt
        {
            int iChannels, iRate;
            bool operator==(const Attempt &o) const { return iChannels == o.iChannels && iRate == o.iRate; }
        };
        QVector<Attempt> stAttempts;
        int iBufferSamples = 0;
        Attempt stAccepts{0, 0};
        const AudioDeviceOpenFn fnOpen = [&](const SDL_AudioSpec &stWanted, SDL_AudioSpec *pObtained) {
            stAttempts.append({stWanted.channels, stWanted.freq});
            iBufferSamples = stWanted.samples;
            *pObtained = stWanted;
            return stAttempts.last() == stAccepts ? SDL_AudioDeviceID(7) : SDL_AudioDeviceID(0);
        };
        AudioFormatSpec stDevice;

        // Nothing accepts 44.1 kHz stereo: two channels, then one, then give up.
        QCOMPARE(openAudioDevice(AV_CH_LAYOUT_STEREO, 2, 44100, nullptr, nullptr, fnOpen, &stDevice), 0u);
        QCOMPARE(stAttempts, (QVector<Attempt>{{2, 44100}, {1, 44100}}));
        QCOMPARE(iBufferSamples, 2048);

        // 48 kHz stereo steps down to 44.1 kHz mono.
        stAttempts.clear();
        stAccepts = {1, 44100};
        QCOMPARE(openAudioDevice(AV_CH_LAYOUT_STEREO, 2, 48000, nullptr, nullptr, fnOpen, &stDevice), 7u);
        QCOMPARE(stAttempts, (QVector<Attempt>{{2, 48000}, {1, 48000}, {2, 44100}, {1, 44100}}));
        QCOMPARE(stDevice.iSampleRate, 44100);
        QCOMPARE(stDevice.iChannels, 1);
        QCOMPARE(stDevice.iChannelLayout, uint64_t(AV_CH_LAYOUT_MONO));
        QCOMPARE(stDevice.iFrameSize, 2);

        // Six channels at 96 kHz: 6, 4, 2, 1 channels, then the next lower rate.
        stAttempts.clear();
        stAccepts = {2, 48000};
        QCOMPARE(openAudioDevice(0, 6, 96000, nullptr, nullptr, fnOpen, &stDevice), 7u);
        QCOMPARE(stAttempts, (QVector<Attempt>{{6, 96000}, {4, 96000}, {2, 96000}, {1, 96000}, {6, 48000},
                                               {4, 48000}, {2, 48000}}));
        QCOMPARE(iBufferSamples, 4096);

        // SDL_AUDIO_CHANNELS overrides what the caller asks for.
        stAttempts.clear();
        stAccepts = {1, 44100};
        qputenv("SDL_AUDIO_CHANNELS", "1");
        QCOMPARE(openAudioDevice(AV_CH_LAYOUT_STEREO, 2, 44100, nullptr, nullptr, fnOpen, &stDevice), 7u);
        qunsetenv("SDL_AUDIO_CHANNELS");
        QCOMPARE(stAttempts, (QVector<Attempt>{{1, 44100}}));
    }

    void letterboxKeepsTheDisplayAspectCentredAndEven()
    {
        QCOMPARE(letterboxRect(640, 480, {0, 1}, 462, 262), QRect(57, 0, 348, 262));
        QCOMPARE(letterboxRect(1920, 1080, {1, 1}, 462, 262), QRect(0, 1, 462, 260));
        QCOMPARE(letterboxRect(720, 576, {16, 15}, 462, 262), QRect(57, 0, 348, 262));
        // An invalid sample aspect counts as square pixels.
        QCOMPARE(letterboxRect(640, 480, {-4, 3}, 462, 262), QRect(57, 0, 348, 262));
    }
};

QTEST_GUILESS_MAIN(TestPlayerEngine)
#include "tst_playerengine.moc"
