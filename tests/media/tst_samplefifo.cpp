#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/SampleFifo.h"

#include <QtTest>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace {

// Interleaved stereo s16 whose sample i of channel c holds 2 * (iFirst + i) + c.
AVFramePtr ramp(int iFirst, int iSamples)
{
    AVFramePtr pFrame = makeFramePtr();
    if (makeSilentFrame(pFrame.get(), 2, 44100, AV_SAMPLE_FMT_S16, iSamples) < 0)
        return nullptr;
    auto *pData = reinterpret_cast<int16_t *>(pFrame->data[0]);
    for (int i = 0; i < iSamples; ++i)
        for (int c = 0; c < 2; ++c)
            pData[2 * i + c] = static_cast<int16_t>(2 * (iFirst + i) + c);
    return pFrame;
}

bool holdsRamp(const AVFrame *pFrame, int iFirst)
{
    const auto *pData = reinterpret_cast<const int16_t *>(pFrame->data[0]);
    for (int i = 0; i < pFrame->nb_samples; ++i)
        for (int c = 0; c < 2; ++c)
            if (pData[2 * i + c] != 2 * (iFirst + i) + c)
                return false;
    return true;
}

} // namespace

class TestSampleFifo : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsWhatWasWrittenInOrder()
    {
        SampleFifo stFifo;
        QCOMPARE(allocSampleFifo(stFifo, AV_SAMPLE_FMT_S16, 2, 64), 0);
        AVFramePtr pFirst = ramp(0, 100);
        AVFramePtr pSecond = ramp(100, 50);
        QCOMPARE(fifoWriteFrame(stFifo, pFirst.get()), 0);
        QCOMPARE(fifoWriteFrame(stFifo, pSecond.get()), 0);
        QCOMPARE(stFifo.size(), 150);

        AVFramePtr pOut = makeFramePtr();
        QCOMPARE(fifoReadFrame(stFifo, 60, pOut.get()), 0);
        QCOMPARE(pOut->nb_samples, 60);
        QVERIFY(holdsRamp(pOut.get(), 0));
        QCOMPARE(stFifo.size(), 90);

        // More than the content gives just the content.
        QCOMPARE(fifoReadFrame(stFifo, 1000, pOut.get()), 0);
        QCOMPARE(pOut->nb_samples, 90);
        QVERIFY(holdsRamp(pOut.get(), 60));
        QCOMPARE(pOut->format, int(AV_SAMPLE_FMT_S16));
        QCOMPARE(pOut->ch_layout.nb_channels, 2);
        QCOMPARE(pOut->ch_layout.u.mask, uint64_t(AV_CH_LAYOUT_STEREO));
        QCOMPARE(stFifo.size(), 0);

        // Empty: nothing to give, the destination keeps its samples.
        QCOMPARE(fifoReadFrame(stFifo, 10, pOut.get()), AVERROR(EAGAIN));
        QCOMPARE(pOut->nb_samples, 90);
    }

    void nothingWantedLeavesTheDestination()
    {
        SampleFifo stFifo;
        QCOMPARE(allocSampleFifo(stFifo, AV_SAMPLE_FMT_S16, 2, 16), 0);
        AVFramePtr pIn = ramp(0, 40);
        QCOMPARE(fifoWriteFrame(stFifo, pIn.get()), 0);
        AVFramePtr pOut = ramp(500, 8);
        const void *pBefore = pOut->data[0];
        for (int iWanted : {0, -1, -4096}) {
            QCOMPARE(fifoReadFrame(stFifo, iWanted, pOut.get()), 0);
            QCOMPARE(static_cast<const void *>(pOut->data[0]), pBefore);
            QCOMPARE(pOut->nb_samples, 8);
            QVERIFY(holdsRamp(pOut.get(), 500));
        }
        QCOMPARE(stFifo.size(), 40);
    }

    void planarChannelsStaySeparate()
    {
        SampleFifo stFifo;
        QCOMPARE(allocSampleFifo(stFifo, AV_SAMPLE_FMT_FLTP, 2, 8), 0);
        AVFramePtr pIn = makeFramePtr();
        QCOMPARE(makeSilentFrame(pIn.get(), 2, 48000, AV_SAMPLE_FMT_FLTP, 30), 0);
        for (int i = 0; i < 30; ++i) {
            reinterpret_cast<float *>(pIn->extended_data[0])[i] = float(i);
            reinterpret_cast<float *>(pIn->extended_data[1])[i] = -float(i);
        }
        QCOMPARE(fifoWriteFrame(stFifo, pIn.get()), 0);
        AVFramePtr pOut = makeFramePtr();
        QCOMPARE(fifoReadFrame(stFifo, 30, pOut.get()), 0);
        QCOMPARE(pOut->nb_samples, 30);
        for (int i = 0; i < 30; ++i) {
            QCOMPARE(reinterpret_cast<const float *>(pOut->extended_data[0])[i], float(i));
            QCOMPARE(reinterpret_cast<const float *>(pOut->extended_data[1])[i], -float(i));
        }
    }

    void refusesFramesOfAnotherLayout()
    {
        SampleFifo stFifo;
        AVFramePtr pStereo = ramp(0, 10);
        QCOMPARE(fifoWriteFrame(stFifo, pStereo.get()), AVERROR(EINVAL)); // no FIFO yet
        QCOMPARE(allocSampleFifo(stFifo, AV_SAMPLE_FMT_S16, 6, 16), 0);
        // Two channels into six would be read past the frame's buffers.
        QCOMPARE(fifoWriteFrame(stFifo, pStereo.get()), AVERROR(EINVAL));
        AVFramePtr pFloat = makeFramePtr();
        QCOMPARE(makeSilentFrame(pFloat.get(), 6, 44100, AV_SAMPLE_FMT_FLT, 10), 0);
        QCOMPARE(fifoWriteFrame(stFifo, pFloat.get()), AVERROR(EINVAL));
        QCOMPARE(fifoWriteFrame(stFifo, nullptr), AVERROR(EINVAL));
        QCOMPARE(stFifo.size(), 0);
        AVFramePtr pOut = makeFramePtr();
        QCOMPARE(fifoReadFrame(stFifo, 10, nullptr), AVERROR(EINVAL));
        QCOMPARE(allocSampleFifo(stFifo, AV_SAMPLE_FMT_NONE, 2, 16), AVERROR(EINVAL));
        QCOMPARE(allocSampleFifo(stFifo, AV_SAMPLE_FMT_S16, 0, 16), AVERROR(EINVAL));
        stFifo.reset();
        QCOMPARE(fifoReadFrame(stFifo, 10, pOut.get()), AVERROR(EINVAL));
    }
};

QTEST_MAIN(TestSampleFifo)
#include "tst_samplefifo.moc"
