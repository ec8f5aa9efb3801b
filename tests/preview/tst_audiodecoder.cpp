// The preview's sound feeder against a recording player: the music found at
// any position of the album (looping), a fresh start for every preview, a
// music file without sound, and the clips' own sound only while the clip is
// on screen.

#include "album/AlbumProjectState.h"
#include "common/ExportTestSupport.h"
#include "common/PreviewTestSupport.h"
#include "common/TestMedia.h"
#include "common/TestSupport.h"
#include "media/preview/AudioDecoder.h"
#include "media/preview/CSoundFeed.h"
#include "media/recipes/AudioReader.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/stat.h>

using previewtest::RecordingOutput;

namespace {

// Second k of the music is a tone of 400 + 40 k Hz.
double musicTone(int iSecond)
{
    return 400 + 40 * iSecond;
}

// The first lfSeconds of sound pushed from iFrom (1/44100 s) on that run
// on without a jump, and where they start. A feed left behind on a busy
// machine skips ahead; sound from both sides of the skip is not one tone.
QVector<float> firstSound(const QVector<RecordingOutput::Sound> &sounds, double lfSeconds, int64_t iFrom,
                          int64_t *piStart)
{
    QVector<float> samples;
    *piStart = -1;
    int64_t iNext = 0;
    for (const RecordingOutput::Sound &stSound : sounds) {
        if (stSound.iPts < iFrom)
            continue;
        if (samples.size() >= lfSeconds * stSound.iRate)
            break;
        if (*piStart < 0 || std::abs(stSound.iPts - iNext) > stSound.iRate / 100) {
            samples.clear();
            *piStart = stSound.iPts;
        }
        samples += stSound.samples;
        iNext = stSound.iPts + stSound.iSamples;
    }
    return samples;
}

} // namespace

class TestAudioDecoder : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    RecordingOutput m_output;
    QThread m_thread;
    AudioDecoder *m_pDecoder = nullptr;
    QVector<double> m_tones;

    AlbumProjectState &st() { return albumState(); }
    void startAt(int64_t iMs)
    {
        m_output.clear();
        st().iPreviewStartPos = iMs * 1000;
        m_output.start(iMs);
        Q_EMIT m_pDecoder->sig_preview();
    }
    void stop()
    {
        m_pDecoder->stopSound();
        QVERIFY(m_output.waitFor([&] { return !m_pDecoder->isActive(); }, 5000));
        QMetaObject::invokeMethod(m_pDecoder, [] {}, Qt::BlockingQueuedConnection);
    }
    bool waitForSound(int iInstance, double lfSeconds)
    {
        return m_output.waitFor(
            [&] {
                int64_t iSamples = 0;
                for (const RecordingOutput::Sound &stSound : m_output.sounds(iInstance))
                    iSamples += stSound.iSamples;
                return iSamples >= lfSeconds * 44100;
            },
            5000);
    }
    // The first 0.3 s pushed to the music's instance start at lfAt s of the album
    // and play second iSecond of the music.
    void checkMusicAt(double lfAt, int iSecond)
    {
        QVERIFY(waitForSound(0, 0.4));
        int64_t iStart = 0;
        // (A frame already on its way when a seek came may precede them.)
        const QVector<float> samples = firstSound(m_output.sounds(0), 0.3, (lfAt - 1) * 44100, &iStart);
        QVERIFY2(std::abs(iStart / 44100.0 - lfAt) < 0.15, qPrintable(QString::number(iStart / 44100.0)));
        QCOMPARE(previewtest::strongestTone(samples, 44100, m_tones), musicTone(iSecond));
        // Never handed over far ahead of the clock.
        for (const RecordingOutput::Sound &stSound : m_output.sounds(0))
            QVERIFY((stSound.iPts + stSound.iSamples) * 1000 / 44100 - stSound.iAtMs < 200);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        for (int k = 0; k < 30; ++k)
            m_tones << musicTone(k);
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "aevalsrc=0.5*sin(2*PI*(400+40*floor(t))*t):s=44100:d=30",
                                     "-c:a", "libmp3lame", m_dir.filePath("music.mp3")}));
        QVERIFY(exporttest::makeClip(m_dir.filePath("clip.mp4"), "testsrc2=s=160x90:r=25:d=2",
                                     "sine=f=1000:d=2:r=44100"));
        QVERIFY(exporttest::makePicture(m_dir.filePath("a.png"), "color=c=red:s=160x90"));
        QVERIFY(exporttest::makePicture(m_dir.filePath("b.png"), "color=c=blue:s=160x90"));
        // Picture [0, 1 s), transition, clip [3 s, 5 s), transition, picture [7 s, 8 s).
        exporttest::resetAlbum(m_dir.path(), "export", "MP4", 25, 320, 180);
        exporttest::setImageDurationUs(1000000);
        QVERIFY(exporttest::appendImage(m_dir.filePath("a.png")));
        QVERIFY(exporttest::appendClip(m_dir.filePath("clip.mp4")));
        QVERIFY(exporttest::appendImage(m_dir.filePath("b.png")));
        QCOMPARE(st().iTotalDuration, int64_t(8000000));
        st().pVideoPlay = &m_output;
        m_pDecoder = new AudioDecoder;
        m_pDecoder->moveToThread(&m_thread);
        m_thread.start();
    }

    void cleanupTestCase()
    {
        m_pDecoder->stopSound();
        Q_EMIT m_pDecoder->sig_close(0);
        m_thread.wait();
        delete m_pDecoder;
        st().pVideoPlay = nullptr;
    }

    // 65 s into a 30-second music is its 5th second; a second preview from 0
    // sounds at once from its start; a seek carries the music along.
    void musicFollowsTheAlbum()
    {
        st().iBackgroundMusicType = MusicCustom;
        st().szBackgroundMusicPath = m_dir.filePath("music.mp3");
        st().iKeepAudioTrack = 0;
        startAt(65000);
        checkMusicAt(65, 5);
        stop();

        QElapsedTimer stTimer;
        stTimer.start();
        startAt(0);
        QVERIFY(waitForSound(0, 0.01));
        qInfo("second preview: first music after %lld ms", stTimer.elapsed());
        checkMusicAt(0, 0);
        QVERIFY(m_output.sounds(1).isEmpty());

        m_output.clear();
        m_output.restartAt(31500);
        st().iPreviewStartPos = 31500000;
        m_pDecoder->requestSeek();
        checkMusicAt(31.5, 1);
        stop();
    }

    // Garbage over a stretch of the music around 13.5 s: what follows
    // still sounds, at its own time.
    void damagedMusicGoesOn()
    {
        QByteArray music = testmedia::readFile(m_dir.filePath("music.mp3"));
        QRandomGenerator stRandom(7);
        for (int i = music.size() * 45 / 100, iEnd = i + 3000; i < iEnd; ++i)
            music[i] = char(stRandom.bounded(256));
        QVERIFY(testmedia::writeFile(m_dir.filePath("damaged.mp3"), music));
        st().szBackgroundMusicPath = m_dir.filePath("damaged.mp3");
        startAt(12500);
        QVERIFY(m_output.waitFor([&] { return m_output.position() > 16000; }, 8000));
        stop();
        // The music plays on past the damage: from about 15 s, each place
        // with its own tone.
        int64_t iStart = 0;
        const QVector<float> samples = firstSound(m_output.sounds(0), 0.3, 15 * 44100, &iStart);
        QVERIFY2(iStart >= 0 && iStart / 44100.0 < 15.6, qPrintable(QString::number(iStart)));
        QCOMPARE(previewtest::strongestTone(samples, 44100, m_tones), musicTone(int(iStart / 44100.0 + 0.15)));
        st().szBackgroundMusicPath = m_dir.filePath("music.mp3");
    }

    // A music file without sound, whose sound has no sample (a WAV header
    // that promises ten seconds), or that never answers (a pipe nobody
    // writes): no music, no endless loop, and the feeder still stops at once.
    void musicWithoutSound()
    {
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir.filePath("fifo.mp3")).constData(), 0600), 0);
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "anullsrc=r=44100:cl=mono", "-t", "10", "-c:a", "pcm_s16le",
                                     m_dir.filePath("long.wav")}));
        QVERIFY(testmedia::writeFile(m_dir.filePath("empty.wav"), testmedia::readFile(m_dir.filePath("long.wav")).left(78)));
        recipes::AudioReader stReader;
        QCOMPARE(stReader.open(m_dir.filePath("empty.wav").toStdString()), 0);
        QCOMPARE(stReader.decode(true), AVERROR_EOF);
        for (const char *szFile : {"a.png", "empty.wav", "fifo.mp3"}) {
            st().szBackgroundMusicPath = m_dir.filePath(szFile);
            startAt(0);
            QTest::qWait(300);
            QVERIFY(m_pDecoder->isActive());
            QElapsedTimer stTimer;
            stTimer.start();
            stop();
            qInfo("%s: stopped after %lld ms", szFile, stTimer.elapsed());
            QVERIFY(m_output.sounds(0).isEmpty());
        }
        st().iBackgroundMusicType = MusicNone;
    }

    // The clip's sound from the moment the clip shows, all of it, nothing
    // after; a backward seek inside the clip goes back; without keeping the
    // clips' sound there is none.
    void clipSoundWhileOnScreen()
    {
        st().iKeepAudioTrack = 1;
        startAt(2500);
        QVERIFY(m_output.waitFor([&] { return m_output.position() > 5300; }, 8000));
        stop();
        // Silence until the clip shows at 3 s, its sound until it goes at
        // 5 s, and nothing after; in order, nothing over another. (A frame
        // may play a little longer or shorter than its place on the album,
        // to keep in step, and a feed left behind on a busy machine skips.)
        const QVector<RecordingOutput::Sound> sounds = m_output.sounds(1);
        QVERIFY(!sounds.isEmpty());
        for (int i = 0; i < sounds.size(); ++i) {
            const RecordingOutput::Sound &stSound = sounds.at(i);
            const int64_t iNext = i + 1 < sounds.size() ? sounds.at(i + 1).iPts : 5 * 44100;
            QVERIFY2(iNext - stSound.iPts >= stSound.iSamples * (1 - CSoundFeed::kMostStretch) - 1,
                     qPrintable(QString::number(stSound.iPts)));
            const bool bSilent = *std::max_element(stSound.samples.cbegin(), stSound.samples.cend()) == 0.0f;
            QCOMPARE(bSilent, stSound.iPts < 3 * 44100);
        }
        QVERIFY(sounds.last().iPts + sounds.last().iSamples * (1 + CSoundFeed::kMostStretch) + 1 >= 5 * 44100);
        int64_t iStart = 0;
        const QVector<float> clip = firstSound(sounds, 1.0, 3 * 44100, &iStart);
        QCOMPARE(iStart, int64_t(3 * 44100));
        QCOMPARE(previewtest::strongestTone(clip, 44100, {500.0, 1000.0, 2000.0}), 1000.0);

        startAt(4500);
        QVERIFY(waitForSound(1, 0.2));
        m_output.clear();
        m_output.restartAt(3500);
        st().iPreviewStartPos = 3500000;
        m_pDecoder->requestSeek();
        QVERIFY(waitForSound(1, 0.2));
        stop();
        const QVector<RecordingOutput::Sound> after = m_output.sounds(1);
        QVERIFY(std::any_of(after.cbegin(), after.cend(),
                            [](const RecordingOutput::Sound &s) { return s.iPts < 4 * 44100; }));

        st().iKeepAudioTrack = 0;
        startAt(3000);
        QTest::qWait(400);
        stop();
        QVERIFY(m_output.sounds(1).isEmpty());
    }
};

QTEST_MAIN(TestAudioDecoder)
#include "tst_audiodecoder.moc"
