#include "album/AlbumProjectState.h"
#include "media/recipes/AlbumGeometry.h"
#include "media/recipes/AlbumTimeline.h"

#include <QFontMetrics>
#include <QSet>
#include <QStandardItemModel>
#include <QtTest>

#include <dirent.h>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

ImageSource makeImage(const QString &szPath, int w = 4000, int h = 3000)
{
    ImageSource st;
    st.szFilePath = szPath;
    st.iSourceType = SourceImage;
    st.iDuration = 3;
    st.stTimeBase = AVRational{1, 1};
    st.stSrcImageSize = QSize(w, h);
    st.stWidthToHeight = AVRational{w, h};
    av_reduce(&st.stWidthToHeight.num, &st.stWidthToHeight.den, w, h, INT_MAX);
    return st;
}

ImageSource makeVideo(const QString &szPath, int64_t iDurationUs)
{
    ImageSource st;
    st.szFilePath = szPath;
    st.iSourceType = SourceVideo;
    // Stream time base of 1/90000, as MPEG-TS files have.
    st.stTimeBase = AVRational{1, 90000};
    st.iDuration = av_rescale_q(iDurationUs, AVRational{1, 1000000}, st.stTimeBase);
    st.stSrcImageSize = QSize(1920, 1080);
    st.stWidthToHeight = AVRational{16, 9};
    return st;
}

int openFdCount()
{
    int n = 0;
    if (DIR *pDir = opendir("/proc/self/fd")) {
        while (readdir(pDir))
            ++n;
        closedir(pDir);
    }
    return n;
}

} // namespace

class TestAlbumState : public QObject
{
    Q_OBJECT

private:
    QStandardItemModel m_model;

    void checkInvariants()
    {
        const AlbumProjectState &st = albumState();
        QCOMPARE(st.listImageSourceOrder.size(), st.mapImageSources.size());
        QCOMPARE(m_model.rowCount(), st.listImageSourceOrder.size());
        for (int i = 0; i < st.listImageSourceOrder.size(); ++i)
            QCOMPARE(m_model.index(i, 0).data().toString(), st.listImageSourceOrder.at(i));
        QCOMPARE(QSet<QString>(st.listImageSourceOrder.begin(), st.listImageSourceOrder.end()),
                 QSet<QString>(st.mapImageSources.keyBegin(), st.mapImageSources.keyEnd()));
        QCOMPARE(st.listTransitions.size(), std::max(0, int(st.listImageSourceOrder.size()) - 1));
        int64_t iExpected = 0, iVideos = 0;
        for (const ImageSource &s : st.mapImageSources) {
            iExpected += materialDuration(s);
            iVideos += s.iSourceType == SourceVideo;
        }
        iExpected += 2000000LL * st.listTransitions.size();
        QCOMPARE(st.iTotalDuration, iExpected);
        QCOMPARE(st.iVideoSourceCount, iVideos);
    }

private Q_SLOTS:
    void init()
    {
        clearAlbum();
        applyEditorDefaults();
        albumState().pImageListModel = &m_model;
    }

    void defaultsAfterEditorInitialisation()
    {
        const AlbumProjectState &st = albumState();
        QCOMPARE(st.iExportWidth, 1920);
        QCOMPARE(st.iExportHeight, 1080);
        QCOMPARE(st.stVideoRatio.num, 16);
        QCOMPARE(st.stVideoRatio.den, 9);
        QCOMPARE(st.szExportResolution, QStringLiteral("1080P"));
        QCOMPARE(st.iImageDuration, 3000000LL);
        QCOMPARE(st.iWatermarkType, int(WatermarkNone));
        QCOMPARE(st.iWatermarkPos, 1);
        QCOMPARE(st.iBackgroundMusicType, int(MusicNone));
        QCOMPARE(st.iKeepAudioTrack, 1);
        QCOMPARE(st.stWatermarkFont.pixelSize(), 48);
        QCOMPARE(st.stWatermarkFont.family(), QStringLiteral("Microsoft YaHei UI"));
        QCOMPARE(st.stWatermarkColor, QColor(Qt::black));
        QCOMPARE(st.lfWatermarkTransparency, 0.0);
        QCOMPARE(st.iPreviewScale, 1);
        QCOMPARE(st.stPlayerTimeBase.den, 1000);
        QCOMPARE(st.stGlobalTimeBase.den, 1000000);
        // Export settings stay zero until the export dialog sets them.
        QCOMPARE(st.stFrameRate.num, 0);
        QVERIFY(!st.bExportAudio);
        QVERIFY(st.szExportFormat.isEmpty());
    }

    void tables()
    {
        QCOMPARE(watermarkFontPixelSize("4K"), 126);
        QCOMPARE(watermarkFontPixelSize("2K"), 60);
        QCOMPARE(watermarkFontPixelSize("720P"), 30);
        QCOMPARE(watermarkFontPixelSize("480P"), 24);
        QCOMPARE(watermarkFontPixelSize("8K"), 48);
        QCOMPARE(tierHeight("2K"), 1440);
        QCOMPARE(tierHeight("4K"), 2160);
        QCOMPARE(tierHeight("self"), 0);
        AVRational st{0, 1};
        QVERIFY(ratioFromString("9:16", &st));
        QCOMPARE(st.num, 9);
        QCOMPARE(st.den, 16);
        QVERIFY(!ratioFromString("self-adaption(default)", &st));
        QCOMPARE(QString::fromUtf8(transitionEffects()[0].szTransitionName), QStringLiteral("fadeblack"));
        QCOMPARE(QString::fromUtf8(transitionEffects()[22].szTransitionName), QStringLiteral("horzclose"));
        for (int i = 0; i < kTransitionEffectCount; ++i)
            QCOMPARE(QString::fromUtf8(transitionEffects()[i].szFilterName), QStringLiteral("xfade"));
    }

    void transitionPicker()
    {
        setTransitionPickerIndex(21);
        const QList<int> expected{21, 1, 4, 7, 10, 13, 16, 19, 22, 2};
        for (int iExpected : expected)
            QCOMPARE(int(nextTransitionEffect() - transitionEffects()), iExpected);

        QSet<const TransitionEffect *> seen;
        for (int i = 0; i < kTransitionEffectCount; ++i)
            seen.insert(nextTransitionEffect());
        QCOMPARE(seen.size(), kTransitionEffectCount);
    }

    void exportSize_data()
    {
        QTest::addColumn<QString>("tier");
        QTest::addColumn<int>("num");
        QTest::addColumn<int>("den");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("3:4 720P") << "720P" << 3 << 4 << QSize(540, 720);
        QTest::newRow("2:1 480P") << "480P" << 2 << 1 << QSize(960, 480);
        QTest::newRow("16:9 4K") << "4K" << 16 << 9 << QSize(3840, 2160);
        QTest::newRow("9:16 1080P") << "1080P" << 9 << 16 << QSize(608, 1080);
        QTest::newRow("4:3 720P") << "720P" << 4 << 3 << QSize(960, 720);
        QTest::newRow("1:1 480P") << "480P" << 1 << 1 << QSize(480, 480);
        QTest::newRow("odd width 4000:3000 2K") << "2K" << 4000 << 3001 << QSize(1918, 1440);
    }

    void exportSize()
    {
        QFETCH(QString, tier);
        QFETCH(int, num);
        QFETCH(int, den);
        QFETCH(QSize, expected);
        albumState().szExportResolution = tier;
        albumState().stVideoRatio = AVRational{num, den};
        updateExportSize();
        QCOMPARE(QSize(albumState().iExportWidth, albumState().iExportHeight), expected);
    }

    void exportSizeUnknownTierKeepsHeight()
    {
        albumState().szExportResolution = QStringLiteral("720P");
        updateExportSize();
        albumState().szExportResolution = QStringLiteral("8K");
        albumState().stVideoRatio = AVRational{1, 1};
        updateExportSize();
        QCOMPARE(albumState().iExportHeight, 720);
    }

    void selfAdaptiveRatio()
    {
        // Empty album: the previous ratio stays.
        albumState().stVideoRatio = AVRational{2, 1};
        updateSelfAdaptiveRatio(0);
        QCOMPARE(albumState().stVideoRatio.num, 2);

        appendMaterial(makeImage("/photos/a.jpg", 4000, 3000));
        updateSelfAdaptiveRatio(3); // another combo entry: nothing happens
        QCOMPARE(albumState().stVideoRatio.num, 2);
        updateSelfAdaptiveRatio(0);
        QCOMPARE(albumState().stVideoRatio.num, 4);
        QCOMPARE(albumState().stVideoRatio.den, 3);

        albumState().mapImageSources["/photos/a.jpg"].iRotation = 1;
        updateSelfAdaptiveRatio(0);
        QCOMPARE(albumState().stVideoRatio.num, 3);
        QCOMPARE(albumState().stVideoRatio.den, 4);

        // A model row naming no material gives 16:9.
        m_model.item(0)->setText("/elsewhere.jpg");
        updateSelfAdaptiveRatio(0);
        QCOMPARE(albumState().stVideoRatio.num, 16);
        QCOMPARE(albumState().stVideoRatio.den, 9);
        m_model.item(0)->setText("/photos/a.jpg");
    }

    void watermarkPlacement_data()
    {
        QTest::addColumn<int>("pos");
        QTest::addColumn<QPoint>("expected");
        // 1920 x 1080 frame, 200 x 50 mark: margins 19 and 10, centre 860, 515.
        QTest::newRow("left top") << 1 << QPoint(19, 10);
        QTest::newRow("top") << 2 << QPoint(860, 10);
        QTest::newRow("right top") << 4 << QPoint(1701, 10);
        QTest::newRow("left") << 8 << QPoint(19, 515);
        QTest::newRow("centre") << 16 << QPoint(860, 515);
        QTest::newRow("right") << 32 << QPoint(1701, 515);
        QTest::newRow("left bottom") << 64 << QPoint(19, 1020);
        QTest::newRow("bottom") << 128 << QPoint(860, 1020);
        QTest::newRow("right bottom") << 256 << QPoint(1701, 1020);
        QTest::newRow("unknown code") << 3 << QPoint(0, 0);
    }

    void watermarkPlacement()
    {
        QFETCH(int, pos);
        QFETCH(QPoint, expected);
        const QRect st = placeWatermark(200, 50, pos, 1920, 1080);
        QCOMPARE(st.topLeft(), expected);
        QCOMPARE(st.size(), QSize(200, 50));
    }

    void imageWatermarkRectangle()
    {
        const QRect st = imageWatermarkRect(1274, 418, 256, 1920, 1080);
        QCOMPARE(st.size(), QSize(334, 110));
        QCOMPARE(st.topLeft(), QPoint(1920 - 19 - 334, 1080 - 10 - 110));
        // 9:16 frame: 0.414 of the width; a square mark fits a square box.
        QCOMPARE(imageWatermarkRect(100, 100, 1, 608, 1080).size(), QSize(250, 250));
        // 2:1 frame: 0.21 of the width.
        QCOMPARE(imageWatermarkRect(100, 100, 1, 960, 480).size(), QSize(200, 200));
        // 4:3 frame: 0.311.
        QCOMPARE(imageWatermarkRect(200, 100, 1, 960, 720).size(), QSize(298, 148));
        // A broken picture size places an empty mark instead of dividing by zero.
        QCOMPARE(imageWatermarkRect(0, 0, 1, 1920, 1080).size(), QSize(0, 0));
    }

    void textWatermarkRectangle()
    {
        QFont font(QStringLiteral("Microsoft YaHei UI"));
        font.setPixelSize(48);
        QCOMPARE(textWatermarkRect(QString(), font, 256, 1920, 1080).size(), QSize(0, 0));
        const QRect st = textWatermarkRect(QStringLiteral("Pictora"), font, 256, 1920, 1080);
        QCOMPARE(st.size(), QFontMetrics(font).boundingRect(QStringLiteral("Pictora")).size());
        QVERIFY(st.width() > 0);
        QCOMPARE(st.right() + 1, 1920 - 19);
        QCOMPARE(st.bottom() + 1, 1080 - 10);
    }

    void appendKeepsInvariants()
    {
        appendMaterial(makeImage("/p/1.jpg"));
        checkInvariants();
        QCOMPARE(albumState().iTotalDuration, 3000000LL);
        appendMaterial(makeVideo("/p/2.mp4", 5500000));
        appendMaterial(makeImage("/p/3.png"));
        checkInvariants();
        QCOMPARE(albumState().iTotalDuration, 3000000LL + 5500000 + 3000000 + 2 * 2000000);
        QCOMPARE(m_model.item(1)->data(Qt::UserRole).toInt(), int(SourceVideo));
        // Start time in the record's own time base, taken before its transition.
        const ImageSource &stVideo = albumState().mapImageSources["/p/2.mp4"];
        QCOMPARE(stVideo.iStartTime, 3LL * 90000);
        QCOMPARE(stVideo.iEndTime, stVideo.iStartTime + stVideo.iDuration);
        QCOMPARE(albumState().listTransitions.at(0).iStartTime, 3000000LL);
        QCOMPARE(albumState().listTransitions.at(0).iDuration, 2000000LL);
    }

    void threeImagesLastThirteenSeconds()
    {
        for (int i = 0; i < 3; ++i)
            appendMaterial(makeImage(QStringLiteral("/p/%1.jpg").arg(i)));
        QCOMPARE(albumState().iTotalDuration, 13000000LL);
    }

    // The whole second that brings the album, transitions and clips
    // counted, closest to the music; it follows the album.
    void imageDurationForMusic()
    {
        for (int i = 0; i < 3; ++i)
            appendMaterial(makeImage(QStringLiteral("/p/%1.jpg").arg(i)));
        QCOMPARE(imageSecondsForMusic(19000000), 5);      // 3 x 5 + 2 x 2
        QCOMPARE(imageSecondsForMusic(200000000), 60);    // bounded
        QCOMPARE(imageSecondsForMusic(3000000), 1);
        QCOMPARE(imageSecondsForMusic(0), 3);             // unknown length: as it is
        appendMaterial(makeImage("/p/3.jpg"));
        QCOMPARE(imageSecondsForMusic(19000000), 3);      // (19 - 6) / 4 = 3.25
        appendMaterial(makeVideo("/p/clip.mp4", 5500000));
        // A 5.5 s clip and 4 transitions are 13.5 s: (20 - 13.5) / 4 = 1.6.
        QCOMPARE(imageSecondsForMusic(20000000), 2);
        setImageDurationSeconds(imageSecondsForMusic(20000000));
        QCOMPARE(albumState().iTotalDuration, int64_t(4 * 2000000 + 5500000 + 4 * 2000000));
        // A photo's own 10 s stay: the other three follow the music alone,
        // (41.5 - 10 - 5.5 - 8) / 3 = 6; and it moves over its own 10 s.
        QVERIFY(setMaterialOwnDuration("/p/0.jpg", 10000000));
        QCOMPARE(imageSecondsForMusic(41500000), 6);
        albumState().iMotion = MotionGentle;
        const recipes::AlbumTimeline stTimeline(albumState(), AVRational{25, 1});
        int64_t iFirst = -1, iFrames = 0;
        QVERIFY(stTimeline.screenFrames(0, &iFirst, &iFrames));
        QCOMPARE(iFirst, 0);
        QCOMPARE(iFrames, 10 * 25 + 2 * 25);   // and the transition after it
    }

    void materialEndPositions()
    {
        appendMaterial(makeImage("/p/a.jpg"));
        appendMaterial(makeVideo("/p/b.mp4", 10000000));
        appendMaterial(makeImage("/p/c.jpg"));
        appendMaterial(makeVideo("/p/d.mp4", 1234567));
        QCOMPARE(materialEndPosition(0), 3000000LL);
        QCOMPARE(materialEndPosition(1), 3000000LL + 2000000 + 10000000);
        QCOMPARE(materialEndPosition(2), 15000000LL + 2000000 + 3000000);
        QCOMPARE(materialEndPosition(3), 20000000LL + 2000000 + 1234567);
        QCOMPARE(materialEndPosition(3), albumState().iTotalDuration);
        // Image duration changes move later materials; the records' own start
        // and end times are not used.
        setImageDurationSeconds(5);
        QCOMPARE(materialEndPosition(0), 5000000LL);
        QCOMPARE(materialEndPosition(3), albumState().iTotalDuration);
        QCOMPARE(materialEndPosition(-1), 0LL);
    }

    void imageDurationChange()
    {
        for (int i = 0; i < 4; ++i)
            appendMaterial(makeImage(QStringLiteral("/p/%1.jpg").arg(i)));
        appendMaterial(makeVideo("/p/v.mp4", 7000000));
        const int64_t iBefore = albumState().iTotalDuration;
        AlbumEditLock lock; // the helper must not lock again
        setImageDurationSeconds(5);
        QCOMPARE(albumState().iTotalDuration - iBefore, 8000000LL);
        QCOMPARE(albumState().iImageDuration, 5000000LL);
        checkInvariants();
        setImageDurationSeconds(1);
        QCOMPARE(albumState().iTotalDuration - iBefore, -8000000LL);
    }

    void clearClosesFilesAndKeepsSettings()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        const int iBaseline = openFdCount();
        ImageSource st = makeImage(file.fileName());
        st.pFile = openHeldFile(file.fileName());
        QVERIFY(st.pFile);
        appendMaterial(st);
        QCOMPARE(openFdCount(), iBaseline + 1);
        albumState().szWatermarkText = QStringLiteral("mark");
        setImageDurationSeconds(7);
        clearAlbum();
        QCOMPARE(openFdCount(), iBaseline);
        QCOMPARE(albumState().iTotalDuration, 0LL);
        QCOMPARE(albumState().iImageDuration, 3000000LL);
        QCOMPARE(m_model.rowCount(), 0);
        QCOMPARE(albumState().szWatermarkText, QStringLiteral("mark"));
        checkInvariants();
    }

    void heldFilesAreReadOnly()
    {
        // Read-only media must be accepted.
        QTemporaryDir dir;
        const QString szPath = dir.filePath(QStringLiteral("ro \"quoted\" 照片.jpg"));
        QFile f(szPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.close();
        QVERIFY(QFile::setPermissions(szPath, QFileDevice::ReadOwner));
        FILE *p = openHeldFile(szPath);
        QVERIFY(p);
        closeHeldFile(p);
        QVERIFY(!p);
    }

    void metaTypesTravelInQueuedSignals()
    {
        registerAlbumMetaTypes();
        QVERIFY(QMetaType::type("ImageSource") != QMetaType::UnknownType);
        QVERIFY(QMetaType::type("AVRational") != QMetaType::UnknownType);
        QVERIFY(QMetaType::type("int64_t") != QMetaType::UnknownType);
        QVERIFY(QMetaType::type("QList<QUrl>") != QMetaType::UnknownType);
        const ImageSource st = makeImage("/p/x.jpg");
        const QVariant v = QVariant::fromValue(st);
        QCOMPARE(v.value<ImageSource>().szFilePath, st.szFilePath);
        QCOMPARE(v.value<ImageSource>().stWidthToHeight.num, 4);
    }
};

QTEST_MAIN(TestAlbumState)
#include "tst_albumstate.moc"
