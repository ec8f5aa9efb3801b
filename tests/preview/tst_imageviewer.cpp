// The preview renderer against a recording player: sizes, covers that match
// the export's frames, real-time playback, seeks, pauses and call-offs.

#include "album/AlbumProjectState.h"
#include "common/ExportTestSupport.h"
#include "common/PreviewTestSupport.h"
#include "common/TestSupport.h"
#include "import/CQSql.h"
#include "import/ImageDecoder.h"
#include "import/MaterialImport.h"
#include "media/preview/ImageViewer.h"
#include "media/recipes/AlbumTimeline.h"

#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using previewtest::RecordingOutput;

class TestImageViewer : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    RecordingOutput m_output;
    QThread m_thread;
    ImageViewer *m_pViewer = nullptr;

    AlbumProjectState &st() { return albumState(); }
    // Returns once every job asked for so far has ended.
    void drainWorker() { QMetaObject::invokeMethod(m_pViewer, [] {}, Qt::BlockingQueuedConnection); }
    RecordingOutput::Picture cover(int64_t iPosition)
    {
        m_output.clear();
        st().iPreviewStartPos = iPosition;
        Q_EMIT m_pViewer->sig_changePreviewCover();
        drainWorker();
        const QVector<RecordingOutput::Picture> pictures = m_output.pictures();
        return pictures.size() == 1 ? pictures.first() : RecordingOutput::Picture{-1, 0, QSize(), QImage()};
    }
    // Seeks the way the editor does, right after a picture went out (so
    // that none is on its way: the first few may come at once while the
    // renderer catches up with the clock); the index the next picture will have.
    int seekTo(int64_t iMs)
    {
        const int iCount = std::max(m_output.pictures().size(), 2);
        if (!m_output.waitFor([&] { return m_output.pictures().size() > iCount; }, 5000))
            return -1;
        const int iMark = m_output.pictures().size();
        st().iPreviewStartPos = iMs * 1000;
        m_output.restartAt(iMs);
        m_pViewer->requestSeek();
        return iMark;
    }
    // From index iFrom on the pictures are iFirst and then later ones only
    // (at least iCount of them; late ones may be left out).
    static void checkRun(const QVector<RecordingOutput::Picture> &pictures, int iFrom, int64_t iFirst, int iCount)
    {
        QVERIFY2(pictures.size() >= iFrom + iCount, qPrintable(QString::number(pictures.size())));
        QCOMPARE(pictures.at(iFrom).iFrame, iFirst);
        for (int i = iFrom + 1; i < pictures.size(); ++i)
            QVERIFY(pictures.at(i).iFrame > pictures.at(i - 1).iFrame);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath("xdg")));
        registerAlbumMetaTypes();
        exporttest::resetAlbum(m_dir.path(), "export", "MP4", 25, 1920, 1080);
        // A wipe first, so that where its edge stands shows the frame.
        setTransitionPickerIndex(12);
        QStringList paths;
        for (const char *szColor : {"red", "green", "blue"}) {
            paths << m_dir.filePath(QString("%1.png").arg(szColor));
            QVERIFY(exporttest::makePicture(paths.last(), QString("color=c=%1:s=1920x1080").arg(szColor)));
        }
        // The editor's import: the tier pictures go into the store.
        QCOMPARE(importMaterials(paths).iSucceeded, 3);
        QCOMPARE(recipes::AlbumTimeline(st(), AVRational{25, 1}).totalFrames(), int64_t(325));
        st().pVideoPlay = &m_output;
        m_pViewer = new ImageViewer;
        m_pViewer->moveToThread(&m_thread);
        m_thread.start();
    }

    void cleanupTestCase()
    {
        Q_EMIT m_pViewer->sig_close(0);
        m_thread.wait();
        delete m_pViewer;
        st().pVideoPlay = nullptr;
    }

    // One picture per cover, at the export size divided by the divisor.
    void coverSizes()
    {
        const struct
        {
            int iWidth, iHeight, iScale;
            QSize stExpected;
        } cases[] = {{1920, 1080, 1, {1920, 1080}}, {1920, 1080, 2, {960, 540}}, {1920, 1080, 4, {480, 270}},
                     {1920, 1080, 6, {320, 180}},   {608, 1080, 6, {100, 180}}};
        // The import leaves out the largest tier; the first cover that needs it stores it.
        ThumbnailRecord stRecord;
        const QString szLargest = m_dir.filePath("red.png") + ImageDecoder::tiers().first().first;
        QVERIFY(!CQSql::instance().findImage(CQSql::kTableName, CQSql::kColumnFlag, szLargest, stRecord));
        m_output.keepImages(true);
        for (const auto &c : cases) {
            st().iExportWidth = c.iWidth;
            st().iExportHeight = c.iHeight;
            st().iPreviewScale = c.iScale;
            const RecordingOutput::Picture stCover = cover(0);
            QCOMPARE(stCover.iFrame, int64_t(0));
            QCOMPARE(stCover.stSize, c.stExpected);
            QVERIFY(testmedia::colorNear(stCover.stImage.pixel(c.stExpected.width() / 2, c.stExpected.height() / 2),
                                         qRgb(255, 0, 0), 12));
        }
        QVERIFY(CQSql::instance().findImage(CQSql::kTableName, CQSql::kColumnFlag, szLargest, stRecord));
        QCOMPARE(QSize(stRecord.imageWidth, stRecord.imageHeight), QSize(2200, 1236));
        QCOMPARE(cover(3520000).iFrame, int64_t(88));
        QCOMPARE(cover(10000000).iFrame, int64_t(250));
        QVERIFY(testmedia::colorNear(cover(10000000).stImage.pixel(50, 90), qRgb(0, 0, 255), 12));
        // At or past the end the last picture stays.
        QCOMPARE(cover(13000000).iFrame, int64_t(324));
    }

    // Covers show what the export writes, from the stored tier pictures and
    // from the files alike.
    void coversMatchTheExport()
    {
        st().iExportWidth = 852;
        st().iExportHeight = 480;
        st().iPreviewScale = 1;
        const exporttest::ExportResult stResult = exporttest::runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        m_output.keepImages(true);
        for (bool bStored : {true, false}) {
            if (!bStored)
                QVERIFY(CQSql::instance().clearTable(CQSql::kTableName));
            for (int iFrame : {0, 88, 100, 137, 260}) {
                const RecordingOutput::Picture stCover = cover(iFrame * 40000);
                QCOMPARE(stCover.iFrame, int64_t(iFrame));
                const QImage stExported = exporttest::decodeFrame(exporttest::outputPath(), iFrame, QSize(852, 480));
                const double lfPsnr = previewtest::psnr(stCover.stImage.convertToFormat(QImage::Format_RGB32),
                                                        stExported.convertToFormat(QImage::Format_RGB32));
                qInfo("frame %d %s: PSNR %.1f dB", iFrame, bStored ? "from the store" : "from the file", lfPsnr);
                QVERIFY2(lfPsnr > 35, qPrintable(QString::number(lfPsnr)));
            }
        }
        m_output.keepImages(false);
    }

    // From 0 at 1/2 on a real-time clock: every picture in order, none
    // before its time, to the end; then the job ends by itself.
    void playsToTheEnd()
    {
        st().iExportWidth = 1920;
        st().iExportHeight = 1080;
        st().iPreviewScale = 2;
        st().iPreviewStartPos = 0;
        m_output.clear();
        QSignalSpy finished(m_pViewer, &ImageViewer::sig_previewFinished);
        m_output.start(0);
        Q_EMIT m_pViewer->sig_previewVideo();
        QVERIFY(finished.wait(30000));
        const QVector<RecordingOutput::Picture> pictures = m_output.pictures();
        const recipes::AlbumTimeline stTimeline(st(), AVRational{25, 1});
        double lfLateSum = 0;
        for (int i = 0; i < pictures.size(); ++i) {
            QVERIFY(i == 0 || pictures.at(i).iFrame > pictures.at(i - 1).iFrame);
            QCOMPARE(pictures.at(i).stSize, QSize(960, 540));
            const int64_t iDue = stTimeline.frameStart(pictures.at(i).iFrame) / 1000;
            QVERIFY2(i == 0 || pictures.at(i).iAtMs >= iDue, qPrintable(QString::number(i)));
            lfLateSum += pictures.at(i).iAtMs - iDue;
        }
        const ImageViewer::Stats stStats = m_pViewer->lastStats();
        qInfo("%d of 325 pictures, %.1f ms after their time on average; pusher dropped %lld, handed %lld", int(pictures.size()),
              lfLateSum / pictures.size(), (long long)stStats.stPusher.iDropped, (long long)stStats.stPusher.iHanded);
        QCOMPARE(pictures.first().iFrame, int64_t(0));
        QCOMPARE(pictures.last().iFrame, int64_t(324));
        // Late pictures are left out; how many depends on the machine's load
        // (bench/bench_preview.sh measures the rate). Losing most of them is a fault.
        QVERIFY(pictures.size() >= 325 / 2);
        QVERIFY(pictures.last().iAtMs >= 12960);
        QVERIFY(!m_pViewer->isActive());
    }

    // A start inside the album, seeks back and forth, a pause with a seek,
    // and the end: each time the target picture comes next, then its followers.
    void startsSeeksAndPauses()
    {
        st().iPreviewScale = 4;
        st().iPreviewStartPos = 10000000;
        m_output.clear();
        QSignalSpy finished(m_pViewer, &ImageViewer::sig_previewFinished);
        QElapsedTimer stTimer;
        stTimer.start();
        m_output.start(10000);
        Q_EMIT m_pViewer->sig_previewVideo();
        QVERIFY(m_output.waitFor([&] { return !m_output.pictures().isEmpty(); }, 5000));
        qInfo("first picture after %lld ms", stTimer.elapsed());
        QCOMPARE(m_output.pictures().first().iFrame, int64_t(250));

        int iMark = seekTo(4000);
        QVERIFY(m_output.waitFor([&] { return m_output.pictures().size() >= iMark + 5; }, 5000));
        checkRun(m_output.pictures(), iMark, 100, 5);

        // Paused: only the picture the seek asks for.
        m_output.pause();
        m_pViewer->setPaused(true);
        QTest::qWait(200);
        m_output.clear();
        st().iPreviewStartPos = 6000000;
        m_output.restartAt(6000);
        m_pViewer->requestSeek();
        QVERIFY(m_output.waitFor([&] { return !m_output.pictures().isEmpty(); }, 5000));
        QTest::qWait(300);
        QCOMPARE(m_output.pictures().size(), 1);
        QCOMPARE(m_output.pictures().first().iFrame, int64_t(150));
        m_pViewer->setPaused(false);
        m_output.start(6000);

        iMark = seekTo(11000);
        // Once the last picture is queued, the renderer waits for the
        // pusher to hand out the rest; seeks still reach it then.
        QVERIFY(m_output.waitFor([&] { return m_output.pictures().last().iFrame >= 312; }, 5000));
        checkRun(m_output.pictures(), iMark, 275, 30);
        iMark = seekTo(12000);
        QVERIFY(finished.wait(10000));
        checkRun(m_output.pictures(), iMark, 300, 20);
        QCOMPARE(m_output.pictures().last().iFrame, int64_t(324));
        // Played to the end: the next preview starts at the beginning.
        QCOMPARE(st().iPreviewStartPos.load(), int64_t(0));
    }

    // A call-off reaches a job asked for before it, even one still queued,
    // and never one asked for after it.
    void callOffs()
    {
        st().iPreviewStartPos = 0;
        m_output.clear();
        m_output.start(0);
        QSemaphore stGate;
        QMetaObject::invokeMethod(m_pViewer, [&] { stGate.acquire(); }, Qt::QueuedConnection);
        QSignalSpy ended(m_pViewer, &ImageViewer::sig_previewFinished);
        Q_EMIT m_pViewer->sig_previewVideo();
        m_pViewer->abortPreview();
        Q_EMIT m_pViewer->sig_changePreviewCover();
        stGate.release();
        // The worker may end the job before this thread gets to wait for it.
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 5000);
        drainWorker();
        QCOMPARE(m_output.pictures().size(), 1);

        // A call-off while playing ends the job at once; the position stays.
        m_output.clear();
        st().iPreviewStartPos = 1000000;
        Q_EMIT m_pViewer->sig_previewVideo();
        QVERIFY(m_output.waitFor([&] { return m_output.pictures().size() > 3; }, 5000));
        m_pViewer->abortPreview();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 2, 5000);
        QCOMPARE(st().iPreviewStartPos.load(), int64_t(1000000));
    }

    // Inside an MPEG-TS clip (it starts at 1.4 s, has one key frame and
    // B-frames): covers, a start and a backward seek show the export's frames.
    void clipPicturesMatchTheExport()
    {
        const QString szClip = m_dir.filePath("counter.ts");
        QVERIFY(exporttest::makeClip(szClip, exporttest::counterSource(30, 6), QString(), {"-bf", "3", "-g", "300"}));
        exporttest::resetAlbum(m_dir.path(), "clips", "MP4", 25, 320, 180);
        exporttest::setImageDurationUs(1000000);
        QVERIFY(exporttest::appendImage(m_dir.filePath("red.png")));
        QVERIFY(exporttest::appendClip(szClip));
        QVERIFY(exporttest::appendImage(m_dir.filePath("blue.png")));
        st().iPreviewScale = 1;
        const exporttest::ExportResult stResult = exporttest::runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        const auto exported = [&](const RecordingOutput::Picture &stPicture) {
            const QImage stFrame = exporttest::decodeFrame(exporttest::outputPath(), int(stPicture.iFrame), QSize(320, 180));
            return previewtest::psnr(stPicture.stImage.convertToFormat(QImage::Format_RGB32),
                                     stFrame.convertToFormat(QImage::Format_RGB32));
        };
        m_output.keepImages(true);
        for (int iFrame : {75, 112, 187}) {
            const RecordingOutput::Picture stCover = cover(iFrame * 40000);
            QCOMPARE(stCover.iFrame, int64_t(iFrame));
            QVERIFY2(exported(stCover) > 35, qPrintable(QString::number(iFrame)));
        }

        QSignalSpy ended(m_pViewer, &ImageViewer::sig_previewFinished);
        m_output.clear();
        st().iPreviewStartPos = 187 * 40000;
        m_output.start(187 * 40);
        Q_EMIT m_pViewer->sig_previewVideo();
        const int iMark = seekTo(105 * 40);
        QVERIFY(m_output.waitFor([&] { return m_output.pictures().size() > iMark; }, 5000));
        m_pViewer->abortPreview();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 5000);
        const QVector<RecordingOutput::Picture> pictures = m_output.pictures();
        QCOMPARE(pictures.first().iFrame, int64_t(187));
        QVERIFY(exported(pictures.first()) > 35);
        QCOMPARE(pictures.at(iMark).iFrame, int64_t(105));
        QVERIFY(exported(pictures.at(iMark)) > 35);
        m_output.keepImages(false);
    }

    // Moving photos on a blurred backdrop and a tall clip framed the same
    // way: the preview at 1/2 shows the export's frames, inside the photos,
    // the transitions and the clip.
    void movingAndFramedPicturesMatchTheExport()
    {
        // Pictures as soft as photos are: the two renderers scale a sharp
        // pattern each their own way, whatever the looks.
        const QString szPhoto = m_dir.filePath("detail.jpg");
        const QString szClip = m_dir.filePath("tall.mp4");
        QVERIFY(exporttest::makePicture(szPhoto, "testsrc2=s=1600x1200,gblur=sigma=6"));
        QVERIFY(exporttest::makeClip(szClip, "testsrc2=s=360x640:r=25:d=2,gblur=sigma=4"));
        exporttest::resetAlbum(m_dir.path(), "looks", "MP4", 25, 1280, 720);
        QVERIFY(CQSql::instance().clearTable(CQSql::kTableName));
        QCOMPARE(importMaterials({szPhoto, szClip, m_dir.filePath("green.png")}).iSucceeded, 3);
        setImageDurationSeconds(2);
        st().iMotion = MotionGentle;
        st().iFraming = FramingBlur;
        st().iMotionSeed = 7;
        st().iPreviewScale = 2;
        const exporttest::ExportResult stResult = exporttest::runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        m_output.keepImages(true);
        // Photo, transition into the clip, clip, transition out, the moving green photo.
        for (int iFrame : {10, 70, 120, 170, 230}) {
            const RecordingOutput::Picture stCover = cover(iFrame * 40000);
            QCOMPARE(stCover.iFrame, int64_t(iFrame));
            // The export's frame brought to the preview's size by the ffmpeg CLI.
            const testsupport::ToolResult stScaled = testsupport::runTool(
                "ffmpeg", {"-hide_banner", "-loglevel", "error", "-i", exporttest::outputPath(), "-vf",
                           QString("select='eq(n\\,%1)',scale=640:360").arg(iFrame), "-frames:v", "1", "-f",
                           "rawvideo", "-pix_fmt", "rgb24", "-"});
            QCOMPARE(stScaled.stdOut.size(), 640 * 360 * 3);
            const QImage stExported(reinterpret_cast<const uchar *>(stScaled.stdOut.constData()), 640, 360, 640 * 3,
                                    QImage::Format_RGB888);
            const double lfPsnr = previewtest::psnr(stCover.stImage.convertToFormat(QImage::Format_RGB32),
                                                    stExported.convertToFormat(QImage::Format_RGB32));
            qInfo("frame %d: PSNR %.1f dB", iFrame, lfPsnr);
            QVERIFY2(lfPsnr >= 35, qPrintable(QString::number(lfPsnr)));
        }
        m_output.keepImages(false);
        st().iMotion = MotionNone;
        st().iFraming = FramingFit;
    }
};

QTEST_MAIN(TestImageViewer)
#include "tst_imageviewer.moc"
