// The sound recipes shared by the export and the preview: the format
// description, the conversion graph, and the mixer's levels, checked sample
// by sample without any lossy encoder in the way.

#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FilterGraph.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/recipes/AudioRecipes.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <vector>

using namespace recipes;

namespace {

constexpr int kRate = 44100;

// iSamples of planar float stereo: pfnValue(sample index from iFirst) in both channels.
AVFramePtr floatFrame(int iSamples, int64_t iFirst, const std::function<float(int64_t)> &pfnValue)
{
    AVFramePtr pFrame = makeFramePtr();
    if (!pFrame || makeSilentFrame(pFrame.get(), 2, kRate, AV_SAMPLE_FMT_FLTP, iSamples) < 0)
        return nullptr;
    for (int c = 0; c < 2; ++c) {
        float *pData = reinterpret_cast<float *>(pFrame->extended_data[c]);
        for (int i = 0; i < iSamples; ++i)
            pData[i] = pfnValue(iFirst + i);
    }
    pFrame->pts = iFirst;
    return pFrame;
}

float toneA(int64_t n)
{
    return float(0.5 * std::sin(2 * M_PI * 440.0 * n / kRate));
}

float toneB(int64_t n)
{
    return float(0.4 * std::sin(2 * M_PI * 1000.0 * n / kRate));
}

// Everything the mixer has ready, appended to pOut (left channel).
int pullAll(AVFilterGraph *pMixer, std::vector<float> &out)
{
    int iPulled = 0;
    AVFramePtr pFrame = makeFramePtr();
    for (;;) {
        bool bGot = false;
        const int ret = pullFrameFromFilter(pMixer, "out", pFrame.get(), bGot);
        if (ret < 0 || !bGot)
            return iPulled;
        const float *pData = reinterpret_cast<const float *>(pFrame->extended_data[0]);
        out.insert(out.end(), pData, pData + pFrame->nb_samples);
        iPulled += pFrame->nb_samples;
    }
}

} // namespace

class TestAudioRecipes : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void descriptions()
    {
        QCOMPARE(QString::fromStdString(audioFormatDescription(AV_SAMPLE_FMT_FLTP, 44100, 2)),
                 QString("aformat=sample_fmts='fltp':sample_rates=44100:channel_layouts=3"));
        QCOMPARE(QString::fromStdString(audioFormatDescription(AV_SAMPLE_FMT_S16, 48000, 1)),
                 QString("aformat=sample_fmts='s16':sample_rates=48000:channel_layouts=4"));
        QVERIFY(audioFormatDescription(AV_SAMPLE_FMT_NONE, 44100, 2).empty());
        QVERIFY(audioFormatDescription(AV_SAMPLE_FMT_FLTP, 0, 2).empty());
        QVERIFY(audioFormatDescription(AV_SAMPLE_FMT_FLTP, 44100, 0).empty());
        QCOMPARE(QString(kMixerDescription), QString("[in1][in2]amix[out]"));
        QCOMPARE(defaultChannelMask(2), uint64_t(AV_CH_LAYOUT_STEREO));
        AVChannelLayout stUnknown{};
        stUnknown.order = AV_CHANNEL_ORDER_UNSPEC;
        stUnknown.nb_channels = 2;
        QCOMPARE(channelMask(stUnknown), uint64_t(AV_CH_LAYOUT_STEREO));
    }

    // The writers push the same number of samples into both inputs, in
    // frames of any length; after every such pair the mixer gives out all
    // of it: a sound fed into both inputs unchanged, two sounds at half
    // each, a sound against silence at half, and the levels never drift.
    void mixerLevelsAndCounts()
    {
        AVFilterGraphPtr pMixer(createMixerGraph(AV_SAMPLE_FMT_FLTP, kRate, AV_CH_LAYOUT_STEREO, 2, AVRational{1, kRate}));
        QVERIFY(pMixer);
        auto silence = [](int64_t) { return 0.0f; };
        struct Step
        {
            std::function<float(int64_t)> pfnIn1, pfnIn2, pfnExpected;
        };
        const std::vector<Step> steps = {
            {toneA, toneA, toneA},
            {toneA, silence, [](int64_t n) { return toneA(n) / 2; }},
            {toneA, toneB, [](int64_t n) { return (toneA(n) + toneB(n)) / 2; }},
            {silence, silence, silence},
        };
        QRandomGenerator random(7);
        std::vector<float> out;
        int64_t iPushed = 0;
        for (int i = 0; i < 400; ++i) {
            const Step &stStep = steps[(i / 25) % steps.size()];
            // 1764 is one 25 fps frame; odd sizes come after damaged packets and at segment ends.
            const int iSamples = i % 7 == 0 ? 1 + int(random.bounded(4096)) : 1764;
            AVFramePtr pIn1 = floatFrame(iSamples, iPushed, stStep.pfnIn1);
            AVFramePtr pIn2 = floatFrame(iSamples, iPushed, stStep.pfnIn2);
            QVERIFY(pIn1 && pIn2);
            QCOMPARE(pushFrameToFilter(pMixer.get(), "in1", pIn1.get()), 0);
            QCOMPARE(pushFrameToFilter(pMixer.get(), "in2", pIn2.get()), 0);
            const size_t iBefore = out.size();
            QCOMPARE(pullAll(pMixer.get(), out), iSamples);
            for (int k = 0; k < iSamples; ++k) {
                const float lfExpected = stStep.pfnExpected(iPushed + k);
                if (std::abs(out[iBefore + k] - lfExpected) > 1e-6f)
                    QFAIL(qPrintable(QString("step %1 sample %2: %3, expected %4")
                                         .arg(i).arg(k).arg(out[iBefore + k]).arg(lfExpected)));
            }
            iPushed += iSamples;
        }
    }

    // Why no input ever ends: amix scales by the inputs still running, so
    // a sound against silence would rise from half to full level once the
    // other input ended.
    void mixerLevelsDependOnRunningInputs()
    {
        AVFilterGraphPtr pMixer(createMixerGraph(AV_SAMPLE_FMT_FLTP, kRate, AV_CH_LAYOUT_STEREO, 2, AVRational{1, kRate}));
        QVERIFY(pMixer);
        std::vector<float> out;
        AVFramePtr pTone = floatFrame(kRate, 0, [](int64_t) { return 0.5f; });
        AVFramePtr pSilence = floatFrame(kRate, 0, [](int64_t) { return 0.0f; });
        QCOMPARE(pushFrameToFilter(pMixer.get(), "in1", pTone.get()), 0);
        QCOMPARE(pushFrameToFilter(pMixer.get(), "in2", pSilence.get()), 0);
        QCOMPARE(pullAll(pMixer.get(), out), kRate);
        QVERIFY(std::abs(out.back() - 0.25f) < 1e-6f);
        QCOMPARE(pushFrameToFilter(pMixer.get(), "in2", nullptr), 0);
        for (int i = 1; i <= 4; ++i) {
            AVFramePtr pMore = floatFrame(kRate, int64_t(i) * kRate, [](int64_t) { return 0.5f; });
            QCOMPARE(pushFrameToFilter(pMixer.get(), "in1", pMore.get()), 0);
            pullAll(pMixer.get(), out);
        }
        QVERIFY2(out.back() > 0.4f, qPrintable(QString::number(out.back())));
    }

    // Integer formats (Opus takes s16) keep the same sound fed into both inputs exactly.
    void mixerInIntegerFormat()
    {
        AVFilterGraphPtr pMixer(createMixerGraph(AV_SAMPLE_FMT_S16, 48000, AV_CH_LAYOUT_STEREO, 2, AVRational{1, 48000}));
        QVERIFY(pMixer);
        AVFramePtr pFrame = makeFramePtr();
        QCOMPARE(makeSilentFrame(pFrame.get(), 2, 48000, AV_SAMPLE_FMT_S16, 1920), 0);
        int16_t *pData = reinterpret_cast<int16_t *>(pFrame->extended_data[0]);
        for (int i = 0; i < 2 * 1920; ++i)
            pData[i] = int16_t((i * 7919) % 60000 - 30000);
        pFrame->pts = 0;
        QCOMPARE(pushFrameToFilter(pMixer.get(), "in1", pFrame.get()), 0);
        QCOMPARE(pushFrameToFilter(pMixer.get(), "in2", pFrame.get()), 0);
        AVFramePtr pOut = makeFramePtr();
        bool bGot = false;
        QCOMPARE(pullFrameFromFilter(pMixer.get(), "out", pOut.get(), bGot), 0);
        QVERIFY(bGot);
        QCOMPARE(pOut->nb_samples, 1920);
        QCOMPARE(pOut->format, int(AV_SAMPLE_FMT_S16));
        QVERIFY(std::memcmp(pOut->extended_data[0], pFrame->extended_data[0], 2 * 1920 * sizeof(int16_t)) == 0);
    }

    // A decoded sound into the output's format, rate and channels: one
    // second of mono 22050 Hz s16 is one second of stereo 44100 Hz float.
    void formatGraphConverts()
    {
        const FilterInput stSource("in", AV_CH_LAYOUT_MONO, 1, AV_SAMPLE_FMT_S16, AVRational{1, 22050}, 22050);
        AVFilterGraphPtr pGraph(createAudioFormatGraph(stSource, AV_SAMPLE_FMT_FLTP, 44100, 2));
        QVERIFY(pGraph);
        AVFramePtr pFrame = makeFramePtr();
        int64_t iOut = 0;
        AVFramePtr pOut = makeFramePtr();
        auto pullAllOut = [&] {
            for (;;) {
                bool bGot = false;
                const int ret = pullFrameFromFilter(pGraph.get(), "out", pOut.get(), bGot);
                if (ret < 0 || !bGot)
                    return;
                QCOMPARE(pOut->format, int(AV_SAMPLE_FMT_FLTP));
                QCOMPARE(pOut->sample_rate, 44100);
                QCOMPARE(pOut->ch_layout.nb_channels, 2);
                iOut += pOut->nb_samples;
            }
        };
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(makeSilentFrame(pFrame.get(), 1, 22050, AV_SAMPLE_FMT_S16, 2205), 0);
            pFrame->pts = i * 2205;
            QCOMPARE(pushFrameToFilter(pGraph.get(), "in", pFrame.get()), 0);
            pullAllOut();
        }
        QCOMPARE(pushFrameToFilter(pGraph.get(), "in", nullptr), 0);
        pullAllOut();
        QCOMPARE(iOut, int64_t(44100));
        QVERIFY(!createAudioFormatGraph(FilterInput(), AV_SAMPLE_FMT_FLTP, 44100, 2));
        QVERIFY(!createMixerGraph(AV_SAMPLE_FMT_FLTP, 0, AV_CH_LAYOUT_STEREO, 2, AVRational{1, 44100}));
    }
};

QTEST_MAIN(TestAudioRecipes)
#include "tst_audiorecipes.moc"
