#include "common/TestMedia.h"
#include "common/TestSupport.h"
#include "media/ffmpeg/EdgeFrames.h"
#include "media/ffmpeg/ExifOrientation.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/ImageConvert.h"
#include "media/ffmpeg/PictureOrientation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTransform>
#include <QtTest>

extern "C" {
#include <libavutil/display.h>
}

using namespace testmedia;

namespace {

// The stored picture as a viewer shows it for each EXIF orientation value,
// built with Qt's transforms (positive angles turn clockwise on screen).
QImage displayedAs(const QImage &stStored, int iOrientation)
{
    switch (iOrientation) {
    case 2:
        return stStored.mirrored(true, false);
    case 3:
        return stStored.mirrored(true, true);
    case 4:
        return stStored.mirrored(false, true);
    case 5:
        return stStored.mirrored(true, false).transformed(QTransform().rotate(270));
    case 6:
        return stStored.transformed(QTransform().rotate(90));
    case 7:
        return stStored.mirrored(true, false).transformed(QTransform().rotate(90));
    case 8:
        return stStored.transformed(QTransform().rotate(270));
    default:
        return stStored;
    }
}

// Decoded video frames as ffprobe counts them, read from its JSON (its CSV
// output carries extra fields for program streams).
int countFrames(const QString &szPath)
{
    const testsupport::ToolResult st = testsupport::runTool(
        "ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                    "stream=nb_read_frames", "-of", "json", szPath});
    const QJsonArray streams = QJsonDocument::fromJson(st.stdOut).object().value("streams").toArray();
    return streams.isEmpty() ? -1 : streams.first().toObject().value("nb_read_frames").toString().toInt();
}

} // namespace

class TestEdgeFrames : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path(const QString &szName) const { return m_dir.filePath(szName); }
    QString m_szMarked;     // 64x48 JPEG: blue, red block top-left, green block top-right
    QImage m_stStored;      // that picture decoded without any orientation
    QString m_szMarkedPng;  // the same picture as PNG
    QImage m_stStoredPng;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_szMarked = path("marked.jpg");
        QString szError;
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i",
                                      "color=c=blue:s=64x48,drawbox=x=0:y=0:w=16:h=12:c=red:t=fill,"
                                      "drawbox=x=48:y=0:w=16:h=12:c=lime:t=fill",
                                      "-frames:v", "1", "-q:v", "2", m_szMarked},
                                     &szError),
                 qPrintable(szError));
        AVFramePtr pFrame = makeFramePtr();
        QCOMPARE(decodeEdgeFrames(m_szMarked.toStdString(), pFrame.get()), 0);
        m_stStored = frameToImage(pFrame.get());
        QCOMPARE(m_stStored.size(), QSize(64, 48));
        // The markers are where the test expects them before any orientation.
        QVERIFY(colorNear(m_stStored.pixel(5, 5), qRgb(255, 0, 0), 40));
        QVERIFY(colorNear(m_stStored.pixel(58, 5), qRgb(0, 255, 0), 40));
        QVERIFY(colorNear(m_stStored.pixel(32, 30), qRgb(0, 0, 255), 40));

        m_szMarkedPng = path("marked.png");
        QVERIFY(testsupport::ffmpeg({"-i", m_szMarked, m_szMarkedPng}));
        QCOMPARE(decodeEdgeFrames(m_szMarkedPng.toStdString(), pFrame.get()), 0);
        m_stStoredPng = frameToImage(pFrame.get());
        QCOMPARE(m_stStoredPng.size(), QSize(64, 48));
    }

    void exifOrientationTurnsThePicture_data()
    {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("png");
        QTest::addColumn<bool>("bigEndian");
        QTest::addColumn<bool>("afterApp0");
        for (int v = 0; v <= 9; ++v) {
            QTest::addRow("jpeg %d big-endian after SOI", v) << v << false << true << false;
            QTest::addRow("jpeg %d little-endian after JFIF", v) << v << false << false << true;
            QTest::addRow("png %d", v) << v << true << (v % 2 == 0) << false;
        }
    }
    void exifOrientationTurnsThePicture()
    {
        QFETCH(int, orientation);
        QFETCH(bool, png);
        QFETCH(bool, bigEndian);
        QFETCH(bool, afterApp0);
        const QString szFile =
            path(QStringLiteral("o%1%2%3.%4").arg(orientation).arg(bigEndian).arg(afterApp0).arg(png ? "png" : "jpg"));
        const QByteArray data = png ? pngWithExifOrientation(readFile(m_szMarkedPng), orientation, bigEndian)
                                    : withExifOrientation(readFile(m_szMarked), orientation, bigEndian, afterApp0);
        QVERIFY(writeFile(szFile, data));
        const bool bTagged = orientation >= 1 && orientation <= 8;
        QCOMPARE(readExifOrientation(szFile.toStdString()), bTagged ? orientation : 0);

        AVFramePtr pFirst = makeFramePtr();
        AVFramePtr pLast = makeFramePtr();
        QCOMPARE(decodeEdgeFrames(szFile.toStdString(), pFirst.get(), pLast.get()), 0);
        const QImage stFirst = frameToImage(pFirst.get());
        const QImage stExpected = displayedAs(png ? m_stStoredPng : m_stStored, orientation);
        const bool bSwapped = orientation >= 5 && orientation <= 8;
        QCOMPARE(stFirst.size(), bSwapped ? QSize(48, 64) : QSize(64, 48));
        // Every pixel where Qt's own transform of the stored picture puts it
        // (a few levels of chroma rounding allowed for JPEG).
        const int iDiff = maxDifference(stFirst, stExpected);
        QVERIFY2(iDiff >= 0 && iDiff <= (png ? 0 : 16), qPrintable(QStringLiteral("max difference %1").arg(iDiff)));
        // A still picture's last frame is the same upright picture.
        QCOMPARE(frameToImage(pLast.get()), stFirst);
    }

    // A display matrix (libavutil's: a stored point (p, q) shows at
    // (a p + c q, b p + d q), y down) asks for the orientation that puts
    // every pixel where the matrix does, mirrorings included (the ffmpeg 5.1
    // CLI writes none); quarter turns compose with it.
    void displayMatrixOrientations()
    {
        QImage stStored(3, 2, QImage::Format_RGB32);
        for (int i = 0; i < 6; ++i)
            stStored.setPixel(i % 3, i / 3, qRgb(40 * i, 0, 0));
        QSet<int> seen;
        for (int iTurn = 0; iTurn < 16; ++iTurn) {
            int32_t m[9];
            av_display_rotation_set(m, 90 * (iTurn % 4));
            av_display_matrix_flip(m, iTurn & 4, iTurn & 8);
            const int a = m[0] >> 16, b = m[1] >> 16, c = m[3] >> 16, d = m[4] >> 16;
            QImage stShown(a ? QSize(3, 2) : QSize(2, 3), QImage::Format_RGB32);
            for (int i = 0; i < 6; ++i)
                stShown.setPixel(a * (i % 3) + c * (i / 3) + (a + c < 0 ? stShown.width() - 1 : 0),
                                 b * (i % 3) + d * (i / 3) + (b + d < 0 ? stShown.height() - 1 : 0),
                                 stStored.pixel(i % 3, i / 3));
            const int o = displayMatrixOrientation(m);
            seen.insert(o);
            QCOMPARE(displayedAs(stStored, o), stShown);
            QCOMPARE(displayedAs(stStored, turnedOrientation(o, iTurn)),
                     stShown.transformed(QTransform().rotate(90 * (iTurn % 4))));
        }
        QCOMPARE(seen.size(), 8);
    }

    void exifReaderRejectsMalformedBlocks()
    {
        const QByteArray good = exifTiffBlock(6, true);
        auto orientationOf = [](const QByteArray &block) {
            return exifOrientationFromTiff(reinterpret_cast<const uint8_t *>(block.constData()),
                                           static_cast<size_t>(block.size()));
        };
        QCOMPARE(orientationOf(good), 6);
        QCOMPARE(orientationOf(exifTiffBlock(3, false)), 3);
        QCOMPARE(orientationOf(good.left(good.size() - 8)), 0);         // entry cut short
        QCOMPARE(orientationOf(good.left(7)), 0);                       // header cut short
        QByteArray badOffset = good;
        badOffset[7] = char(200);                                       // IFD0 beyond the block
        QCOMPARE(orientationOf(badOffset), 0);
        QByteArray manyEntries = good;
        manyEntries[8] = char(0x7F);                                    // 32000-odd entries claimed
        QCOMPARE(orientationOf(manyEntries), 0);
        QByteArray badMagic = good;
        badMagic[3] = 43;
        QCOMPARE(orientationOf(badMagic), 0);
        QCOMPARE(orientationOf(exifTiffBlock(9, true)), 0);
        QCOMPARE(exifOrientationFromTiff(nullptr, 100), 0);

        // Files without EXIF, damaged ones and non-pictures.
        QCOMPARE(readExifOrientation(m_szMarked.toStdString()), 0);
        QCOMPARE(readExifOrientation(m_szMarkedPng.toStdString()), 0);
        QByteArray cut = withExifOrientation(readFile(m_szMarked), 6, true, false);
        QVERIFY(writeFile(path("cut.jpg"), cut.left(20)));
        QCOMPARE(readExifOrientation(path("cut.jpg").toStdString()), 0);
        QByteArray hugeSegment = cut;
        hugeSegment[4] = char(0xFF);                                    // APP1 length past the end
        QVERIFY(writeFile(path("long.jpg"), hugeSegment.left(200)));
        QCOMPARE(readExifOrientation(path("long.jpg").toStdString()), 0);
        QCOMPARE(readExifOrientation(path("missing.jpg").toStdString()), 0);
    }

    void jpegFirstAndLastAreTheSamePicture()
    {
        AVFramePtr pFirst = makeFramePtr();
        AVFramePtr pLast = makeFramePtr();
        QCOMPARE(decodeEdgeFrames(m_szMarked.toStdString(), pFirst.get(), pLast.get()), 0);
        QVERIFY(pFirst->data[0] && pLast->data[0]);
        QCOMPARE(frameToImage(pLast.get()), frameToImage(pFirst.get()));
        QCOMPARE(frameToImage(pFirst.get()), m_stStored);

        // Either destination alone.
        AVFramePtr pOnlyLast = makeFramePtr();
        QCOMPARE(decodeEdgeFrames(m_szMarked.toStdString(), nullptr, pOnlyLast.get()), 0);
        QCOMPARE(frameToImage(pOnlyLast.get()), m_stStored);
    }

    void clipLastFrameIsTheLastPicture_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<bool>("streamDurationMissing");
        QTest::addColumn<bool>("containerDurationKnown");
        QTest::newRow("mp4, stream duration") << "clip.mp4" << "libx264" << false << true;
        QTest::newRow("mkv, container duration only") << "clip.mkv" << "libx264" << true << true;
        QTest::newRow("raw h264, no duration") << "clip.h264" << "libx264" << true << false;
        QTest::newRow("mpeg-ts h264") << "clip.ts" << "libx264" << false << true;
        QTest::newRow("mpeg-ts mpeg2") << "clip2.ts" << "mpeg2video" << false << true;
        QTest::newRow("mpeg-ps mpeg2") << "clip.mpg" << "mpeg2video" << false << true;
        QTest::newRow("avi mpeg4") << "clip.avi" << "mpeg4" << false << true;
        QTest::newRow("mpeg-ts mpeg4") << "clip4.ts" << "mpeg4" << false << true;
        QTest::newRow("flv, container duration only") << "clip.flv" << "libx264" << true << true;
    }
    void clipLastFrameIsTheLastPicture()
    {
        QFETCH(QString, file);
        QFETCH(QString, codec);
        QFETCH(bool, streamDurationMissing);
        QFETCH(bool, containerDurationKnown);
        // 20 moving frames at 10 fps, a key frame every 5; a blue block marks
        // the first frame, a green one the last.
        const QString szClip = path(file);
        QString szError;
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i",
                                      "testsrc2=s=160x120:r=10:d=2,"
                                      "drawbox=w=80:h=60:c=blue:t=fill:enable='eq(n,0)',"
                                      "drawbox=w=80:h=60:c=lime:t=fill:enable='eq(n,19)'",
                                      "-c:v", codec, "-g", "5", "-bf", "2", "-pix_fmt", "yuv420p", szClip},
                                     &szError),
                 qPrintable(szError));
        const QJsonObject stProbe = testsupport::ffprobe(szClip);
        const QJsonObject stStream = testsupport::probeStream(stProbe, "video");
        QVERIFY(!stStream.isEmpty());
        const bool bStreamDuration = stStream.value("duration").toString().toDouble() > 0;
        const bool bFormatDuration = stProbe.value("format").toObject().value("duration").toString().toDouble() > 0;
        QCOMPARE(!bStreamDuration, streamDurationMissing);
        QCOMPARE(bFormatDuration, containerDurationKnown);
        QCOMPARE(countFrames(szClip), 20);
        // ffmpeg's own decoding of the whole file gives the true last picture.
        const QString szReference = path(file + "-last.png");
        QVERIFY(testsupport::ffmpeg({"-i", szClip, "-vf", "select=eq(n\\,19)", "-frames:v", "1", szReference}));
        const QImage stReference(szReference);
        QCOMPARE(stReference.size(), QSize(160, 120));

        AVFramePtr pFirst = makeFramePtr();
        AVFramePtr pLast = makeFramePtr();
        QCOMPARE(decodeEdgeFrames(szClip.toStdString(), pFirst.get(), pLast.get()), 0);
        QCOMPARE(pLast->width, 160);
        QCOMPARE(pLast->height, 120);
        QVERIFY(colorNear(frameToImage(pFirst.get()).pixel(40, 30), qRgb(0, 0, 255), 40));
        const QImage stLast = frameToImage(pLast.get());
        QVERIFY(colorNear(stLast.pixel(40, 30), qRgb(0, 255, 0), 40));
        const double lfDiff = meanDifference(stLast, stReference.convertToFormat(QImage::Format_ARGB32));
        QVERIFY2(lfDiff < 3.0, qPrintable(QStringLiteral("mean difference %1").arg(lfDiff)));
    }

    void argumentsAndStreams()
    {
        AVFramePtr pFrame = makeFramePtr();
        QCOMPARE(decodeEdgeFrames(m_szMarked.toStdString(), nullptr, nullptr), AVERROR(EINVAL));
        QCOMPARE(decodeEdgeFrames(std::string(), pFrame.get()), AVERROR(EINVAL));
        QVERIFY(decodeEdgeFrames(path("missing.jpg").toStdString(), pFrame.get()) < 0);

        const QString szSound = path("sound.wav");
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "sine=d=0.2", szSound}));
        QCOMPARE(decodeEdgeFrames(szSound.toStdString(), pFrame.get()), AVERROR_STREAM_NOT_FOUND);
        QCOMPARE(pFrame->width, 0);
    }

    void badFilesFailCleanly_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("zero bytes jpg") << "empty.jpg";
        QTest::newRow("zero bytes mp4") << "empty.mp4";
        QTest::newRow("text named jpg") << "text.jpg";
        QTest::newRow("truncated jpeg") << "truncated.jpg";
        QTest::newRow("truncated mp4") << "truncated.mp4";
        QTest::newRow("png claiming 60000x60000") << "huge.png";
    }
    void badFilesFailCleanly()
    {
        QFETCH(QString, file);
        const QString szFile = path(file);
        if (!QFile::exists(szFile)) {
            QVERIFY(writeFile(path("empty.jpg"), QByteArray()));
            QVERIFY(writeFile(path("empty.mp4"), QByteArray()));
            QVERIFY(writeFile(path("text.jpg"), QByteArray("This is not a picture.\n").repeated(20)));
            QVERIFY(writeFile(path("huge.png"), pngWithHeaderSize(60000, 60000)));
            const QString szWhole = path("whole.jpg");
            QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240", "-frames:v", "1", szWhole}));
            const QByteArray jpeg = readFile(szWhole);
            QVERIFY(jpeg.size() > 2000);
            QVERIFY(writeFile(path("truncated.jpg"), jpeg.left(jpeg.size() / 2)));
            const QString szMp4 = path("whole.mp4");
            QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=160x120:d=1", "-c:v", "libx264", szMp4}));
            const QByteArray mp4 = readFile(szMp4);
            QVERIFY(writeFile(path("truncated.mp4"), mp4.left(mp4.size() / 2)));
            // The intact files decode, so a failure below is the damage's doing.
            AVFramePtr pCheck = makeFramePtr();
            QCOMPARE(decodeEdgeFrames(szWhole.toStdString(), pCheck.get(), pCheck.get()), 0);
            QCOMPARE(decodeEdgeFrames(szMp4.toStdString(), pCheck.get(), pCheck.get()), 0);
        }

        AVFramePtr pFirst = makeFramePtr();
        AVFramePtr pLast = makeFramePtr();
        const int ret = decodeEdgeFrames(szFile.toStdString(), pFirst.get(), pLast.get());
        QVERIFY2(ret < 0, qPrintable(QStringLiteral("result %1").arg(ret)));
        QCOMPARE(pFirst->width, 0);
        QCOMPARE(pLast->width, 0);
        QVERIFY(!pFirst->data[0]);

        // Opening alone either fails or gives a context that closes cleanly.
        int iError = 1;
        AVInputContextPtr pInput(openInputFile(szFile.toStdString(), nullptr, nullptr, &iError));
        if (pInput)
            QCOMPARE(iError, 0);
        else
            QVERIFY(iError < 0);
        if (file.startsWith("empty"))
            QVERIFY(!pInput);
    }
};

QTEST_MAIN(TestEdgeFrames)
#include "tst_edgeframes.moc"
