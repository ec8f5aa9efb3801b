#include "import/ImageDecoder.h"

#include "album/MaterialTypes.h"
#include "import/CQSql.h"
#include "media/ffmpeg/EdgeFrames.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/ImageConvert.h"
#include "media/ffmpeg/PictureOrientation.h"
#include "media/ffmpeg/SizeMath.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageIOHandler>
#include <QImageReader>
#include <QMutexLocker>
#include <QThread>

#include <climits>
#include <cstring>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
#include <libavutil/rational.h>
}

namespace {

constexpr AVRational kMicroseconds{1, 1000000};
// Longer than any real clip; keeps a forged duration from overflowing the album total.
constexpr int64_t kLongestVideoUs = int64_t(7) * 24 * 3600 * 1000000;

// Both sides known and one of them reaches the 4K frame's side in that direction.
bool isFourKSize(int w, int h)
{
    return w > 0 && h > 0 && (w >= 3840 || h >= 2160);
}

std::string nativePath(const QString &szPath)
{
    return QFile::encodeName(szPath).toStdString();
}

QString cleanAbsolutePath(const QString &szEntry)
{
    if (szEntry.isEmpty())
        return QString();
    return QDir::cleanPath(QFileInfo(szEntry).absoluteFilePath());
}


// A BGRA frame's pixels as the store keeps them: rows without padding.
QByteArray bgraBytes(const AVFrame *pFrame)
{
    const qint64 iRowBytes = qint64(pFrame->width) * 4;
    if (pFrame->format != AV_PIX_FMT_BGRA || !pFrame->data[0] || iRowBytes * pFrame->height > INT_MAX)
        return QByteArray();
    QByteArray bytes(int(iRowBytes * pFrame->height), Qt::Uninitialized);
    for (int y = 0; y < pFrame->height; ++y)
        std::memcpy(bytes.data() + qint64(y) * iRowBytes, pFrame->data[0] + ptrdiff_t(y) * pFrame->linesize[0],
                    size_t(iRowBytes));
    return bytes;
}

class PhaseTimer
{
public:
    explicit PhaseTimer(std::atomic<int64_t> &iTotal) : m_iTotal(iTotal) { m_timer.start(); }
    ~PhaseTimer() { m_iTotal.fetch_add(m_timer.nsecsElapsed(), std::memory_order_relaxed); }

private:
    std::atomic<int64_t> &m_iTotal;
    QElapsedTimer m_timer;
};

const int kInterrupted = AVERROR(EINTR);

} // namespace

ImageDecoder::ImageDecoder(QObject *pParent)
    : QObject(pParent)
    , m_pCounts(new ImportCounts)
{
    registerAlbumMetaTypes();
    qRegisterMetaType<DecodedMaterial>("DecodedMaterial");

    // Read the album on the thread that starts a pass, before the pass is
    // queued: that is the thread that writes the album.
    connect(this, &ImageDecoder::sig_check, this, &ImageDecoder::captureAlbumView, Qt::DirectConnection);
    connect(this, &ImageDecoder::sig_batchDecode, this, &ImageDecoder::captureAlbumView, Qt::DirectConnection);
    connect(this, &ImageDecoder::sig_decode, this, &ImageDecoder::captureAlbumView, Qt::DirectConnection);

    connect(this, QOverload<QList<QUrl>>::of(&ImageDecoder::sig_setFileList), this,
            QOverload<QList<QUrl>>::of(&ImageDecoder::setFileListImpl));
    connect(this, QOverload<QList<QString>>::of(&ImageDecoder::sig_setFileList), this,
            QOverload<QList<QString>>::of(&ImageDecoder::setFileListImpl));
    connect(this, &ImageDecoder::sig_setFileDir, this, &ImageDecoder::setFileDirImpl);
    connect(this, &ImageDecoder::sig_check, this, &ImageDecoder::checkImpl);
    connect(this, &ImageDecoder::sig_batchDecode, this, &ImageDecoder::batchDecodeImpl);
    connect(this, &ImageDecoder::sig_decode, this, &ImageDecoder::decodeImpl);
    connect(this, &ImageDecoder::sig_close, this, &ImageDecoder::closeImpl);
}

ImageDecoder::~ImageDecoder() = default;

void ImageDecoder::setRunning(bool bRunning)
{
    m_bRunning.store(bRunning);
}

bool ImageDecoder::isRunning() const
{
    return m_bRunning.load();
}

void ImageDecoder::setExpandFolders(bool bExpand)
{
    m_bExpandFolders.store(bExpand);
}

bool ImageDecoder::expandFolders() const
{
    return m_bExpandFolders.load();
}

void ImageDecoder::setStoreTierPictures(bool bStore)
{
    m_bStoreTierPictures.store(bStore);
}

bool ImageDecoder::storeTierPictures() const
{
    return m_bStoreTierPictures.load();
}

int ImageDecoder::succeededCount() const
{
    return m_pCounts->iSucceeded.load();
}

int ImageDecoder::failedCount() const
{
    return m_pCounts->iFailed.load();
}

int ImageDecoder::duplicateCount() const
{
    return m_pCounts->iDuplicate.load();
}

int ImageDecoder::totalCount() const
{
    return m_pCounts->iTotal.load();
}

QSharedPointer<ImportCounts> ImageDecoder::counts() const
{
    return m_pCounts;
}

int ImageDecoder::decodedFileCount() const
{
    return m_iDecodedFiles.load();
}

ImageDecoder::Timings ImageDecoder::timings() const
{
    Timings st;
    st.iCheck = m_iCheckNs.load();
    st.iProbe = m_iProbeNs.load();
    st.iDecode = m_iDecodeNs.load();
    st.iConvert = m_iConvertNs.load();
    st.iScale = m_iScaleNs.load();
    st.iStore = m_iStoreNs.load();
    st.iThumbnail = m_iThumbnailNs.load();
    return st;
}

void ImageDecoder::resetTimings()
{
    for (std::atomic<int64_t> *p : {&m_iCheckNs, &m_iProbeNs, &m_iDecodeNs, &m_iConvertNs, &m_iScaleNs,
                                    &m_iStoreNs, &m_iThumbnailNs})
        p->store(0);
}

const QList<QPair<QString, int>> &ImageDecoder::tiers()
{
    static const QList<QPair<QString, int>> s_tiers = {
        {QStringLiteral("4K"), 2200},   {QStringLiteral("2K"), 1600}, {QStringLiteral("1080P"), 1080},
        {QStringLiteral("720P"), 720},  {QStringLiteral("480P"), 480},
    };
    return s_tiers;
}

void ImageDecoder::setFileListImpl(QList<QUrl> stUrls)
{
    m_listUrls = stUrls;
    m_listPaths.clear();
    m_listDirs.clear();
    m_pCounts->iTotal.store(m_listUrls.size());
}

void ImageDecoder::setFileListImpl(QList<QString> stPaths)
{
    m_listPaths = stPaths;
    m_listUrls.clear();
    m_listDirs.clear();
    m_pCounts->iTotal.store(m_listPaths.size());
}

void ImageDecoder::setFileDirImpl(QList<QString> szDirs)
{
    m_listDirs = szDirs;
    m_listUrls.clear();
    m_listPaths.clear();
    m_pCounts->iTotal.store(0);
}

void ImageDecoder::captureAlbumView()
{
    AlbumView stView;
    const AlbumProjectState &st = albumState();
    stView.keys.reserve(st.mapImageSources.size());
    for (auto it = st.mapImageSources.keyBegin(); it != st.mapImageSources.keyEnd(); ++it)
        stView.keys.insert(*it);
    stView.iImageDuration = st.iImageDuration;
    stView.stImageDurationTimeBase = st.stImageDurationTimeBase;

    QMutexLocker locker(&m_viewMutex);
    m_capturedView = std::move(stView);
    m_bViewCaptured = true;
}

ImageDecoder::AlbumView ImageDecoder::takeAlbumView()
{
    {
        QMutexLocker locker(&m_viewMutex);
        if (m_bViewCaptured) {
            m_bViewCaptured = false;
            return std::move(m_capturedView);
        }
    }
    // Started by a direct call: the caller keeps the album still.
    captureAlbumView();
    QMutexLocker locker(&m_viewMutex);
    m_bViewCaptured = false;
    return std::move(m_capturedView);
}

bool ImageDecoder::plainList() const
{
    return m_listDirs.isEmpty() && !m_bExpandFolders.load();
}

QStringList ImageDecoder::passInputs() const
{
    QStringList inputs;
    if (!m_listDirs.isEmpty()) {
        for (const QString &szDir : m_listDirs)
            inputs += expandFolder(szDir);
        return inputs;
    }
    QStringList entries;
    if (!m_listUrls.isEmpty()) {
        for (const QUrl &stUrl : m_listUrls)
            entries.append(stUrl.toLocalFile());
    } else {
        entries = m_listPaths;
    }
    if (!m_bExpandFolders.load())
        return entries;
    for (const QString &szEntry : entries) {
        if (!szEntry.isEmpty() && QFileInfo(szEntry).isDir())
            inputs += expandFolder(szEntry);
        else
            inputs.append(szEntry);
    }
    return inputs;
}

bool ImageDecoder::isFourK(const QString &szPath)
{
    // Anything but a plain file (a pipe, a device) could block the reader or never end.
    if (!QFileInfo(szPath).isFile())
        return false;
    {
        QImageReader reader(szPath);
        if (reader.canRead()) {
            QSize stSize = reader.size();
            if (stSize.isValid()) {
                // The decoder turns pictures upright, so measure them that way.
                if (reader.transformation() & QImageIOHandler::TransformationRotate90)
                    stSize.transpose();
                return isFourKSize(stSize.width(), stSize.height());
            }
        }
    }
    int ret = 0;
    AVInputContextPtr pInput(openInputFile(nativePath(szPath), nullptr, nullptr, &ret));
    if (!pInput)
        return false;
    // Most containers state the picture size in their header; only the
    // others need the stream probe.
    AVStream *pStream = findFirstStream(pInput.get(), AVMEDIA_TYPE_VIDEO);
    if (!pStream || pStream->codecpar->width <= 0 || pStream->codecpar->height <= 0) {
        if (findStreamInfo(pInput.get()) < 0)
            return false;
        pStream = findFirstStream(pInput.get(), AVMEDIA_TYPE_VIDEO);
    }
    if (!pStream)
        return false;
    // As shown: a camera's pixels need not be square, and a portrait phone
    // video stores landscape pictures and a quarter turn.
    QSize stSize = displaySize(pStream->codecpar->width, pStream->codecpar->height,
                               av_guess_sample_aspect_ratio(pInput.get(), pStream, nullptr));
    if (orientationSwapsSides(pictureOrientation(pStream, nullptr)))
        stSize.transpose();
    return isFourKSize(stSize.width(), stSize.height());
}

void ImageDecoder::checkImpl()
{
    PhaseTimer timer(m_iCheckNs);
    m_pCounts->iSucceeded.store(0);
    m_pCounts->iFailed.store(0);
    m_pCounts->iDuplicate.store(0);

    const AlbumView stView = takeAlbumView();
    const bool bPlain = plainList();
    bool bFound = false;
    const QStringList inputs = passInputs();
    for (const QString &szEntry : inputs) {
        if (!running())
            break;
        const QString szPath = cleanAbsolutePath(szEntry);
        if (szPath.isEmpty() || !QFileInfo::exists(szPath) || stView.keys.contains(szPath))
            continue;
        if (bPlain && classifyMaterial(szPath) == 0)
            continue;
        if (isFourK(szPath)) {
            bFound = true;
            break;
        }
    }
    emit sig_checkFinished(bFound);
}

void ImageDecoder::batchDecodeImpl()
{
    ImportCounts &counts = *m_pCounts;
    const quint64 iBatch = counts.iBatch.fetch_add(1) + 1;
    counts.iSucceeded.store(0);
    counts.iFailed.store(0);
    counts.iDuplicate.store(0);

    const AlbumView stView = takeAlbumView();
    const QStringList inputs = passInputs();
    counts.iTotal.store(inputs.size());
    // Paths handed to the album during this batch; they are not in the view yet.
    QSet<QString> handedOff;

    for (const QString &szEntry : inputs) {
        if (!running())
            break;
        const QString szPath = cleanAbsolutePath(szEntry);
        if (stView.keys.contains(szPath) || handedOff.contains(szPath)) {
            counts.iDuplicate.fetch_add(1);
            continue;
        }
        Decoded stDecoded;
        QSharedPointer<HeldMaterialFile> pHeld;
        const int ret = decodeFile(szPath, stView, true, stDecoded, nullptr, &pHeld);
        if (ret == kInterrupted)
            break;
        if (ret < 0) {
            counts.iFailed.fetch_add(1);
            continue;
        }

        DecodedMaterial stMaterial;
        ImageSource &stSource = stMaterial.stSource;
        stSource.szFilePath = szPath;
        stSource.iSourceType = stDecoded.iSourceType;
        stSource.iDuration = stDecoded.iDuration;
        stSource.stTimeBase = stDecoded.stTimeBase;
        stSource.iRotation = 0;
        stSource.stWidthToHeight = stDecoded.stWidthToHeight;
        stSource.stSrcImageSize = stDecoded.stSize;
        stMaterial.stThumbnail = stDecoded.stThumbnail;
        stMaterial.pHeldFile = pHeld;
        stMaterial.pCounts = m_pCounts;
        stMaterial.iBatch = iBatch;
        handedOff.insert(szPath);
        counts.iSucceeded.fetch_add(1);
        emit sig_materialDecoded(stMaterial);
    }
    emit sig_batchDecodeFinished();
}

void ImageDecoder::decodeImpl(QString szFile, bool bJustCheck)
{
    const AlbumView stView = takeAlbumView();
    Decoded stDecoded;
    QString szStep;
    const int ret = running() ? decodeFile(cleanAbsolutePath(szFile), stView, !bJustCheck, stDecoded, &szStep, nullptr)
                              : kInterrupted;
    if (ret < 0) {
        char szError[64] = {0};
        av_strerror(ret, szError, sizeof(szError));
        emit sig_decodeFailed(szFile, QStringLiteral("%1(%2)").arg(szStep, QString::fromUtf8(szError)));
        return;
    }
    QPixmap stPixmap;
    if (!bJustCheck)
        stPixmap = QPixmap::fromImage(stDecoded.stThumbnail);
    const int64_t iDuration = stDecoded.iSourceType == SourceVideo ? stDecoded.iDuration : 0;
    emit sig_decoded(szFile, stPixmap, stDecoded.stWidthToHeight, stDecoded.stSize, stDecoded.iSourceType, iDuration,
                     stDecoded.stTimeBase);
}

void ImageDecoder::closeImpl(int iExitEcode)
{
    if (QThread *pThread = thread())
        pThread->exit(iExitEcode);
}

int ImageDecoder::decodeFile(const QString &szPath, const AlbumView &stView, bool bStore, Decoded &stOut,
                             QString *pszStep, QSharedPointer<HeldMaterialFile> *ppHeld)
{
    auto fail = [pszStep](int iCode, const char *szStep = nullptr) {
        if (pszStep)
            *pszStep = szStep ? tr(szStep) : QString();
        return iCode;
    };

    const int iType = classifyMaterial(szPath);
    if (iType == 0)
        return fail(AVERROR(EINVAL));
    // Pipes and devices would block or never end; folders and dangling links are no material.
    if (!QFileInfo(szPath).isFile())
        return fail(AVERROR(EINVAL));
    if (ppHeld) {
        // A file we cannot hold open for reading cannot be decoded either.
        FILE *pFile = openHeldFile(szPath);
        if (!pFile)
            return fail(AVERROR(EINVAL));
        ppHeld->reset(new HeldMaterialFile(pFile));
    }

    const bool bVideo = iType == SourceVideo;
    AVFramePtr pFirst = makeFramePtr();
    AVFramePtr pLast = bVideo ? makeFramePtr() : AVFramePtr();
    if (!pFirst || (bVideo && !pLast))
        return fail(AVERROR(ENOMEM));
    if (!running())
        return fail(kInterrupted);

    const std::string szNative = nativePath(szPath);
    if (bVideo) {
        PhaseTimer timer(m_iProbeNs);
        int ret = 0;
        AVInputContextPtr pInput(openInputFile(szNative, nullptr, nullptr, &ret));
        if (!pInput)
            return fail(ret < 0 ? ret : AVERROR(EINVAL));
        ret = findStreamInfo(pInput.get());
        if (ret < 0)
            return fail(ret);
        const AVStream *pStream = findFirstStream(pInput.get(), AVMEDIA_TYPE_VIDEO);
        if (!pStream)
            return fail(AVERROR_STREAM_NOT_FOUND);
        const AVRational stStreamBase = pStream->time_base;
        if (pStream->duration > 0 && stStreamBase.num > 0 && stStreamBase.den > 0) {
            stOut.iDuration = pStream->duration;
            stOut.stTimeBase = stStreamBase;
        } else if (pInput->duration > 0) {
            stOut.iDuration = pInput->duration;
            stOut.stTimeBase = kMicroseconds;
        } else {
            return fail(AVERROR_INVALIDDATA, QT_TR_NOOP("Video duration is abnormal"));
        }
        const int64_t iUs = av_rescale_q(stOut.iDuration, stOut.stTimeBase, kMicroseconds);
        if (iUs <= 0 || iUs > kLongestVideoUs)
            return fail(AVERROR_INVALIDDATA, QT_TR_NOOP("Video duration is abnormal"));
    } else {
        stOut.iDuration = av_rescale_q(stView.iImageDuration, stView.stImageDurationTimeBase, AVRational{1, 1});
        stOut.stTimeBase = AVRational{1, 1};
    }

    {
        PhaseTimer timer(m_iDecodeNs);
        m_iDecodedFiles.fetch_add(1);
        const int ret = decodeEdgeFrames(szNative, pFirst.get(), bVideo ? pLast.get() : nullptr);
        if (ret < 0)
            return fail(ret, QT_TR_NOOP("Image decode failed"));
    }

    const int w = pFirst->width;
    const int h = pFirst->height;
    const QSize stThumbSize = fitSize(w, h, 120, 80);
    if (w < 1 || h < 1 || stThumbSize.width() < 1 || stThumbSize.height() < 1)
        return fail(AVERROR_INVALIDDATA, QT_TR_NOOP("Image ratio is abnormal"));
    av_reduce(&stOut.stWidthToHeight.num, &stOut.stWidthToHeight.den, w, h, INT_MAX);
    stOut.stSize = QSize(w, h);
    stOut.iSourceType = iType;
    if (!running())
        return fail(kInterrupted);
    if (!bStore)
        return 0;
    const bool bTiers = m_bStoreTierPictures.load();

    bool bStoredAny = false;
    const char *szStep = nullptr;
    int ret = bTiers ? storeTiers(szPath, pFirst.get(), bVideo ? pLast.get() : nullptr, w, h, bStoredAny, &szStep)
                     : 0;
    if (ret >= 0 && !running())
        ret = kInterrupted;
    if (ret >= 0) {
        PhaseTimer timer(m_iThumbnailNs);
        AVFramePtr pThumb = makeFramePtr();
        ret = pThumb ? resizeFrame(pFirst.get(), pThumb.get(), stThumbSize.width(), stThumbSize.height())
                     : AVERROR(ENOMEM);
        if (ret >= 0) {
            stOut.stThumbnail = frameToImage(pThumb.get());
            if (stOut.stThumbnail.isNull())
                ret = AVERROR(ENOMEM);
        }
    }
    if (ret < 0) {
        // Tier pictures of a file that is not added would outlive it and be
        // found by a later import of a changed file under the same name.
        if (bStoredAny && !stView.keys.contains(szPath))
            CQSql::instance().deleteImages(QString::fromLatin1(CQSql::kTableName),
                                           QString::fromLatin1(CQSql::kColumnPath), szPath);
        if (ret == kInterrupted)
            szStep = nullptr;
        else if (!szStep)
            szStep = QT_TR_NOOP("Image zoom failed");
        return fail(ret, szStep);
    }
    return 0;
}

int ImageDecoder::storeTiers(const QString &szPath, AVFrame *pFirst, AVFrame *pLast, int w, int h, bool &bStoredAny,
                             const char **pszStep)
{
    CQSql &store = CQSql::instance();
    // Each tier is scaled from the one before: cheaper than from the source
    // every time. Converting a 12-megapixel picture to BGRA costs more than
    // decoding it, so the first tier is scaled in the decoded format (or the
    // nearest one the scaler writes, for a palette) and converted after.
    for (const auto &tier : tiers()) {
        if (!running())
            return kInterrupted;
        const QSize stSize = fitLongerSide(w, h, tier.second);
        for (AVFrame *pFrame : {pFirst, pLast}) {
            if (!pFrame)
                continue;
            QByteArray bytes;
            {
                PhaseTimer timer(m_iScaleNs);
                const int ret = resizeFrame(pFrame, pFrame, stSize.width(), stSize.height());
                if (ret < 0) {
                    *pszStep = QT_TR_NOOP("Image zoom failed");
                    return ret;
                }
            }
            if (pFrame->format != AV_PIX_FMT_BGRA) {
                PhaseTimer timer(m_iConvertNs);
                const int ret = convertPixelFormat(pFrame, pFrame, AV_PIX_FMT_BGRA);
                if (ret < 0) {
                    *pszStep = QT_TR_NOOP("Image format conversion failed");
                    return ret;
                }
            }
            PhaseTimer timer(m_iStoreNs);
            bytes = bgraBytes(pFrame);
            const QString szKey = szPath + tier.first + (pFrame == pLast ? QStringLiteral("_end") : QString());
            // A failed insert leaves the material usable; the store logs it.
            if (store.insertImage(szPath, szKey, stSize.width(), stSize.height(), bytes))
                bStoredAny = true;
        }
    }
    return 0;
}
