#include "common/TestSupport.h"
#include "media/ffmpeg/FFmpegCodec.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FrameOps.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <cstdlib>

extern "C" {
#include <libavutil/channel_layout.h>
}

Q_DECLARE_METATYPE(AVCodecID)
Q_DECLARE_METATYPE(AVPixelFormat)
Q_DECLARE_METATYPE(AVSampleFormat)

namespace {

// The supported rate nearest to iWanted, the way the export picks it.
int nearestRate(const AVCodec *pCodec, int iWanted)
{
    if (!pCodec->supported_samplerates)
        return iWanted;
    int iBest = pCodec->supported_samplerates[0];
    for (const int *p = pCodec->supported_samplerates; *p; ++p)
        if (std::abs(*p - iWanted) < std::abs(iBest - iWanted))
            iBest = *p;
    return iBest;
}

// Encodes pFrame (null = flush) and writes what comes out; false on an error.
bool encodeAndWrite(AVFormatContext *pOutput, AVCodecContext *pEncoder, AVStream *pStream, const AVFrame *pFrame)
{
    AVPacketPtr pPacket = makePacketPtr();
    for (;;) {
        bool bGot = false;
        const int ret = encodeFrame(pEncoder, pFrame, pPacket.get(), bGot);
        if (ret == AVERROR_EOF)
            return true;
        if (ret < 0)
            return false;
        if (!bGot)
            return true;
        pPacket->stream_index = pStream->index;
        rescalePacketTimestamps(pPacket.get(), pEncoder->time_base, pStream->time_base);
        if (writePacket(pOutput, pPacket.get()) < 0)
            return false;
        av_packet_unref(pPacket.get());
        if (pFrame)
            return true;
    }
}

} // namespace

class TestFFmpegFormat : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void codecsOfTheExportFormats_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<AVCodecID>("video");
        QTest::addColumn<AVCodecID>("audio");
        QTest::addColumn<AVPixelFormat>("pixelFormat");
        QTest::addColumn<AVSampleFormat>("sampleFormat");
        QTest::newRow("mp4") << "mp4" << AV_CODEC_ID_H264 << AV_CODEC_ID_AAC << AV_PIX_FMT_YUV420P << AV_SAMPLE_FMT_FLTP;
        QTest::newRow("avi") << "avi" << AV_CODEC_ID_H264 << AV_CODEC_ID_MP3 << AV_PIX_FMT_YUV420P << AV_SAMPLE_FMT_S32P;
        QTest::newRow("wmv") << "wmv" << AV_CODEC_ID_MPEG4 << AV_CODEC_ID_WMAV2 << AV_PIX_FMT_YUV420P << AV_SAMPLE_FMT_FLTP;
        QTest::newRow("flv") << "flv" << AV_CODEC_ID_H264 << AV_CODEC_ID_MP3 << AV_PIX_FMT_YUV420P << AV_SAMPLE_FMT_S32P;
        QTest::newRow("mkv") << "mkv" << AV_CODEC_ID_H264 << AV_CODEC_ID_AAC << AV_PIX_FMT_YUV420P << AV_SAMPLE_FMT_FLTP;
        QTest::newRow("mov") << "mov" << AV_CODEC_ID_H264 << AV_CODEC_ID_AAC << AV_PIX_FMT_YUV420P << AV_SAMPLE_FMT_FLTP;
        QTest::newRow("gif") << "gif" << AV_CODEC_ID_GIF << AV_CODEC_ID_NONE << AV_PIX_FMT_RGB8 << AV_SAMPLE_FMT_NONE;
        QTest::newRow("webm") << "webm" << AV_CODEC_ID_VP8 << AV_CODEC_ID_OPUS << AV_PIX_FMT_YUV420P << AV_SAMPLE_FMT_S16;
        QTest::newRow("m4v") << "m4v" << AV_CODEC_ID_H264 << AV_CODEC_ID_AAC << AV_PIX_FMT_YUV420P << AV_SAMPLE_FMT_FLTP;
    }
    void codecsOfTheExportFormats()
    {
        QFETCH(QString, extension);
        QFETCH(AVCodecID, video);
        QFETCH(AVCodecID, audio);
        QFETCH(AVPixelFormat, pixelFormat);
        QFETCH(AVSampleFormat, sampleFormat);
        for (const QString &szPath : {"/tmp/album." + extension, "/tmp/My.Album." + extension.toUpper()}) {
            const std::string szStd = szPath.toStdString();
            QCOMPARE(guessCodecId(szStd, AVMEDIA_TYPE_VIDEO), video);
            QCOMPARE(guessCodecId(szStd, AVMEDIA_TYPE_AUDIO), audio);
            QCOMPARE(defaultPixelFormat(szStd), pixelFormat);
            QCOMPARE(defaultSampleFormat(szStd), sampleFormat);
        }
        // Debian's FFmpeg has an encoder for each choice.
        QVERIFY(avcodec_find_encoder(video));
        if (audio != AV_CODEC_ID_NONE)
            QVERIFY(avcodec_find_encoder(audio));
    }

    // A cover picture is no video: a sound file with one has none, and a
    // clip carrying one gives its real picture stream.
    void coverPicturesAreNoVideo()
    {
        const QString szCover = m_dir.filePath("cover.png");
        const QString szSong = m_dir.filePath("song.mp3");
        const QString szClip = m_dir.filePath("covered.mp4");
        QString e;
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=64x64", "-frames:v", "1", szCover}, &e),
                 qPrintable(e));
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "sine=d=1", "-i", szCover, "-map", "0", "-map", "1",
                                      "-c:a", "libmp3lame", "-c:v", "png", "-disposition:v", "attached_pic", szSong},
                                     &e),
                 qPrintable(e));
        QVERIFY2(testsupport::ffmpeg({"-i", szCover, "-f", "lavfi", "-i", "testsrc2=s=96x64:d=1", "-map", "0",
                                      "-map", "1", "-c:v:0", "png", "-c:v:1", "libx264", "-disposition:v:0",
                                      "attached_pic", szClip},
                                     &e),
                 qPrintable(e));

        AVInputContextPtr pSong(openInputFile(szSong.toStdString()));
        QVERIFY(pSong);
        QVERIFY(findStreamInfo(pSong.get()) >= 0);
        QVERIFY(!findFirstStream(pSong.get(), AVMEDIA_TYPE_VIDEO));
        QVERIFY(findFirstStream(pSong.get(), AVMEDIA_TYPE_AUDIO));

        AVInputContextPtr pClip(openInputFile(szClip.toStdString()));
        QVERIFY(pClip);
        QVERIFY(findStreamInfo(pClip.get()) >= 0);
        QCOMPARE(int(pClip->nb_streams), 2);
        const AVStream *pVideo = findFirstStream(pClip.get(), AVMEDIA_TYPE_VIDEO);
        QVERIFY(pVideo);
        QVERIFY(!(pVideo->disposition & AV_DISPOSITION_ATTACHED_PIC));
        QCOMPARE(pVideo->codecpar->width, 96);
    }

    void codecChoiceOutsideTheExportFormats()
    {
        // .asf shares the muxer of .wmv but keeps FFmpeg's default video codec.
        QCOMPARE(guessCodecId("/tmp/a.asf", AVMEDIA_TYPE_VIDEO), AV_CODEC_ID_MSMPEG4V3);
        QCOMPARE(guessCodecId("/tmp/a.nosuchformat", AVMEDIA_TYPE_VIDEO), AV_CODEC_ID_NONE);
        QCOMPARE(guessCodecId("", AVMEDIA_TYPE_AUDIO), AV_CODEC_ID_NONE);
        QCOMPARE(defaultPixelFormat("/tmp/a.nosuchformat"), AV_PIX_FMT_NONE);
        QCOMPARE(defaultSampleFormat("/tmp/a.nosuchformat"), AV_SAMPLE_FMT_NONE);
        // A dot in a folder name is not an extension.
        QCOMPARE(guessCodecId("/tmp/x.mkv/clip.avi", AVMEDIA_TYPE_AUDIO), AV_CODEC_ID_MP3);
        QCOMPARE(guessCodecId("/tmp/x.webm/clip.mp4", AVMEDIA_TYPE_VIDEO), AV_CODEC_ID_H264);
    }

    void outputFiles()
    {
        const QString szPath = m_dir.filePath("out.mp4");
        int iError = 1;
        AVFormatContext *pOutput = createOutputFile(szPath.toStdString(), std::string(), &iError);
        QVERIFY(pOutput);
        QCOMPARE(iError, 0);
        QVERIFY(pOutput->pb);
        QVERIFY(QFile::exists(szPath));
        closeOutputFile(&pOutput);
        QVERIFY(!pOutput);
        closeOutputFile(&pOutput);
        closeOutputFile(nullptr);

        // A named container wins over the extension.
        AVOutputContextPtr pNamed(createOutputFile(m_dir.filePath("named.bin").toStdString(), "matroska"));
        QVERIFY(pNamed);
        QCOMPARE(QString(pNamed->oformat->name), QStringLiteral("matroska"));

        // A container that writes its own files has no I/O context.
        AVOutputContextPtr pImages(createOutputFile(m_dir.filePath("frame%03d.png").toStdString()));
        QVERIFY(pImages);
        QVERIFY(pImages->oformat->flags & AVFMT_NOFILE);
        QVERIFY(!pImages->pb);

        // Folders that cannot be written, and a name without a container.
        QFile blocker(m_dir.filePath("plainfile"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        for (const QString &szBad : {m_dir.filePath("no/such/folder/out.mp4"), m_dir.filePath("plainfile/out.mp4"),
                                     m_dir.filePath("out.nosuchformat"), QString()}) {
            iError = 0;
            QVERIFY(!createOutputFile(szBad.toStdString(), std::string(), &iError));
            QVERIFY(iError < 0);
            if (!szBad.isEmpty())
                QVERIFY(!QFile::exists(szBad));
        }

        QCOMPARE(writeFileHeader(nullptr), AVERROR(EINVAL));
        QCOMPARE(writeTrailer(nullptr), AVERROR(EINVAL));
        AVPacketPtr pPacket = makePacketPtr();
        QCOMPARE(writePacket(nullptr, pPacket.get()), AVERROR(EINVAL));
        QVERIFY(!rescalePacketTimestamps(nullptr, AVRational{1, 25}, AVRational{1, 1000}));
        pPacket->pts = 3;
        pPacket->dts = 2;
        pPacket->duration = 1;
        QVERIFY(rescalePacketTimestamps(pPacket.get(), AVRational{1, 25}, AVRational{1, 1000}));
        QCOMPARE(pPacket->pts, int64_t(120));
        QCOMPARE(pPacket->dts, int64_t(80));
        QCOMPARE(pPacket->duration, int64_t(40));
    }

    void everyFormatWritesItsStreams_data()
    {
        QTest::addColumn<QString>("extension");
        for (const char *sz : {"mp4", "avi", "wmv", "flv", "mkv", "mov", "gif", "webm", "m4v"})
            QTest::newRow(sz) << QString(sz);
    }
    void everyFormatWritesItsStreams()
    {
        QFETCH(QString, extension);
        const QString szPath = m_dir.filePath("album." + extension);
        const std::string szStd = szPath.toStdString();
        AVOutputContextPtr pOutput(createOutputFile(szStd));
        QVERIFY(pOutput);

        const AVCodecID eVideo = guessCodecId(szStd, AVMEDIA_TYPE_VIDEO);
        const AVPixelFormat ePixelFormat = defaultPixelFormat(szStd);
        AVDictionaryPtr videoOptions;
        if (eVideo == AV_CODEC_ID_H264) {
            videoOptions.set("tune", "zerolatency");
            videoOptions.set("preset", "veryfast");
        }
        AVCodecContext *pRawVideo = nullptr;
        AVStream *pVideoStream = addVideoStream(pOutput.get(), &pRawVideo, eVideo, 320, 240, ePixelFormat, 0,
                                                AVRational{0, 1}, AVRational{24, 1}, AVRational{1, 24},
                                                videoOptions.get());
        AVCodecContextPtr pVideo(pRawVideo);
        QVERIFY(pVideoStream);
        QVERIFY(pVideo);
        QCOMPARE(pVideo->width, 320);
        QCOMPARE(pVideo->pix_fmt, ePixelFormat);
        QCOMPARE(pVideoStream->avg_frame_rate.num, 24);
        QCOMPARE(pVideoStream->codecpar->codec_id, eVideo);
        if (pOutput->oformat->flags & AVFMT_GLOBALHEADER)
            QVERIFY(pVideo->flags & AV_CODEC_FLAG_GLOBAL_HEADER);

        const AVCodecID eAudio = guessCodecId(szStd, AVMEDIA_TYPE_AUDIO);
        AVCodecContextPtr pAudio;
        AVStream *pAudioStream = nullptr;
        if (eAudio != AV_CODEC_ID_NONE) {
            const int iRate = nearestRate(avcodec_find_encoder(eAudio), 44100);
            AVCodecContext *pRawAudio = nullptr;
            pAudioStream = addAudioStream(pOutput.get(), &pRawAudio, eAudio, AV_CH_LAYOUT_STEREO,
                                          defaultSampleFormat(szStd), iRate, 0, AVRational{1, iRate});
            pAudio.reset(pRawAudio);
            QVERIFY(pAudioStream);
            QVERIFY(pAudio);
            QCOMPARE(pAudio->sample_rate, iRate);
            QCOMPARE(pAudio->ch_layout.nb_channels, 2);
        }

        QVERIFY(writeFileHeader(pOutput.get()) >= 0);
        const int iFrameCount = 6;
        const char *colors[] = {"red", "lime", "blue", "white", "yellow", "black"};
        AVFramePtr pFrame = makeFramePtr();
        int64_t iAudioPts = 0;
        for (int i = 0; i < iFrameCount; ++i) {
            QCOMPARE(makeColorFrame(pFrame.get(), 320, 240, ePixelFormat, colors[i]), 0);
            pFrame->pts = i;
            QVERIFY(encodeAndWrite(pOutput.get(), pVideo.get(), pVideoStream, pFrame.get()));
            if (!pAudio)
                continue;
            // Sound up to the end of this picture.
            const int64_t iTarget = av_rescale(i + 1, pAudio->sample_rate, 24);
            const int iFrameSize = pAudio->frame_size > 0 ? pAudio->frame_size : 1024;
            while (iAudioPts < iTarget) {
                AVFramePtr pSound = makeFramePtr();
                QCOMPARE(makeSilentFrame(pSound.get(), 2, pAudio->sample_rate, pAudio->sample_fmt, iFrameSize), 0);
                pSound->pts = iAudioPts;
                QVERIFY(encodeAndWrite(pOutput.get(), pAudio.get(), pAudioStream, pSound.get()));
                iAudioPts += iFrameSize;
            }
        }
        QVERIFY(encodeAndWrite(pOutput.get(), pVideo.get(), pVideoStream, nullptr));
        if (pAudio)
            QVERIFY(encodeAndWrite(pOutput.get(), pAudio.get(), pAudioStream, nullptr));
        QCOMPARE(writeTrailer(pOutput.get()), 0);
        pOutput.reset();

        const QJsonObject stProbe = testsupport::ffprobe(szPath);
        const QJsonObject stVideo = testsupport::probeStream(stProbe, "video");
        QCOMPARE(stVideo.value("codec_name").toString(), QString(avcodec_get_name(eVideo)));
        QCOMPARE(stVideo.value("width").toInt(), 320);
        QCOMPARE(stVideo.value("height").toInt(), 240);
        QCOMPARE(testsupport::countVideoFrames(szPath), iFrameCount);
        const QJsonObject stAudio = testsupport::probeStream(stProbe, "audio");
        if (eAudio == AV_CODEC_ID_NONE) {
            QVERIFY(stAudio.isEmpty());
        } else {
            QCOMPARE(stAudio.value("codec_name").toString(), QString(avcodec_get_name(eAudio)));
            QCOMPARE(stAudio.value("channels").toInt(), 2);
        }
    }

    void wmaBitRateRule()
    {
        for (int iRate : {44100, 22050, 8000}) {
            AVOutputContextPtr pOutput(createOutputFile(m_dir.filePath("rule.wmv").toStdString()));
            QVERIFY(pOutput);
            AVCodecContext *pRaw = nullptr;
            AVStream *pStream = addAudioStream(pOutput.get(), &pRaw, AV_CODEC_ID_WMAV2, AV_CH_LAYOUT_STEREO,
                                               AV_SAMPLE_FMT_FLTP, iRate, 0, AVRational{1, iRate});
            AVCodecContextPtr pEncoder(pRaw);
            QVERIFY(pStream);
            QCOMPARE(pEncoder->bit_rate, int64_t((std::max(iRate, 8000) * 8) / 1600 * 1600));
        }
        // An asked-for rate is kept.
        AVOutputContextPtr pOutput(createOutputFile(m_dir.filePath("asked.wmv").toStdString()));
        AVCodecContext *pRaw = nullptr;
        QVERIFY(addAudioStream(pOutput.get(), &pRaw, AV_CODEC_ID_WMAV2, AV_CH_LAYOUT_STEREO, AV_SAMPLE_FMT_FLTP,
                               44100, 128000, AVRational{1, 44100}));
        AVCodecContextPtr pEncoder(pRaw);
        QCOMPARE(pEncoder->bit_rate, int64_t(128000));
    }

    void failedStreamsLeaveNothing()
    {
        AVOutputContextPtr pOutput(createOutputFile(m_dir.filePath("fail.mp4").toStdString()));
        QVERIFY(pOutput);
        AVCodecContext *pEncoder = nullptr;
        // An encoder that does not open (H.264 needs a size) adds no stream.
        QVERIFY(!addVideoStream(pOutput.get(), &pEncoder, AV_CODEC_ID_H264, 0, 0, AV_PIX_FMT_YUV420P, 0,
                                AVRational{0, 1}, AVRational{25, 1}, AVRational{1, 25}));
        QVERIFY(!addAudioStream(pOutput.get(), &pEncoder, AV_CODEC_ID_AAC, 0, AV_SAMPLE_FMT_FLTP, 44100, 0,
                                AVRational{1, 44100}));
        QVERIFY(!addAudioStream(pOutput.get(), &pEncoder, AV_CODEC_ID_NONE, AV_CH_LAYOUT_STEREO,
                                AV_SAMPLE_FMT_FLTP, 44100, 0, AVRational{1, 44100}));
        QVERIFY(!addVideoStream(nullptr, &pEncoder, AV_CODEC_ID_H264, 64, 64, AV_PIX_FMT_YUV420P, 0,
                                AVRational{0, 1}, AVRational{25, 1}, AVRational{1, 25}));
        QCOMPARE(pOutput->nb_streams, 0u);
        QVERIFY(!pEncoder);
    }
};

QTEST_MAIN(TestFFmpegFormat)
#include "tst_ffmpegformat.moc"
