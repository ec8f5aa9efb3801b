// The nine export formats: frame counts, codecs, the silent sound track and
// the progress, checked on the written files with ffprobe.

#include "album/AlbumProjectState.h"
#include "common/ExportTestSupport.h"
#include "common/TestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace exporttest;

class TestExportFormats : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QStringList m_pictures;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString szFolder = m_dir.filePath("pictures");
        QVERIFY(QDir().mkpath(szFolder));
        m_pictures = QStringList{szFolder + "/a.jpg", szFolder + "/b.png", szFolder + "/c.jpg"};
        QVERIFY(makePicture(m_pictures[0], "testsrc2=s=320x240"));
        QVERIFY(makePicture(m_pictures[1], "smptebars=s=200x300"));
        QVERIFY(makePicture(m_pictures[2], "color=c=orange:s=320x180"));
    }

    void threeImagesInEveryFormat_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("videoCodec");
        QTest::addColumn<QString>("audioCodec");
        QTest::newRow("MP4") << "MP4" << "h264" << "aac";
        QTest::newRow("AVI") << "AVI" << "h264" << "mp3";
        QTest::newRow("WMV") << "WMV" << "mpeg4" << "wmav2";
        QTest::newRow("FLV") << "FLV" << "h264" << "mp3";
        QTest::newRow("MKV") << "MKV" << "h264" << "aac";
        QTest::newRow("MOV") << "MOV" << "h264" << "aac";
        QTest::newRow("GIF") << "GIF" << "gif" << "";
        QTest::newRow("WEBM") << "WEBM" << "vp8" << "opus";
        QTest::newRow("M4V") << "M4V" << "h264" << "";
    }

    // 3 x 72 image frames and 2 x 48 transition frames at 24 fps.
    void threeImagesInEveryFormat()
    {
        QFETCH(QString, format);
        QFETCH(QString, videoCodec);
        QFETCH(QString, audioCodec);
        const QString szOut = m_dir.filePath(format);
        QVERIFY(QDir().mkpath(szOut));
        resetAlbum(szOut, "album", format, 24, 320, 180);
        for (const QString &szPicture : m_pictures)
            QVERIFY(appendImage(szPicture));
        QCOMPARE(albumState().iTotalDuration, int64_t(13000000));

        const ExportResult stResult = runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        const QString szFile = outputPath();
        QVERIFY(szFile.endsWith("/album." + format.toLower()));
        QCOMPARE(folderEntries(szOut), QStringList{"album." + format.toLower()});

        // Progress: one value per frame, reaching 100 exactly with the last one, then 100 once more.
        QCOMPARE(stResult.progress.size(), 313);
        QCOMPARE(stResult.progress.at(311), 100);
        QVERIFY(stResult.progress.at(310) < 100);
        QCOMPARE(stResult.progress.last(), 100);
        for (int i = 1; i < stResult.progress.size(); ++i)
            QVERIFY(stResult.progress.at(i) >= stResult.progress.at(i - 1));

        QCOMPARE(testsupport::countVideoFrames(szFile), 312);
        const QJsonObject stProbe = testsupport::ffprobe(szFile);
        const QJsonObject stVideo = testsupport::probeStream(stProbe, "video");
        QCOMPARE(stVideo.value("codec_name").toString(), videoCodec);
        QCOMPARE(stVideo.value("width").toInt(), 320);
        QCOMPARE(stVideo.value("height").toInt(), 180);
        const QJsonObject stAudio = testsupport::probeStream(stProbe, "audio");
        if (audioCodec.isEmpty()) {
            QVERIFY(stAudio.isEmpty());
            return;
        }
        QCOMPARE(stAudio.value("codec_name").toString(), audioCodec);
        QCOMPARE(stAudio.value("channels").toInt(), 2);

        // The sound ends with the picture, within one audio frame.
        double lfVideoEnd = 0, lfAudioEnd = 0, lfFrame = 0, lfAudioFrame = 0;
        QVERIFY(streamEnd(szFile, "video", &lfVideoEnd, &lfFrame));
        QVERIFY(streamEnd(szFile, "audio", &lfAudioEnd, &lfAudioFrame));
        QVERIFY2(lfAudioFrame > 0 && std::abs(lfAudioEnd - lfVideoEnd) <= lfAudioFrame + 0.001,
                 qPrintable(QString("audio ends %1, video %2, audio frame %3").arg(lfAudioEnd).arg(lfVideoEnd).arg(lfAudioFrame)));

        // Silence: the decoded sound has no sample above the noise floor.
        const testsupport::ToolResult stVolume = testsupport::runTool(
            "ffmpeg", {"-hide_banner", "-nostats", "-i", szFile, "-map", "0:a:0", "-af", "volumedetect", "-f", "null", "-"});
        QVERIFY(stVolume.bFinished && stVolume.iExitCode == 0);
        const QString szLog = QString::fromUtf8(stVolume.stdErr);
        const QRegularExpressionMatch stMatch = QRegularExpression("max_volume: (-?[0-9.inf]+) dB").match(szLog);
        QVERIFY2(stMatch.hasMatch(), qPrintable(szLog.right(400)));
        const QString szMax = stMatch.captured(1);
        QVERIFY2(szMax == "-inf" || szMax.toDouble() < -80.0, qPrintable(szMax));
    }
};

QTEST_MAIN(TestExportFormats)
#include "tst_exportformats.moc"
