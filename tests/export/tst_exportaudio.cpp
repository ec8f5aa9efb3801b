// The sound of the export, decoded back and measured: silence, the clip's
// own sound at its level, music and clip sound at half each, a clip's sound
// shorter than its picture, a dropped clip sound, music that loops without
// gap or repeat, a damaged music packet; and in every format with sound,
// for every mix of writers, a sound track exactly as long as the picture.

#include "album/AlbumProjectState.h"
#include "common/ExportTestSupport.h"
#include "common/TestMedia.h"
#include "common/TestSupport.h"

#include <QMutex>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace exporttest;

namespace {

QMutex g_warningsMutex;
QStringList g_warnings;
QtMessageHandler g_previousHandler = nullptr;

void collectWarnings(QtMsgType eType, const QMessageLogContext &stContext, const QString &szMessage)
{
    if (eType == QtWarningMsg) {
        QMutexLocker lock(&g_warningsMutex);
        g_warnings.append(szMessage);
    }
    if (g_previousHandler)
        g_previousHandler(eType, stContext, szMessage);
}

QStringList takeWarnings()
{
    QMutexLocker lock(&g_warningsMutex);
    QStringList warnings;
    warnings.swap(g_warnings);
    return warnings;
}

// A stereo sine of amplitude lfAmplitude, the same in both channels.
QString stereoTone(double lfHz, double lfAmplitude, double lfSeconds, int iRate = 44100)
{
    const QString szWave = QStringLiteral("%1*sin(2*PI*%2*t)").arg(lfAmplitude).arg(lfHz);
    return QStringLiteral("aevalsrc=exprs='%1|%1':s=%2:d=%3").arg(szWave).arg(iRate).arg(lfSeconds);
}

// Where the samples fall from above lfLevel to below it: the loop joins of a
// sawtooth (one per 100 samples at most).
QList<int> fallingEdges(const QVector<float> &samples, double lfLevel)
{
    QList<int> edges;
    for (int n = 1; n < samples.size(); ++n) {
        if (samples[n - 1] > lfLevel && samples[n] <= lfLevel && samples[n - 1] - samples[n] > 0.05
            && (edges.isEmpty() || n - edges.last() > 100))
            edges.append(n);
    }
    return edges;
}

// The longest run of samples within +-lfLevel in [iFrom, iTo), and where it starts.
int longestQuietRun(const QVector<float> &samples, double lfLevel, int iFrom, int iTo, int *piStart = nullptr)
{
    int iBest = 0, iRun = 0;
    for (int n = std::max(iFrom, 0); n < std::min(iTo, int(samples.size())); ++n) {
        iRun = std::abs(samples[n]) <= lfLevel ? iRun + 1 : 0;
        if (iRun > iBest) {
            iBest = iRun;
            if (piStart)
                *piStart = n - iRun + 1;
        }
    }
    return iBest;
}

float peak(const QVector<float> &samples)
{
    float lf = 0;
    for (float v : samples)
        lf = std::max(lf, std::abs(v));
    return lf;
}

// Samples of second lfSeconds at iRate.
int at(double lfSeconds, int iRate = 44100)
{
    return int(std::lround(lfSeconds * iRate));
}

} // namespace

class TestExportAudio : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_szRed, m_szBlue;
    QString m_szToneClip;      // 2 s, 1 kHz stereo at 0.6
    QString m_szHalfSoundClip; // 2 s picture, 1 s of 1 kHz stereo at 0.6
    QString m_szSilentClip;    // 1 s, no sound stream
    QString m_szMusicTone;     // MP3, 440 Hz stereo at 0.6, 1 s

    QString folder(const QString &szName)
    {
        const QString szPath = m_dir.filePath(szName);
        QDir().mkpath(szPath);
        return szPath;
    }

    // Exports and decodes the left channel of the result (44100 Hz unless the format says otherwise).
    QVector<float> exportAndDecode(int *piRate = nullptr)
    {
        const ExportResult stResult = runExport();
        if (!stResult.bSucceeded) {
            qWarning("export failed: %s", qPrintable(stResult.szError));
            return {};
        }
        return decodeSound(outputPath(), 0, piRate);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        g_previousHandler = qInstallMessageHandler(collectWarnings);
        m_szRed = m_dir.filePath("red.png");
        m_szBlue = m_dir.filePath("blue.png");
        QVERIFY(makePicture(m_szRed, "color=c=red:s=160x90"));
        QVERIFY(makePicture(m_szBlue, "color=c=blue:s=160x90"));
        m_szToneClip = m_dir.filePath("tone.mp4");
        QVERIFY(makeClip(m_szToneClip, "testsrc2=s=160x90:r=25:d=2", stereoTone(1000, 0.6, 2)));
        m_szHalfSoundClip = m_dir.filePath("halfsound.mp4");
        QVERIFY(makeClip(m_szHalfSoundClip, "testsrc2=s=160x90:r=25:d=2", stereoTone(1000, 0.6, 1)));
        m_szSilentClip = m_dir.filePath("silent.mp4");
        QVERIFY(makeClip(m_szSilentClip, "testsrc2=s=160x90:r=25:d=1"));
        m_szMusicTone = m_dir.filePath("music440.mp3");
        QVERIFY(testsupport::ffmpeg(
            {"-f", "lavfi", "-i", stereoTone(440, 0.6, 1), "-c:a", "libmp3lame", "-b:a", "320k", m_szMusicTone}));
    }

    void cleanupTestCase() { qInstallMessageHandler(g_previousHandler); }

    // Pictures only, no music: silence, as long as the picture.
    void picturesOnlyGiveSilence()
    {
        resetAlbum(folder("silence"), "album", "MP4", 25, 160, 90);
        QVERIFY(appendImage(m_szRed));
        QVERIFY(appendImage(m_szBlue));
        setImageDurationUs(1000000);
        int iRate = 0;
        const QVector<float> samples = exportAndDecode(&iRate);
        QCOMPARE(iRate, 44100);
        // 4 s; the decoder gives whole AAC frames.
        QVERIFY2(std::abs(samples.size() - at(4)) < 1024, qPrintable(QString::number(samples.size())));
        QCOMPARE(peak(samples), 0.0f);
    }

    // The clip's own sound alone comes out at its own level; dropped
    // (iKeepAudioTrack 0) the clip is silent.
    void clipSoundAtItsOwnLevel_data()
    {
        QTest::addColumn<int>("keep");
        QTest::newRow("kept") << 1;
        QTest::newRow("dropped") << 0;
    }

    void clipSoundAtItsOwnLevel()
    {
        QFETCH(int, keep);
        resetAlbum(folder(QString("clip%1").arg(keep)), "album", "MP4", 25, 160, 90);
        albumState().iKeepAudioTrack = keep;
        QVERIFY(appendClip(m_szToneClip));
        const QVector<float> samples = exportAndDecode();
        QVERIFY(samples.size() >= at(2));
        if (keep) {
            const double lfLevel = toneAmplitude(samples, 44100, 1000, at(0.2), at(1.8));
            QVERIFY2(std::abs(lfLevel - 0.6) < 0.03, qPrintable(QString::number(lfLevel)));
        } else {
            QCOMPARE(peak(samples), 0.0f);
        }
    }

    // A clip's sound that ends before its picture is followed by silence.
    void shortClipSoundIsPaddedWithSilence()
    {
        resetAlbum(folder("halfsound"), "album", "MP4", 25, 160, 90);
        QVERIFY(appendClip(m_szHalfSoundClip));
        const QVector<float> samples = exportAndDecode();
        QVERIFY(samples.size() >= at(2));
        const double lfLevel = toneAmplitude(samples, 44100, 1000, at(0.1), at(0.9));
        QVERIFY2(std::abs(lfLevel - 0.6) < 0.03, qPrintable(QString::number(lfLevel)));
        QVERIFY(rootMeanSquare(samples, at(1.1), at(2)) < 1e-3);
    }

    // Music against the silence of pictures is at half its level; music
    // and a clip's sound are at half each; the clip's sound only while the
    // clip is on screen.
    void musicAndClipSoundAtHalfEach()
    {
        resetAlbum(folder("mix"), "album", "MP4", 25, 160, 90);
        AlbumProjectState &st = albumState();
        st.iBackgroundMusicType = MusicCustom;
        st.szBackgroundMusicPath = m_szMusicTone;
        QVERIFY(appendImage(m_szRed));
        QVERIFY(appendClip(m_szToneClip));
        QVERIFY(appendImage(m_szBlue));
        setImageDurationUs(1000000);
        QCOMPARE(st.iTotalDuration, int64_t(8000000));
        const QVector<float> samples = exportAndDecode();
        QVERIFY(samples.size() >= at(8));
        // Picture and transition: 0 .. 3 s; the clip 3 .. 5 s; transition and picture 5 .. 8 s.
        struct Stretch
        {
            double lfFrom, lfTo, lfMusic, lfClip;
        };
        for (const Stretch &s : {Stretch{0.1, 2.9, 0.3, 0}, Stretch{3.1, 4.9, 0.3, 0.3}, Stretch{5.1, 7.9, 0.3, 0}}) {
            const double lfMusic = toneAmplitude(samples, 44100, 440, at(s.lfFrom), at(s.lfTo));
            const double lfClip = toneAmplitude(samples, 44100, 1000, at(s.lfFrom), at(s.lfTo));
            const QString szWhat = QString("%1..%2 s: music %3, clip %4").arg(s.lfFrom).arg(s.lfTo).arg(lfMusic).arg(lfClip);
            QVERIFY2(std::abs(lfMusic - s.lfMusic) < 0.02, qPrintable(szWhat));
            QVERIFY2(std::abs(lfClip - s.lfClip) < 0.02, qPrintable(szWhat));
        }
    }

    // Music shorter than the album starts again at once: a sawtooth of one
    // tooth per pass (rising 0.2 .. 0.8 over 3 s, halved by the mixer) falls
    // exactly every 3 s, at the same sample in every pass, and never
    // touches silence. A gap or a repeated stretch would move the joins.
    // The WAV decodes sample-exact; the MP3 is exact too because FFmpeg
    // trims the encoder delay and padding its LAME header states, on every
    // pass. Tolerance: the AAC round trip blurs the fall over a few samples,
    // so its crossing may move by one or two.
    void musicLoopsWithoutGapOrRepeat_data()
    {
        QTest::addColumn<QString>("codec");
        QTest::newRow("WAV") << "pcm_s16le";
        QTest::newRow("MP3") << "libmp3lame";
    }

    void musicLoopsWithoutGapOrRepeat()
    {
        QFETCH(QString, codec);
        const QString szMusic = m_dir.filePath(codec == "pcm_s16le" ? "saw.wav" : "saw.mp3");
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "aevalsrc=exprs='0.2+0.2*t|0.2+0.2*t':s=44100:d=3", "-c:a",
                                     codec, "-b:a", "320k", szMusic}));
        resetAlbum(folder("loop" + codec), "album", "MP4", 25, 160, 90);
        albumState().iAudioBitRate = 256000;
        AlbumProjectState &st = albumState();
        st.iBackgroundMusicType = MusicCustom;
        st.szBackgroundMusicPath = szMusic;
        QVERIFY(appendImage(m_szRed));
        QVERIFY(appendImage(m_szBlue));
        setImageDurationUs(4000000);
        QCOMPARE(st.iTotalDuration, int64_t(10000000));

        const QVector<float> samples = exportAndDecode();
        QVERIFY(samples.size() >= at(10));
        const QList<int> edges = fallingEdges(samples, 0.25);
        QVERIFY2(edges.size() >= 3, qPrintable(QString::number(edges.size())));
        for (int k = 0; k < 3; ++k) {
            const int iExpected = (k + 1) * 3 * 44100;
            QVERIFY2(std::abs(edges.at(k) - iExpected) <= 2,
                     qPrintable(QString("join %1 at sample %2, expected %3").arg(k + 1).arg(edges.at(k)).arg(iExpected)));
        }
        // Half of 0.2 .. 0.8 rises 0.1 .. 0.4: never near silence.
        QCOMPARE(longestQuietRun(samples, 0.05, at(0.05), at(9.95)), 0);
        // Within each pass the tooth is where it belongs: 0.25 at 1.5 s of each pass.
        for (int k = 0; k < 3; ++k) {
            const double lfMiddle = rootMeanSquare(samples, at(3 * k + 1.49), at(3 * k + 1.51));
            QVERIFY2(std::abs(lfMiddle - 0.25) < 0.01, qPrintable(QString::number(lfMiddle)));
        }
    }

    // A damaged packet in the music becomes silence of its own length (one
    // MP3 frame, 1152 samples) with a warning; the export goes on and the
    // music after it keeps its place.
    void damagedMusicPacketBecomesSilence()
    {
        const QString szMusic = m_dir.filePath("damaged.mp3");
        // No ID3 or Xing header and no bit reservoir: frames follow each
        // other from byte 0, and each decodes on its own.
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", stereoTone(440, 0.6, 3), "-c:a", "libmp3lame", "-b:a",
                                     "128k", "-reservoir", "0", "-write_xing", "0", "-id3v2_version", "0", szMusic}));
        QByteArray mp3 = testmedia::readFile(szMusic);
        // Walk the MPEG-1 layer III frames (128 kbit/s, 44100 Hz: 417 or 418 bytes).
        const int kDamaged = 40;
        int iOffset = 0;
        for (int k = 0; k < kDamaged; ++k) {
            QVERIFY(iOffset + 4 < mp3.size());
            QCOMPARE(quint8(mp3[iOffset]), quint8(0xFF));
            QCOMPARE(quint8(mp3[iOffset + 1]) & 0xE0, 0xE0);
            const int iPadding = (quint8(mp3[iOffset + 2]) >> 1) & 1;
            iOffset += 144 * 128000 / 44100 + iPadding;
        }
        // Side information all ones: "big_values" beyond what a granule holds.
        for (int i = 4; i < 36; ++i)
            mp3[iOffset + i] = char(0xFF);
        QVERIFY(testmedia::writeFile(szMusic, mp3));

        resetAlbum(folder("damaged"), "album", "MP4", 25, 160, 90);
        AlbumProjectState &st = albumState();
        st.iBackgroundMusicType = MusicCustom;
        st.szBackgroundMusicPath = szMusic;
        QVERIFY(appendImage(m_szRed));
        QVERIFY(appendImage(m_szBlue));
        setImageDurationUs(1000000);
        takeWarnings();
        const QVector<float> samples = exportAndDecode();
        QVERIFY(samples.size() >= at(4));
        QVERIFY(takeWarnings().contains(QString::fromUtf8("解码到无效音频数据")));

        // The only quiet stretch is the damaged frame, where it was.
        int iStart = 0;
        const int iQuiet = longestQuietRun(samples, 0.02, at(0.1), at(2.9), &iStart);
        QVERIFY2(iQuiet > 1000 && iQuiet < 1300, qPrintable(QString::number(iQuiet)));
        QVERIFY2(std::abs(iStart - kDamaged * 1152) < 700, qPrintable(QString::number(iStart)));
        const double lfBefore = toneAmplitude(samples, 44100, 440, at(0.1), iStart - 600);
        const double lfAfter = toneAmplitude(samples, 44100, 440, iStart + 1800, at(2.9));
        QVERIFY2(std::abs(lfBefore - 0.3) < 0.02, qPrintable(QString::number(lfBefore)));
        QVERIFY2(std::abs(lfAfter - 0.3) < 0.02, qPrintable(QString::number(lfAfter)));
    }

    // Every format with sound and every mix of writers: the sound track
    // ends with the picture, within one audio frame.
    void soundAsLongAsPicture_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("album");
        QTest::addColumn<bool>("music");
        const QStringList formats = {"MP4", "AVI", "WMV", "FLV", "MKV", "MOV", "WEBM"};
        for (const QString &szFormat : formats) {
            QTest::addRow("%s pictures", qPrintable(szFormat)) << szFormat << "pictures" << false;
            QTest::addRow("%s pictures with music", qPrintable(szFormat)) << szFormat << "pictures" << true;
            QTest::addRow("%s clip sound", qPrintable(szFormat)) << szFormat << "clip" << false;
            QTest::addRow("%s clip sound with music", qPrintable(szFormat)) << szFormat << "clip" << true;
            QTest::addRow("%s switching", qPrintable(szFormat)) << szFormat << "switching" << false;
            QTest::addRow("%s switching with music", qPrintable(szFormat)) << szFormat << "switching" << true;
        }
    }

    void soundAsLongAsPicture()
    {
        QFETCH(QString, format);
        QFETCH(QString, album);
        QFETCH(bool, music);
        resetAlbum(folder("lengths"), "album", format, 24, 160, 90);
        AlbumProjectState &st = albumState();
        if (music) {
            st.iBackgroundMusicType = MusicCustom;
            st.szBackgroundMusicPath = m_szMusicTone;
        }
        if (album == "pictures") {
            QVERIFY(appendImage(m_szRed));
            QVERIFY(appendImage(m_szBlue));
        } else if (album == "clip") {
            QVERIFY(appendClip(m_szHalfSoundClip));
        } else {
            // Silence or music, clip sound, a clip without sound, then a picture.
            QVERIFY(appendImage(m_szRed));
            QVERIFY(appendClip(m_szHalfSoundClip));
            QVERIFY(appendClip(m_szSilentClip));
            QVERIFY(appendImage(m_szBlue));
        }
        setImageDurationUs(1000000);

        const ExportResult stResult = runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        double lfVideoEnd = 0, lfAudioEnd = 0, lfFrame = 0, lfAudioFrame = 0;
        QVERIFY(streamEnd(outputPath(), "video", &lfVideoEnd, &lfFrame));
        QVERIFY(streamEnd(outputPath(), "audio", &lfAudioEnd, &lfAudioFrame));
        const double lfExpected = st.iTotalDuration / 1e6;
        QVERIFY2(std::abs(lfVideoEnd - lfExpected) < 0.05,
                 qPrintable(QString("video ends %1, album %2").arg(lfVideoEnd).arg(lfExpected)));
        QVERIFY2(lfAudioFrame > 0 && std::abs(lfAudioEnd - lfVideoEnd) <= lfAudioFrame + 0.001,
                 qPrintable(QString("audio ends %1, video %2, audio frame %3").arg(lfAudioEnd).arg(lfVideoEnd).arg(lfAudioFrame)));
    }
};

QTEST_MAIN(TestExportAudio)
#include "tst_exportaudio.moc"
