#include "common/TestMedia.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/ImageConvert.h"
#include "media/ffmpeg/SizeMath.h"

#include <QtTest>

extern "C" {
#include <libavutil/channel_layout.h>
}

using testmedia::colorFrame;
using testmedia::colorNear;
using testmedia::frameOf;

namespace {

bool isBlack(QRgb c) { return colorNear(c, qRgb(0, 0, 0), 20); }

} // namespace

class TestFrameOps : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void colorFrames()
    {
        AVFramePtr pFrame = makeFramePtr();
        QCOMPARE(makeColorFrame(pFrame.get(), 48, 20, AV_PIX_FMT_YUV420P), 0);
        QCOMPARE(pFrame->width, 48);
        QCOMPARE(pFrame->height, 20);
        QCOMPARE(pFrame->format, int(AV_PIX_FMT_YUV420P));
        QVERIFY(colorNear(frameToImage(pFrame.get()).pixel(10, 10), qRgb(255, 255, 255), 4)); // empty = white

        QCOMPARE(makeColorFrame(pFrame.get(), 30, 10, AV_PIX_FMT_BGRA, "#D9D9D9"), 0);
        QCOMPARE(pFrame->format, int(AV_PIX_FMT_BGRA));
        QVERIFY(colorNear(frameToImage(pFrame.get()).pixel(29, 9), qRgb(0xD9, 0xD9, 0xD9), 2));

        // Text that is not a colour never reaches the filter description.
        const void *pBefore = pFrame->data[0];
        QCOMPARE(makeColorFrame(pFrame.get(), 30, 10, AV_PIX_FMT_BGRA, "red,scale=2:2"), AVERROR(EINVAL));
        QCOMPARE(makeColorFrame(pFrame.get(), 30, 10, AV_PIX_FMT_BGRA, "notacolour"), AVERROR(EINVAL));
        QCOMPARE(makeColorFrame(pFrame.get(), 0, 10, AV_PIX_FMT_BGRA, "red"), AVERROR(EINVAL));
        QCOMPARE(makeColorFrame(pFrame.get(), 30, 10, AV_PIX_FMT_NONE, "red"), AVERROR(EINVAL));
        QCOMPARE(static_cast<const void *>(pFrame->data[0]), pBefore);
    }

    void overlayPlacesTheTopPicture()
    {
        AVFramePtr pBase = colorFrame(64, 48, "blue");
        pBase->pts = 42;
        QImage stMark(16, 10, QImage::Format_ARGB32);
        stMark.fill(qRgba(255, 0, 0, 255));
        AVFramePtr pTop = frameOf(stMark);
        AVFramePtr pOut = makeFramePtr();
        QCOMPARE(overlayFrame(pBase.get(), pOut.get(), pTop.get(), 10, 20), 0);
        QCOMPARE(pOut->width, 64);
        QCOMPARE(pOut->height, 48);
        QCOMPARE(pOut->format, int(AV_PIX_FMT_YUV420P));
        QCOMPARE(pOut->pts, int64_t(42));
        const QImage stResult = frameToImage(pOut.get());
        QVERIFY(colorNear(stResult.pixel(17, 24), qRgb(255, 0, 0), 40));
        QVERIFY(colorNear(stResult.pixel(4, 4), qRgb(0, 0, 255), 40));
        QVERIFY(colorNear(stResult.pixel(40, 40), qRgb(0, 0, 255), 40));
        QVERIFY(colorNear(stResult.pixel(17, 16), qRgb(0, 0, 255), 40)); // just above the mark

        // A fully transparent top leaves the base as it was; base and destination may be one frame.
        stMark.fill(qRgba(255, 0, 0, 0));
        AVFramePtr pClear = frameOf(stMark);
        QCOMPARE(overlayFrame(pBase.get(), pBase.get(), pClear.get(), 10, 20), 0);
        QVERIFY(colorNear(frameToImage(pBase.get()).pixel(17, 24), qRgb(0, 0, 255), 40));
    }

    void scalePadCentresWithEqualBars()
    {
        AVFramePtr pPicture = colorFrame(640, 480, "red");
        AVFramePtr pOut = makeFramePtr();
        QCOMPARE(scalePadFrame(pPicture.get(), pOut.get(), 1920, 1080), 0);
        QCOMPARE(pOut->width, 1920);
        QCOMPARE(pOut->height, 1080);
        QCOMPARE(pOut->format, int(AV_PIX_FMT_YUV420P));

        const QImage stImage = frameToImage(pOut.get());
        const QSize stFit = fitSize(640, 480, 1920, 1080);
        QCOMPARE(stFit.height(), 1080);
        for (int y : {0, 540, 1079}) {
            int iLeft = 0;
            while (iLeft < stImage.width() && isBlack(stImage.pixel(iLeft, y)))
                ++iLeft;
            int iRight = 0;
            while (iRight < stImage.width() && isBlack(stImage.pixel(stImage.width() - 1 - iRight, y)))
                ++iRight;
            QCOMPARE(iLeft, iRight);
            QCOMPARE(iLeft, (1920 - stFit.width()) / 2);
            QVERIFY(colorNear(stImage.pixel(iLeft + 1, y), qRgb(255, 0, 0), 40));
            QVERIFY(colorNear(stImage.pixel(1920 - iRight - 2, y), qRgb(255, 0, 0), 40));
        }

        // Landscape into portrait pads top and bottom, here in white; in place.
        QCOMPARE(scalePadFrame(pPicture.get(), pPicture.get(), 300, 400, "white"), 0);
        QCOMPARE(pPicture->width, 300);
        QCOMPARE(pPicture->height, 400);
        const QImage stPortrait = frameToImage(pPicture.get());
        QVERIFY(colorNear(stPortrait.pixel(150, 2), qRgb(255, 255, 255), 30));
        QVERIFY(colorNear(stPortrait.pixel(150, 200), qRgb(255, 0, 0), 40));
        QVERIFY(colorNear(stPortrait.pixel(150, 397), qRgb(255, 255, 255), 30));

        QCOMPARE(scalePadFrame(pPicture.get(), pOut.get(), 0, 1080), AVERROR(EINVAL));
        QCOMPARE(scalePadFrame(pPicture.get(), pOut.get(), 64, 64, "black:x=5"), AVERROR(EINVAL));
    }

    void softwareScaling()
    {
        AVFramePtr pPicture = colorFrame(64, 48, "lime");
        pPicture->pts = 7;
        pPicture->pkt_dts = 6;
        pPicture->pict_type = AV_PICTURE_TYPE_P;

        AVFramePtr pSame = makeFramePtr();
        QCOMPARE(convertPixelFormat(pPicture.get(), pSame.get(), AV_PIX_FMT_YUV420P), 0);
        QCOMPARE(pSame->buf[0]->buffer, pPicture->buf[0]->buffer); // a reference, not a copy

        AVFramePtr pBgra = makeFramePtr();
        QCOMPARE(convertPixelFormat(pPicture.get(), pBgra.get(), AV_PIX_FMT_BGRA), 0);
        QCOMPARE(pBgra->format, int(AV_PIX_FMT_BGRA));
        QCOMPARE(pBgra->width, 64);
        QCOMPARE(pBgra->pts, int64_t(7));
        QCOMPARE(pBgra->pkt_dts, int64_t(6));
        QCOMPARE(pBgra->pict_type, AV_PICTURE_TYPE_P);
        QVERIFY(colorNear(frameToImage(pBgra.get()).pixel(30, 30), qRgb(0, 255, 0), 30));

        QCOMPARE(resizeFrame(pBgra.get(), pBgra.get(), 150, 20), 0);
        QCOMPARE(pBgra->width, 150);
        QCOMPARE(pBgra->height, 20);
        QCOMPARE(pBgra->format, int(AV_PIX_FMT_BGRA));
        QCOMPARE(pBgra->pts, int64_t(7));
        QVERIFY(colorNear(frameToImage(pBgra.get()).pixel(149, 19), qRgb(0, 255, 0), 30));

        AVFramePtr pFit = makeFramePtr();
        QCOMPARE(fitResizeFrame(pPicture.get(), pFit.get(), 100, 100), 0);
        const QSize stFit = fitSize(64, 48, 100, 100);
        QCOMPARE(QSize(pFit->width, pFit->height), stFit);
        QCOMPARE(pFit->format, int(AV_PIX_FMT_YUV420P));

        QCOMPARE(resizeFrame(pPicture.get(), pFit.get(), 0, 20), AVERROR(EINVAL));
        QCOMPARE(QSize(pFit->width, pFit->height), stFit);
    }

    void silence()
    {
        AVFramePtr pFrame = makeFramePtr();
        QCOMPARE(makeSilentFrame(pFrame.get(), 2, 44100, AV_SAMPLE_FMT_S16, 500), 0);
        QCOMPARE(pFrame->nb_samples, 500);
        QCOMPARE(pFrame->sample_rate, 44100);
        QCOMPARE(pFrame->format, int(AV_SAMPLE_FMT_S16));
        QCOMPARE(pFrame->ch_layout.nb_channels, 2);
        QCOMPARE(pFrame->ch_layout.u.mask, uint64_t(AV_CH_LAYOUT_STEREO));
        const auto *pS16 = reinterpret_cast<const int16_t *>(pFrame->data[0]);
        QVERIFY(std::all_of(pS16, pS16 + 1000, [](int16_t v) { return v == 0; }));

        QCOMPARE(makeSilentFrame(pFrame.get(), 1, 8000, AV_SAMPLE_FMT_U8, 33), 0);
        QCOMPARE(pFrame->ch_layout.u.mask, uint64_t(AV_CH_LAYOUT_MONO));
        QVERIFY(std::all_of(pFrame->data[0], pFrame->data[0] + 33, [](uint8_t v) { return v == 0x80; }));

        QCOMPARE(makeSilentFrame(pFrame.get(), 6, 48000, AV_SAMPLE_FMT_FLTP, 256), 0);
        AVChannelLayout stSix;
        av_channel_layout_default(&stSix, 6);
        QCOMPARE(av_channel_layout_compare(&pFrame->ch_layout, &stSix), 0);
        for (int c = 0; c < 6; ++c) {
            const auto *pPlane = reinterpret_cast<const float *>(pFrame->extended_data[c]);
            QVERIFY(std::all_of(pPlane, pPlane + 256, [](float v) { return v == 0.0f; }));
        }

        QCOMPARE(makeSilentFrame(pFrame.get(), 0, 48000, AV_SAMPLE_FMT_FLTP, 256), AVERROR(EINVAL));
        QCOMPARE(makeSilentFrame(pFrame.get(), 2, 48000, AV_SAMPLE_FMT_FLTP, 0), AVERROR(EINVAL));
        QCOMPARE(makeSilentFrame(pFrame.get(), 2, 48000, AV_SAMPLE_FMT_NONE, 10), AVERROR(EINVAL));
        QCOMPARE(pFrame->nb_samples, 256);
    }

    void soundIsRefusedByVideoOperations()
    {
        AVFramePtr pSound = makeFramePtr();
        QCOMPARE(makeSilentFrame(pSound.get(), 2, 44100, AV_SAMPLE_FMT_S16, 1024), 0);
        AVFramePtr pPicture = colorFrame(32, 32, "red");
        AVFramePtr pDst = colorFrame(8, 8, "blue");
        const void *pBefore = pDst->data[0];

        QCOMPARE(overlayFrame(pSound.get(), pDst.get(), pPicture.get(), 0, 0), AVERROR_INVALIDDATA);
        QCOMPARE(overlayFrame(pPicture.get(), pDst.get(), pSound.get(), 0, 0), AVERROR_INVALIDDATA);
        QCOMPARE(scalePadFrame(pSound.get(), pDst.get(), 64, 64), AVERROR_INVALIDDATA);
        QCOMPARE(convertPixelFormat(pSound.get(), pDst.get(), AV_PIX_FMT_BGRA), AVERROR_INVALIDDATA);
        QCOMPARE(resizeFrame(pSound.get(), pDst.get(), 16, 16), AVERROR_INVALIDDATA);
        QCOMPARE(fitResizeFrame(pSound.get(), pDst.get(), 16, 16), AVERROR_INVALIDDATA);
        QVERIFY(frameToImage(pSound.get()).isNull());
        QCOMPARE(static_cast<const void *>(pDst->data[0]), pBefore);
        QCOMPARE(pDst->width, 8);

        // A frame without a picture is refused too.
        AVFramePtr pEmpty = makeFramePtr();
        QCOMPARE(convertPixelFormat(pEmpty.get(), pDst.get(), AV_PIX_FMT_BGRA), AVERROR(EINVAL));
        QCOMPARE(overlayFrame(pPicture.get(), pDst.get(), pEmpty.get(), 0, 0), AVERROR(EINVAL));
    }
};

QTEST_MAIN(TestFrameOps)
#include "tst_frameops.moc"
