// The preview's sound feed through the player's own playback (its sample
// ring and device callback) on a simulated clock, so that minutes of
// playing take a moment and nothing depends on the machine's speed: a
// device 0.5 % fast or slow stays in step for ten minutes without a skip; a
// seek hands the device no old sound; a pause and resume neither repeat nor
// skip; without a device the feed decodes nothing and only waits.

#include "media/ffmpeg/FrameOps.h"
#include "media/preview/CSoundFeed.h"
#include "player/CAudioPlayback.h"
#include "player/FrameRing.h"
#include "player/VideoCtl.h"

#include <QtTest>

#include <algorithm>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
}

namespace {

constexpr int kRate = 44100;
constexpr int kPeriod = 2048;
constexpr int64_t kSecond = 1000000;

// Endless sound whose sample at album sample p carries p + 1 (its low half
// left, its high half right), in frames of 1024 samples.
class CountingSource : public CSoundSource
{
public:
    int64_t seekTo(int64_t iPosition) override
    {
        ++iSeeks;
        // Like a decoder: back to the start of the frame that holds it.
        m_iNextSample = av_rescale(iPosition, kRate, kSecond) / 1024 * 1024;
        return iPosition;
    }
    int next(int64_t *piStart) override
    {
        ++iFrames;
        const int ret = makeSilentFrame(m_pFrame.get(), 2, kRate, AV_SAMPLE_FMT_S16, 1024);
        if (ret < 0)
            return ret;
        auto *pData = reinterpret_cast<uint16_t *>(m_pFrame->data[0]);
        for (int i = 0; i < 1024; ++i) {
            const int64_t iValue = m_iNextSample + i + 1;
            pData[2 * i] = uint16_t(iValue);
            pData[2 * i + 1] = uint16_t(iValue >> 16);
        }
        *piStart = av_rescale(m_iNextSample, kSecond, kRate);
        m_iNextSample += 1024;
        return 1;
    }
    AVFrame *frame() override { return m_pFrame.get(); }

    int iSeeks = 0;
    int iFrames = 0;

private:
    AVFramePtr m_pFrame = makeFramePtr();
    int64_t m_iNextSample = 0;
};

// The player on a simulated clock: the engine's sample ring and playback,
// and a sound card that asks for a period at its own pace (lfSpeed times
// the nominal rate) and plays it one period later.
class SimulatedPlayer : public CPreviewOutput
{
public:
    explicit SimulatedPlayer(double lfSpeed)
        : m_lfSpeed(lfSpeed), m_stPlayback(m_stRing, [this] { return m_iNow; })
    {
        m_stRing.open();
        openDevice(true);
    }

    // CPreviewOutput: instance 0 only.
    int64_t position() const override
    {
        ++m_iLooksSinceSleep;
        return clockAt(m_iNow) / 1000;
    }
    int pushVideoFrame(AVFrame *pFrame) override
    {
        av_frame_unref(pFrame);
        return -1;
    }
    int pushAudioFrame(AVFrame *pFrame, int iIndex) override
    {
        // The ring must never fill up: the test runs on one thread.
        bOverfilled = bOverfilled || m_stRing.remaining() >= VideoCtl::kSampleCapacity - 1;
        const int ret = iIndex == 0 && m_bDevice && !bOverfilled ? m_stPlayback.push(pFrame) : -1;
        av_frame_unref(pFrame);
        return ret;
    }
    bool soundBacklog(int iIndex, SoundBacklog *pBacklog) const override
    {
        if (iIndex != 0 || !m_bDevice)
            return false;
        *pBacklog = m_stPlayback.backlog();
        return true;
    }
    void dropAudio(int iIndex) override
    {
        if (iIndex == 0)
            m_stPlayback.dropWaiting();
    }

    // The feed's sleep: time passes and the device plays.
    void sleep(int64_t iMicroseconds)
    {
        m_iLooksSinceSleep = 0;
        const int64_t iUntil = m_iNow + iMicroseconds;
        while (m_lfNextPeriod <= double(iUntil)) {
            m_iNow = int64_t(m_lfNextPeriod);
            playPeriod();
            m_lfNextPeriod += periodUs() / m_lfSpeed;
        }
        m_iNow = iUntil;
    }
    // A feed that keeps looking at the clock without ever sleeping.
    bool isBusy() const { return m_iLooksSinceSleep > 1000; }
    int64_t now() const { return m_iNow; }

    // What the player panel does: jump the clock and drop what waits;
    // pause and resume clock and device together; the device closing and opening.
    void seek(int64_t iPositionUs)
    {
        m_iClockAt = iPositionUs;
        m_iClockSince = m_iNow;
        dropAudio(0);
        m_iLastHeard = -1;
    }
    void pause(bool bPause)
    {
        if (bPause) {
            m_iClockAt = clockAt(m_iNow);
            m_bCounting = false;
            m_stPlayback.pause(true);
        } else {
            m_stPlayback.pause(false);
            m_iClockSince = m_iNow;
            m_bCounting = true;
        }
        m_bDevicePaused = bPause;
    }
    void openDevice(bool bOpen)
    {
        m_bDevice = bOpen;
        if (!bOpen) {
            m_stPlayback.close();
            m_stRing.flush();
            m_stPlayback.reset();
            return;
        }
        m_stPlayback.start(AudioFormatSpec{kRate, 2, AV_CH_LAYOUT_STEREO, AV_SAMPLE_FMT_S16, 4, kPeriod},
                           int64_t(periodUs()));
        m_iLastHeard = -1;
    }

    // What was heard: the offsets from the clock while measuring, every
    // skip or repeat, and old sound handed to the device after a seek.
    bool bMeasuring = false;
    int64_t iOldBelowUs = -1;
    double lfMinOffsetMs = 1e9, lfMaxOffsetMs = -1e9;
    int iJumps = 0;
    int64_t iOldSamples = 0;
    bool bOverfilled = false;

private:
    double periodUs() const { return double(kPeriod) * kSecond / kRate; }
    int64_t clockAt(int64_t iTime) const { return m_bCounting ? m_iClockAt + iTime - m_iClockSince : m_iClockAt; }

    void playPeriod()
    {
        if (!m_bDevice || m_bDevicePaused)
            return;
        std::vector<uint16_t> samples(2 * kPeriod);
        m_stPlayback.fill(reinterpret_cast<uint8_t *>(samples.data()), 4 * kPeriod);
        for (int j = 0; j < kPeriod; ++j) {
            const int64_t iValue = samples[2 * j] | int64_t(samples[2 * j + 1]) << 16;
            if (!iValue)
                continue;
            const int64_t iSample = iValue - 1;
            // Played in order, each sample once; a stretch may repeat or leave out one.
            if (m_iLastHeard >= 0 && (iSample < m_iLastHeard || iSample > m_iLastHeard + 2))
                ++iJumps;
            m_iLastHeard = iSample;
            const int64_t iAlbumUs = av_rescale(iSample, kSecond, kRate);
            iOldSamples += iAlbumUs < iOldBelowUs;
            if (bMeasuring) {
                const double lfHeard = m_iNow + periodUs() + j * double(kSecond) / (kRate * m_lfSpeed);
                const double lfOffsetMs = (iAlbumUs - clockAt(int64_t(lfHeard))) / 1000.0;
                lfMinOffsetMs = std::min(lfMinOffsetMs, lfOffsetMs);
                lfMaxOffsetMs = std::max(lfMaxOffsetMs, lfOffsetMs);
            }
        }
    }

    double m_lfSpeed;
    FrameRing m_stRing{VideoCtl::kSampleCapacity, true};
    CAudioPlayback m_stPlayback;
    int64_t m_iNow = 0;
    double m_lfNextPeriod = 0;
    mutable int m_iLooksSinceSleep = 0;
    bool m_bDevice = false;
    bool m_bDevicePaused = false;
    bool m_bCounting = true;
    int64_t m_iClockAt = 0;
    int64_t m_iClockSince = 0;
    int64_t m_iLastHeard = -1;
};

// Runs a feed for player and source on the simulated clock; fnScript is
// called at every turn of the feed with the time and says when to stop.
void runFeed(SimulatedPlayer &stPlayer, CountingSource &stSource, std::atomic<bool> &bPaused,
             std::atomic<int64_t> &iSeeks, const std::function<bool(int64_t)> &fnScript)
{
    CSoundFeed stFeed(
        &stPlayer, 0, stSource, [&] { return !stPlayer.isBusy() && fnScript(stPlayer.now()); }, bPaused, iSeeks,
        [&](int64_t iMicroseconds) { stPlayer.sleep(iMicroseconds); });
    stFeed.run();
}

} // namespace

class TestSoundSync : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tenMinutesWithADeviceClockOff_data()
    {
        QTest::addColumn<double>("lfSpeed");
        QTest::newRow("device 0.5 % fast") << 1.005;
        QTest::newRow("device 0.5 % slow") << 0.995;
    }

    void tenMinutesWithADeviceClockOff()
    {
        QFETCH(double, lfSpeed);
        SimulatedPlayer stPlayer(lfSpeed);
        CountingSource stSource;
        std::atomic<bool> bPaused{false};
        std::atomic<int64_t> iSeeks{0};
        runFeed(stPlayer, stSource, bPaused, iSeeks, [&](int64_t iNow) {
            stPlayer.bMeasuring = iNow > kSecond;
            return iNow < 600 * kSecond;
        });
        qInfo("10 minutes, device speed %.3f: sound offsets %.1f .. %.1f ms, %d source seeks, %d skips",
              lfSpeed, stPlayer.lfMinOffsetMs, stPlayer.lfMaxOffsetMs, stSource.iSeeks, stPlayer.iJumps);
        QVERIFY(!stPlayer.isBusy() && !stPlayer.bOverfilled);
        QCOMPARE(stSource.iSeeks, 1);
        QCOMPARE(stPlayer.iJumps, 0);
        QVERIFY(stPlayer.lfMinOffsetMs >= -45 && stPlayer.lfMaxOffsetMs <= 45);
    }

    void seekPauseAndNoDevice()
    {
        SimulatedPlayer stPlayer(1.0);
        CountingSource stSource;
        std::atomic<bool> bPaused{false};
        std::atomic<int64_t> iSeeks{0};
        int iStep = 0;
        int iFramesWithoutDevice = -1;
        double lfOffsetsMs[2] = {0, 0};
        runFeed(stPlayer, stSource, bPaused, iSeeks, [&](int64_t iNow) {
            // Offsets from half a second after the resume and after the device came back.
            stPlayer.bMeasuring = (iNow > 4500000 && iNow < 6 * kSecond) || iNow > 9500000;
            const int64_t iEvents[] = {2, 3, 4, 6, 9, 11};
            if (iStep >= int(std::size(iEvents)) || iNow < iEvents[iStep] * kSecond)
                return true;
            switch (iStep++) {
            case 0: // From 2 s of sound to 30 s: the old place is dropped.
                stPlayer.seek(30 * kSecond);
                ++iSeeks;
                stPlayer.iOldBelowUs = 29 * kSecond;
                break;
            case 1:
                bPaused = true;
                stPlayer.pause(true);
                break;
            case 2:
                stPlayer.pause(false);
                bPaused = false;
                break;
            case 3:
                lfOffsetsMs[0] = std::max(-stPlayer.lfMinOffsetMs, stPlayer.lfMaxOffsetMs);
                stPlayer.lfMinOffsetMs = 1e9;
                stPlayer.lfMaxOffsetMs = -1e9;
                stPlayer.openDevice(false);
                iFramesWithoutDevice = stSource.iFrames;
                break;
            case 4:
                iFramesWithoutDevice = stSource.iFrames - iFramesWithoutDevice;
                stPlayer.openDevice(true);
                break;
            default:
                lfOffsetsMs[1] = std::max(-stPlayer.lfMinOffsetMs, stPlayer.lfMaxOffsetMs);
                return false;
            }
            return true;
        });
        QVERIFY(!stPlayer.isBusy() && !stPlayer.bOverfilled);
        QCOMPARE(iStep, 6);
        QCOMPARE(stPlayer.iOldSamples, 0);
        QCOMPARE(stPlayer.iJumps, 0);
        QCOMPARE(iFramesWithoutDevice, 0);
        qInfo("largest offset after the resume %.1f ms, after the device came back %.1f ms", lfOffsetsMs[0],
              lfOffsetsMs[1]);
        QVERIFY(lfOffsetsMs[0] <= 45 && lfOffsetsMs[1] <= 45);
    }
};

QTEST_MAIN(TestSoundSync)
#include "tst_soundsync.moc"
