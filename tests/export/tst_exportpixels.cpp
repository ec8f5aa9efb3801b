// What the exported pictures look like, checked on frames decoded by the
// ffmpeg CLI: backdrop and bars, fitting, rotation, the fadeblack transition
// against the CLI's own xfade, and both watermarks.

#include "album/AlbumProjectState.h"
#include "common/ExportTestSupport.h"
#include "common/TestMedia.h"
#include "common/TestSupport.h"
#include "media/ffmpeg/SizeMath.h"
#include "media/recipes/AlbumGeometry.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

using namespace exporttest;
using testmedia::colorNear;

namespace {

constexpr int64_t kOneFrameAt24 = 1000000 / 24 + 1;   // one frame at 24 fps, not two

bool isRed(QRgb c) { return qRed(c) > 150 && qGreen(c) < 90 && qBlue(c) < 90; }
bool isGreen(QRgb c) { return qGreen(c) > 120 && qRed(c) < 90 && qBlue(c) < 90; }

// Width share of the frame an image watermark takes, by the frame's ratio.
double watermarkShare(int W, int H)
{
    const double r = double(W) / H;
    struct Row { double lfRatio, lfShare; };
    const Row rows[] = {{16.0 / 9, 0.175}, {4.0 / 3, 0.311}, {2.0, 0.21}, {9.0 / 16, 0.414}, {0.75, 0.311}, {1.0, 0.311}};
    const Row *pBest = &rows[0];
    for (const Row &row : rows)
        if (std::abs(row.lfRatio - r) < std::abs(pBest->lfRatio - r))
            pBest = &row;
    return pBest->lfShare;
}

} // namespace

class TestExportPixels : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;

    // Exports the one-frame album set up by the caller and returns that frame.
    QImage exportFirstFrame(bool bCountFrames = false)
    {
        const ExportResult stResult = runExport();
        if (!stResult.bSucceeded) {
            qWarning() << stResult.szError;
            return QImage();
        }
        if (bCountFrames && testsupport::countVideoFrames(outputPath()) != 1)
            return QImage();
        const AlbumProjectState &st = albumState();
        return decodeFrame(outputPath(), 0, QSize(st.iExportWidth, st.iExportHeight));
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void transparentPngShowsBackdropAndBars()
    {
        // 400 x 300, transparent except a blue square in the middle.
        QImage stPicture(400, 300, QImage::Format_ARGB32);
        stPicture.fill(Qt::transparent);
        QPainter(&stPicture).fillRect(150, 100, 100, 100, QColor(0, 0, 255));
        const QString szPng = m_dir.filePath("transparent.png");
        QVERIFY(savePicture(szPng, stPicture));

        resetAlbum(m_dir.path(), "transparent", "MP4", 24, 320, 180);
        QVERIFY(appendImage(szPng));
        setImageDurationUs(kOneFrameAt24);
        const QImage stFrame = exportFirstFrame(true);
        QVERIFY(!stFrame.isNull());
        // Fitted to 240 x 180 at x = 40: grey inside, black bars left and right.
        const QRgb kGrey = qRgb(0xD9, 0xD9, 0xD9);
        for (const QPoint &pt : {QPoint(50, 10), QPoint(60, 170), QPoint(270, 20), QPoint(270, 160), QPoint(100, 90)})
            QVERIFY2(colorNear(stFrame.pixel(pt), kGrey, 6), qPrintable(QString::number(stFrame.pixel(pt), 16)));
        for (const QPoint &pt : {QPoint(5, 90), QPoint(35, 10), QPoint(285, 170), QPoint(315, 90)})
            QVERIFY(colorNear(stFrame.pixel(pt), qRgb(0, 0, 0), 12));
        QVERIFY(colorNear(stFrame.pixel(160, 90), qRgb(0, 0, 255), 30));
    }

    void portraitPhotoIn1080p()
    {
        const QString szJpg = m_dir.filePath("portrait.jpg");
        QVERIFY(makePicture(szJpg, "color=c=white:s=3000x4000"));
        resetAlbum(m_dir.path(), "portrait", "MP4", 24, 1920, 1080);
        QVERIFY(appendImage(szJpg));
        setImageDurationUs(kOneFrameAt24);
        const QImage stFrame = exportFirstFrame();
        QVERIFY(!stFrame.isNull());
        QCOMPARE(stFrame.size(), QSize(1920, 1080));
        // 810 x 1080 centred: bars of 555 pixels left and right.
        for (int y : {0, 540, 1079}) {
            const QRect stLit = boundingBox(stFrame.copy(0, y, 1920, 1), [](QRgb c) { return qGray(c) > 128; });
            QCOMPARE(stLit.left(), 555);
            QCOMPARE(stLit.right(), 1364);
        }
        QVERIFY(colorNear(stFrame.pixel(300, 540), qRgb(0, 0, 0), 10));
        QVERIFY(colorNear(stFrame.pixel(960, 540), qRgb(255, 255, 255), 10));
        QVERIFY(colorNear(stFrame.pixel(1650, 540), qRgb(0, 0, 0), 10));
    }

    void rotationsTurnThePicture_data()
    {
        QTest::addColumn<int>("turns");
        QTest::addColumn<int>("redCorner");    // 0 top left, 1 top right, 2 bottom right, 3 bottom left
        QTest::addColumn<int>("greenCorner");
        QTest::newRow("none") << 0 << 0 << 1;
        QTest::newRow("quarter clockwise") << 1 << 1 << 2;
        QTest::newRow("half") << 2 << 2 << 3;
        QTest::newRow("quarter counter-clockwise") << 3 << 3 << 0;
    }

    void rotationsTurnThePicture()
    {
        QFETCH(int, turns);
        QFETCH(int, redCorner);
        QFETCH(int, greenCorner);
        // Grey square, red mark top left, green mark top right: a turn and a
        // mirror image cannot be mistaken for each other.
        QImage stPicture(240, 240, QImage::Format_RGB32);
        stPicture.fill(qRgb(128, 128, 128));
        QPainter painter(&stPicture);
        painter.fillRect(0, 0, 60, 60, QColor(255, 0, 0));
        painter.fillRect(180, 0, 60, 60, QColor(0, 200, 0));
        painter.end();
        const QString szPng = m_dir.filePath(QString("marked%1.png").arg(turns));
        QVERIFY(savePicture(szPng, stPicture));

        resetAlbum(m_dir.path(), QString("turned%1").arg(turns), "MP4", 24, 320, 180);
        QVERIFY(appendImage(szPng, turns));
        setImageDurationUs(kOneFrameAt24);
        const QImage stFrame = exportFirstFrame();
        QVERIFY(!stFrame.isNull());
        // The square is fitted to 180 x 180 at x = 70.
        const QPoint corners[] = {QPoint(92, 22), QPoint(228, 22), QPoint(228, 158), QPoint(92, 158)};
        for (int i = 0; i < 4; ++i) {
            const QRgb c = stFrame.pixel(corners[i]);
            QCOMPARE(isRed(c), i == redCorner);
            QCOMPARE(isGreen(c), i == greenCorner);
        }
        QVERIFY(colorNear(stFrame.pixel(160, 90), qRgb(128, 128, 128), 10));
    }

    void fadeBlackMatchesTheCli()
    {
        const QString szRed = m_dir.filePath("red.png");
        const QString szBlue = m_dir.filePath("blue.png");
        QVERIFY(makePicture(szRed, "color=c=red:s=320x180"));
        QVERIFY(makePicture(szBlue, "color=c=blue:s=320x180"));
        resetAlbum(m_dir.path(), "fadeblack", "MP4", 24, 320, 180);
        setTransitionPickerIndex(0);   // fadeblack
        QVERIFY(appendImage(szRed));
        QVERIFY(appendImage(szBlue));
        QCOMPARE(QString(albumState().listTransitions.at(0).pEffect->szTransitionName), QString("fadeblack"));
        setImageDurationUs(kOneFrameAt24);

        const ExportResult stResult = runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        QCOMPARE(testsupport::countVideoFrames(outputPath()), 50);
        const QList<QImage> exported = decodeFrames(outputPath(), 0, 50, QSize(320, 180));
        QCOMPARE(exported.size(), 50);   // red, 48 transition frames, blue

        // The CLI's xfade on the same two pictures, 24 fps.
        const testsupport::ToolResult stCli = testsupport::runTool(
            "ffmpeg", {"-hide_banner", "-loglevel", "error", "-loop", "1", "-framerate", "24", "-i", szRed, "-loop",
                       "1", "-framerate", "24", "-i", szBlue, "-filter_complex",
                       "[0:v]format=yuv420p[a];[1:v]format=yuv420p[b];"
                       "[a][b]xfade=transition=fadeblack:offset=0:duration=2,format=yuv420p",
                       "-frames:v", "48", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
        QVERIFY(stCli.bFinished && stCli.iExitCode == 0);
        QCOMPARE(stCli.stdOut.size(), 48 * 320 * 180 * 3);
        for (int i = 0; i < 48; ++i) {
            const QImage stReference =
                QImage(reinterpret_cast<const uchar *>(stCli.stdOut.constData()) + i * 320 * 180 * 3, 320, 180,
                       320 * 3, QImage::Format_RGB888)
                    .convertToFormat(QImage::Format_RGB32);
            const double lfMean = meanDifference(exported.at(1 + i), stReference);
            QVERIFY2(lfMean < 3.0, qPrintable(QString("transition frame %1 differs by %2").arg(i).arg(lfMean)));
        }
        // Through black a quarter of the way in, and on to the blue picture.
        const QRgb quarter = exported.at(1 + 12).pixel(160, 90);
        QVERIFY2(qRed(quarter) < 24 && qGreen(quarter) < 24 && qBlue(quarter) < 24, qPrintable(QString::number(quarter, 16)));
        QVERIFY(colorNear(exported.at(0).pixel(160, 90), qRgb(255, 0, 0), 12));
        QVERIFY(colorNear(exported.at(49).pixel(160, 90), qRgb(0, 0, 255), 12));
        QVERIFY(qBlue(exported.at(48).pixel(160, 90)) > 150);
    }

    void textWatermarkBottomRightHalfTransparent()
    {
        const QString szWhite = m_dir.filePath("white.png");
        QVERIFY(makePicture(szWhite, "color=c=white:s=640x360"));
        resetAlbum(m_dir.path(), "text", "MP4", 24, 640, 360);
        AlbumProjectState &st = albumState();
        st.iWatermarkType = WatermarkText;
        st.szWatermarkText = QStringLiteral("HHHH");
        st.stWatermarkFont = QFont(QStringLiteral("DejaVu Sans"));
        st.stWatermarkFont.setPixelSize(40);
        st.stWatermarkColor = QColor(Qt::black);
        st.lfWatermarkTransparency = 0.5;
        st.iWatermarkPos = 256;
        QVERIFY(appendImage(szWhite));
        setImageDurationUs(kOneFrameAt24);
        const QImage stFrame = exportFirstFrame();
        QVERIFY(!stFrame.isNull());

        // Its box ends 1 % of the frame (6 and 3 pixels) from the right and bottom edges.
        const QSize stText = QFontMetrics(st.stWatermarkFont).boundingRect(st.szWatermarkText).size();
        const QRect stRect(640 - 6 - stText.width(), 360 - 3 - stText.height(), stText.width(), stText.height());
        QCOMPARE(textWatermarkRect(st.szWatermarkText, st.stWatermarkFont, 256, 640, 360), stRect);
        const QRect stInk = boundingBox(stFrame, [](QRgb c) { return qGray(c) < 200; });
        QVERIFY(!stInk.isNull());
        QVERIFY2(stRect.adjusted(-2, -2, 2, 2).contains(stInk), qPrintable(QString("ink %1,%2 %3x%4").arg(stInk.x()).arg(stInk.y()).arg(stInk.width()).arg(stInk.height())));
        QVERIFY(stInk.right() >= stRect.right() - 8);
        QVERIFY(stInk.width() >= stRect.width() / 2);
        // Black at half opacity on white: mid grey at the darkest, never black.
        const int iDarkest = testsupport::darkestGrey(stFrame, stInk);
        QVERIFY2(iDarkest > 105 && iDarkest < 150, qPrintable(QString::number(iDarkest)));
        QVERIFY(colorNear(stFrame.pixel(100, 100), qRgb(255, 255, 255), 6));
    }

    void imageWatermarkShareAtEveryPosition_data()
    {
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("1 on 16:9") << 1 << 640 << 360;
        QTest::newRow("2 on 9:16") << 2 << 360 << 640;
        QTest::newRow("4 on 4:3") << 4 << 480 << 360;
        QTest::newRow("8 on 2:1") << 8 << 720 << 360;
        QTest::newRow("16 on 3:4") << 16 << 360 << 480;
        QTest::newRow("32 on 1:1") << 32 << 400 << 400;
        QTest::newRow("64 on 16:9") << 64 << 640 << 360;
        QTest::newRow("128 on 4:3") << 128 << 480 << 360;
        QTest::newRow("256 on 9:16") << 256 << 360 << 640;
    }

    void imageWatermarkShareAtEveryPosition()
    {
        QFETCH(int, pos);
        QFETCH(int, width);
        QFETCH(int, height);
        const QString szMark = m_dir.filePath("mark.png");
        const QString szGrey = m_dir.filePath("grey.png");
        if (!QFile::exists(szMark)) {
            QVERIFY(makePicture(szMark, "color=c=red:s=200x100"));
            QVERIFY(makePicture(szGrey, "color=c=0xC0C0C0:s=400x400"));
        }
        resetAlbum(m_dir.path(), QString("mark%1").arg(pos), "MP4", 24, width, height);
        albumState().iWatermarkType = WatermarkImage;
        albumState().szImageWatermarkPath = szMark;
        albumState().iWatermarkPos = pos;
        QVERIFY(appendImage(szGrey));
        setImageDurationUs(kOneFrameAt24);
        const QImage stFrame = exportFirstFrame();
        QVERIFY(!stFrame.isNull());

        const QRect stExpected = imageWatermarkRect(200, 100, pos, width, height);
        QVERIFY(std::abs(stExpected.width() - width * watermarkShare(width, height)) <= 2.0);
        const QRect stFound = boundingBox(stFrame, isRed);
        QVERIFY2(std::abs(stFound.left() - stExpected.left()) <= 2 && std::abs(stFound.top() - stExpected.top()) <= 2
                     && std::abs(stFound.right() - stExpected.right()) <= 2
                     && std::abs(stFound.bottom() - stExpected.bottom()) <= 2,
                 qPrintable(QString("found %1,%2 %3x%4, expected %5,%6 %7x%8")
                                .arg(stFound.x()).arg(stFound.y()).arg(stFound.width()).arg(stFound.height())
                                .arg(stExpected.x()).arg(stExpected.y()).arg(stExpected.width()).arg(stExpected.height())));
    }
};

QTEST_MAIN(TestExportPixels)
#include "tst_exportpixels.moc"
