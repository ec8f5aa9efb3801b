#include "common/TestMedia.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/ImageConvert.h"

#include <QtTest>

namespace {

// Every pixel different, alpha included, so that a shifted row or swapped
// channel shows.
QImage pattern(int w, int h)
{
    QImage stImage(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            stImage.setPixel(x, y, qRgba((x * 37 + y * 11) & 0xFF, (x * 5 + y * 71) & 0xFF, (x * y + 3) & 0xFF,
                                         (x * 13 + y * 29 + 1) & 0xFF));
    return stImage;
}

} // namespace

class TestImageConvert : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void bgraRoundTripIsExact_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        for (const QSize &st : {QSize(1, 1), QSize(3, 2), QSize(33, 17), QSize(63, 5), QSize(640, 3)})
            QTest::addRow("%dx%d", st.width(), st.height()) << st.width() << st.height();
    }
    void bgraRoundTripIsExact()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        const QImage stImage = pattern(width, height);
        AVFramePtr pFrame(imageToFrame(stImage));
        QVERIFY(pFrame);
        QCOMPARE(pFrame->format, int(AV_PIX_FMT_BGRA));
        QCOMPARE(pFrame->width, width);
        QCOMPARE(pFrame->height, height);
        QCOMPARE(pFrame->pts, int64_t(0));
        QVERIFY(pFrame->linesize[0] >= width * 4);
        for (int y = 0; y < height; ++y) {
            const uint8_t *pRow = pFrame->data[0] + y * pFrame->linesize[0];
            for (int x = 0; x < width; ++x) {
                const QRgb c = stImage.pixel(x, y);
                QCOMPARE(pRow[4 * x + 0], uint8_t(qBlue(c)));
                QCOMPARE(pRow[4 * x + 1], uint8_t(qGreen(c)));
                QCOMPARE(pRow[4 * x + 2], uint8_t(qRed(c)));
                QCOMPARE(pRow[4 * x + 3], uint8_t(qAlpha(c)));
            }
        }
        QCOMPARE(frameToImage(pFrame.get()), stImage);
    }

    void paddedAndFlippedFrames()
    {
        // Rows padded far beyond the picture.
        AVFramePtr pPadded = makeFramePtr();
        pPadded->width = 37;
        pPadded->height = 6;
        pPadded->format = AV_PIX_FMT_BGRA;
        QCOMPARE(av_frame_get_buffer(pPadded.get(), 256), 0);
        QVERIFY(pPadded->linesize[0] > 37 * 4);
        const QImage stImage = pattern(37, 6);
        for (int y = 0; y < 6; ++y) {
            memset(pPadded->data[0] + y * pPadded->linesize[0], 0xEE, pPadded->linesize[0]);
            memcpy(pPadded->data[0] + y * pPadded->linesize[0], stImage.constScanLine(y), 37 * 4);
        }
        QCOMPARE(frameToImage(pPadded.get()), stImage);

        // vflip hands out the rows bottom-up with a negative line size.
        AVFilterGraphPtr pFlip(createFilterGraph(
            "vflip",
            FilterInput("in", 37, 6, AV_PIX_FMT_BGRA, AVRational{1, 1}, AVRational{0, 1}, AVRational{0, 1}),
            FilterOutput("out", AV_PIX_FMT_BGRA)));
        QVERIFY(pFlip);
        QCOMPARE(pushFrameToFilter(pFlip.get(), "in", pPadded.get()), 0);
        AVFramePtr pFlipped = makeFramePtr();
        bool bGot = false;
        QCOMPARE(pullFrameFromFilter(pFlip.get(), "out", pFlipped.get(), bGot), 0);
        QVERIFY(bGot);
        QCOMPARE(frameToImage(pFlipped.get()), stImage.mirrored(false, true));
    }

    void otherFormatsAndPixmaps()
    {
        AVFramePtr pYuv = makeFramePtr();
        QCOMPARE(makeColorFrame(pYuv.get(), 20, 10, AV_PIX_FMT_YUV420P, "red"), 0);
        const QImage stRed = frameToImage(pYuv.get());
        QCOMPARE(stRed.format(), QImage::Format_ARGB32);
        QCOMPARE(stRed.size(), QSize(20, 10));
        QVERIFY(testmedia::colorNear(stRed.pixel(5, 5), qRgb(255, 0, 0), 30));
        QCOMPARE(qAlpha(stRed.pixel(5, 5)), 255);

        // Images in other formats arrive as ARGB32.
        QImage stRgb(9, 4, QImage::Format_RGB888);
        stRgb.fill(QColor(10, 200, 30));
        AVFramePtr pFromRgb(imageToFrame(stRgb));
        QVERIFY(pFromRgb);
        QCOMPARE(frameToImage(pFromRgb.get()), stRgb.convertToFormat(QImage::Format_ARGB32));

        const QPixmap stPixmap = frameToPixmap(pYuv.get());
        QCOMPARE(stPixmap.size(), QSize(20, 10));
        QVERIFY(testmedia::colorNear(stPixmap.toImage().pixel(3, 3), qRgb(255, 0, 0), 30));

        AVFramePtr pEmpty = makeFramePtr();
        QVERIFY(frameToImage(nullptr).isNull());
        QVERIFY(frameToImage(pEmpty.get()).isNull());
        QVERIFY(frameToPixmap(pEmpty.get()).isNull());
        QVERIFY(!imageToFrame(QImage()));
    }
};

QTEST_MAIN(TestImageConvert)
#include "tst_imageconvert.moc"
