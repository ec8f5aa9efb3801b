#include "common/TestMedia.h"
#include "common/TestSupport.h"
#include "media/ffmpeg/FFmpegCodec.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/ImageConvert.h"

#include <QTemporaryDir>
#include <QtTest>

using testmedia::colorNear;

class TestFFmpegCodec : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_szClip;
    int m_iFrames = -1;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // B-frames make the decoder hold its first pictures back.
        m_szClip = m_dir.filePath("clip.mp4");
        QString szError;
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i",
                                      "color=c=red:s=96x64:r=10:d=1.5,drawbox=c=blue:t=fill:enable='eq(n,0)',"
                                      "drawbox=c=lime:t=fill:enable='eq(n,14)'",
                                      "-c:v", "libx264", "-bf", "2", "-g", "6", "-pix_fmt", "yuv420p", m_szClip},
                                     &szError),
                 qPrintable(szError));
        m_iFrames = testsupport::countVideoFrames(m_szClip);
        QVERIFY(m_iFrames > 1);
    }

    void decodesEveryFrameOneAtATime()
    {
        AVInputContextPtr pInput(openInputFile(m_szClip.toStdString()));
        QVERIFY(pInput);
        QVERIFY(findStreamInfo(pInput.get()) >= 0);
        AVStream *pStream = findFirstStream(pInput.get(), AVMEDIA_TYPE_VIDEO);
        QVERIFY(pStream);
        QVERIFY(!findFirstStream(pInput.get(), AVMEDIA_TYPE_AUDIO));
        AVCodecContextPtr pDecoder(openDecoder(pStream->codecpar));
        QVERIFY(pDecoder);
        QCOMPARE(pDecoder->codec_id, AV_CODEC_ID_H264);

        AVPacketPtr pPacket = makePacketPtr();
        AVFramePtr pFrame = makeFramePtr();
        AVFramePtr pFirst = makeFramePtr();
        int iFrames = 0;
        int iPackets = 0;
        bool bFlushing = false;
        for (;;) {
            if (!bFlushing) {
                const int ret = readPacket(pInput.get(), pPacket.get());
                if (ret == AVERROR_EOF) {
                    bFlushing = true;
                    // The last packet read is still there: only success replaces it.
                    QVERIFY(pPacket->size > 0);
                } else {
                    QCOMPARE(ret, 0);
                }
            }
            bool bGot = true;
            const int ret = decodePacket(pDecoder.get(), bFlushing ? nullptr : pPacket.get(), pFrame.get(), bGot);
            if (!bFlushing)
                ++iPackets;
            if (iPackets == 1 && !bFlushing) {
                // The first picture cannot come out before the ones it is reordered with.
                QCOMPARE(ret, 0);
                QVERIFY(!bGot);
            }
            if (ret == AVERROR_EOF) {
                QVERIFY(!bGot);
                break;
            }
            QCOMPARE(ret, 0);
            if (bGot) {
                if (iFrames == 0)
                    QCOMPARE(av_frame_ref(pFirst.get(), pFrame.get()), 0);
                ++iFrames;
            }
        }
        QCOMPARE(iFrames, m_iFrames);
        QVERIFY(colorNear(frameToImage(pFirst.get()).pixel(48, 32), qRgb(0, 0, 255), 40));
        QVERIFY(colorNear(frameToImage(pFrame.get()).pixel(48, 32), qRgb(0, 255, 0), 40));

        // Drained stays drained.
        bool bGot = true;
        QCOMPARE(decodePacket(pDecoder.get(), nullptr, pFrame.get(), bGot), AVERROR_EOF);
        QVERIFY(!bGot);
    }

    void encodesAndFlushes()
    {
        AVCodecParametersPtr pParams(avcodec_parameters_alloc());
        pParams->codec_type = AVMEDIA_TYPE_VIDEO;
        pParams->codec_id = AV_CODEC_ID_MPEG4;
        pParams->width = 64;
        pParams->height = 48;
        pParams->format = AV_PIX_FMT_YUV420P;
        pParams->bit_rate = 200000;
        AVCodecContextPtr pEncoder(openEncoder(pParams.get(), AVRational{1, 25}, AVRational{25, 1}, 0));
        QVERIFY(pEncoder);
        QCOMPARE(pEncoder->time_base.den, 25);
        QCOMPARE(pEncoder->framerate.num, 25);

        AVFramePtr pFrame = makeFramePtr();
        AVPacketPtr pPacket = makePacketPtr();
        int iPackets = 0;
        const char *colors[] = {"red", "green", "blue", "white", "black"};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(makeColorFrame(pFrame.get(), 64, 48, AV_PIX_FMT_YUV420P, colors[i]), 0);
            pFrame->pts = i;
            bool bGot = false;
            QCOMPARE(encodeFrame(pEncoder.get(), pFrame.get(), pPacket.get(), bGot), 0);
            iPackets += bGot ? 1 : 0;
        }
        for (;;) {
            bool bGot = true;
            const int ret = encodeFrame(pEncoder.get(), nullptr, pPacket.get(), bGot);
            if (ret == AVERROR_EOF) {
                QVERIFY(!bGot);
                break;
            }
            QCOMPARE(ret, 0);
            QVERIFY(bGot);
            ++iPackets;
        }
        QCOMPARE(iPackets, 5);
    }

    void missingArguments()
    {
        AVFramePtr pFrame = makeFramePtr();
        AVPacketPtr pPacket = makePacketPtr();
        bool bGot = true;
        QCOMPARE(decodePacket(nullptr, pPacket.get(), pFrame.get(), bGot), AVERROR(EINVAL));
        QVERIFY(!bGot);
        bGot = true;
        QCOMPARE(encodeFrame(nullptr, pFrame.get(), pPacket.get(), bGot), AVERROR(EINVAL));
        QVERIFY(!bGot);
        QVERIFY(!openDecoder(nullptr));
        QVERIFY(!openEncoder(nullptr, AVRational{1, 25}, AVRational{25, 1}, 0));
        AVCodecParametersPtr pNone(avcodec_parameters_alloc());
        QVERIFY(!openDecoder(pNone.get()));
        QCOMPARE(readPacket(nullptr, pPacket.get()), AVERROR(EINVAL));
        QCOMPARE(findStreamInfo(nullptr), AVERROR(EINVAL));
        QVERIFY(!findFirstStream(nullptr, AVMEDIA_TYPE_VIDEO));
    }
};

QTEST_MAIN(TestFFmpegCodec)
#include "tst_ffmpegcodec.moc"
