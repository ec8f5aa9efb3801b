#include "common/ExportTestSupport.h"

#include "album/AlbumProjectState.h"
#include "common/TestSupport.h"
#include "media/export/MediaEncoder.h"
#include "media/ffmpeg/EdgeFrames.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/SizeMath.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <memory>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace exporttest {

void resetAlbum(const QString &szDir, const QString &szName, const QString &szFormat, int iFps, int iWidth,
                int iHeight)
{
    clearAlbum();
    applyEditorDefaults();
    AlbumProjectState &st = albumState();
    st.iWatermarkType = WatermarkNone;
    st.szWatermarkText.clear();
    st.szImageWatermarkPath.clear();
    st.iBackgroundMusicType = MusicNone;
    st.szBackgroundMusicPath.clear();
    setExportTarget(szDir, szName, szFormat, iFps);
    st.stVideoRatio = reduceRatio(iWidth, iHeight);
    st.iExportWidth = iWidth;
    st.iExportHeight = iHeight;
}

void setExportTarget(const QString &szDir, const QString &szName, const QString &szFormat, int iFps)
{
    AlbumProjectState &st = albumState();
    st.szExportDir = szDir;
    st.szExportFileName = szName;
    st.szExportFormat = szFormat;
    st.stFrameRate = AVRational{iFps, 1};
    st.iVideoBitRate = 0;
    st.iAudioBitRate = 0;
    st.iSampleRate = 44100;
    st.iAudioChannels = 2;
    st.bExportAudio = szFormat.compare("GIF", Qt::CaseInsensitive) != 0
                      && szFormat.compare("M4V", Qt::CaseInsensitive) != 0;
}

bool appendImage(const QString &szPath, int64_t iRotation)
{
    AVFramePtr pFrame = makeFramePtr();
    if (!pFrame || decodeEdgeFrames(szPath.toStdString(), pFrame.get()) < 0)
        return false;
    ImageSource st;
    st.szFilePath = QFileInfo(szPath).absoluteFilePath();
    st.iSourceType = SourceImage;
    st.iDuration = av_rescale_q(albumState().iImageDuration, albumState().stImageDurationTimeBase, AVRational{1, 1});
    st.stTimeBase = AVRational{1, 1};
    st.iRotation = iRotation;
    st.stSrcImageSize = QSize(pFrame->width, pFrame->height);
    st.stWidthToHeight = reduceRatio(pFrame->width, pFrame->height);
    appendMaterial(st);
    return true;
}

bool appendClip(const QString &szPath, int64_t iRotation)
{
    AVFramePtr pFrame = makeFramePtr();
    if (!pFrame || decodeEdgeFrames(szPath.toStdString(), pFrame.get()) < 0)
        return false;
    AVInputContextPtr pInput(openInputFile(szPath.toStdString()));
    if (!pInput || findStreamInfo(pInput.get()) < 0)
        return false;
    const AVStream *pStream = nullptr;
    for (unsigned i = 0; i < pInput->nb_streams && !pStream; ++i) {
        const AVStream *p = pInput->streams[i];
        if (p->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !(p->disposition & AV_DISPOSITION_ATTACHED_PIC))
            pStream = p;
    }
    if (!pStream)
        return false;
    ImageSource st;
    st.szFilePath = QFileInfo(szPath).absoluteFilePath();
    st.iSourceType = SourceVideo;
    if (pStream->duration > 0) {
        st.iDuration = pStream->duration;
        st.stTimeBase = pStream->time_base;
    } else {
        st.iDuration = pInput->duration;
        st.stTimeBase = AVRational{1, AV_TIME_BASE};
    }
    if (st.iDuration <= 0)
        return false;
    st.iRotation = iRotation;
    st.stSrcImageSize = QSize(pFrame->width, pFrame->height);
    st.stWidthToHeight = reduceRatio(pFrame->width, pFrame->height);
    appendMaterial(st);
    return true;
}

bool makeClip(const QString &szPath, const QString &szVideoSource, const QString &szAudioSource,
              const QStringList &extraArgs)
{
    QStringList args{"-f", "lavfi", "-i", szVideoSource};
    if (!szAudioSource.isEmpty())
        args << "-f" << "lavfi" << "-i" << szAudioSource;
    args << "-c:v" << "libx264" << "-preset" << "ultrafast" << "-pix_fmt" << "yuv420p";
    if (!szAudioSource.isEmpty())
        args << "-c:a" << "aac" << "-b:a" << "256k";
    args << extraArgs << szPath;
    QString szError;
    const bool bOk = testsupport::ffmpeg(args, &szError);
    if (!bOk)
        qWarning("%s", qPrintable(szError));
    return bOk;
}

QString counterSource(int iFps, double lfSeconds, const QString &szSize)
{
    return QStringLiteral("nullsrc=s=%1:r=%2:d=%3,format=yuv420p,"
                          "geq=lum='if(lt(Y\\,H/2)\\,40+9*mod(N\\,20)\\,40+9*floor(N/20))':cb=128:cr=128")
        .arg(szSize)
        .arg(iFps)
        .arg(lfSeconds);
}

void setImageDurationUs(int64_t iMicroseconds)
{
    AlbumProjectState &st = albumState();
    const int64_t iOld = av_rescale_q(st.iImageDuration, st.stImageDurationTimeBase, AVRational{1, 1000000});
    const int64_t iImages = st.mapImageSources.size() - st.iVideoSourceCount;
    st.iImageDuration = av_rescale_q(iMicroseconds, AVRational{1, 1000000}, st.stImageDurationTimeBase);
    st.iTotalDuration += av_rescale_q((iMicroseconds - iOld) * iImages, AVRational{1, 1000000}, st.stGlobalTimeBase);
}

bool makePicture(const QString &szPath, const QString &szLavfiSource)
{
    return testsupport::ffmpeg({"-f", "lavfi", "-i", szLavfiSource, "-frames:v", "1", szPath});
}

bool savePicture(const QString &szPath, const QImage &stImage)
{
    return stImage.save(szPath);
}

ExportResult runExport(int iTimeoutMs, const std::function<void(MediaEncoder &, int)> &pfnInWorker)
{
    ExportResult stResult;
    QThread thread;
    auto *pEncoder = new MediaEncoder;
    pEncoder->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, pEncoder, &QObject::deleteLater);
    thread.start();

    QEventLoop loop;
    QObject::connect(pEncoder, &MediaEncoder::sig_exportProgress, &loop,
                     [&stResult](int iValue) { stResult.progress.append(iValue); });
    if (pfnInWorker) {
        auto piCount = std::make_shared<std::atomic<int>>(0);
        QObject::connect(
            pEncoder, &MediaEncoder::sig_exportProgress, pEncoder,
            [pEncoder, piCount, pfnInWorker](int) { pfnInWorker(*pEncoder, ++*piCount); }, Qt::DirectConnection);
    }
    QObject::connect(pEncoder, &MediaEncoder::sig_succeeded, &loop, [&] {
        stResult.bFinished = true;
        stResult.bSucceeded = true;
        loop.quit();
    });
    QObject::connect(pEncoder, &MediaEncoder::sig_exportFail, &loop, [&](const QString &szError) {
        stResult.bFinished = true;
        stResult.szError = szError;
        loop.quit();
    });
    QTimer::singleShot(iTimeoutMs, &loop, &QEventLoop::quit);
    Q_EMIT pEncoder->sig_exportVideo();
    loop.exec();

    if (!stResult.bFinished)
        pEncoder->runningFlag().store(false);
    Q_EMIT pEncoder->sig_close(0);
    thread.wait();
    return stResult;
}

QString outputPath()
{
    return exportOutputPath(albumState());
}

QList<QImage> decodeFrames(const QString &szPath, int iFirst, int iCount, QSize stSize)
{
    if (!stSize.isValid()) {
        const QJsonObject stVideo = testsupport::probeStream(testsupport::ffprobe(szPath), "video");
        stSize = QSize(stVideo.value("width").toInt(), stVideo.value("height").toInt());
    }
    const int w = stSize.width();
    const int h = stSize.height();
    if (w < 1 || h < 1 || iCount < 1)
        return {};
    const QString szSelect = QStringLiteral("select='between(n\\,%1\\,%2)'").arg(iFirst).arg(iFirst + iCount - 1);
    const testsupport::ToolResult st = testsupport::runTool(
        "ffmpeg", {"-hide_banner", "-loglevel", "error", "-i", szPath, "-map", "0:v:0", "-vf", szSelect, "-fps_mode",
                   "passthrough", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"},
        120000);
    if (!st.bFinished || st.iExitCode != 0)
        return {};
    const int iFrameBytes = w * h * 3;
    QList<QImage> frames;
    for (int i = 0; (i + 1) * iFrameBytes <= st.stdOut.size(); ++i) {
        QImage stFrame(reinterpret_cast<const uchar *>(st.stdOut.constData()) + i * iFrameBytes, w, h, w * 3,
                       QImage::Format_RGB888);
        frames.append(stFrame.convertToFormat(QImage::Format_RGB32));
    }
    return frames;
}

QImage decodeFrame(const QString &szPath, int iIndex, QSize stSize)
{
    const QList<QImage> frames = decodeFrames(szPath, iIndex, 1, stSize);
    return frames.isEmpty() ? QImage() : frames.first();
}

bool streamEnd(const QString &szPath, const QString &szType, double *plfEnd, double *plfLongestPacket)
{
    const testsupport::ToolResult st = testsupport::runTool(
        "ffprobe", {"-v", "error", "-select_streams", szType == "audio" ? "a:0" : "v:0", "-show_entries",
                    "packet=pts_time,dts_time,duration_time", "-of", "json", szPath});
    if (!st.bFinished || st.iExitCode != 0)
        return false;
    const QJsonArray packets = QJsonDocument::fromJson(st.stdOut).object().value("packets").toArray();
    if (packets.isEmpty())
        return false;
    double lfEnd = -1e9, lfLongest = 0;
    for (const QJsonValue &v : packets) {
        const QJsonObject o = v.toObject();
        bool bOk = false;
        double lfTime = o.value("pts_time").toString().toDouble(&bOk);
        if (!bOk)
            lfTime = o.value("dts_time").toString().toDouble(&bOk);
        if (!bOk)
            continue;
        const double lfDuration = o.value("duration_time").toString().toDouble();
        lfEnd = std::max(lfEnd, lfTime + lfDuration);
        lfLongest = std::max(lfLongest, lfDuration);
    }
    *plfEnd = lfEnd;
    *plfLongestPacket = lfLongest;
    return lfEnd > -1e9;
}

QVector<float> decodeSound(const QString &szPath, int iChannel, int *piRate)
{
    const QJsonObject stAudio = testsupport::probeStream(testsupport::ffprobe(szPath), "audio");
    const int iChannels = stAudio.value("channels").toInt();
    const int iRate = stAudio.value("sample_rate").toString().toInt();
    if (iChannels < 1 || iRate < 1 || iChannel >= iChannels)
        return {};
    const testsupport::ToolResult st = testsupport::runTool(
        "ffmpeg", {"-hide_banner", "-loglevel", "error", "-i", szPath, "-map", "0:a:0", "-f", "f32le", "-"}, 120000);
    if (!st.bFinished || st.iExitCode != 0)
        return {};
    const int iFrames = st.stdOut.size() / int(sizeof(float)) / iChannels;
    const float *pData = reinterpret_cast<const float *>(st.stdOut.constData());
    QVector<float> samples(iFrames);
    for (int i = 0; i < iFrames; ++i)
        samples[i] = pData[i * iChannels + iChannel];
    if (piRate)
        *piRate = iRate;
    return samples;
}

double toneAmplitude(const QVector<float> &samples, int iRate, double lfHz, int iFrom, int iTo)
{
    iFrom = std::max(iFrom, 0);
    iTo = std::min(iTo, int(samples.size()));
    if (iTo <= iFrom || iRate < 1)
        return 0;
    // Goertzel at lfHz; the amplitude of a sine of that frequency.
    const double lfW = 2.0 * M_PI * lfHz / iRate;
    const double lfCoeff = 2.0 * std::cos(lfW);
    double s1 = 0, s2 = 0;
    for (int i = iFrom; i < iTo; ++i) {
        const double s0 = samples[i] + lfCoeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double lfPower = s1 * s1 + s2 * s2 - lfCoeff * s1 * s2;
    return 2.0 * std::sqrt(std::max(lfPower, 0.0)) / (iTo - iFrom);
}

double rootMeanSquare(const QVector<float> &samples, int iFrom, int iTo)
{
    iFrom = std::max(iFrom, 0);
    iTo = std::min(iTo, int(samples.size()));
    if (iTo <= iFrom)
        return 0;
    double lfSum = 0;
    for (int i = iFrom; i < iTo; ++i)
        lfSum += double(samples[i]) * samples[i];
    return std::sqrt(lfSum / (iTo - iFrom));
}

QStringList folderEntries(const QString &szDir)
{
    return QDir(szDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QRect boundingBox(const QImage &stImage, const std::function<bool(QRgb)> &pfnMatch)
{
    int x0 = stImage.width(), y0 = stImage.height(), x1 = -1, y1 = -1;
    for (int y = 0; y < stImage.height(); ++y) {
        for (int x = 0; x < stImage.width(); ++x) {
            if (pfnMatch(stImage.pixel(x, y))) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
        }
    }
    return x1 < 0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
}

} // namespace exporttest
