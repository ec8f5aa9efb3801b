// The frames of a transition between two pictures: YUV 4:2:0 pictures go
// through xfade plane by plane, which must give the luma of the 4:4:4
// transition exactly and its chroma at chroma resolution, for every effect.

#include "album/AlbumProjectState.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/ImageConvert.h"
#include "media/recipes/PictureRecipes.h"
#include "media/recipes/TransitionFrames.h"

#include <QLinearGradient>
#include <QPainter>
#include <QtTest>

#include <cstdlib>

extern "C" {
#include <libavutil/imgutils.h>
}

using namespace recipes;

namespace {

// A picture with structure everywhere, so that any misplaced sample shows:
// a diagonal gradient between two colours and a disc and a bar of others.
AVFramePtr texturedPicture(int iWidth, int iHeight, QColor a, QColor b, AVPixelFormat eFormat)
{
    QImage stImage(iWidth, iHeight, QImage::Format_ARGB32);
    QPainter painter(&stImage);
    QLinearGradient stGradient(0, 0, iWidth, iHeight);
    stGradient.setColorAt(0, a);
    stGradient.setColorAt(1, b);
    painter.fillRect(stImage.rect(), stGradient);
    painter.setBrush(b.darker());
    painter.drawEllipse(QPoint(iWidth / 3, iHeight / 2), iHeight / 4, iHeight / 4);
    painter.fillRect(iWidth * 2 / 3, 0, iWidth / 8, iHeight, a.lighter());
    painter.end();
    AVFramePtr pBgra(imageToFrame(stImage));
    AVFramePtr pFrame = makeFramePtr();
    if (!pBgra || !pFrame || convertPixelFormat(pBgra.get(), pFrame.get(), eFormat) < 0)
        return nullptr;
    return pFrame;
}

TransitionSegment segmentOf(int iEffect)
{
    TransitionSegment stSegment;
    stSegment.pEffect = &transitionEffects()[iEffect];
    stSegment.iDuration = 2000000;
    stSegment.stTimeBase = AVRational{1, 1000000};
    return stSegment;
}

// The two 4:2:0 pictures of the comparisons with xfade.
AVFramePtr fromPicture(int iWidth, int iHeight)
{
    return texturedPicture(iWidth, iHeight, QColor(220, 40, 30), QColor(30, 200, 60), AV_PIX_FMT_YUV420P);
}
AVFramePtr toPicture(int iWidth, int iHeight)
{
    return texturedPicture(iWidth, iHeight, QColor(20, 40, 230), QColor(250, 240, 30), AV_PIX_FMT_YUV420P);
}

const AVRational kTimeBase{1, 10};
const AVRational kRate{10, 1};
constexpr int kFrames = 20;   // 2 s at 10 fps

} // namespace

class TestTransitionFrames : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Against xfade on the whole picture in 4:4:4: the same luma sample for
    // sample, the chroma equal to its 2x2 average up to the shape edges.
    void planesMatchTheWholeTransition_data()
    {
        QTest::addColumn<int>("iEffect");
        QTest::addColumn<int>("iWidth");
        QTest::addColumn<int>("iHeight");
        QTest::addColumn<double>("lfMeanBound");
        for (int e = 0; e < kTransitionEffectCount; ++e) {
            QTest::addRow("%s 96x54", transitionEffects()[e].szTransitionName) << e << 96 << 54 << 6.0;
            QTest::addRow("%s 384x216", transitionEffects()[e].szTransitionName) << e << 384 << 216 << 1.5;
        }
    }
    void planesMatchTheWholeTransition()
    {
        QFETCH(int, iEffect);
        QFETCH(int, iWidth);
        QFETCH(int, iHeight);
        QFETCH(double, lfMeanBound);
        const TransitionSegment stSegment = segmentOf(iEffect);
        AVFramePtr pFrom = fromPicture(iWidth, iHeight);
        AVFramePtr pTo = toPicture(iWidth, iHeight);
        QVERIFY(pFrom && pTo);

        QVERIFY(TransitionFrames::goesByPlanes(AV_PIX_FMT_YUV420P, iWidth, iHeight));
        TransitionFrames stFrames;
        QCOMPARE(stFrames.open(stSegment, pFrom.get(), pTo.get(), kTimeBase, kRate), 0);

        // The reference: both pictures in 4:4:4 through one xfade, no conversion after.
        AVFramePtr pFrom444 = makeFramePtr();
        AVFramePtr pTo444 = makeFramePtr();
        QCOMPARE(convertPixelFormat(pFrom.get(), pFrom444.get(), AV_PIX_FMT_YUV444P), 0);
        QCOMPARE(convertPixelFormat(pTo.get(), pTo444.get(), AV_PIX_FMT_YUV444P), 0);
        AVFilterGraphPtr pWhole(createTransitionGraph(stSegment, iWidth, iHeight, AV_PIX_FMT_YUV444P,
                                                      AV_PIX_FMT_YUV444P, kTimeBase, kRate));
        QVERIFY(pWhole);


        const int iChromaWidth = iWidth / 2;
        const int iChromaHeight = iHeight / 2;
        AVFramePtr pOut = makeFramePtr();
        AVFramePtr pReference = makeFramePtr();
        double lfWorstMean = 0;
        for (int i = 0; i < kFrames; ++i) {
            QCOMPARE(stFrames.frame(i, pOut.get()), 0);
            QCOMPARE(pOut->format, int(AV_PIX_FMT_YUV420P));
            QCOMPARE(pOut->width, iWidth);
            QCOMPARE(pOut->height, iHeight);

            pFrom444->pts = i;
            pTo444->pts = i;
            QCOMPARE(pushFrameToFilter(pWhole.get(), "in1", pFrom444.get()), 0);
            QCOMPARE(pushFrameToFilter(pWhole.get(), "in2", pTo444.get()), 0);
            bool bGot = false;
            QCOMPARE(pullFrameFromFilter(pWhole.get(), "out", pReference.get(), bGot), 0);
            QVERIFY(bGot);

            // At progress 1 (frame 0) xfade's slideleft reads its first sample
            // one past the end of each row: not a picture sample.
            const int iFrom = i == 0 ? 1 : 0;
            for (int y = 0; y < iHeight; ++y) {
                const uint8_t *pRow = pOut->data[0] + y * pOut->linesize[0];
                const uint8_t *pRef = pReference->data[0] + y * pReference->linesize[0];
                if (memcmp(pRow + iFrom, pRef + iFrom, iWidth - iFrom) != 0)
                    QFAIL(qPrintable(QStringLiteral("luma differs in frame %1, row %2").arg(i).arg(y)));
            }
            for (int p = 1; p <= 2; ++p) {
                int64_t iSum = 0;
                for (int y = 0; y < iChromaHeight; ++y) {
                    for (int x = 0; x < iChromaWidth; ++x) {
                        int iRef = 0, n = 0;
                        for (int dy = 0; dy < 2; ++dy) {
                            for (int dx = 0; dx < 2; ++dx) {
                                iRef += pReference->data[p][(2 * y + dy) * pReference->linesize[p] + 2 * x + dx];
                                ++n;
                            }
                        }
                        iSum += std::abs(pOut->data[p][y * pOut->linesize[p] + x] - (iRef + n / 2) / n);
                    }
                }
                lfWorstMean = std::max(lfWorstMean, double(iSum) / (iChromaWidth * iChromaHeight));
            }
        }
        // Inside the shapes the chroma is the same; samples on an edge of a
        // wipe, a circle or a pixel block take another share of the two
        // pictures, and the 2x2 average itself differs a little from the
        // 4:2:0 chroma it was upsampled from. Edges weigh less in a larger
        // picture, hence the bound by size.
        QVERIFY2(lfWorstMean < lfMeanBound, qPrintable(QString::number(lfWorstMean)));
    }

    // The painted frames are xfade's to the last bit, chroma of odd size and
    // a transition entered in its middle included; but for the first sample
    // of each row of slideleft's first frame, which xfade reads from past
    // the row's end.
    void paintedFramesAreTheFilters_data()
    {
        QTest::addColumn<int>("iEffect");
        QTest::addColumn<int>("iWidth");
        QTest::addColumn<int>("iHeight");
        QTest::addColumn<int>("iStart");
        for (int e = 0; e < kTransitionEffectCount; ++e) {
            QTest::addRow("%s 96x54", transitionEffects()[e].szTransitionName) << e << 96 << 54 << 0;
            QTest::addRow("%s 70x38 from 7", transitionEffects()[e].szTransitionName) << e << 70 << 38 << 7;
        }
    }
    void paintedFramesAreTheFilters()
    {
        QFETCH(int, iEffect);
        QFETCH(int, iWidth);
        QFETCH(int, iHeight);
        QFETCH(int, iStart);
        AVFramePtr pFrom = fromPicture(iWidth, iHeight);
        AVFramePtr pTo = toPicture(iWidth, iHeight);
        QVERIFY(pFrom && pTo);
        TransitionFrames stPainted, stFiltered;
        QCOMPARE(stPainted.open(segmentOf(iEffect), pFrom.get(), pTo.get(), kTimeBase, kRate, iStart), 0);
        QCOMPARE(stFiltered.open(segmentOf(iEffect), pFrom.get(), pTo.get(), kTimeBase, kRate, iStart,
                                 TransitionFrames::Maker::Filter),
                 0);
        AVFramePtr pPainted = makeFramePtr(), pFiltered = makeFramePtr();
        for (int i = iStart; i < kFrames; ++i) {
            QCOMPARE(stPainted.frame(i, pPainted.get()), 0);
            QCOMPARE(stFiltered.frame(i, pFiltered.get()), 0);
            QCOMPARE(pPainted->format, pFiltered->format);
            const int iFrom = i == 0 ? 1 : 0;
            // There the first picture's own sample, never memory past a row.
            if (i == 0 && qstrcmp(transitionEffects()[iEffect].szTransitionName, "slideleft") == 0)
                QCOMPARE(pPainted->data[0][(iHeight - 1) * pPainted->linesize[0]],
                         pFrom->data[0][(iHeight - 1) * pFrom->linesize[0]]);
            for (int p = 0; p < 3; ++p) {
                const int w = p ? iWidth / 2 : iWidth, h = p ? iHeight / 2 : iHeight;
                for (int y = 0; y < h; ++y) {
                    if (memcmp(pPainted->data[p] + y * pPainted->linesize[p] + iFrom,
                               pFiltered->data[p] + y * pFiltered->linesize[p] + iFrom, size_t(w - iFrom))
                        != 0)
                        QFAIL(qPrintable(QStringLiteral("frame %1, plane %2, row %3 differs").arg(i).arg(p).arg(y)));
                }
            }
        }
    }

    // A side of odd length goes whole, and still comes out in 4:2:0 at its size.
    void oddSidesGoWhole()
    {
        QVERIFY(!TransitionFrames::goesByPlanes(AV_PIX_FMT_YUV420P, 97, 54));
        QVERIFY(!TransitionFrames::goesByPlanes(AV_PIX_FMT_YUV420P, 96, 55));
        AVFramePtr pFrom = texturedPicture(97, 55, Qt::red, Qt::yellow, AV_PIX_FMT_YUV420P);
        AVFramePtr pTo = texturedPicture(97, 55, Qt::blue, Qt::cyan, AV_PIX_FMT_YUV420P);
        QVERIFY(pFrom && pTo);
        TransitionFrames stFrames;
        QCOMPARE(stFrames.open(segmentOf(19), pFrom.get(), pTo.get(), kTimeBase, kRate), 0);
        AVFramePtr pOut = makeFramePtr();
        for (int i = 0; i < kFrames; ++i) {
            QCOMPARE(stFrames.frame(i, pOut.get()), 0);
            QCOMPARE(pOut->format, int(AV_PIX_FMT_YUV420P));
            QCOMPARE(pOut->width, 97);
            QCOMPARE(pOut->height, 55);
        }
    }

    // Other formats go whole (converted to 4:4:4 once) and come back in their format.
    void otherFormatsGoWhole()
    {
        AVFramePtr pFrom = texturedPicture(64, 36, Qt::red, Qt::yellow, AV_PIX_FMT_RGB24);
        AVFramePtr pTo = texturedPicture(64, 36, Qt::blue, Qt::cyan, AV_PIX_FMT_RGB24);
        QVERIFY(pFrom && pTo);
        QVERIFY(!TransitionFrames::goesByPlanes(AV_PIX_FMT_RGB24, 64, 36));
        TransitionFrames stFrames;
        QCOMPARE(stFrames.open(segmentOf(0), pFrom.get(), pTo.get(), kTimeBase, kRate), 0);
        AVFramePtr pOut = makeFramePtr();
        for (int i = 0; i < kFrames; ++i) {
            QCOMPARE(stFrames.frame(i, pOut.get()), 0);
            QCOMPARE(pOut->format, int(AV_PIX_FMT_RGB24));
            QCOMPARE(pOut->width, 64);
        }
        // fadeblack ends on the second picture.
        const QImage stLast = frameToImage(pOut.get());
        QVERIFY(qBlue(stLast.pixel(2, 2)) > 150 && qRed(stLast.pixel(2, 2)) < 60);
    }

    // A frame handed out stays as it was while the next ones are made (the
    // encoder may still hold it), and pictures without reference-counted
    // buffers are taken too.
    void framesAreIndependent()
    {
        AVFramePtr pFrom = texturedPicture(64, 36, Qt::red, Qt::yellow, AV_PIX_FMT_YUV420P);
        AVFramePtr pTo = texturedPicture(64, 36, Qt::blue, Qt::cyan, AV_PIX_FMT_YUV420P);
        QVERIFY(pFrom && pTo);
        // pTo as a picture in plain memory, owned by no buffer.
        uint8_t *pData[4] = {};
        int iLines[4] = {};
        QVERIFY(av_image_alloc(pData, iLines, 64, 36, AV_PIX_FMT_YUV420P, 32) > 0);
        av_image_copy(pData, iLines, const_cast<const uint8_t **>(pTo->data), pTo->linesize, AV_PIX_FMT_YUV420P,
                      64, 36);
        AVFrame stPlain = {};
        stPlain.format = AV_PIX_FMT_YUV420P;
        stPlain.width = 64;
        stPlain.height = 36;
        for (int p = 0; p < 4; ++p) {
            stPlain.data[p] = pData[p];
            stPlain.linesize[p] = iLines[p];
        }

        TransitionFrames stFrames;
        const int ret = stFrames.open(segmentOf(12), pFrom.get(), &stPlain, kTimeBase, kRate);   // wipeleft
        av_freep(&pData[0]);
        QCOMPARE(ret, 0);

        AVFramePtr pFirst = makeFramePtr();
        QCOMPARE(stFrames.frame(0, pFirst.get()), 0);
        const QImage stFirst = frameToImage(pFirst.get());
        AVFramePtr pOut = makeFramePtr();
        for (int i = 1; i < kFrames; ++i)
            QCOMPARE(stFrames.frame(i, pOut.get()), 0);
        QCOMPARE(frameToImage(pFirst.get()), stFirst);
        // wipeleft has wiped the first picture away by its last frame.
        const QImage stLast = frameToImage(pOut.get());
        QVERIFY(qBlue(stLast.pixel(60, 2)) > 150);
        QVERIFY(stLast != stFirst);
    }

    void badPictures()
    {
        AVFramePtr pSmall = texturedPicture(64, 36, Qt::red, Qt::yellow, AV_PIX_FMT_YUV420P);
        AVFramePtr pLarge = texturedPicture(66, 36, Qt::blue, Qt::cyan, AV_PIX_FMT_YUV420P);
        AVFramePtr pRgb = texturedPicture(64, 36, Qt::blue, Qt::cyan, AV_PIX_FMT_RGB24);
        AVFramePtr pEmpty = makeFramePtr();
        TransitionFrames stFrames;
        QCOMPARE(stFrames.open(segmentOf(0), pSmall.get(), pLarge.get(), kTimeBase, kRate), AVERROR(EINVAL));
        QCOMPARE(stFrames.open(segmentOf(0), pSmall.get(), pRgb.get(), kTimeBase, kRate), AVERROR(EINVAL));
        QCOMPARE(stFrames.open(segmentOf(0), pEmpty.get(), pEmpty.get(), kTimeBase, kRate), AVERROR(EINVAL));
        QCOMPARE(stFrames.failedStep(), TransitionFrames::Step::Convert);
        TransitionSegment stNoEffect;
        stNoEffect.iDuration = 2000000;
        QCOMPARE(stFrames.open(stNoEffect, pSmall.get(), pSmall.get(), kTimeBase, kRate), AVERROR(EINVAL));
        QCOMPARE(stFrames.failedStep(), TransitionFrames::Step::Graph);
        // Nothing opened: no frame.
        AVFramePtr pOut = makeFramePtr();
        QVERIFY(stFrames.frame(0, pOut.get()) < 0);
    }
};

QTEST_GUILESS_MAIN(TestTransitionFrames)
#include "tst_transitionframes.moc"
