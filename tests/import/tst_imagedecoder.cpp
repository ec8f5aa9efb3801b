#include "album/AlbumProjectState.h"
#include "album/MaterialTypes.h"
#include "common/TestMedia.h"
#include "common/TestSupport.h"
#include "import/CQSql.h"
#include "import/ImageDecoder.h"
#include "import/ImportTestSupport.h"
#include "import/MaterialAppender.h"
#include "import/MaterialImport.h"
#include "media/ffmpeg/SizeMath.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <fcntl.h>

extern "C" {
#include <libavutil/error.h>
}

using namespace importtest;

namespace {

const QString kTable = QString::fromLatin1(CQSql::kTableName);
const QString kPathColumn = QString::fromLatin1(CQSql::kColumnPath);
const QString kFlagColumn = QString::fromLatin1(CQSql::kColumnFlag);
// Rows an import stores for an image and for a video.
const int kImportRows = ImageDecoder::importedTiers(SourceImage).size();
const int kVideoRows = 2 * ImageDecoder::importedTiers(SourceVideo).size();

QString errorText(int iCode)
{
    char sz[64] = {0};
    av_strerror(iCode, sz, sizeof(sz));
    return QString::fromUtf8(sz);
}

bool makeStill(const QString &szPath, const QString &szSource, QString *pszError)
{
    return testsupport::ffmpeg({"-f", "lavfi", "-i", szSource, "-frames:v", "1", szPath}, pszError);
}

QImage storedPicture(const QString &szKey)
{
    ThumbnailRecord stRecord;
    if (!CQSql::instance().findImage(kTable, kFlagColumn, szKey, stRecord))
        return QImage();
    return CQSql::recordImage(stRecord);
}

} // namespace

class TestImageDecoder : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QStandardItemModel m_model;
    QString m_szDb;
    QString path(const QString &szName) const { return m_dir.filePath(szName); }

    // Starts a batch of inputs while holding the store's lock, which stops
    // the batch at its first insert at the latest; returns once a file is
    // being decoded, the lock still held.
    static void startBatchHeldAtTheStore(DecoderRig &rig, const QStringList &inputs)
    {
        const int iDecodedBefore = rig.pDecoder->decodedFileCount();
        albumState().mutexThumbnailStore.lock();
        rig.pDecoder->setRunning(true);
        emit rig.pDecoder->sig_setFileList(QList<QString>(inputs));
        emit rig.pDecoder->sig_batchDecode();
        QElapsedTimer deadline;
        deadline.start();
        while (rig.pDecoder->decodedFileCount() == iDecodedBefore && deadline.elapsed() < kDeadlineMs)
            QThread::msleep(1);
    }

    // What the editor does when the album is cleared.
    void resetAlbum()
    {
        clearAlbum();
        QVERIFY(CQSql::instance().clearTable(kTable));
        applyEditorDefaults();
        QVERIFY(albumState().mapImageSources.isEmpty());
        QCOMPARE(m_model.rowCount(), 0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("xdg")));
        startThumbnailStore();
        m_szDb = CQSql::instance().databasePath();
        QVERIFY(m_szDb.startsWith(path("xdg")));
        QVERIFY(CQSql::instance().isOpen());
        albumState().pImageListModel = &m_model;
        applyEditorDefaults();
        registerAlbumMetaTypes();

        QString e;
        QVERIFY2(makeStill(path("img1.jpg"), "testsrc2=s=320x240", &e), qPrintable(e));
        QVERIFY2(makeStill(path("img2.jpg"), "mandelbrot=s=320x240", &e), qPrintable(e));
        QVERIFY2(makeStill(path("img3.png"), "smptebars=s=320x240", &e), qPrintable(e));
        // Four solid quarters: red, green / blue, white.
        QVERIFY2(makeStill(path("quad.png"),
                           "color=c=red:s=640x480,drawbox=x=320:y=0:w=320:h=240:c=lime:t=fill,"
                           "drawbox=x=0:y=240:w=320:h=240:c=blue:t=fill,drawbox=x=320:y=240:w=320:h=240:c=white:t=fill",
                           &e),
                 qPrintable(e));
        // Half a second red, then half a second blue.
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=320x240:r=10:d=0.5", "-f", "lavfi", "-i",
                                      "color=c=blue:s=320x240:r=10:d=0.5", "-filter_complex", "[0][1]concat=n=2:v=1",
                                      "-c:v", "libx264", "-pix_fmt", "yuv420p", path("clip.mp4")},
                                     &e),
                 qPrintable(e));
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=3840x2160:r=25", "-frames:v", "2", "-c:v",
                                      "libx264", "-preset", "ultrafast", path("uhd.mp4")},
                                     &e),
                 qPrintable(e));
        // A phone's portrait clip: stored 2560x1440 with a quarter turn, shown 1440x2560.
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "color=s=2560x1440", "-frames:v", "1", path("wide.mp4")}, &e)
                     && testsupport::ffmpeg({"-i", path("wide.mp4"), "-c", "copy", "-metadata:s:v:0", "rotate=90",
                                             path("portrait.mp4")}, &e),
                 qPrintable(e));
        QVERIFY2(makeStill(path("p2000x3000.jpg"), "color=c=gray:s=2000x3000", &e), qPrintable(e));
        QVERIFY2(makeStill(path("p3000x2000.jpg"), "color=c=gray:s=3000x2000", &e), qPrintable(e));
        // Stored 3000x2000 but shown upright as 2000x3000.
        QVERIFY(testmedia::writeFile(path("turned.jpg"),
                                     testmedia::withExifOrientation(testmedia::readFile(path("p3000x2000.jpg")), 6,
                                                                    true, true)));
        // A 3840x2160 header followed by picture data that does not decode.
        QVERIFY2(makeStill(path("uhd_full.jpg"), "color=c=gray:s=3840x2160", &e), qPrintable(e));
        QByteArray jpeg = testmedia::readFile(path("uhd_full.jpg"));
        const int iSos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
        QVERIFY(iSos > 0);
        const int iSosLength = (quint8(jpeg[iSos + 2]) << 8) | quint8(jpeg[iSos + 3]);
        jpeg = jpeg.left(iSos + 2 + iSosLength) + QByteArray(4000, char(0x55)) + QByteArray("\xFF\xD9", 2);
        QVERIFY(testmedia::writeFile(path("uhd_garbage.jpg"), jpeg));
        // A raw H.264 stream: neither the stream nor the container knows its duration.
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=10:d=1", "-c:v", "libx264", "-f",
                                      "h264", path("noduration.dat")},
                                     &e),
                 qPrintable(e));
        // A container that claims a duration of 317 years.
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=10:d=1", "-c:v", "libx264",
                                      path("clip.mkv")},
                                     &e),
                 qPrintable(e));
        QByteArray mkv = testmedia::readFile(path("clip.mkv"));
        const int iDuration = mkv.indexOf(QByteArray("\x44\x89\x88", 3));
        QVERIFY(iDuration > 0);
        const double lfForged = 1e13;   // in milliseconds
        quint64 iBits;
        std::memcpy(&iBits, &lfForged, 8);
        for (int i = 0; i < 8; ++i)
            mkv[iDuration + 3 + i] = char((iBits >> (56 - 8 * i)) & 0xff);
        QVERIFY(testmedia::writeFile(path("forged.mkv"), mkv));
    }

    // The exit step: the file goes.
    void cleanupTestCase()
    {
        clearAlbum();
        albumState().pImageListModel = nullptr;
        QImage stFiller(480, 360, QImage::Format_ARGB32);
        stFiller.fill(Qt::red);
        QVERIFY(CQSql::instance().insertImage("/exit/a.jpg", "/exit/a.jpg480P", stFiller));
        QVERIFY(countRows(m_szDb) > 0);
        CQSql::instance().close();
        QVERIFY(!QFileInfo::exists(m_szDb));
    }

    // The check pass reads headers only: sizes come from QImageReader or the
    // container, and no picture is decoded.
    void checkPassFindsFourK()
    {
        resetAlbum();
        DecoderRig rig;
        struct Case { const char *szFile; bool bFourK; };
        const Case cases[] = {
            {"uhd.mp4", true},          {"p2000x3000.jpg", true}, {"p3000x2000.jpg", false},
            {"turned.jpg", true},       {"uhd_garbage.jpg", true}, {"img1.jpg", false},
            {"clip.mp4", false},        {"noduration.dat", false}, {"wide.mp4", false},
            {"portrait.mp4", true},
        };
        for (const Case &c : cases) {
            bool bFound = !c.bFourK;
            QVERIFY(rig.check({path(c.szFile)}, &bFound));
            QVERIFY2(bFound == c.bFourK, c.szFile);
        }
        bool bFound = true;
        QVERIFY(rig.check({}, &bFound));
        QVERIFY(!bFound);
        // Several files: one 4K among them is enough.
        QVERIFY(rig.check({path("img1.jpg"), path("clip.mp4"), path("uhd.mp4"), path("img2.jpg")}, &bFound));
        QVERIFY(bFound);

        // A plain file list only looks at supported names; a drop looks at everything.
        QVERIFY(QFile::copy(path("p2000x3000.jpg"), path("big.txt")));
        QVERIFY(rig.check({path("big.txt")}, &bFound));
        QVERIFY(!bFound);
        QVERIFY(rig.check({path("big.txt")}, &bFound, false, true));
        QVERIFY(bFound);
        QCOMPARE(rig.pDecoder->decodedFileCount(), 0);

        // The garbage picture really does not decode: the check never tried.
        QVERIFY(rig.check({path("uhd_garbage.jpg")}, &bFound));
        QVERIFY(rig.batch());
        QCOMPARE(rig.pDecoder->failedCount(), 1);
        QCOMPARE(rig.pDecoder->decodedFileCount(), 1);

        // A file that is already in the album is not examined again.
        QVERIFY(rig.import({path("p2000x3000.jpg")}));
        QCOMPARE(rig.pDecoder->succeededCount(), 1);
        QVERIFY(rig.check({path("p2000x3000.jpg"), path("p3000x2000.jpg")}, &bFound));
        QVERIFY(!bFound);
        resetAlbum();
    }

    void duplicatesCountOnce()
    {
        resetAlbum();
        DecoderRig rig;
        QVERIFY(rig.import({path("img1.jpg")}));
        QCOMPARE(rig.pDecoder->succeededCount(), 1);
        const AlbumProjectState &st = albumState();
        const QStringList order = st.listImageSourceOrder;
        const int64_t iTotal = st.iTotalDuration;
        const int iRows = countRows(m_szDb);

        // The same file again, also written another way.
        QVERIFY(rig.import({path("img1.jpg"), m_dir.path() + "/./sub/../img1.jpg"}));
        QCOMPARE(rig.pDecoder->duplicateCount(), 2);
        QCOMPARE(rig.pDecoder->succeededCount(), 0);
        QCOMPARE(rig.pDecoder->failedCount(), 0);
        QCOMPARE(rig.pDecoder->totalCount(), 2);
        QCOMPARE(st.listImageSourceOrder, order);
        QCOMPARE(st.iTotalDuration, iTotal);
        QCOMPARE(st.listTransitions.size(), 0);
        QCOMPARE(m_model.rowCount(), 1);
        QCOMPARE(countRows(m_szDb), iRows);
        QCOMPARE(rig.pDecoder->decodedFileCount(), 1);

        // Twice within one batch: decoded and stored once.
        QVERIFY(rig.import({path("img2.jpg"), path("img2.jpg")}));
        QCOMPARE(rig.pDecoder->succeededCount(), 1);
        QCOMPARE(rig.pDecoder->duplicateCount(), 1);
        QCOMPARE(countRows(m_szDb, kPathColumn, path("img2.jpg")), kImportRows);
        QCOMPARE(st.listImageSourceOrder, (QStringList{path("img1.jpg"), path("img2.jpg")}));
        QCOMPARE(albumInconsistency(&m_model), QString());
    }

    // a.JPG, b.mkv, c.3gp, d.txt and a hidden subfolder with e.png.
    void folderExample()
    {
        resetAlbum();
        const QString szRoot = path("example");
        QVERIFY(QDir().mkpath(szRoot + "/.hidden"));
        QVERIFY(QFile::copy(path("img1.jpg"), szRoot + "/a.JPG"));
        QString e;
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=10:d=1", "-c:v", "libx264",
                                      szRoot + "/b.mkv"}, &e), qPrintable(e));
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=176x144:r=10:d=1", "-c:v", "libx264",
                                      szRoot + "/c.3gp"}, &e), qPrintable(e));
        QVERIFY(testmedia::writeFile(szRoot + "/d.txt", "not a picture"));
        QVERIFY(QFile::copy(path("img3.png"), szRoot + "/.hidden/e.png"));

        QStringList expected;
        const QDir root(szRoot);
        for (const QString &szName : root.entryList(QDir::Files | QDir::Hidden, QDir::Unsorted)) {
            if (szName != "d.txt")
                expected.append(root.absoluteFilePath(szName));
        }
        expected.append(szRoot + "/.hidden/e.png");
        QCOMPARE(expected.size(), 4);

        DecoderRig rig;
        QVERIFY(rig.import({szRoot}, true));
        QCOMPARE(rig.pDecoder->totalCount(), 4);
        QCOMPARE(rig.pDecoder->succeededCount(), 4);
        QCOMPARE(rig.pDecoder->failedCount(), 0);
        QCOMPARE(albumState().listImageSourceOrder, expected);
        QCOMPARE(albumState().iVideoSourceCount, 2);
        QCOMPARE(albumInconsistency(&m_model), QString());
    }

    void timelineAndRecords()
    {
        resetAlbum();
        const AlbumProjectState &st = albumState();
        DecoderRig rig;
        rig.pAppender->attach(rig.pDecoder);   // a second attach must not double the records
        QVERIFY(rig.import({path("img1.jpg")}));
        QCOMPARE(st.iTotalDuration, int64_t(3000000));
        QCOMPARE(st.listTransitions.size(), 0);
        QVERIFY(rig.import({path("img2.jpg"), path("img3.png")}));
        QCOMPARE(st.iTotalDuration, int64_t(13000000));
        QCOMPARE(st.listTransitions.size(), 2);
        for (const TransitionSegment &seg : st.listTransitions) {
            QCOMPARE(seg.iDuration, int64_t(2000000));
            QVERIFY(seg.pEffect);
        }

        const ImageSource &stImage = st.mapImageSources.value(path("img3.png"));
        QCOMPARE(stImage.iSourceType, int(SourceImage));
        QCOMPARE(stImage.iDuration, int64_t(3));
        QCOMPARE(stImage.stTimeBase.num, 1);
        QCOMPARE(stImage.stTimeBase.den, 1);
        QCOMPARE(stImage.stSrcImageSize, QSize(320, 240));
        QCOMPARE(stImage.stWidthToHeight.num, 4);
        QCOMPARE(stImage.stWidthToHeight.den, 3);
        QCOMPARE(stImage.iRotation, int64_t(0));
        QCOMPARE(stImage.stPixmap.size(), QSize(106, 80));
        QVERIFY(stImage.pFile);
        QCOMPARE(fcntl(fileno(stImage.pFile), F_GETFL) & O_ACCMODE, O_RDONLY);

        QVERIFY(rig.import({path("clip.mp4")}));
        const ImageSource &stVideo = st.mapImageSources.value(path("clip.mp4"));
        QCOMPARE(stVideo.iSourceType, int(SourceVideo));
        QCOMPARE(av_rescale_q(stVideo.iDuration, stVideo.stTimeBase, AVRational{1, 1000}), int64_t(1000));
        QCOMPARE(st.iVideoSourceCount, int64_t(1));
        QCOMPARE(st.iTotalDuration, int64_t(13000000 + 2000000) + materialDuration(stVideo));
        QCOMPARE(stVideo.iStartTime, av_rescale_q(13000000, AVRational{1, 1000000}, stVideo.stTimeBase));

        QCOMPARE(m_model.rowCount(), 4);
        const QStandardItem *pItem = m_model.item(3);
        QCOMPARE(pItem->text(), path("clip.mp4"));
        QCOMPARE(pItem->data(Qt::UserRole).toInt(), int(SourceVideo));
        QCOMPARE(pItem->data(Qt::UserRole + 1).toInt(), 0);
        QCOMPARE(pItem->flags(), Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsEnabled);
        QCOMPARE(albumInconsistency(&m_model), QString());
        QCOMPARE(rig.pAppender->appendedCount(), 4);
        QCOMPARE(rig.pAppender->refusedCount(), 0);
    }

    void durationFaultsFail()
    {
        resetAlbum();
        DecoderRig rig;
        QVERIFY(rig.import({path("noduration.dat"), path("forged.mkv"), path("img1.jpg")}));
        QCOMPARE(rig.pDecoder->failedCount(), 2);
        QCOMPARE(rig.pDecoder->succeededCount(), 1);
        QCOMPARE(albumState().listImageSourceOrder, QStringList{path("img1.jpg")});
        QCOMPARE(countRows(m_szDb, kPathColumn, path("noduration.dat")), 0);

        DecodeLog log(rig.pDecoder);
        rig.pDecoder->setRunning(true);
        emit rig.pDecoder->sig_decode(path("noduration.dat"), true);
        emit rig.pDecoder->sig_decode(path("forged.mkv"), true);
        const QString szExpected = "Video duration is abnormal(" + errorText(AVERROR_INVALIDDATA) + ")";
        DecodeLog::Entry st = log.next();
        QVERIFY(!st.bDecoded);
        QCOMPARE(st.szFile, path("noduration.dat"));
        QCOMPARE(st.szError, szExpected);
        st = log.next();
        QCOMPARE(st.szFile, path("forged.mkv"));
        QCOMPARE(st.szError, szExpected);
    }

    void singleDecode()
    {
        resetAlbum();
        DecoderRig rig;
        QVERIFY(QFile::copy(path("quad.png"), path("watermark.png")));
        const QString szMark = path("watermark.png");
        DecodeLog log(rig.pDecoder);
        rig.pDecoder->setRunning(true);

        emit rig.pDecoder->sig_decode(szMark, true);
        DecodeLog::Entry st = log.next();
        QVERIFY(st.bDecoded);
        QCOMPARE(st.szFile, szMark);
        QVERIFY(st.stPixmap.isNull());
        QCOMPARE(st.stWidthToHeight.num, 4);
        QCOMPARE(st.stWidthToHeight.den, 3);
        QCOMPARE(st.stSize, QSize(640, 480));
        QCOMPARE(st.iSourceType, int(SourceImage));
        QCOMPARE(st.iDuration, int64_t(0));
        QCOMPARE(countRows(m_szDb, kPathColumn, szMark), 0);

        emit rig.pDecoder->sig_decode(szMark, false);
        st = log.next();
        QVERIFY(st.bDecoded);
        QCOMPARE(st.stPixmap.size(), QSize(106, 80));
        const QImage stThumb = st.stPixmap.toImage();
        QVERIFY(testmedia::colorNear(stThumb.pixel(20, 15), qRgb(255, 0, 0), 40));
        QVERIFY(testmedia::colorNear(stThumb.pixel(85, 65), qRgb(255, 255, 255), 40));
        QCOMPARE(countRows(m_szDb, kPathColumn, szMark), kImportRows);

        emit rig.pDecoder->sig_decode(path("clip.mp4"), true);
        st = log.next();
        QVERIFY(st.bDecoded);
        QCOMPARE(st.iSourceType, int(SourceVideo));
        QCOMPARE(av_rescale_q(st.iDuration, st.stTimeBase, AVRational{1, 1000}), int64_t(1000));

        QVERIFY(testmedia::writeFile(path("notes.txt"), "text"));
        emit rig.pDecoder->sig_decode(path("notes.txt"), true);
        st = log.next();
        QVERIFY(!st.bDecoded);
        QCOMPARE(st.szError, "(" + errorText(AVERROR(EINVAL)) + ")");

        QVERIFY(testmedia::writeFile(path("broken.jpg"), testmedia::readFile(path("img1.jpg")).left(600)));
        emit rig.pDecoder->sig_decode(path("broken.jpg"), true);
        st = log.next();
        QVERIFY(!st.bDecoded);
        QVERIFY2(st.szError.startsWith("Image decode failed("), qPrintable(st.szError));

        rig.pDecoder->setRunning(false, ImageDecoder::Job::SingleFile);
        emit rig.pDecoder->sig_decode(szMark, true);
        st = log.next();
        QVERIFY(!st.bDecoded);
        QCOMPARE(st.szError, "(" + errorText(AVERROR(EINTR)) + ")");
        QVERIFY(albumState().mapImageSources.isEmpty());
        QVERIFY(CQSql::instance().deleteImages(kTable, kPathColumn, szMark));
    }

    // Five rows per image and ten per video, with pictures that match the source.
    // A disk too full for the tier pictures: the materials still come into
    // the album (the store only loses its rows), and once there is room
    // again the store works on, its file intact.
    void fullDiskKeepsTheMaterials()
    {
        resetAlbum();
        // Compact the file first, so that new rows must make it grow.
        bool bCompacted = false;
        QVERIFY(withOwnConnection(m_szDb, [&](QSqlDatabase &db) {
            bCompacted = QSqlQuery(db).exec(QStringLiteral("VACUUM"));
        }));
        QVERIFY(bCompacted);
        const qint64 iSize = QFileInfo(m_szDb).size();

        DecoderRig rig;
        {
            testsupport::FileSizeLimit stLimit(static_cast<uint64_t>(iSize + 65536));
            QVERIFY(stLimit.isSet());
            QVERIFY(rig.import({path("quad.png"), path("clip.mp4")}));
        }
        QCOMPARE(rig.pDecoder->succeededCount(), 2);
        QCOMPARE(rig.pDecoder->failedCount(), 0);
        QCOMPARE(albumState().listImageSourceOrder,
                 (QList<QString>{QFileInfo(path("quad.png")).absoluteFilePath(),
                                 QFileInfo(path("clip.mp4")).absoluteFilePath()}));
        QCOMPARE(m_model.rowCount(), 2);
        // Even the smallest tier (480 x 360 BGRA, 675 KiB) did not fit.
        QCOMPARE(countRows(m_szDb), 0);
        QVERIFY(QFileInfo(m_szDb).size() <= iSize + 65536);

        QVERIFY(rig.import({path("img3.png")}));
        QCOMPARE(rig.pDecoder->succeededCount(), 1);
        QCOMPARE(countRows(m_szDb, kPathColumn, path("img3.png")), kImportRows);
        QVERIFY(!storedPicture(path("img3.png") + "480P").isNull());
        QString szIntegrity;
        QVERIFY(withOwnConnection(m_szDb, [&](QSqlDatabase &db) {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next())
                szIntegrity = query.value(0).toString();
        }));
        QCOMPARE(szIntegrity, QStringLiteral("ok"));
    }

    void tierRowsAndPixels()
    {
        resetAlbum();
        DecoderRig rig;
        QVERIFY(rig.import({path("quad.png"), path("clip.mp4")}));
        QCOMPARE(rig.pDecoder->succeededCount(), 2);
        QCOMPARE(countRows(m_szDb, kPathColumn, path("quad.png")), kImportRows);
        QCOMPARE(countRows(m_szDb, kPathColumn, path("clip.mp4")), kVideoRows);
        // A photo's largest tier is made when a preview first needs it, and kept.
        const auto &largest = ImageDecoder::tiers().first();
        AVFramePtr pTier = makeFramePtr();
        QCOMPARE(ImageDecoder::makeMissingTier(path("quad.png"), largest.first, largest.second, false, pTier.get()), 0);
        QCOMPARE(countRows(m_szDb, kPathColumn, path("quad.png")), 5);
        QCOMPARE(countRows(m_szDb, kPathColumn, path("clip.mp4")), 10);

        const QImage stSource = QImage(path("quad.png")).convertToFormat(QImage::Format_ARGB32);
        for (const auto &tier : ImageDecoder::tiers()) {
            const QSize stSize = fitLongerSide(640, 480, tier.second);
            ThumbnailRecord stRecord;
            QVERIFY(CQSql::instance().findImage(kTable, kFlagColumn, path("quad.png") + tier.first, stRecord));
            QCOMPARE(stRecord.imagePath, path("quad.png"));
            QCOMPARE(QSize(stRecord.imageWidth, stRecord.imageHeight), stSize);
            // Packed: far below the four bytes a pixel of raw BGRA.
            QVERIFY(stRecord.imageData.size() < stSize.width() * stSize.height());

            const QImage stTier = CQSql::recordImage(stRecord);
            const int w = stSize.width(), h = stSize.height();
            QVERIFY(testmedia::colorNear(stTier.pixel(w / 4, h / 4), qRgb(255, 0, 0), 30));
            QVERIFY(testmedia::colorNear(stTier.pixel(3 * w / 4, h / 4), qRgb(0, 255, 0), 30));
            QVERIFY(testmedia::colorNear(stTier.pixel(w / 4, 3 * h / 4), qRgb(0, 0, 255), 30));
            QVERIFY(testmedia::colorNear(stTier.pixel(3 * w / 4, 3 * h / 4), qRgb(255, 255, 255), 30));
            const double lfMean =
                testmedia::meanDifference(stTier, stSource.scaled(stSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            QVERIFY2(lfMean < 6.0, qPrintable(QString("%1: mean difference %2").arg(tier.first).arg(lfMean)));
            QVERIFY(storedPicture(path("quad.png") + tier.first + "_end").isNull());

            // The clip starts red and ends blue.
            const QImage stFirst = storedPicture(path("clip.mp4") + tier.first);
            const QImage stLast = storedPicture(path("clip.mp4") + tier.first + "_end");
            const QSize stClipSize = fitLongerSide(320, 240, tier.second);
            QCOMPARE(stFirst.size(), stClipSize);
            QCOMPARE(stLast.size(), stClipSize);
            QVERIFY(testmedia::colorNear(stFirst.pixel(stClipSize.width() / 2, stClipSize.height() / 2),
                                         qRgb(255, 0, 0), 40));
            QVERIFY(testmedia::colorNear(stLast.pixel(stClipSize.width() / 2, stClipSize.height() / 2),
                                         qRgb(0, 0, 255), 40));
        }
        ThumbnailRecord stRecord;
        QVERIFY(!CQSql::instance().findImage(kTable, kFlagColumn, path("quad.png") + "8K", stRecord));
        QVERIFY(!CQSql::instance().findImage(kTable, kFlagColumn, path("quad.png"), stRecord));

        // Deleting one material removes its rows only.
        QVERIFY(CQSql::instance().deleteImages(kTable, kPathColumn, path("quad.png")));
        QCOMPARE(countRows(m_szDb, kPathColumn, path("quad.png")), 0);
        QCOMPARE(countRows(m_szDb, kPathColumn, path("clip.mp4")), 10);
    }

    // Decoders give many pixel formats; every one ends as the same BGRA tiers.
    void pixelFormats_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("encode");
        QTest::addColumn<bool>("gray");
        QTest::newRow("palette png") << "pal.png" << QStringList{"-pix_fmt", "pal8"} << false;
        QTest::newRow("16-bit png") << "deep.png" << QStringList{"-pix_fmt", "rgb48be"} << false;
        QTest::newRow("png with alpha") << "alpha.png" << QStringList{"-pix_fmt", "rgba"} << false;
        QTest::newRow("gray png") << "gray.png" << QStringList{"-pix_fmt", "gray"} << true;
        QTest::newRow("4:4:4 jpeg") << "full.jpg" << QStringList{"-pix_fmt", "yuvj444p", "-q:v", "2"} << false;
        QTest::newRow("gif clip") << "anim.gif" << QStringList{} << false;
    }

    void pixelFormats()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, encode);
        QFETCH(bool, gray);
        resetAlbum();
        QString e;
        QVERIFY2(testsupport::ffmpeg(QStringList{"-i", path("quad.png")} + encode + QStringList{path(file)}, &e),
                 qPrintable(e));
        DecoderRig rig;
        QVERIFY(rig.import({path(file)}));
        QCOMPARE(rig.pDecoder->succeededCount(), 1);
        const bool bVideo = classifyMaterial(file) == SourceVideo;
        QCOMPARE(countRows(m_szDb, kPathColumn, path(file)), bVideo ? kVideoRows : kImportRows);
        auto expect = [gray](QRgb c) { return gray ? qRgb(qGray(c), qGray(c), qGray(c)) : c; };
        for (const QString &szKey : bVideo ? QStringList{"2K", "480P", "480P_end"} : QStringList{"2K", "480P"}) {
            const QImage stTier = storedPicture(path(file) + szKey);
            const int w = stTier.width(), h = stTier.height();
            QCOMPARE(stTier.size(), fitLongerSide(640, 480, szKey.startsWith("2K") ? 1600 : 480));
            QVERIFY2(testmedia::colorNear(stTier.pixel(w / 4, h / 4), expect(qRgb(255, 0, 0)), 40), qPrintable(szKey));
            QVERIFY(testmedia::colorNear(stTier.pixel(3 * w / 4, h / 4), expect(qRgb(0, 255, 0)), 40));
            QVERIFY(testmedia::colorNear(stTier.pixel(w / 4, 3 * h / 4), expect(qRgb(0, 0, 255)), 40));
            QVERIFY(testmedia::colorNear(stTier.pixel(3 * w / 4, 3 * h / 4), qRgb(255, 255, 255), 40));
            QCOMPARE(qAlpha(stTier.pixel(w / 2, h / 2)), 255);
        }
        QCOMPARE(albumState().mapImageSources.value(path(file)).stPixmap.size(), QSize(106, 80));
    }

    // Dropped URLs: local files by their path; anything else fails.
    void urlInputs()
    {
        resetAlbum();
        DecoderRig rig;
        rig.pDecoder->setRunning(true);
        // A folder list first: the URL list replaces it.
        emit rig.pDecoder->sig_setFileDir(QList<QString>{m_dir.path()});
        emit rig.pDecoder->sig_setFileList(QList<QUrl>{QUrl::fromLocalFile(path("img2.jpg")),
                                                       QUrl("https://example.com/remote.jpg"),
                                                       QUrl::fromLocalFile(path("img1.jpg"))});
        QVERIFY(waitUntil([&] { return rig.pDecoder->totalCount() == 3; }));
        QVERIFY(rig.batch());
        QCOMPARE(rig.pDecoder->succeededCount(), 2);
        QCOMPARE(rig.pDecoder->failedCount(), 1);
        QCOMPARE(albumState().listImageSourceOrder, (QStringList{path("img2.jpg"), path("img1.jpg")}));
    }

    void awkwardPathIsStoredAndFound()
    {
        resetAlbum();
        const QString szFolder = path("my photos 我的照片");
        QVERIFY(QDir().mkpath(szFolder));
        const QString szFile = szFolder + "/say \"cheese\" 照片.jpg";
        QVERIFY(QFile::copy(path("img1.jpg"), szFile));
        DecoderRig rig;
        QVERIFY(rig.import({szFile}));
        QCOMPARE(rig.pDecoder->succeededCount(), 1);
        QCOMPARE(albumState().listImageSourceOrder, QStringList{szFile});
        QCOMPARE(m_model.item(0)->text(), szFile);
        QCOMPARE(countRows(m_szDb, kPathColumn, szFile), kImportRows);
        const QImage st1080 = storedPicture(szFile + "1080P");
        QCOMPARE(st1080.size(), QSize(1080, 810));
        QVERIFY(storedPicture(szFile + "720P").size() == QSize(720, 540));
    }

    // Clearing the running flag while files are being decoded: they end
    // with -4, count nowhere, the files not started are left alone and the
    // end of the batch is still reported.
    void interruptDuringAFile()
    {
        resetAlbum();
        DecoderRig rig;
        QStringList inputs;
        for (int i = 0; i < ImageDecoder::parallelFiles() + 2; ++i) {
            inputs << path(QStringLiteral("interrupted%1.jpg").arg(i));
            QVERIFY(QFile::exists(inputs.last()) || QFile::copy(path("img1.jpg"), inputs.last()));
        }
        const int iRowsBefore = countRows(m_szDb);
        const int iDecodedBefore = rig.pDecoder->decodedFileCount();
        SignalCount finished(rig.pDecoder, &ImageDecoder::sig_batchDecodeFinished);
        startBatchHeldAtTheStore(rig, inputs);
        rig.pDecoder->setRunning(false);
        albumState().mutexThumbnailStore.unlock();

        QVERIFY(finished.waitFor(1));
        QCOMPARE(rig.pDecoder->succeededCount(), 0);
        QCOMPARE(rig.pDecoder->failedCount(), 0);
        QCOMPARE(rig.pDecoder->duplicateCount(), 0);
        QCOMPARE(rig.pDecoder->totalCount(), inputs.size());
        QVERIFY(rig.pDecoder->decodedFileCount() <= iDecodedBefore + ImageDecoder::parallelFiles());
        QVERIFY(albumState().mapImageSources.isEmpty());
        QCOMPARE(m_model.rowCount(), 0);
        // The interrupted file left no tier pictures behind.
        QCOMPARE(countRows(m_szDb), iRowsBefore);
    }

    void interruptBetweenFiles()
    {
        resetAlbum();
        DecoderRig rig;
        // Runs in the worker right after the second material is handed over.
        int iHanded = 0;
        QObject::connect(rig.pDecoder, &ImageDecoder::sig_materialDecoded, rig.pDecoder,
                         [&](const DecodedMaterial &) {
                             if (++iHanded == 2)
                                 rig.pDecoder->setRunning(false);
                         },
                         Qt::DirectConnection);
        SignalCount finished(rig.pDecoder, &ImageDecoder::sig_batchDecodeFinished);
        rig.pDecoder->setRunning(true);
        emit rig.pDecoder->sig_setFileList(QList<QString>{path("img1.jpg"), path("img2.jpg"), path("img3.png"),
                                                          path("quad.png")});
        emit rig.pDecoder->sig_batchDecode();
        QVERIFY(finished.waitFor(1));
        QCOMPARE(rig.pDecoder->succeededCount(), 2);
        QCOMPARE(rig.pDecoder->failedCount(), 0);
        QCOMPARE(albumState().listImageSourceOrder, (QStringList{path("img1.jpg"), path("img2.jpg")}));
        QCOMPARE(albumInconsistency(&m_model), QString());
    }

    // The watermark check and the import stop on their own: a slow check
    // whose answer is handled (its stop state cleared, as the editor does)
    // only after an import started leaves the import to bring in all its files.
    void watermarkCheckRacingAnImport()
    {
        resetAlbum();
        DecoderRig rig;
        DecodeLog log(rig.pDecoder);
        rig.pDecoder->setRunning(true, ImageDecoder::Job::SingleFile);
        emit rig.pDecoder->sig_decode(path("quad.png"), true);
        QVERIFY(log.next().bDecoded);

        // Held at the store, the batch surely runs when the check's answer is handled.
        SignalCount finished(rig.pDecoder, &ImageDecoder::sig_batchDecodeFinished);
        const QStringList inputs{path("img1.jpg"), path("img2.jpg"), path("img3.png"), path("quad.png")};
        startBatchHeldAtTheStore(rig, inputs);
        rig.pDecoder->setRunning(false, ImageDecoder::Job::SingleFile);
        albumState().mutexThumbnailStore.unlock();

        QVERIFY(finished.waitFor(1));
        QCOMPARE(rig.pDecoder->succeededCount(), inputs.size());
        QCOMPARE(albumState().listImageSourceOrder, inputs);
        // Stopped, the single decodes refuse work until set running again.
        emit rig.pDecoder->sig_decode(path("img1.jpg"), true);
        QVERIFY(!log.next().bDecoded);
    }

    // Many small files while the GUI thread keeps reading the album: every
    // read sees a consistent album, and every append happens on this thread.
    void guiReadsStayConsistent()
    {
        resetAlbum();
        const QString szFolder = path("many");
        QVERIFY(QDir().mkpath(szFolder));
        QStringList inputs;
        // Every picture, however small, stores its tiers at up to 2200 pixels: a dozen is plenty.
        for (int i = 0; i < 12; ++i) {
            QImage stImage(48 + 2 * i, 32 + i, QImage::Format_RGB32);
            stImage.fill(QColor::fromHsv((i * 15) % 360, 200, 220));
            const QString szFile = QString("%1/m%2.%3").arg(szFolder).arg(i, 2, 10, QChar('0')).arg(i % 2 ? "png" : "jpg");
            QVERIFY(stImage.save(szFile));
            inputs.append(szFile);
        }

        int iWrongThread = 0;
        const QMetaObject::Connection rowsConnection =
            connect(&m_model, &QStandardItemModel::rowsInserted, this, [&iWrongThread]() {
                if (QThread::currentThread() != qApp->thread())
                    ++iWrongThread;
            }, Qt::DirectConnection);

        DecoderRig rig;
        int iReads = 0;
        int iLastDone = 0;
        QString szFirstProblem;
        QTimer reader;
        reader.setInterval(0);
        connect(&reader, &QTimer::timeout, this, [&]() {
            ++iReads;
            const QString szProblem = albumInconsistency(&m_model);
            if (!szProblem.isEmpty() && szFirstProblem.isEmpty())
                szFirstProblem = szProblem;
            // The progress the editor polls.
            const int iDone = rig.pDecoder->succeededCount() + rig.pDecoder->failedCount()
                              + rig.pDecoder->duplicateCount();
            if (szFirstProblem.isEmpty() && (iDone < iLastDone || iDone > rig.pDecoder->totalCount()))
                szFirstProblem = QString("progress %1 after %2 of %3").arg(iDone).arg(iLastDone).arg(rig.pDecoder->totalCount());
            iLastDone = iDone;
            if (szFirstProblem.isEmpty() && albumState().listImageSourceOrder.size() > rig.pDecoder->succeededCount())
                szFirstProblem = "more materials than successes";
        });
        reader.start();
        bool bFound = true;
        QVERIFY(rig.check(inputs, &bFound));
        QVERIFY(!bFound);
        QVERIFY(rig.batch());
        reader.stop();
        disconnect(rowsConnection);

        QVERIFY(iReads > 0);
        QVERIFY2(szFirstProblem.isEmpty(), qPrintable(szFirstProblem));
        QCOMPARE(iWrongThread, 0);
        QCOMPARE(rig.pDecoder->succeededCount(), 12);
        QCOMPARE(rig.pAppender->appendedCount(), 12);
        QCOMPARE(albumState().listImageSourceOrder, inputs);
        QCOMPARE(albumState().iTotalDuration, int64_t(12 * 3 + 11 * 2) * 1000000);
        QCOMPARE(albumInconsistency(&m_model), QString());
    }

    // A record for a path the album already holds is refused and its file closed.
    void appenderRefusesWhatTheAlbumHolds()
    {
        resetAlbum();
        DecoderRig rig;
        QVERIFY(rig.import({path("img1.jpg")}));
        QCOMPARE(openFdsUnder(path("img1.jpg")), 1);   // the album holds it
        const int64_t iTotal = albumState().iTotalDuration;
        {
            DecodedMaterial stMaterial;
            stMaterial.stSource.szFilePath = path("img1.jpg");
            stMaterial.stSource.iSourceType = SourceImage;
            stMaterial.pHeldFile.reset(new HeldMaterialFile(openHeldFile(path("img1.jpg"))));
            stMaterial.pCounts = rig.pDecoder->counts();
            stMaterial.iBatch = rig.pDecoder->counts()->iBatch.load();
            QCOMPARE(openFdsUnder(path("img1.jpg")), 2);
            rig.pAppender->appendDecoded(stMaterial);
        }
        QCOMPARE(openFdsUnder(path("img1.jpg")), 1);
        QCOMPARE(rig.pAppender->refusedCount(), 1);
        QCOMPARE(rig.pDecoder->succeededCount(), 0);
        QCOMPARE(rig.pDecoder->duplicateCount(), 1);
        QCOMPARE(albumState().listImageSourceOrder.size(), 1);
        QCOMPARE(albumState().iTotalDuration, iTotal);
    }

    // Records that never reach an appender (it is gone) close their files.
    void undeliveredRecordsCloseTheirFiles()
    {
        resetAlbum();
        QCOMPARE(openFdsUnder(path("img1.jpg")) + openFdsUnder(path("img2.jpg")), 0);
        ImageDecoder decoder;
        auto *pAppender = new MaterialAppender(&decoder);
        decoder.setRunning(true);
        decoder.setFileListImpl(QList<QString>{path("img1.jpg"), path("img2.jpg")});
        decoder.batchDecodeImpl();    // on this thread: the records wait in the queue
        QCOMPARE(decoder.succeededCount(), 2);
        QCOMPARE(openFdsUnder(path("img1.jpg")), 1);
        QCOMPARE(openFdsUnder(path("img2.jpg")), 1);
        delete pAppender;
        QCOMPARE(openFdsUnder(path("img1.jpg")) + openFdsUnder(path("img2.jpg")), 0);
        QVERIFY(albumState().mapImageSources.isEmpty());
        QCoreApplication::processEvents();
        QVERIFY(albumState().mapImageSources.isEmpty());
        QVERIFY(CQSql::instance().clearTable(kTable));
    }

    void closeEndsTheThread()
    {
        QThread thread;
        auto *pDecoder = new ImageDecoder;
        pDecoder->moveToThread(&thread);
        thread.start();
        emit pDecoder->sig_close(7);
        // Only the decoder's close ends the thread's event loop.
        QVERIFY(thread.wait(kDeadlineMs));
        QVERIFY(thread.isFinished());
        delete pDecoder;
    }
};

QTEST_MAIN(TestImageDecoder)
#include "tst_imagedecoder.moc"
