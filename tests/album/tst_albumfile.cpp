// Album files written from the album state and read back: what a moved
// album finds, what a bad file is refused with, what a failed save leaves.
#include "album/AlbumFile.h"
#include "album/AlbumProjectState.h"
#include "common/TestMedia.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

ImageSource material(const QString &szPath, int iType)
{
    ImageSource st;
    st.szFilePath = szPath;
    st.iSourceType = iType;
    st.stTimeBase = iType == SourceVideo ? AVRational{1, 90000} : AVRational{1, 1};
    st.iDuration = iType == SourceVideo ? 4 * 90000 + 1234 : 3;
    st.stSrcImageSize = QSize(640, 480);
    st.stWidthToHeight = AVRational{4, 3};
    return st;
}

} // namespace

class TestAlbumFile : public QObject
{
    Q_OBJECT

    QStandardItemModel m_model;
    QTemporaryDir m_dir;

    void fillAlbum(const QStringList &paths)
    {
        for (const QString &szPath : paths)
            appendMaterial(material(szPath, szPath.endsWith(".mp4") ? SourceVideo : SourceImage));
    }

private Q_SLOTS:
    void init()
    {
        clearAlbum();
        applyEditorDefaults();
        albumState().pImageListModel = &m_model;
    }

    // Saved, moved with its photos, read into an empty album: the same album.
    void savedMovedAndOpenedAgain()
    {
        const QString szHome = m_dir.filePath("home");
        const QString szOutside = m_dir.filePath("elsewhere/Ünï \"quoted\".jpg");
        const QStringList paths = {szHome + "/a.jpg", szHome + "/sub/clip.mp4", szOutside, szHome + "/b c.png"};
        fillAlbum(paths);
        AlbumProjectState &st = albumState();
        st.mapImageSources[paths.at(0)].iRotation = 3;
        QVERIFY(setMaterialOwnDuration(paths.at(3), 7500000));
        QVERIFY(!setMaterialOwnDuration(paths.at(1), 5000000));   // a clip keeps its length
        setImageDurationSeconds(5);
        st.listTransitions[0].pEffect = transitionEffectNamed("circleopen");
        st.listTransitions[2].pEffect = transitionEffectNamed("wipeleft");
        ratioFromString("9:16", &st.stVideoRatio);
        st.szExportResolution = "720P";
        st.iBackgroundMusicType = MusicCustom;
        st.szBackgroundMusicPath = szHome + "/music/song.mp3";
        st.iKeepAudioTrack = 0;
        st.iWatermarkType = WatermarkText;
        st.szWatermarkText = QStringLiteral("Ünïcode \"quoted\" {json}");
        st.stWatermarkFont = QFont("DejaVu Serif");
        st.stWatermarkFont.setPixelSize(33);
        st.stWatermarkFont.setItalic(true);
        st.stWatermarkColor = QColor("#12ab34");
        st.lfWatermarkTransparency = 0.25;
        st.iWatermarkPos = 16;
        st.iMotion = MotionGentle;
        st.iFraming = FramingBlur;
        st.bFitToMusic = true;
        st.iMotionSeed = 4000000000u;
        const int64_t iTotal = st.iTotalDuration;
        QCOMPARE(iTotal, 5000000 + av_rescale_q(4 * 90000 + 1234, {1, 90000}, {1, 1000000}) + 5000000 + 7500000 + 3 * 2000000);

        QString szError;
        QVERIFY(QDir().mkpath(szHome));
        QVERIFY2(saveAlbumFile(szHome + "/album.pictora", &szError), qPrintable(szError));
        const QJsonObject stRoot = QJsonDocument::fromJson(testmedia::readFile(szHome + "/album.pictora")).object();
        QCOMPARE(stRoot.value("format").toString(), QStringLiteral("pictora-album"));
        const QJsonArray materials = stRoot.value("materials").toArray();
        QCOMPARE(materials.at(0).toObject(), (QJsonObject{{"path", "a.jpg"}, {"turns", 3}}));
        QCOMPARE(materials.at(1).toObject(), (QJsonObject{{"path", "sub/clip.mp4"}}));
        QCOMPARE(materials.at(2).toObject().value("path").toString(), szOutside);
        QCOMPARE(materials.at(3).toObject(), (QJsonObject{{"path", "b c.png"}, {"duration", 7.5}}));
        QCOMPARE(stRoot.value("settings").toObject().value("musicFile").toString(), QStringLiteral("music/song.mp3"));

        // The folder moves; so does what lies inside it, the rest stays.
        const QString szMoved = m_dir.filePath("moved/again");
        QVERIFY(QDir().mkpath(m_dir.filePath("moved")));
        QVERIFY(QDir().rename(szHome, szMoved));
        // A key this version does not know (one a later one adds) is passed over.
        QByteArray text = testmedia::readFile(szMoved + "/album.pictora");
        text.replace("\"settings\": {", "\"settings\": {\n\"sparkle\": \"slow\",");
        QVERIFY(testmedia::writeFile(szMoved + "/album.pictora", text));
        AlbumDocument stDocument;
        QVERIFY2(readAlbumFile(szMoved + "/album.pictora", &stDocument, &szError), qPrintable(szError));
        const QStringList moved = {szMoved + "/a.jpg", szMoved + "/sub/clip.mp4", szOutside, szMoved + "/b c.png"};
        QCOMPARE(stDocument.materialPaths(), moved);

        clearAlbum();
        applyEditorDefaults();
        applyAlbumSettings(stDocument);
        fillAlbum(moved);
        applyAlbumMaterials(stDocument);
        QCOMPARE(st.listImageSourceOrder, moved);
        QCOMPARE(st.mapImageSources.value(moved.at(0)).iRotation, 3);
        QCOMPARE(st.mapImageSources.value(moved.at(3)).iOwnDuration, 7500000);
        QCOMPARE(st.iImageDuration, 5000000);
        QCOMPARE(st.iTotalDuration, iTotal);
        QCOMPARE(QString(st.listTransitions.at(0).pEffect->szTransitionName), QStringLiteral("circleopen"));
        QCOMPARE(QString(st.listTransitions.at(2).pEffect->szTransitionName), QStringLiteral("wipeleft"));
        QCOMPARE(st.stVideoRatio.num, 9);
        QCOMPARE(st.stVideoRatio.den, 16);
        QVERIFY(!st.bSelfAdaptiveRatio);
        QCOMPARE(st.szExportResolution, QStringLiteral("720P"));
        QCOMPARE(st.iBackgroundMusicType, int(MusicCustom));
        QCOMPARE(st.szBackgroundMusicPath, szMoved + "/music/song.mp3");
        QCOMPARE(st.iKeepAudioTrack, 0);
        QCOMPARE(st.iWatermarkType, int(WatermarkText));
        QCOMPARE(st.szWatermarkText, QStringLiteral("Ünïcode \"quoted\" {json}"));
        QCOMPARE(st.stWatermarkFont.family(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(st.stWatermarkFont.pixelSize(), 33);
        QVERIFY(st.stWatermarkFont.italic());
        QCOMPARE(st.stWatermarkColor, QColor("#12ab34"));
        QCOMPARE(st.lfWatermarkTransparency, 0.25);
        QCOMPARE(st.iWatermarkPos, 16);
        QCOMPARE(st.iMotion, int(MotionGentle));
        QCOMPARE(st.iFraming, int(FramingBlur));
        QVERIFY(st.bFitToMusic);
        QCOMPARE(st.iMotionSeed, 4000000000u);
        // An album saved before these settings existed opens still and fitted.
        QVERIFY(parseAlbumFile("{\"format\": \"pictora-album\", \"version\": 1, \"materials\": [{\"path\": \"a\"}]}",
                               szMoved, &stDocument, &szError));
        applyAlbumSettings(stDocument);
        QVERIFY(st.iMotion == MotionNone && st.iFraming == FramingFit && !st.bFitToMusic);

        // Clearing the album forgets the photos' own durations with them.
        clearAlbum();
        fillAlbum(moved);
        QCOMPARE(st.mapImageSources.value(moved.at(3)).iOwnDuration, 0);
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        const QByteArray head = "{\"format\": \"pictora-album\", \"version\": 1, ";
        const auto withMaterial = [&](const QByteArray &entry) { return head + "\"materials\": [" + entry + "]}"; };
        QTest::newRow("empty") << QByteArray() << "empty";
        QTest::newRow("blank") << QByteArray(" \n\t ") << "empty";
        QTest::newRow("truncated") << withMaterial("{\"path\": \"a.jpg\"}").left(50) << "damaged";
        QTest::newRow("array") << QByteArray("[{\"format\": \"pictora-album\"}]") << "not a Pictora album";
        QTest::newRow("other JSON") << QByteArray("{\"format\": \"other\", \"version\": 1}") << "not a Pictora album";
        QTest::newRow("picture") << QByteArray("\xff\xd8\xff\xe0\x00\x10JFIF", 10) << "damaged";
        QTest::newRow("future") << QByteArray("{\"format\": \"pictora-album\", \"version\": 2, \"materials\": []}")
                                << "newer Pictora";
        QTest::newRow("version text") << QByteArray("{\"format\": \"pictora-album\", \"version\": \"1\"}") << "version";
        QTest::newRow("no materials") << head + "\"materials\": []}" << "no materials";
        QTest::newRow("long path") << withMaterial("{\"path\": \"/" + QByteArray(10000, 'x') + "\"}") << "longer";
        QTest::newRow("zero in path") << withMaterial("{\"path\": \"a\\u0000.jpg\"}") << "zero";
        QTest::newRow("path a number") << withMaterial("{\"path\": 7}") << "no path";
        QTest::newRow("turns") << withMaterial("{\"path\": \"a.jpg\", \"turns\": 4}") << "turns";
        QTest::newRow("duration 0") << withMaterial("{\"path\": \"a.jpg\", \"duration\": 0}") << "duration";
        QTest::newRow("duration 61") << withMaterial("{\"path\": \"a.jpg\", \"duration\": 61}") << "duration";
        QTest::newRow("ratio") << head + "\"settings\": {\"ratio\": \"5:4\"}, \"materials\": [{\"path\": \"a\"}]}" << "ratio";
        QTest::newRow("colour") << head + "\"settings\": {\"watermarkColor\": \"red\"}, \"materials\": [{\"path\": \"a\"}]}"
                                << "watermarkColor";
        QTest::newRow("motion") << head + "\"settings\": {\"motion\": \"wild\"}, \"materials\": [{\"path\": \"a\"}]}" << "motion";
        QTest::newRow("motion seed") << head + "\"settings\": {\"motionSeed\": -1}, \"materials\": [{\"path\": \"a\"}]}"
                                     << "motionSeed";
        QTest::newRow("transitions") << head + "\"materials\": [{\"path\": \"a\"}], \"transitions\": {}}" << "transitions";
    }

    // Each refused with a message saying why; the album in use stays as it was.
    void refusals()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        fillAlbum({m_dir.filePath("x.jpg"), m_dir.filePath("y.jpg")});
        albumState().szWatermarkText = "kept";
        const QByteArray before = albumFileText(m_dir.filePath("a.pictora"));
        const QString szPath = m_dir.filePath("bad.pictora");
        QVERIFY(testmedia::writeFile(szPath, text));
        AlbumDocument stDocument;
        QString szError;
        QVERIFY(!readAlbumFile(szPath, &stDocument, &szError));
        QVERIFY2(szError.contains(message, Qt::CaseInsensitive), qPrintable(szError));
        QVERIFY(stDocument.materials.isEmpty());
        QCOMPARE(albumFileText(m_dir.filePath("a.pictora")), before);
    }

    // A save that cannot be completed (a full disk, a folder without write
    // permission) says so and leaves the file that was there whole.
    void failedSaveKeepsTheOldFile()
    {
        const QString szFolder = m_dir.filePath("save");
        QVERIFY(QDir().mkpath(szFolder));
        const QString szPath = szFolder + "/album.pictora";
        fillAlbum({szFolder + "/one.jpg"});
        QString szError;
        QVERIFY(saveAlbumFile(szPath, &szError));
        const QByteArray old = testmedia::readFile(szPath);
        fillAlbum({szFolder + "/" + QString(200, QChar(0x4e2d)) + ".jpg"});
        {
            testsupport::FileSizeLimit limit(old.size() + 16);
            QVERIFY(limit.isSet());
            QVERIFY(!saveAlbumFile(szPath, &szError));
        }
        QVERIFY2(szError.contains("unchanged") && szError.contains("too large"), qPrintable(szError));
        QCOMPARE(testmedia::readFile(szPath), old);
        QCOMPARE(QDir(szFolder).entryList(QDir::Files | QDir::Hidden), QStringList{"album.pictora"});
        QVERIFY(!saveAlbumFile(m_dir.filePath("missing/folder/album.pictora"), &szError));
        QVERIFY(!szError.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAlbumFile)
#include "tst_albumfile.moc"
