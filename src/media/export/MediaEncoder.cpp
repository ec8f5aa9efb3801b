#include "media/export/MediaEncoder.h"

#include "album/AlbumProjectState.h"
#include "media/export/ContainerLimits.h"
#include "media/ffmpeg/FFmpegCodec.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/recipes/PictureRecipes.h"

#include <QThread>

#include <new>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
}

namespace {

// Raised inside an export and caught by exportVideoImpl; the message (if
// any) is already in the context's lastError.
struct ExportFailure
{
    int iCode;
};

} // namespace

MediaEncoder::MediaEncoder()
    : QObject(nullptr)
{
    // Armed in the emitting thread at the moment of the request: a cancel
    // that arrives before the worker starts still stops the export.
    connect(this, &MediaEncoder::sig_exportVideo, this, [this] { m_bRunning.store(true); }, Qt::DirectConnection);
    connect(this, &MediaEncoder::sig_exportVideo, this, &MediaEncoder::exportVideoImpl, Qt::QueuedConnection);
    connect(this, &MediaEncoder::sig_close, this, &MediaEncoder::closeImpl, Qt::QueuedConnection);
}

MediaEncoder::~MediaEncoder() = default;

ExportStats MediaEncoder::lastExportStats() const
{
    QMutexLocker lock(&m_statsMutex);
    return m_stLastStats;
}

void MediaEncoder::closeImpl(int iExitEcode)
{
    if (QThread *pThread = QThread::currentThread())
        pThread->exit(iExitEcode);
}

void MediaEncoder::exportVideoImpl()
{
    m_clock.start();
    int iCode = 0;
    try {
        runExport();
    } catch (const ExportFailure &e) {
        iCode = e.iCode < 0 ? e.iCode : AVERROR_UNKNOWN;
    } catch (const std::bad_alloc &) {
        m_ctx.szLastError.clear();
        iCode = AVERROR(ENOMEM);
    } catch (...) {
        m_ctx.szLastError.clear();
        iCode = AVERROR_UNKNOWN;
    }

    try {
        {
            QMutexLocker lock(&m_statsMutex);
            m_stLastStats = m_clock.finish(m_ctx.iFramesEncoded);
        }
        if (iCode == 0) {
            releaseExport();
            Q_EMIT sig_exportProgress(100);
            Q_EMIT sig_succeeded();
        } else {
            reportFailure(iCode);
        }
    } catch (...) {
        // Nothing may leave a slot; the context is emptied whatever happened.
        m_ctx.reset();
    }
}

void MediaEncoder::runExport()
{
    const AlbumProjectState &st = albumState();
    m_ctx.reset();
    m_timeline = recipes::AlbumTimeline();
    m_ctx.szMusicPath = st.szBackgroundMusicPath.toUtf8().toStdString();
    m_ctx.szOutputPath = exportOutputPath(st).toUtf8().toStdString();

    setUpOutput();
    // A file without a single frame is no video: an empty album fails
    // rather than "succeeding" with an unplayable file.
    if (m_ctx.iTotalFrames <= 0)
        fail(AVERROR(EINVAL), tr("The album has nothing to export"));

    for (const recipes::TimelineSegment &stSegment : m_timeline.segments()) {
        const ImageSource &stSource = material(stSegment.iMaterial);
        switch (stSegment.eKind) {
        case recipes::TimelineSegment::Kind::Video:
            checkRunning();
            renderVideoSegment(stSegment, stSource);
            break;
        case recipes::TimelineSegment::Kind::Image:
            checkRunning();
            renderImageSegment(stSegment, stSource);
            break;
        case recipes::TimelineSegment::Kind::Nothing:
            checkRunning();
            break;
        case recipes::TimelineSegment::Kind::Transition:
            renderTransition(stSegment, material(stSegment.iMaterial + 1));
            break;
        }
    }
    m_timeline = recipes::AlbumTimeline();

    finishOutput();
}

// The record of material i, by reference: a copy made here would copy its
// thumbnail pixmap outside the GUI thread.
const ImageSource &MediaEncoder::material(int i) const
{
    const AlbumProjectState &st = albumState();
    const auto it = st.mapImageSources.constFind(st.listImageSourceOrder.at(i));
    return it != st.mapImageSources.constEnd() ? it.value() : m_stMissing;
}

void MediaEncoder::fail(int iCode, const QString &szMessage)
{
    m_ctx.szLastError = szMessage;
    throw ExportFailure{iCode};
}

void MediaEncoder::checkRunning()
{
    if (!m_bRunning.load())
        fail(AVERROR(EINTR), tr("Operation interrupted"));
}

void MediaEncoder::setUpOutput()
{
    const AlbumProjectState &st = albumState();
    m_ctx.szLastError.clear();
    m_ctx.pCurrentPicture = makeFramePtr();
    m_ctx.pNextPicture = makeFramePtr();
    m_ctx.pOutputFrame = makeFramePtr();
    m_ctx.pVideoPacket = makePacketPtr();
    m_ctx.pAudioFrame = makeFramePtr();
    m_ctx.pAudioPacket = makePacketPtr();
    if (!m_ctx.pCurrentPicture || !m_ctx.pNextPicture || !m_ctx.pOutputFrame || !m_ctx.pVideoPacket
        || !m_ctx.pAudioFrame || !m_ctx.pAudioPacket)
        fail(AVERROR(ENOMEM));

    // The file is written under a temporary name beside the target and only
    // moved over it once complete; the temporary keeps the extension, so the
    // container is chosen from it as from the target.
    {
        ScopedPhase phase(m_clock, ExportPhase::Mux);
        int ret = m_ctx.stTemporary.create(m_ctx.szOutputPath);
        if (ret < 0)
            fail(ret, tr("Create output file failed"));
        AVFormatContext *pOutput = createOutputFile(m_ctx.stTemporary.path(), std::string(), &ret);
        if (!pOutput)
            fail(ret < 0 ? ret : AVERROR(EINVAL), tr("Create output file failed"));
        m_ctx.pOutput.reset(pOutput);
    }
    const std::string &szFile = m_ctx.stTemporary.path();

    m_ctx.iNextVideoPts = 0;
    m_ctx.iFramesEncoded = 0;
    m_ctx.iLastProgress = -1;

    OutputSettings stWanted;
    stWanted.stFrameRate = st.stFrameRate;
    stWanted.iVideoBitRate = st.iVideoBitRate;
    stWanted.iSampleRate = static_cast<int>(st.iSampleRate);
    stWanted.iAudioBitRate = st.iAudioBitRate;
    m_ctx.stSettings = settingsForOutput(szFile, stWanted);
    const OutputSettings &stSettings = m_ctx.stSettings;

    const AVCodecID eVideoCodec = guessCodecId(szFile, AVMEDIA_TYPE_VIDEO);
    AVDictionaryPtr options;
    if (eVideoCodec == AV_CODEC_ID_H264) {
        // No frame buffering: every frame comes out as it goes in.
        if (options.set("tune", "zerolatency") < 0 || options.set("preset", "veryfast") < 0)
            fail(AVERROR(ENOMEM));
    }
    const AVPixelFormat ePixelFormat = defaultPixelFormat(szFile);
    const AVRational stRate = stSettings.stFrameRate;
    AVCodecContext *pEncoder = nullptr;
    m_ctx.pVideoStream = stRate.num > 0 && stRate.den > 0
                             ? addVideoStream(m_ctx.pOutput.get(), &pEncoder, eVideoCodec, st.iExportWidth,
                                              st.iExportHeight, ePixelFormat, stSettings.iVideoBitRate,
                                              AVRational{0, 1}, stRate, AVRational{stRate.den, stRate.num},
                                              options.get())
                             : nullptr;
    m_ctx.pVideoEncoder.reset(pEncoder);
    if (!m_ctx.pVideoStream || !m_ctx.pVideoEncoder)
        fail(AVERROR(EINVAL), tr("Create output video stream failed"));
    m_ctx.stVideoTimeBase = m_ctx.pVideoEncoder->time_base;
    m_ctx.stFrameRate = m_ctx.pVideoEncoder->framerate;
    m_ctx.ePixelFormat = m_ctx.pVideoEncoder->pix_fmt;
    m_ctx.iWidth = m_ctx.pVideoEncoder->width;
    m_ctx.iHeight = m_ctx.pVideoEncoder->height;

    m_ctx.iTotalDuration = av_rescale_q(st.iTotalDuration, st.stGlobalTimeBase, m_ctx.stVideoTimeBase);
    // The progress denominator counts exactly the frames the segments will
    // emit, so that 100 comes with the last frame and never before.
    m_timeline = recipes::AlbumTimeline(st, m_ctx.stFrameRate);
    m_ctx.iTotalFrames = m_timeline.totalFrames();

    prepareWatermark();

    // A container that carries no sound (GIF) gets none, whatever the state says.
    m_ctx.bAudio = st.bExportAudio && guessCodecId(szFile, AVMEDIA_TYPE_AUDIO) != AV_CODEC_ID_NONE;
    if (m_ctx.bAudio)
        setUpAudio();

    ScopedPhase phase(m_clock, ExportPhase::Mux);
    const int ret = writeFileHeader(m_ctx.pOutput.get());
    if (ret < 0)
        fail(ret, tr("Write file header failed"));
    m_ctx.bHeaderWritten = true;
}

void MediaEncoder::encodeAndWrite(AVCodecContext *pEncoder, const AVFrame *pFrame, AVPacket *pPacket,
                                  AVStream *pStream, bool bVideo)
{
    const QString szEncodeFailed = bVideo ? tr("Encode video frame failed") : tr("Encode audio frame failed");
    bool bGot = false;
    int ret = 0;
    {
        ScopedPhase phase(m_clock, bVideo ? ExportPhase::VideoEncode : ExportPhase::Audio);
        ret = encodeFrame(pEncoder, pFrame, pPacket, bGot);
    }
    for (;;) {
        if (ret == AVERROR_EOF)
            return;
        if (ret < 0)
            fail(ret, szEncodeFailed);
        if (!bGot)
            return;
        {
            ScopedPhase phase(m_clock, ExportPhase::Mux);
            pPacket->stream_index = pStream->index;
            rescalePacketTimestamps(pPacket, pEncoder->time_base, pStream->time_base);
            ret = writePacket(m_ctx.pOutput.get(), pPacket);
            av_packet_unref(pPacket);
        }
        if (ret < 0)
            fail(ret, bVideo ? tr("Write video packet failed") : tr("Write audio packet failed"));
        // An encoder may hold more than one packet; taking them all keeps it
        // ready for the next frame.
        ScopedPhase phase(m_clock, bVideo ? ExportPhase::VideoEncode : ExportPhase::Audio);
        ret = avcodec_receive_packet(pEncoder, pPacket);
        bGot = ret == 0;
        if (ret == AVERROR(EAGAIN))
            return;
    }
}

void MediaEncoder::emitVideoFrame(AVFrame *pFrame)
{
    pFrame->pts = m_ctx.iNextVideoPts++;
    pFrame->pict_type = AV_PICTURE_TYPE_NONE;
    encodeAndWrite(m_ctx.pVideoEncoder.get(), pFrame, m_ctx.pVideoPacket.get(), m_ctx.pVideoStream, true);

    ++m_ctx.iFramesEncoded;
    const int64_t iTotal = m_ctx.iTotalFrames;
    const int iProgress =
        iTotal > 0 ? static_cast<int>(std::min<int64_t>(100, m_ctx.iFramesEncoded * 100 / iTotal)) : 100;
    Q_EMIT sig_exportProgress(iProgress);
    Q_EMIT sig_exportFrames(m_ctx.iFramesEncoded, iTotal);
    m_ctx.iLastProgress = iProgress;

    if (m_ctx.bAudio)
        writeAudioUpToVideo();
}

void MediaEncoder::finishOutput()
{
    if (m_ctx.bAudio) {
        ScopedPhase phase(m_clock, ExportPhase::Audio);
        padUnflushableEncoder();
        drainFifo();
        encodeAndWrite(m_ctx.pAudioEncoder.get(), nullptr, m_ctx.pAudioPacket.get(), m_ctx.pAudioStream, false);
    }
    encodeAndWrite(m_ctx.pVideoEncoder.get(), nullptr, m_ctx.pVideoPacket.get(), m_ctx.pVideoStream, true);

    ScopedPhase phase(m_clock, ExportPhase::Mux);
    // A trailer or a last buffer that cannot be written (a full disk) leaves
    // an unplayable file: that is a failure, not a success. The trailer is
    // tried once; the failure path must not write it again.
    m_ctx.bHeaderWritten = false;
    int ret = writeTrailer(m_ctx.pOutput.get());
    if (ret < 0)
        fail(ret, tr("Write file trailer failed"));
    if (AVIOContext *pIo = m_ctx.pOutput->pb) {
        avio_flush(pIo);
        if (pIo->error < 0)
            fail(pIo->error, tr("Write file trailer failed"));
    }
    AVFormatContext *pOutput = m_ctx.pOutput.release();
    closeOutputFile(&pOutput);

    const bool bReplace = m_bReplaceExisting.load();
    ret = m_ctx.stTemporary.commit(bReplace);
    if (ret == AVERROR(EEXIST) && !bReplace)
        fail(ret, tr("The file already exists"));
    if (ret < 0)
        fail(ret, tr("Replace output file failed"));
}

void MediaEncoder::releaseExport()
{
    m_ctx.reset();
}

void MediaEncoder::reportFailure(int iCode)
{
    // Some muxers free what they still hold (GIF its last picture) only in
    // their trailer; it goes into the partial file, which is removed anyway.
    if (m_ctx.pOutput && m_ctx.bHeaderWritten)
        writeTrailer(m_ctx.pOutput.get());
    // The partial file goes; a file the user had at the target was never touched.
    m_ctx.pOutput.reset();
    m_ctx.stTemporary.discard();

    char szText[64] = {0};
    av_strerror(iCode, szText, sizeof(szText));
    m_ctx.szLastError = QStringLiteral("%1(%2)").arg(m_ctx.szLastError, QString::fromUtf8(szText));
    const QString szError = m_ctx.szLastError;
    releaseExport();
    Q_EMIT sig_exportFail(szError);
}
