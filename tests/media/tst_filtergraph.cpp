#include "common/TestMedia.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/ImageConvert.h"

#include <QtTest>

extern "C" {
#include <libavutil/channel_layout.h>
}

using testmedia::colorFrame;
using testmedia::colorNear;
using testmedia::frameOf;

namespace {

// iSamples of interleaved stereo s16 audio holding iValue in every sample.
AVFramePtr constantStereo(int iSamples, int16_t iValue)
{
    AVFramePtr pFrame = makeFramePtr();
    if (makeSilentFrame(pFrame.get(), 2, 44100, AV_SAMPLE_FMT_S16, iSamples) < 0)
        return nullptr;
    auto *pSamples = reinterpret_cast<int16_t *>(pFrame->data[0]);
    for (int i = 0; i < iSamples * 2; ++i)
        pSamples[i] = iValue;
    pFrame->pts = 0;
    return pFrame;
}

FilterInput videoInput(const char *szName, int w, int h)
{
    return FilterInput(szName, w, h, AV_PIX_FMT_YUV420P, AVRational{1, 25}, AVRational{25, 1}, AVRational{0, 1});
}

FilterInput stereoInput(const char *szName)
{
    return FilterInput(szName, AV_CH_LAYOUT_STEREO, 2, AV_SAMPLE_FMT_S16, AVRational{1, 44100}, 44100);
}

} // namespace

class TestFilterGraph : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sourceArgumentsAreFormattedExactly()
    {
        const FilterInput stVideo("in", 1920, 1080, AV_PIX_FMT_YUV420P, AVRational{1, 25}, AVRational{25, 1},
                                  AVRational{0, 1});
        QCOMPARE(QString::fromStdString(bufferSourceArgs(stVideo)),
                 QStringLiteral("video_size=1920x1080:pix_fmt=0:time_base=1/25:pixel_aspect=0/1:frame_rate=25/1"));
        QCOMPARE(stVideo.iType, int(AVMEDIA_TYPE_VIDEO));

        const FilterInput stAudio("in", AV_CH_LAYOUT_5POINT1, 6, AV_SAMPLE_FMT_FLTP, AVRational{1, 48000}, 48000);
        QCOMPARE(QString::fromStdString(bufferSourceArgs(stAudio)),
                 QStringLiteral("sample_rate=48000:sample_fmt=8:time_base=1/48000:channel_layout=%1:channels=6")
                     .arg(quint64(AV_CH_LAYOUT_5POINT1)));
        QCOMPARE(stAudio.iType, int(AVMEDIA_TYPE_AUDIO));

        const FilterOutput stVideoSink("out", AV_PIX_FMT_BGRA);
        const FilterOutput stAudioSink("out", AV_SAMPLE_FMT_S16);
        QCOMPARE(stVideoSink.iType, int(AVMEDIA_TYPE_VIDEO));
        QCOMPARE(stVideoSink.iFormat, int(AV_PIX_FMT_BGRA));
        QCOMPARE(stAudioSink.iType, int(AVMEDIA_TYPE_AUDIO));
        QCOMPARE(stAudioSink.iFormat, int(AV_SAMPLE_FMT_S16));
    }

    void oneSourceOneSink()
    {
        AVFilterGraphPtr pGraph(createFilterGraph("scale=80:60", videoInput("in", 160, 120),
                                                  FilterOutput("out", AV_PIX_FMT_BGRA)));
        QVERIFY(pGraph);
        AVFramePtr pSource = colorFrame(160, 120, "red");
        AVFramePtr pOut = makeFramePtr();
        bool bGot = true;
        // Nothing pushed yet: no frame, no error.
        QCOMPARE(pullFrameFromFilter(pGraph.get(), "out", pOut.get(), bGot), 0);
        QVERIFY(!bGot);

        for (int i = 0; i < 3; ++i) {
            pSource->pts = i;
            QCOMPARE(pushFrameToFilter(pGraph.get(), "in", pSource.get()), 0);
            QCOMPARE(pullFrameFromFilter(pGraph.get(), "out", pOut.get(), bGot), 0);
            QVERIFY(bGot);
            QCOMPARE(pOut->width, 80);
            QCOMPARE(pOut->height, 60);
            QCOMPARE(pOut->format, int(AV_PIX_FMT_BGRA));
            QCOMPARE(pOut->pts, int64_t(i));
            QVERIFY(colorNear(frameToImage(pOut.get()).pixel(40, 30), qRgb(255, 0, 0), 30));
        }
        // The caller's frame is still intact after being pushed.
        QCOMPARE(pSource->width, 160);
        QVERIFY(pSource->data[0]);

        QCOMPARE(pushFrameToFilter(pGraph.get(), "in", nullptr), 0);
        QCOMPARE(pullFrameFromFilter(pGraph.get(), "out", pOut.get(), bGot), AVERROR_EOF);
        QVERIFY(!bGot);
    }

    void twoSourcesAndNoSource()
    {
        AVFilterGraphPtr pStack(createFilterGraph("[in1][in2]hstack", {videoInput("in1", 32, 16), videoInput("in2", 32, 16)},
                                                  FilterOutput("out", AV_PIX_FMT_YUV420P)));
        QVERIFY(pStack);
        AVFramePtr pLeft = colorFrame(32, 16, "red");
        AVFramePtr pRight = colorFrame(32, 16, "blue");
        pLeft->pts = pRight->pts = 0;
        QCOMPARE(pushFrameToFilter(pStack.get(), "in1", pLeft.get()), 0);
        QCOMPARE(pushFrameToFilter(pStack.get(), "in2", pRight.get()), 0);
        AVFramePtr pOut = makeFramePtr();
        bool bGot = false;
        QCOMPARE(pullFrameFromFilter(pStack.get(), "out", pOut.get(), bGot), 0);
        QVERIFY(bGot);
        const QImage stStacked = frameToImage(pOut.get());
        QCOMPARE(stStacked.size(), QSize(64, 16));
        QVERIFY(colorNear(stStacked.pixel(10, 8), qRgb(255, 0, 0), 30));
        QVERIFY(colorNear(stStacked.pixel(50, 8), qRgb(0, 0, 255), 30));

        AVFilterGraphPtr pColor(createFilterGraph("color=c=lime:size=24x8", FilterOutput("out", AV_PIX_FMT_BGRA)));
        QVERIFY(pColor);
        QCOMPARE(pullFrameFromFilter(pColor.get(), "out", pOut.get(), bGot), 0);
        QVERIFY(bGot);
        QCOMPARE(frameToImage(pOut.get()).size(), QSize(24, 8));
        QVERIFY(colorNear(frameToImage(pOut.get()).pixel(3, 3), qRgb(0, 255, 0), 30));
    }

    void graphOptionsAreApplied()
    {
        AVDictionaryPtr options;
        QCOMPARE(options.set("threads", "1"), 0);
        AVFilterGraphPtr pGraph(createFilterGraph("null", {videoInput("in", 16, 16)},
                                                  {FilterOutput("out", AV_PIX_FMT_YUV420P)}, options.get()));
        QVERIFY(pGraph);
        QCOMPARE(pGraph->nb_threads, 1);
        // The caller's dictionary is left as it was.
        QVERIFY(av_dict_get(options.get(), "threads", nullptr, 0));
    }

    void audioMixOfTwoSources()
    {
        AVFilterGraphPtr pMix(createFilterGraph("[in1][in2]amix[out]", {stereoInput("in1"), stereoInput("in2")},
                                                FilterOutput("out", AV_SAMPLE_FMT_S16)));
        QVERIFY(pMix);
        AVFramePtr pOne = constantStereo(1024, 1000);
        AVFramePtr pTwo = constantStereo(1024, 3000);
        QCOMPARE(pushFrameToFilter(pMix.get(), "in1", pOne.get()), 0);
        QCOMPARE(pushFrameToFilter(pMix.get(), "in2", pTwo.get()), 0);
        QCOMPARE(pushFrameToFilter(pMix.get(), "in1", nullptr), 0);
        QCOMPARE(pushFrameToFilter(pMix.get(), "in2", nullptr), 0);

        int iSamples = 0;
        AVFramePtr pOut = makeFramePtr();
        for (;;) {
            bool bGot = false;
            const int ret = pullFrameFromFilter(pMix.get(), "out", pOut.get(), bGot);
            if (ret == AVERROR_EOF)
                break;
            QCOMPARE(ret, 0);
            QVERIFY(bGot);
            QCOMPARE(pOut->format, int(AV_SAMPLE_FMT_S16));
            QCOMPARE(pOut->ch_layout.nb_channels, 2);
            const auto *pData = reinterpret_cast<const int16_t *>(pOut->data[0]);
            // Each input at half amplitude: (1000 + 3000) / 2.
            for (int i = 0; i < pOut->nb_samples * 2; ++i)
                QVERIFY2(std::abs(pData[i] - 2000) <= 2, qPrintable(QString::number(pData[i])));
            iSamples += pOut->nb_samples;
        }
        QCOMPARE(iSamples, 1024);
    }

    void badGraphsGiveNull()
    {
        const FilterOutput stSink("out", AV_PIX_FMT_YUV420P);
        QVERIFY(!createFilterGraph("nosuchfilter=1", videoInput("in", 16, 16), stSink));
        QVERIFY(!createFilterGraph("scale=8:8[dangling]", videoInput("in", 16, 16), stSink));
        QVERIFY(!createFilterGraph("[in1][in2]overlay", videoInput("in", 16, 16), stSink));
        QVERIFY(!createFilterGraph("scale=w=", videoInput("in", 16, 16), stSink));
        QVERIFY(!createFilterGraph("anull", videoInput("in", 16, 16), stSink));
        QVERIFY(!createFilterGraph("null", videoInput("in", 0, 0), stSink));
        FilterInput stUnknownType = videoInput("in", 16, 16);
        stUnknownType.iType = 5;
        QVERIFY(!createFilterGraph("null", stUnknownType, stSink));
        FilterOutput stUnknownSink("out", AV_PIX_FMT_YUV420P);
        stUnknownSink.iType = -1;
        QVERIFY(!createFilterGraph("null", videoInput("in", 16, 16), stUnknownSink));
        // Two sources with one name.
        QVERIFY(!createFilterGraph("[in][in]overlay", {videoInput("in", 16, 16), videoInput("in", 16, 16)}, stSink));
        QVERIFY(!createFilterGraph("null", videoInput("out", 16, 16), stSink));
    }

    void pushAndPullRefuseWrongTargets()
    {
        AVFilterGraphPtr pGraph(createFilterGraph("null", videoInput("in", 16, 16), FilterOutput("out", AV_PIX_FMT_YUV420P)));
        QVERIFY(pGraph);
        AVFramePtr pPicture = colorFrame(16, 16, "red");
        AVFramePtr pOut = makeFramePtr();
        bool bGot = true;
        QCOMPARE(pushFrameToFilter(nullptr, "in", pPicture.get()), AVERROR(EINVAL));
        QCOMPARE(pushFrameToFilter(pGraph.get(), "nosuch", pPicture.get()), AVERROR(EINVAL));
        // A sink is not a source and the other way round.
        QCOMPARE(pushFrameToFilter(pGraph.get(), "out", pPicture.get()), AVERROR(EINVAL));
        QCOMPARE(pullFrameFromFilter(pGraph.get(), "in", pOut.get(), bGot), AVERROR(EINVAL));
        QVERIFY(!bGot);
        QCOMPARE(pullFrameFromFilter(nullptr, "out", pOut.get(), bGot), AVERROR(EINVAL));
        QCOMPARE(pullFrameFromFilter(pGraph.get(), "out", nullptr, bGot), AVERROR(EINVAL));
        // An empty frame and a frame of the other media type.
        AVFramePtr pEmpty = makeFramePtr();
        QCOMPARE(pushFrameToFilter(pGraph.get(), "in", pEmpty.get()), AVERROR(EINVAL));
        AVFramePtr pSound = constantStereo(64, 0);
        QCOMPARE(pushFrameToFilter(pGraph.get(), "in", pSound.get()), AVERROR_INVALIDDATA);

        AVFilterGraphPtr pAudio(createFilterGraph("anull", stereoInput("in"), FilterOutput("out", AV_SAMPLE_FMT_S16)));
        QVERIFY(pAudio);
        QCOMPARE(pushFrameToFilter(pAudio.get(), "in", pPicture.get()), AVERROR_INVALIDDATA);
        QCOMPARE(pushFrameToFilter(pAudio.get(), "in", pSound.get()), 0);
        QCOMPARE(pullFrameFromFilter(pAudio.get(), "out", pOut.get(), bGot), 0);
        QVERIFY(bGot);
        QCOMPARE(pOut->nb_samples, 64);
    }
};

QTEST_MAIN(TestFilterGraph)
#include "tst_filtergraph.moc"
