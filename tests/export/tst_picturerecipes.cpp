// The picture recipes shared by the export and the preview, at any size and
// pixel format: frame counts, turning, fitting on the backdrop, the
// transition graph and the watermark.

#include "album/AlbumProjectState.h"
#include "common/ExportTestSupport.h"
#include "common/TestMedia.h"
#include "media/ffmpeg/EdgeFrames.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/ImageConvert.h"
#include "media/ffmpeg/PictureOrientation.h"
#include "media/recipes/AlbumGeometry.h"
#include "media/recipes/PictureMotion.h"
#include "media/recipes/PictureRecipes.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <random>

using namespace recipes;
using testmedia::colorNear;
using testmedia::frameOf;

namespace {

QImage transparentWithBlueSquare()
{
    QImage stImage(400, 300, QImage::Format_ARGB32);
    stImage.fill(Qt::transparent);
    QPainter(&stImage).fillRect(150, 100, 100, 100, QColor(0, 0, 255));
    return stImage;
}

const QRgb kGrey = qRgb(0xD9, 0xD9, 0xD9);

} // namespace

class TestPictureRecipes : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void segmentFrameCounts()
    {
        const AVRational us{1, 1000000};
        QCOMPARE(segmentFrameCount(3000000, us, AVRational{24, 1}), int64_t(72));
        QCOMPARE(segmentFrameCount(3000000, us, AVRational{25, 1}), int64_t(75));
        QCOMPARE(segmentFrameCount(2000000, us, AVRational{30, 1}), int64_t(60));
        // In doubles 0.1 s x 30 comes out as 2.999..., one frame short.
        QCOMPARE(segmentFrameCount(100000, us, AVRational{30, 1}), int64_t(3));
        QCOMPARE(segmentFrameCount(280000, us, AVRational{25, 1}), int64_t(7));
        QCOMPARE(segmentFrameCount(41666, us, AVRational{24, 1}), int64_t(0));
        QCOMPARE(segmentFrameCount(41667, us, AVRational{24, 1}), int64_t(1));
        QCOMPARE(segmentFrameCount(900000, AVRational{1, 90000}, AVRational{30000, 1001}), int64_t(299));
        QCOMPARE(segmentFrameCount(0, us, AVRational{24, 1}), int64_t(0));
        QCOMPARE(segmentFrameCount(-5, us, AVRational{24, 1}), int64_t(0));
        QCOMPARE(segmentFrameCount(3000000, us, AVRational{0, 1}), int64_t(0));
    }

    void quarterTurns()
    {
        QCOMPARE(QString(quarterTurnFilter(0)), QString());
        QCOMPARE(QString(quarterTurnFilter(1)), QString("transpose=dir=1"));
        QCOMPARE(QString(quarterTurnFilter(2)), QString("transpose=dir=1,transpose=dir=1"));
        QCOMPARE(QString(quarterTurnFilter(3)), QString("transpose=dir=2"));
        QCOMPARE(QString(quarterTurnFilter(4)), QString());
        QCOMPARE(QString(quarterTurnFilter(5)), QString("transpose=dir=1"));
        QCOMPARE(QString(quarterTurnFilter(-1)), QString("transpose=dir=2"));

        // 40 x 20 with a red mark top left: a quarter turn clockwise puts it top right.
        QImage stImage(40, 20, QImage::Format_RGB32);
        stImage.fill(qRgb(255, 255, 255));
        QPainter(&stImage).fillRect(0, 0, 10, 10, QColor(255, 0, 0));
        AVFramePtr pFrame = frameOf(stImage);
        bool bConversion = true;
        QCOMPARE(rotateQuarterTurns(pFrame.get(), 1, &bConversion), 0);
        QVERIFY(!bConversion);
        QCOMPARE(pFrame->width, 20);
        QCOMPARE(pFrame->height, 40);
        QImage stTurned = frameToImage(pFrame.get());
        QVERIFY(colorNear(stTurned.pixel(16, 3), qRgb(255, 0, 0), 40));
        QVERIFY(colorNear(stTurned.pixel(3, 3), qRgb(255, 255, 255), 40));

        // Three more quarter turns (as -1) bring it back.
        QCOMPARE(rotateQuarterTurns(pFrame.get(), -1), 0);
        stTurned = frameToImage(pFrame.get());
        QCOMPARE(stTurned.size(), QSize(40, 20));
        QVERIFY(colorNear(stTurned.pixel(3, 3), qRgb(255, 0, 0), 40));

        // No turn leaves the picture as it was, format included.
        AVFramePtr pUntouched = frameOf(stImage);
        const uint8_t *pData = pUntouched->data[0];
        QCOMPARE(rotateQuarterTurns(pUntouched.get(), 4), 0);
        QCOMPARE(pUntouched->data[0], pData);
        QCOMPARE(pUntouched->format, int(AV_PIX_FMT_BGRA));
    }

    void turnedTransparentPictureKeepsItsAlpha()
    {
        AVFramePtr pFrame = frameOf(transparentWithBlueSquare());
        QCOMPARE(rotateQuarterTurns(pFrame.get(), 1), 0);
        QCOMPARE(pFrame->format, int(AV_PIX_FMT_YUVA420P));
        AVFramePtr pPrepared = makeFramePtr();
        QCOMPARE(preparePicture(pFrame.get(), pPrepared.get(), 320, 180, AV_PIX_FMT_YUV420P), 0);
        const QImage stResult = frameToImage(pPrepared.get());
        // 300 x 400 upright now: 134 x 180 centred; its transparent top is grey, not black.
        QVERIFY(colorNear(stResult.pixel(160, 10), kGrey, 6));
        QVERIFY(colorNear(stResult.pixel(160, 90), qRgb(0, 0, 255), 40));
        QVERIFY(colorNear(stResult.pixel(40, 90), qRgb(0, 0, 0), 8));
    }

    void preparedPictures()
    {
        // Transparent parts grey inside the picture, black bars outside.
        AVFramePtr pFrame = frameOf(transparentWithBlueSquare());
        AVFramePtr pPrepared = makeFramePtr();
        QCOMPARE(preparePicture(pFrame.get(), pPrepared.get(), 320, 180, AV_PIX_FMT_YUV420P), 0);
        QCOMPARE(pPrepared->width, 320);
        QCOMPARE(pPrepared->height, 180);
        QCOMPARE(pPrepared->format, int(AV_PIX_FMT_YUV420P));
        QImage stResult = frameToImage(pPrepared.get());
        QVERIFY(colorNear(stResult.pixel(45, 5), kGrey, 4));
        QVERIFY(colorNear(stResult.pixel(274, 174), kGrey, 4));
        QVERIFY(colorNear(stResult.pixel(36, 90), qRgb(0, 0, 0), 4));
        QVERIFY(colorNear(stResult.pixel(283, 90), qRgb(0, 0, 0), 4));
        QVERIFY(colorNear(stResult.pixel(160, 90), qRgb(0, 0, 255), 30));

        // The same at the preview's size and in the GIF encoder's format.
        QCOMPARE(preparePicture(pFrame.get(), pPrepared.get(), 160, 90, AV_PIX_FMT_RGB8), 0);
        QCOMPARE(pPrepared->format, int(AV_PIX_FMT_RGB8));
        QCOMPARE(pPrepared->width, 160);
        stResult = frameToImage(pPrepared.get());
        QVERIFY(colorNear(stResult.pixel(5, 45), qRgb(0, 0, 0), 8));
        QVERIFY(colorNear(stResult.pixel(80, 45), qRgb(0, 0, 255), 40));
        QVERIFY(colorNear(stResult.pixel(30, 5), kGrey, 40));   // 3-3-2 bits of colour

        // A portrait photo in a 16:9 1080P frame: 810 x 1080 with bars of 555.
        AVFramePtr pPortrait = makeFramePtr();
        QCOMPARE(makeColorFrame(pPortrait.get(), 3000, 4000, AV_PIX_FMT_YUVJ420P, "white"), 0);
        QCOMPARE(preparePicture(pPortrait.get(), pPortrait.get(), 1920, 1080, AV_PIX_FMT_YUV420P), 0);
        stResult = frameToImage(pPortrait.get());
        const QRect stLit = exporttest::boundingBox(stResult, [](QRgb c) { return qGray(c) > 128; });
        QCOMPARE(stLit, QRect(555, 0, 810, 1080));

        // Nonsense in, error out, destination untouched.
        AVFramePtr pEmpty = makeFramePtr();
        QVERIFY(preparePicture(pEmpty.get(), pPrepared.get(), 320, 180, AV_PIX_FMT_YUV420P) < 0);
        QVERIFY(preparePicture(pFrame.get(), pPrepared.get(), 0, 180, AV_PIX_FMT_YUV420P) < 0);
        QCOMPARE(pPrepared->width, 160);
    }

    // Fitting before laying the picture on the backdrop gives the picture of
    // the other order: backdrop at full size, overlay, then fit. (Fitted to
    // 240 x 180 at x = 40, which 4:2:0 padding can place exactly as well.)
    // A moving photo's window against bilinear sampling worked out in
    // doubles: noise (every sample differs from its neighbours), plane
    // widths that are and are not multiples of eight, windows at the
    // picture's edges and inside it. The weights are whole 1/128 across and
    // 1/256 down: between neighbours 255 apart that is up to two levels;
    // a sample taken from the wrong place is dozens off.
    void motionWindowIsBilinear()
    {
        std::mt19937 rng(7);
        const struct
        {
            int iSrcW, iSrcH, iW, iH;
            MotionWindow stWindow;
        } cases[] = {{2150, 1210, 1920, 1080, {0.05, 0.03, 1 / 1.07, 1 / 1.07}},
                     {202, 118, 181, 105, {0.0, 0.0, 1 / 1.12, 1 / 1.12}},
                     {202, 118, 181, 105, {1 - 1 / 1.12, 1 - 1 / 1.12, 1 / 1.12, 1 / 1.12}},
                     {90, 60, 90, 60, {0.0, 0.0, 1.0, 1.0}},
                     {64, 48, 37, 29, {0.3137, 0.2, 0.5, 0.5}}};
        for (const auto &c : cases) {
            AVFramePtr pSource = makeFramePtr();
            pSource->format = AV_PIX_FMT_YUV420P;
            pSource->width = c.iSrcW;
            pSource->height = c.iSrcH;
            QCOMPARE(av_frame_get_buffer(pSource.get(), 0), 0);
            for (int i = 0; i < 3; ++i) {
                for (int y = 0; y < (i ? (c.iSrcH + 1) / 2 : c.iSrcH); ++y) {
                    for (int x = 0; x < (i ? (c.iSrcW + 1) / 2 : c.iSrcW); ++x)
                        pSource->data[i][y * pSource->linesize[i] + x] = static_cast<uint8_t>(rng());
                }
            }
            AVFramePtr pOut = makeFramePtr();
            QCOMPARE(paintMotionWindow(pSource.get(), c.stWindow, c.iW, c.iH, pOut.get()), 0);
            QCOMPARE(pOut->width, c.iW);
            QCOMPARE(pOut->format, int(AV_PIX_FMT_YUV420P));
            int iWorst = 0;
            for (int i = 0; i < 3; ++i) {
                const int iSrcW = i ? (c.iSrcW + 1) / 2 : c.iSrcW, iSrcH = i ? (c.iSrcH + 1) / 2 : c.iSrcH;
                const int iW = i ? (c.iW + 1) / 2 : c.iW, iH = i ? (c.iH + 1) / 2 : c.iH;
                const auto at = [&](int x, int y) { return double(pSource->data[i][y * pSource->linesize[i] + x]); };
                for (int y = 0; y < iH; ++y) {
                    const double lfStepY = c.stWindow.lfHeight * iSrcH / iH;
                    const double sy = std::clamp(c.stWindow.lfTop * iSrcH + (y + 0.5) * lfStepY - 0.5, 0.0, iSrcH - 1.0);
                    const int y0 = int(sy), y1 = std::min(y0 + 1, iSrcH - 1);
                    for (int x = 0; x < iW; ++x) {
                        const double lfStepX = c.stWindow.lfWidth * iSrcW / iW;
                        const double sx =
                            std::clamp(c.stWindow.lfLeft * iSrcW + (x + 0.5) * lfStepX - 0.5, 0.0, iSrcW - 1.0);
                        const int x0 = int(sx), x1 = std::min(x0 + 1, iSrcW - 1);
                        const double fx = sx - x0, fy = sy - y0;
                        const double lf = (at(x0, y0) * (1 - fx) + at(x1, y0) * fx) * (1 - fy)
                                          + (at(x0, y1) * (1 - fx) + at(x1, y1) * fx) * fy;
                        const int iGot = pOut->data[i][y * pOut->linesize[i] + x];
                        iWorst = std::max(iWorst, int(std::abs(iGot - lf) + 0.5 - 1e-9));
                    }
                }
            }
            QVERIFY2(iWorst <= 2, qPrintable(QStringLiteral("%1x%2 from %3x%4: %5 levels off")
                                                 .arg(c.iW).arg(c.iH).arg(c.iSrcW).arg(c.iSrcH).arg(iWorst)));
        }
    }

    void fittingFirstGivesTheSamePicture()
    {
        QImage stImage(600, 450, QImage::Format_ARGB32);
        stImage.fill(Qt::transparent);
        QPainter painter(&stImage);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(200, 40, 40, 180));
        painter.drawEllipse(100, 50, 400, 300);
        painter.fillRect(0, 350, 600, 100, QColor(20, 120, 20));
        painter.end();
        AVFramePtr pSource = frameOf(stImage);

        AVFramePtr pOurs = makeFramePtr();
        QCOMPARE(preparePicture(pSource.get(), pOurs.get(), 320, 180, AV_PIX_FMT_YUV420P), 0);

        AVFramePtr pReference = makeFramePtr();
        QCOMPARE(makeColorFrame(pReference.get(), 600, 450, AV_PIX_FMT_YUV420P, kBackdropColor), 0);
        QCOMPARE(overlayFrame(pReference.get(), pReference.get(), pSource.get(), 0, 0), 0);
        QCOMPARE(scalePadFrame(pReference.get(), pReference.get(), 320, 180, kBarColor), 0);
        const double lfMean = exporttest::meanDifference(frameToImage(pOurs.get()), frameToImage(pReference.get()));
        QVERIFY2(lfMean < 1.5, qPrintable(QString::number(lfMean)));
    }

    void palettedPngWithTransparency()
    {
        QImage stImage(64, 64, QImage::Format_Indexed8);
        stImage.setColorTable({qRgba(0, 0, 0, 0), qRgba(255, 0, 0, 255)});
        stImage.fill(0);
        for (int y = 16; y < 48; ++y)
            for (int x = 16; x < 48; ++x)
                stImage.setPixel(x, y, 1);
        const QString szPath = m_dir.filePath("palette.png");
        QVERIFY(stImage.save(szPath));
        AVFramePtr pFrame = makeFramePtr();
        QCOMPARE(decodeEdgeFrames(szPath.toStdString(), pFrame.get()), 0);
        QCOMPARE(pFrame->format, int(AV_PIX_FMT_PAL8));
        QCOMPARE(preparePicture(pFrame.get(), pFrame.get(), 128, 72, AV_PIX_FMT_YUV420P), 0);
        const QImage stResult = frameToImage(pFrame.get());
        QVERIFY(colorNear(stResult.pixel(64, 36), qRgb(255, 0, 0), 40));
        QVERIFY(colorNear(stResult.pixel(40, 4), kGrey, 6));
        QVERIFY(colorNear(stResult.pixel(10, 36), qRgb(0, 0, 0), 6));
    }

    void transitions()
    {
        const TransitionEffect &stFade = transitionEffects()[0];
        QCOMPARE(QString::fromStdString(transitionDescription(stFade, 2000000, AVRational{1, 1000000})),
                 QString("[in1][in2]xfade=transition=fadeblack:offset=0:duration=2"));
        QCOMPARE(QString::fromStdString(transitionDescription(transitionEffects()[22], 2000, AVRational{1, 1000}, -1)),
                 QString("[in1][in2]xfade=transition=horzclose:offset=-1:duration=2"));
        QCOMPARE(QString::fromStdString(transitionDescription(stFade, 2500000, AVRational{1, 1000000})),
                 QString("[in1][in2]xfade=transition=fadeblack:offset=0:duration=2.500000"));
        QCOMPARE(QString::fromStdString(transitionDescription(stFade, 400000, AVRational{1, 1000000})),
                 QString("[in1][in2]xfade=transition=fadeblack:offset=0:duration=0.400000"));

        // Every effect builds, and gives one picture per pair from the first to the second picture.
        AVFramePtr pFrom = makeFramePtr();
        AVFramePtr pTo = makeFramePtr();
        QCOMPARE(makeColorFrame(pFrom.get(), 64, 36, kTransitionFormat, "red"), 0);
        QCOMPARE(makeColorFrame(pTo.get(), 64, 36, kTransitionFormat, "blue"), 0);
        for (int e = 0; e < kTransitionEffectCount; ++e) {
            TransitionSegment stSegment;
            stSegment.pEffect = &transitionEffects()[e];
            stSegment.iDuration = 2000000;
            AVFilterGraphPtr pGraph(createTransitionGraph(stSegment, 64, 36, kTransitionFormat, AV_PIX_FMT_YUV420P,
                                                          AVRational{1, 25}, AVRational{25, 1}));
            QVERIFY2(pGraph, stSegment.pEffect->szTransitionName);
            AVFramePtr pOut = makeFramePtr();
            QImage stFirst, stLast;
            for (int i = 0; i < 50; ++i) {
                pFrom->pts = i;
                pTo->pts = i;
                QCOMPARE(pushFrameToFilter(pGraph.get(), "in1", pFrom.get()), 0);
                QCOMPARE(pushFrameToFilter(pGraph.get(), "in2", pTo.get()), 0);
                bool bGot = false;
                QCOMPARE(pullFrameFromFilter(pGraph.get(), "out", pOut.get(), bGot), 0);
                QVERIFY(bGot);
                QCOMPARE(pOut->width, 64);
                QCOMPARE(pOut->format, int(AV_PIX_FMT_YUV420P));
                if (i == 0)
                    stFirst = frameToImage(pOut.get());
                if (i == 49)
                    stLast = frameToImage(pOut.get());
            }
            QVERIFY2(colorNear(stFirst.pixel(32, 18), qRgb(255, 0, 0), 40), stSegment.pEffect->szTransitionName);
            QVERIFY2(qBlue(stLast.pixel(32, 18)) > 120, stSegment.pEffect->szTransitionName);
        }
        TransitionSegment stNoEffect;
        stNoEffect.iDuration = 2000000;
        QVERIFY(!createTransitionGraph(stNoEffect, 64, 36, AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P, AVRational{1, 25},
                                       AVRational{25, 1}));
    }

    void clipFilterDescriptions()
    {
        auto description = [](int64_t iTurns, int w, int h, int W, int H, AVPixelFormat eFormat, AVRational stRate) {
            return QString::fromStdString(
                clipFilterDescription(turnedOrientation(1, iTurns), w, h, W, H, eFormat, stRate));
        };
        const AVRational fps25{25, 1};
        QCOMPARE(description(0, 1920, 1080, 1920, 1080, AV_PIX_FMT_YUV420P, fps25),
                 QString("format=pix_fmts='yuv420p',scale=1920:1080,pad=w=1920:h=1080:x=0:y=0:color=black,fps=25"));
        // Turned once, 1080 x 1920 fits as 607.5 -> 606 x 1080 at x = 657; an
        // odd offset cannot be padded in 4:2:0, so it is padded in 4:4:4.
        QCOMPARE(description(1, 1920, 1080, 1920, 1080, AV_PIX_FMT_YUV420P, fps25),
                 QString("transpose=dir=1,scale=606:1080,format=pix_fmts='yuv444p',"
                         "pad=w=1920:h=1080:x=657:y=0:color=black,format=pix_fmts='yuv420p',fps=25"));
        QCOMPARE(description(5, 1920, 1080, 1920, 1080, AV_PIX_FMT_YUV420P, fps25),
                 description(1, 1920, 1080, 1920, 1080, AV_PIX_FMT_YUV420P, fps25));
        // A half turn keeps the sides.
        QCOMPARE(description(2, 640, 480, 1920, 1080, AV_PIX_FMT_YUV420P, AVRational{30, 1}),
                 QString("transpose=dir=1,transpose=dir=1,format=pix_fmts='yuv420p',scale=1440:1080,"
                         "pad=w=1920:h=1080:x=240:y=0:color=black,fps=30"));
        QCOMPARE(description(-1, 640, 480, 1920, 1080, AV_PIX_FMT_YUV420P, AVRational{30, 1}),
                 QString("transpose=dir=2,scale=810:1080,format=pix_fmts='yuv444p',"
                         "pad=w=1920:h=1080:x=555:y=0:color=black,format=pix_fmts='yuv420p',fps=30"));
        // A format without subsampling takes any offset.
        QCOMPARE(description(1, 1920, 1080, 1920, 1080, AV_PIX_FMT_RGB8, AVRational{24, 1}),
                 QString("transpose=dir=1,format=pix_fmts='rgb8',scale=606:1080,"
                         "pad=w=1920:h=1080:x=657:y=0:color=black,fps=24"));
        // Letterbox top and bottom; a rate that is no whole number stays exact.
        QCOMPARE(description(0, 400, 400, 1280, 720, AV_PIX_FMT_YUV420P, AVRational{30000, 1001}),
                 QString("format=pix_fmts='yuv420p',scale=720:720,pad=w=1280:h=720:x=280:y=0:color=black,"
                         "fps=30000/1001"));
        QCOMPARE(description(0, 1920, 800, 1280, 720, AV_PIX_FMT_YUV420P, fps25),
                 QString("format=pix_fmts='yuv420p',scale=1280:532,pad=w=1280:h=720:x=0:y=94:color=black,fps=25"));
        QVERIFY(description(0, 0, 1080, 1920, 1080, AV_PIX_FMT_YUV420P, fps25).isEmpty());
        QVERIFY(description(0, 1920, 1080, 1920, 1080, AV_PIX_FMT_NONE, fps25).isEmpty());
        QVERIFY(description(0, 1920, 1080, 1920, 1080, AV_PIX_FMT_YUV420P, AVRational{0, 1}).isEmpty());
    }

    // 30 frames of a 30 fps clip are one second: 25 frames at 25 fps, the
    // last one included once the graph knows where the clip's last frame ends.
    void clipGraphResamplesTheRate_data()
    {
        QTest::addColumn<int>("clipFps");
        QTest::addColumn<int>("outFps");
        QTest::newRow("30 to 25") << 30 << 25;
        QTest::newRow("15 to 25") << 15 << 25;
        QTest::newRow("25 to 25") << 25 << 25;
        QTest::newRow("24 to 60") << 24 << 60;
    }

    void clipGraphResamplesTheRate()
    {
        QFETCH(int, clipFps);
        QFETCH(int, outFps);
        AVFilterGraphPtr pGraph(createClipGraph(turnedOrientation(1, 1), 64, 48, AVRational{1, 1}, AV_PIX_FMT_YUV420P, AVRational{1, clipFps},
                                                AVRational{clipFps, 1}, 160, 90, AV_PIX_FMT_YUV420P,
                                                AVRational{outFps, 1}));
        QVERIFY(pGraph);
        AVFramePtr pFrame = makeFramePtr();
        AVFramePtr pOut = makeFramePtr();
        int iOut = 0;
        auto pullAll = [&] {
            for (;;) {
                bool bGot = false;
                const int ret = pullFrameFromFilter(pGraph.get(), "out", pOut.get(), bGot);
                if (ret == AVERROR_EOF || (ret == 0 && !bGot))
                    return;
                QCOMPARE(ret, 0);
                // Turned: 48 x 64 fits 160 x 90 as 66 x 90 (67.5, truncated, even), at x = 47.
                QCOMPARE(pOut->width, 160);
                QCOMPARE(pOut->height, 90);
                QCOMPARE(pOut->format, int(AV_PIX_FMT_YUV420P));
                ++iOut;
            }
        };
        for (int i = 0; i < clipFps; ++i) {
            QCOMPARE(makeColorFrame(pFrame.get(), 64, 48, AV_PIX_FMT_YUV420P, "white"), 0);
            pFrame->pts = i;
            QCOMPARE(pushFrameToFilter(pGraph.get(), "in", pFrame.get()), 0);
            pullAll();
        }
        QCOMPARE(endClipGraph(pGraph.get(), clipFps), 0);
        pullAll();
        QCOMPARE(iOut, outFps);
        const QImage stPicture = frameToImage(pOut.get());
        QCOMPARE(exporttest::boundingBox(stPicture, [](QRgb c) { return qGray(c) > 128; }), QRect(47, 0, 66, 90));
        QCOMPARE(endClipGraph(nullptr, 0), int(AVERROR(EINVAL)));
    }

    void textWatermarkImage()
    {
        QFont stFont(QStringLiteral("DejaVu Sans"));
        stFont.setPixelSize(30);
        const QString szText = QStringLiteral("Pictora HH");
        QImage stMark = renderTextWatermark(szText, stFont, QColor(Qt::red), 0.5);
        QCOMPARE(stMark.size(), QFontMetrics(stFont).boundingRect(szText).size());
        QCOMPARE(stMark.format(), QImage::Format_ARGB32);
        int iMaxAlpha = 0;
        for (int y = 0; y < stMark.height(); ++y)
            for (int x = 0; x < stMark.width(); ++x)
                iMaxAlpha = std::max(iMaxAlpha, qAlpha(stMark.pixel(x, y)));
        QVERIFY2(std::abs(iMaxAlpha - 128) <= 2, qPrintable(QString::number(iMaxAlpha)));
        QCOMPARE(qAlpha(stMark.pixel(0, 0)), 0);

        stMark = renderTextWatermark(szText, stFont, QColor(Qt::red), 0.0);
        iMaxAlpha = 0;
        for (int y = 0; y < stMark.height(); ++y)
            for (int x = 0; x < stMark.width(); ++x)
                iMaxAlpha = std::max(iMaxAlpha, qAlpha(stMark.pixel(x, y)));
        QCOMPARE(iMaxAlpha, 255);
        QVERIFY(renderTextWatermark(QString(), stFont, QColor(Qt::red), 0.0).isNull());
    }

    void watermarkOverlay()
    {
        QCOMPARE(QString::fromStdString(watermarkDescription(10, 20, AV_PIX_FMT_YUV420P)),
                 QString("[in1][in2]overlay=:x=10:y=20,format=pix_fmts='yuv420p'"));

        const QString szMark = m_dir.filePath("mark.png");
        QImage stMarkImage(200, 100, QImage::Format_ARGB32);
        stMarkImage.fill(qRgb(255, 0, 0));
        QVERIFY(stMarkImage.save(szMark));
        WatermarkOverlay stOverlay;
        WatermarkStep eStep = WatermarkStep::Graph;
        QCOMPARE(prepareImageWatermark(stOverlay, szMark.toStdString(), 256, 320, 180, AV_PIX_FMT_YUV420P, &eStep), 0);
        QVERIFY(eStep == WatermarkStep::None);
        QVERIFY(stOverlay.isActive());
        QCOMPARE(stOverlay.stRect, imageWatermarkRect(200, 100, 256, 320, 180));

        // Pictures arrive with any timestamps (a transition's are all 0): one out for each in.
        AVFramePtr pPicture = makeFramePtr();
        QCOMPARE(makeColorFrame(pPicture.get(), 320, 180, AV_PIX_FMT_YUV420P, "white"), 0);
        AVFramePtr pOut = makeFramePtr();
        for (int i = 0; i < 30; ++i) {
            pPicture->pts = i % 3 == 0 ? 0 : 1000 - i;
            QCOMPARE(applyWatermarkOverlay(stOverlay, pPicture.get(), pOut.get()), 0);
            QCOMPARE(pOut->width, 320);
        }
        const QImage stResult = frameToImage(pOut.get());
        const QRect stRed = exporttest::boundingBox(stResult, [](QRgb c) { return qRed(c) > 180 && qGreen(c) < 80; });
        QVERIFY(std::abs(stRed.left() - stOverlay.stRect.left()) <= 1);
        QVERIFY(std::abs(stRed.bottom() - stOverlay.stRect.bottom()) <= 1);
        QVERIFY(colorNear(stResult.pixel(20, 20), qRgb(255, 255, 255), 4));
        // The picture pushed is not changed.
        QVERIFY(colorNear(frameToImage(pPicture.get()).pixel(300, 170), qRgb(255, 255, 255), 4));

        // Without a mark the picture goes through as a new reference.
        WatermarkOverlay stNone;
        QCOMPARE(prepareTextWatermark(stNone, QString(), QFont(), QColor(), 0, 1, 320, 180, AV_PIX_FMT_YUV420P), 0);
        QVERIFY(!stNone.isActive());
        QCOMPARE(applyWatermarkOverlay(stNone, pPicture.get(), pOut.get()), 0);
        QCOMPARE(pOut->data[0], pPicture->data[0]);
        QCOMPARE(prepareImageWatermark(stNone, std::string(), 1, 320, 180, AV_PIX_FMT_YUV420P), 0);
        QVERIFY(!stNone.isActive());

        // Which step failed.
        QVERIFY(prepareImageWatermark(stNone, m_dir.filePath("missing.png").toStdString(), 1, 320, 180,
                                      AV_PIX_FMT_YUV420P, &eStep) < 0);
        QVERIFY(eStep == WatermarkStep::Decode);
        QVERIFY(prepareImageWatermark(stNone, szMark.toStdString(), 1, 4, 2, AV_PIX_FMT_YUV420P, &eStep) < 0);
        QVERIFY(eStep == WatermarkStep::Resize);
        QVERIFY(!stNone.isActive());

        // A text mark sits where textWatermarkRect puts it.
        QFont stFont(QStringLiteral("DejaVu Sans"));
        stFont.setPixelSize(24);
        QCOMPARE(prepareTextWatermark(stOverlay, "HH", stFont, QColor(Qt::black), 0.0, 1, 320, 180,
                                      AV_PIX_FMT_YUV420P, &eStep), 0);
        QCOMPARE(stOverlay.stRect, textWatermarkRect("HH", stFont, 1, 320, 180));
        QCOMPARE(stOverlay.pMark->format, int(AV_PIX_FMT_BGRA));
    }
};

QTEST_MAIN(TestPictureRecipes)
#include "tst_picturerecipes.moc"
