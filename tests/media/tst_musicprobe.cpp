#include "common/TestSupport.h"
#include "media/ffmpeg/MusicProbe.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

extern "C" {
#include <libavutil/error.h>
}

class TestMusicProbe : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &szName) const { return m_dir.filePath(szName); }
    static int openFiles() { return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QStringList sine{"-f", "lavfi", "-i", "sine=frequency=440:duration=3:sample_rate=44100"};
        QVERIFY(testsupport::ffmpeg(sine + QStringList{"-c:a", "libmp3lame", path("tone.mp3")}));
        QVERIFY(QFile::copy(path("tone.mp3"), path("mu'sic \"音乐\".mp3")));
        // Sound of other kinds and no sound at all, each named .mp3.
        QVERIFY(testsupport::ffmpeg(sine + QStringList{"-f", "wav", path("wave.mp3")}));
        QVERIFY(testsupport::ffmpeg(sine + QStringList{"-c:a", "aac", "-f", "mp4", path("aac.mp3")}));
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:duration=1", "-f", "mp4",
                                     path("silent-video.mp3")}));
        QFile text(path("notes.mp3"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("not a sound at all\n") > 0);
    }

    void acceptsOnlyMp3SoundAndClosesEveryFile()
    {
        const int iOpenBefore = openFiles();
        for (int iRound = 0; iRound < 3; ++iRound) {
            for (const char *pszName : {"tone.mp3", "mu'sic \"音乐\".mp3"}) {
                int64_t iDuration = -1;
                QCOMPARE(probeMp3Music(path(pszName).toStdString(), &iDuration), 0);
                QVERIFY2(qAbs(iDuration - 3000000) < 100000, qPrintable(QString::number(iDuration)));
            }
            int64_t iDuration = -1;
            QCOMPARE(probeMp3Music(path("wave.mp3").toStdString(), &iDuration), AVERROR_INVALIDDATA);
            QCOMPARE(iDuration, int64_t(0));
            QCOMPARE(probeMp3Music(path("aac.mp3").toStdString()), AVERROR_INVALIDDATA);
            QCOMPARE(probeMp3Music(path("silent-video.mp3").toStdString()), AVERROR_STREAM_NOT_FOUND);
            QVERIFY(probeMp3Music(path("notes.mp3").toStdString()) < 0);
            QCOMPARE(probeMp3Music(path("missing.mp3").toStdString()), AVERROR(ENOENT));
            QCOMPARE(probeMp3Music(std::string()), AVERROR(EINVAL));
        }
        // The demuxer went away on every path, refusals included.
        QCOMPARE(openFiles(), iOpenBefore);
    }
};

QTEST_GUILESS_MAIN(TestMusicProbe)
#include "tst_musicprobe.moc"
