// Every option the export dialog offers, in every format it offers: each
// combination exports, with the frame count of the album's duration at the
// rate the file is written with.

#include "album/AlbumProjectState.h"
#include "common/ExportTestSupport.h"
#include "common/TestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

extern "C" {
#include <libavformat/avformat.h>
}

using namespace exporttest;

namespace {

const QStringList kFormats = {"MP4", "AVI", "WMV", "FLV", "MKV", "MOV", "GIF", "WEBM", "M4V"};
const QList<int> kFrameRates = {24, 25, 30, 60, 120};
const QList<int> kSampleRates = {8000, 11025, 22050, 44100, 48000};
const QList<int> kVideoKbps = {256, 384, 512, 768};
const QList<int> kAudioKbps = {64, 96, 128, 256};

// Under the sanitizers everything runs several times slower: fewer
// combinations there, each still checked in full.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kReduced = true;
#else
constexpr bool kReduced = false;
#endif

bool hasSound(const QString &szFormat)
{
    return szFormat != "GIF" && szFormat != "M4V";
}

// The rate each container writes: GIF at most 50 fps.
int writtenFps(const QString &szFormat, int iFps)
{
    return szFormat == "GIF" ? std::min(iFps, 50) : iFps;
}

// The sample rate each container and encoder writes.
int writtenSampleRate(const QString &szFormat, int iRate)
{
    if (szFormat == "WEBM")     // Opus is always decoded (and so reported) at 48000 Hz
        return 48000;
    if (szFormat == "FLV") {    // MP3 in FLV
        static const QMap<int, int> s_flv = {{8000, 11025}, {11025, 11025}, {22050, 22050}, {44100, 44100}, {48000, 44100}};
        return s_flv.value(iRate);
    }
    return iRate;
}

struct Probe
{
    int iVideoFrames = -1;
    int iSampleRate = 0;
    bool bAudio = false;
};

// Reads the file back with FFmpeg's demuxer (in process: an ffprobe run per
// file would cost more than the export): the video frames (non-empty video
// packets; our encoders write one per frame) and the audio stream's rate.
Probe probe(const QString &szPath)
{
    Probe st;
    AVFormatContext *pInput = nullptr;
    if (avformat_open_input(&pInput, szPath.toUtf8().constData(), nullptr, nullptr) < 0)
        return st;
    if (avformat_find_stream_info(pInput, nullptr) >= 0) {
        int iVideo = -1;
        for (unsigned i = 0; i < pInput->nb_streams; ++i) {
            const AVCodecParameters *pParams = pInput->streams[i]->codecpar;
            if (pParams->codec_type == AVMEDIA_TYPE_VIDEO && iVideo < 0)
                iVideo = static_cast<int>(i);
            if (pParams->codec_type == AVMEDIA_TYPE_AUDIO && !st.bAudio) {
                st.bAudio = true;
                st.iSampleRate = pParams->sample_rate;
            }
        }
        AVPacket *pPacket = av_packet_alloc();
        st.iVideoFrames = 0;
        while (pPacket && av_read_frame(pInput, pPacket) >= 0) {
            if (pPacket->stream_index == iVideo && pPacket->size > 0)
                ++st.iVideoFrames;
            av_packet_unref(pPacket);
        }
        av_packet_free(&pPacket);
    }
    avformat_close_input(&pInput);
    return st;
}

} // namespace

class TestExportMatrix : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_szA, m_szB;
    int m_iRun = 0;

    // Exports the album of iImages pictures, each lasting iImageUs, with the
    // given options; returns the error text, empty on success.
    QString exportWith(const QString &szFormat, int iFps, int iSampleRate, int iVideoKbps, int iAudioKbps, int iWidth,
                       int iHeight, int iImages, int64_t iImageUs, QString *pszPath)
    {
        const QString szFolder = m_dir.filePath(QString("run%1").arg(++m_iRun));
        QDir().mkpath(szFolder);
        resetAlbum(szFolder, "album", szFormat, iFps, iWidth, iHeight);
        AlbumProjectState &st = albumState();
        st.iSampleRate = iSampleRate;
        st.iVideoBitRate = iVideoKbps * 1000;
        st.iAudioBitRate = iAudioKbps * 1000;
        if (!appendImage(m_szA) || (iImages > 1 && !appendImage(m_szB)))
            return "cannot append";
        setImageDurationUs(iImageUs);
        const ExportResult stResult = runExport();
        *pszPath = outputPath();
        if (!stResult.bSucceeded)
            return stResult.szError.isEmpty() ? QString("no result") : stResult.szError;
        if (folderEntries(szFolder) != QStringList{"album." + szFormat.toLower()})
            return "unexpected files: " + folderEntries(szFolder).join(", ");
        return QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_szA = m_dir.filePath("a.jpg");
        m_szB = m_dir.filePath("b.png");
        QVERIFY(makePicture(m_szA, "testsrc2=s=128x96"));
        QVERIFY(makePicture(m_szB, "smptebars=s=96x128"));
    }

    void frameAndSampleRates_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("fps");
        QTest::addColumn<int>("sampleRate");
        for (const QString &szFormat : kFormats) {
            for (int iFps : kFrameRates) {
                for (int iRate : kSampleRates) {
                    // Reduced: every rate of each kind at least once per format.
                    if (kReduced && iFps != 24 && iRate != 44100 && !(iFps == 120 && iRate == 8000))
                        continue;
                    QTest::newRow(qPrintable(QString("%1 %2fps %3Hz").arg(szFormat).arg(iFps).arg(iRate)))
                        << szFormat << iFps << iRate;
                }
            }
        }
    }

    // Two pictures of 0.25 s and the 2-second transition between them.
    void frameAndSampleRates()
    {
        QFETCH(QString, format);
        QFETCH(int, fps);
        QFETCH(int, sampleRate);
        QString szPath;
        const QString szError = exportWith(format, fps, sampleRate, 0, 0, 128, 72, 2, 250000, &szPath);
        QVERIFY2(szError.isEmpty(), qPrintable(szError));
        const int iFps = writtenFps(format, fps);
        const Probe st = probe(szPath);
        QCOMPARE(st.iVideoFrames, 2 * (iFps / 4) + 2 * iFps);
        QCOMPARE(st.bAudio, hasSound(format));
        if (st.bAudio)
            QCOMPARE(st.iSampleRate, writtenSampleRate(format, sampleRate));
    }

    void audioBitRates_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<int>("kbps");
        for (const QString &szFormat : kFormats) {
            if (!hasSound(szFormat))
                continue;
            for (int iRate : kSampleRates)
                for (int iKbps : kAudioKbps)
                    if (!kReduced || iRate == 8000 || iRate == 48000)
                        QTest::newRow(qPrintable(QString("%1 %2Hz %3kbps").arg(szFormat).arg(iRate).arg(iKbps)))
                            << szFormat << iRate << iKbps;
        }
    }

    // Every audio bit rate at every sample rate (256 kbit/s of 8000 Hz sound included).
    void audioBitRates()
    {
        QFETCH(QString, format);
        QFETCH(int, sampleRate);
        QFETCH(int, kbps);
        QString szPath;
        const QString szError = exportWith(format, 24, sampleRate, 0, kbps, 64, 36, 1, 250000, &szPath);
        QVERIFY2(szError.isEmpty(), qPrintable(szError));
        QVERIFY(QFileInfo(szPath).size() > 0);
    }

    void videoBitRates_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("kbps");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        for (const QString &szFormat : kFormats) {
            for (int iKbps : kVideoKbps)
                if (!kReduced || iKbps == 256)
                    QTest::newRow(qPrintable(QString("%1 %2kbps").arg(szFormat).arg(iKbps))) << szFormat << iKbps << 128 << 72;
            // The lowest rate at the largest frame the dialog offers.
            QTest::newRow(qPrintable(QString("%1 256kbps 1080P").arg(szFormat))) << szFormat << 256 << 1920 << 1080;
        }
    }

    void videoBitRates()
    {
        QFETCH(QString, format);
        QFETCH(int, kbps);
        QFETCH(int, width);
        QFETCH(int, height);
        QString szPath;
        const QString szError = exportWith(format, 24, 44100, kbps, 64, width, height, 1, 500000, &szPath);
        QVERIFY2(szError.isEmpty(), qPrintable(szError));
        QCOMPARE(probe(szPath).iVideoFrames, 12);
    }
};

QTEST_MAIN(TestExportMatrix)
#include "tst_exportmatrix.moc"
