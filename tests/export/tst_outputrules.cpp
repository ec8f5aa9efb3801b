// The rules around the output file: what each container takes, and the
// temporary file that is moved over the target only when complete.

#include "common/TestMedia.h"
#include "media/export/ContainerLimits.h"
#include "media/export/TemporaryOutput.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

namespace {

OutputSettings wanted(int iFps, int iSampleRate, int64_t iVideoBitRate = 0, int64_t iAudioBitRate = 0)
{
    OutputSettings st;
    st.stFrameRate = AVRational{iFps, 1};
    st.iSampleRate = iSampleRate;
    st.iVideoBitRate = iVideoBitRate;
    st.iAudioBitRate = iAudioBitRate;
    return st;
}

QStringList entries(const QString &szDir)
{
    return QDir(szDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestOutputRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void nearestListedRate()
    {
        const int rates[] = {48000, 44100, 32000, 0};
        QCOMPARE(::nearestListedRate(rates, 44100), 44100);
        QCOMPARE(::nearestListedRate(rates, 40000), 44100);
        QCOMPARE(::nearestListedRate(rates, 8000), 32000);
        QCOMPARE(::nearestListedRate(rates, 96000), 48000);
        // A tie goes to the earlier rate.
        const int tie[] = {46000, 42000, 0};
        QCOMPARE(::nearestListedRate(tie, 44000), 46000);
        QCOMPARE(::nearestListedRate(nullptr, 44100), 44100);
        const int empty[] = {0};
        QCOMPARE(::nearestListedRate(empty, 22050), 22050);
    }

    void containerSettings_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("fps");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("expectedFps");
        QTest::addColumn<int>("expectedRate");
        // FLV keeps MP3 at 44100, 22050 and 11025 Hz only.
        QTest::newRow("flv 48000") << "a.flv" << 24 << 48000 << 24 << 44100;
        QTest::newRow("flv 44100") << "a.flv" << 24 << 44100 << 24 << 44100;
        QTest::newRow("flv 22050") << "a.flv" << 24 << 22050 << 24 << 22050;
        QTest::newRow("flv 11025") << "a.flv" << 24 << 11025 << 24 << 11025;
        QTest::newRow("flv 8000") << "a.flv" << 24 << 8000 << 24 << 11025;
        // MP3 in AVI takes all of them.
        QTest::newRow("avi 8000") << "a.avi" << 24 << 8000 << 24 << 8000;
        QTest::newRow("avi 48000") << "a.avi" << 120 << 48000 << 120 << 48000;
        // Opus lists 48000, 24000, 16000, 12000 and 8000 Hz.
        QTest::newRow("webm 44100") << "a.webm" << 30 << 44100 << 30 << 48000;
        QTest::newRow("webm 22050") << "a.webm" << 30 << 22050 << 30 << 24000;
        QTest::newRow("webm 11025") << "a.webm" << 30 << 11025 << 30 << 12000;
        QTest::newRow("webm 8000") << "a.webm" << 30 << 8000 << 30 << 8000;
        QTest::newRow("mp4 11025") << "a.mp4" << 120 << 11025 << 120 << 11025;
        QTest::newRow("wmv 8000") << "a.wmv" << 60 << 8000 << 60 << 8000;
        // GIF: delays in whole hundredths, viewers stretch those under 2/100 s.
        QTest::newRow("gif 24") << "a.gif" << 24 << 44100 << 24 << 44100;
        QTest::newRow("gif 25") << "a.gif" << 25 << 44100 << 25 << 44100;
        QTest::newRow("gif 30") << "a.gif" << 30 << 44100 << 30 << 44100;
        QTest::newRow("gif 60") << "a.gif" << 60 << 44100 << 50 << 44100;
        QTest::newRow("gif 120") << "a.gif" << 120 << 44100 << 50 << 44100;
        QTest::newRow("upper-case name") << "/x/A.GIF" << 120 << 44100 << 50 << 44100;
        QTest::newRow("temporary name") << "/x/.clip.pictora-Ab12Cd.flv" << 24 << 8000 << 24 << 11025;
    }

    void containerSettings()
    {
        QFETCH(QString, file);
        QFETCH(int, fps);
        QFETCH(int, rate);
        QFETCH(int, expectedFps);
        QFETCH(int, expectedRate);
        const OutputSettings st = settingsForOutput(file.toStdString(), wanted(fps, rate, 256000, 64000));
        QCOMPARE(st.stFrameRate.num, expectedFps);
        QCOMPARE(st.stFrameRate.den, 1);
        QCOMPARE(st.iSampleRate, expectedRate);
        QCOMPARE(st.iVideoBitRate, int64_t(256000));
        QCOMPARE(st.iAudioBitRate, int64_t(64000));
    }

    void temporaryNames()
    {
        QCOMPARE(QString::fromStdString(temporaryOutputName("/videos/clip.mp4", "AbC123")),
                 QString("/videos/.clip.pictora-AbC123.mp4"));
        QCOMPARE(QString::fromStdString(temporaryOutputName("/v/my.trip.m4v", "x")), QString("/v/.my.trip.pictora-x.m4v"));
        QCOMPARE(QString::fromStdString(temporaryOutputName("/v/noext", "x")), QString("/v/.noext.pictora-x"));
        QCOMPARE(QString::fromStdString(temporaryOutputName("rel.gif", "x")), QString(".rel.pictora-x.gif"));
        // A name near the file-name limit is shortened, never past a character.
        const std::string szLong = std::string("/v/") + std::string(100, 'a') + std::string(60, 'x') + "\xe4\xb8\xad\xe6\x96\x87"
                                   + std::string(80, 'b') + ".webm";
        const std::string szTemp = temporaryOutputName(szLong, "ABCDEF");
        const std::string szName = szTemp.substr(3);
        QVERIFY(szName.size() <= 255);
        QVERIFY(QString::fromStdString(szName).endsWith(".pictora-ABCDEF.webm"));
        QVERIFY(QString::fromUtf8(szName.c_str()).toUtf8() == QByteArray(szName.c_str()));

        // Every muxer is still chosen from the temporary's extension.
        const char *kMuxers[][2] = {{"mp4", "mp4"}, {"avi", "avi"}, {"wmv", "asf"}, {"flv", "flv"}, {"mkv", "matroska"},
                                    {"mov", "mov"}, {"gif", "gif"}, {"webm", "webm"}, {"m4v", "ipod"}};
        for (const auto &row : kMuxers) {
            const std::string szTemporary = temporaryOutputName(std::string("/v/name.") + row[0], "Zz9");
            const AVOutputFormat *pFormat = av_guess_format(nullptr, szTemporary.c_str(), nullptr);
            QVERIFY(pFormat);
            QCOMPARE(QString(pFormat->name), QString(row[1]));
        }
    }

    void temporaryFileLifecycle()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString szTarget = dir.filePath("album.mp4");
        QVERIFY(testmedia::writeFile(szTarget, "old"));

        // Discarded: the target is untouched and nothing else remains.
        {
            TemporaryOutput temporary;
            QCOMPARE(temporary.create(szTarget.toStdString()), 0);
            QVERIFY(QFile::exists(QString::fromStdString(temporary.path())));
            QCOMPARE(entries(dir.path()).size(), 2);
            QVERIFY(testmedia::writeFile(QString::fromStdString(temporary.path()), "partial"));
        }
        QCOMPARE(entries(dir.path()), QStringList{"album.mp4"});
        QCOMPARE(testmedia::readFile(szTarget), QByteArray("old"));

        // Committed: the new content replaces the old in one step.
        TemporaryOutput temporary;
        QCOMPARE(temporary.create(szTarget.toStdString()), 0);
        const QString szTemp = QString::fromStdString(temporary.path());
        QVERIFY(QFileInfo(szTemp).fileName().startsWith(".album.pictora-"));
        QVERIFY(szTemp.endsWith(".mp4"));
        QVERIFY(testmedia::writeFile(szTemp, "new"));
        QCOMPARE(temporary.commit(), 0);
        QVERIFY(temporary.path().empty());
        QCOMPARE(testmedia::readFile(szTarget), QByteArray("new"));
        QCOMPARE(entries(dir.path()), QStringList{"album.mp4"});

        // Not allowed to replace: a name that is taken stays as it is.
        TemporaryOutput keeping;
        QCOMPARE(keeping.create(szTarget.toStdString()), 0);
        QCOMPARE(keeping.commit(false), AVERROR(EEXIST));
        QCOMPARE(testmedia::readFile(szTarget), QByteArray("new"));
        QCOMPARE(entries(dir.path()), QStringList{"album.mp4"});
        QCOMPARE(keeping.create(dir.filePath("free.mp4").toStdString()), 0);
        QCOMPARE(keeping.commit(false), 0);
        QCOMPARE(entries(dir.path()), (QStringList{"album.mp4", "free.mp4"}));
        QFile::remove(dir.filePath("free.mp4"));

        // Two temporaries for one target never share a file.
        TemporaryOutput first, second;
        QCOMPARE(first.create(szTarget.toStdString()), 0);
        QCOMPARE(second.create(szTarget.toStdString()), 0);
        QVERIFY(first.path() != second.path());
        first.discard();
        second.discard();
        QCOMPARE(entries(dir.path()), QStringList{"album.mp4"});

        // A move that fails (the target is a folder) is a failure and leaves no temporary.
        const QString szFolderTarget = dir.filePath("taken.mp4");
        QVERIFY(QDir().mkpath(szFolderTarget + "/inside"));
        TemporaryOutput blocked;
        QCOMPARE(blocked.create(szFolderTarget.toStdString()), 0);
        QVERIFY(blocked.commit() < 0);
        QVERIFY(blocked.path().empty());
        QCOMPARE(entries(dir.path()), (QStringList{"album.mp4", "taken.mp4"}));

        // No folder: nothing is created.
        TemporaryOutput nowhere;
        QCOMPARE(nowhere.create(dir.filePath("missing/album.mp4").toStdString()), AVERROR(ENOENT));
        QVERIFY(nowhere.path().empty());

        // Moving the object hands the temporary over; assigning removes the old one.
        TemporaryOutput moved;
        QCOMPARE(moved.create(szTarget.toStdString()), 0);
        const std::string szMoved = moved.path();
        TemporaryOutput taker(std::move(moved));
        QCOMPARE(taker.path(), szMoved);
        QVERIFY(moved.path().empty());
        taker = TemporaryOutput();
        QVERIFY(!QFile::exists(QString::fromStdString(szMoved)));
    }
};

QTEST_MAIN(TestOutputRules)
#include "tst_outputrules.moc"
