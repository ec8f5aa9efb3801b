#include "import/ImageDecoder.h"

#include "album/MaterialTypes.h"
#include "import/CQSql.h"
#include "media/ffmpeg/EdgeFrames.h"
#include "media/ffmpeg/FFmpegFormat.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/ImageConvert.h"
#include "media/ffmpeg/PictureBytes.h"
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

#include <algorithm>
#include <climits>
#include <deque>
#include <future>
#include <memory>

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
    , m_pPool(new QThreadPool(this))
{
    m_pPool->setMaxThreadCount(parallelFiles());
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

std::atomic<bool> &ImageDecoder::runningFlag(Job eJob)
{
    return eJob == Job::Import ? m_bRunning : m_bSingleRunning;
}

void ImageDecoder::setRunning(bool bRunning, Job eJob)
{
    runningFlag(eJob).store(bRunning);
}

bool ImageDecoder::isRunning(Job eJob) const
{
    return (eJob == Job::Import ? m_bRunning : m_bSingleRunning).load();
}

void ImageDecoder::stopAll()
{
    m_bRunning.store(false);
    m_bSingleRunning.store(false);
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
    st.iScale = m_iScaleNs.load();
    st.iPack = m_iPackNs.load();
    st.iStore = m_iStoreNs.load();
    st.iThumbnail = m_iThumbnailNs.load();
    return st;
}

void ImageDecoder::resetTimings()
{
    for (std::atomic<int64_t> *p : {&m_iCheckNs, &m_iProbeNs, &m_iDecodeNs, &m_iScaleNs, &m_iPackNs, &m_iStoreNs,
                                    &m_iThumbnailNs})
        p->store(0);
}

int ImageDecoder::parallelFiles()
{
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

const QList<QPair<QString, int>> &ImageDecoder::tiers()
{
    static const QList<QPair<QString, int>> s_tiers = {
        {QStringLiteral("4K"), 2200},   {QStringLiteral("2K"), 1600}, {QStringLiteral("1080P"), 1080},
        {QStringLiteral("720P"), 720},  {QStringLiteral("480P"), 480},
    };
    return s_tiers;
}

QList<QPair<QString, int>> ImageDecoder::importedTiers(int iSourceType)
{
    return iSourceType == SourceVideo ? tiers() : tiers().mid(1);
}

int ImageDecoder::makeMissingTier(const QString &szPath, const QString &szTier, int iLongerSide, bool bLast,
                                  AVFrame *pDst)
{
    AVFramePtr pPicture = makeFramePtr();
    if (!pPicture || !pDst)
        return AVERROR(ENOMEM);
    const std::string szNative = nativePath(szPath);
    int ret = bLast ? decodeEdgeFrames(szNative, nullptr, pPicture.get()) : decodeEdgeFrames(szNative, pPicture.get());
    if (ret < 0)
        return ret;
    const QSize stSize = fitLongerSide(pPicture->width, pPicture->height, iLongerSide);
    ret = resizeFrame(pPicture.get(), pPicture.get(), stSize.width(), stSize.height());
    if (ret < 0)
        return ret;
    const QByteArray bytes = packPicture(pPicture.get(), &ret);
    if (ret < 0)
        return ret;
    // Not stored is not a failure: the picture is still good for this time.
    CQSql::instance().insertImage(szPath, szPath + szTier + (bLast ? QStringLiteral("_end") : QString()),
                                  stSize.width(), stSize.height(), bytes);
    av_frame_unref(pDst);
    av_frame_move_ref(pDst, pPicture.get());
    return 0;
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
        if (!m_bRunning.load())
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
    const bool bTiers = m_bStoreTierPictures.load();

    struct Outcome
    {
        int iResult = 0;
        Decoded stDecoded;
    };
    struct Pending
    {
        QString szPath;
        bool bDuplicate = false;   // in the album, or earlier in this batch
        std::future<Outcome> result;
    };
    // Files are decoded ahead of the album by at most parallelFiles(), and
    // handed on in input order. Every job is waited for before this returns:
    // the jobs read stView.
    std::deque<Pending> pending;
    QSet<QString> claimed;
    int iNext = 0;
    for (;;) {
        while (m_bRunning.load() && iNext < inputs.size() && int(pending.size()) < parallelFiles()) {
            Pending stJob;
            stJob.szPath = cleanAbsolutePath(inputs.at(iNext++));
            stJob.bDuplicate = stView.keys.contains(stJob.szPath) || claimed.contains(stJob.szPath);
            if (!stJob.bDuplicate) {
                claimed.insert(stJob.szPath);
                auto pTask = std::make_shared<std::packaged_task<Outcome()>>(
                    [this, szPath = stJob.szPath, &stView, bTiers]() {
                        Outcome stOutcome;
                        const char *szStep = nullptr;
                        stOutcome.iResult =
                            decodeFile(szPath, stView, bTiers ? Extras::TiersAndThumbnail : Extras::ThumbnailOnly,
                                       true, m_bRunning, stOutcome.stDecoded, &szStep);
                        return stOutcome;
                    });
                stJob.result = pTask->get_future();
                m_pPool->start([pTask]() { (*pTask)(); });
            }
            pending.push_back(std::move(stJob));
        }
        if (pending.empty())
            break;
        Pending stJob = std::move(pending.front());
        pending.pop_front();
        if (stJob.bDuplicate) {
            if (m_bRunning.load())
                counts.iDuplicate.fetch_add(1);
            continue;
        }
        Outcome stOutcome = stJob.result.get();
        // Stopped: nothing unfinished reaches the album.
        if (!m_bRunning.load() || stOutcome.iResult == kInterrupted)
            continue;
        if (stOutcome.iResult < 0) {
            counts.iFailed.fetch_add(1);
            continue;
        }
        Decoded &stDecoded = stOutcome.stDecoded;
        // A failed insert leaves the material usable; the store logs it.
        if (bTiers)
            insertTierPictures(stJob.szPath, stDecoded.tierPictures);
        if (!m_bRunning.load()) {
            if (bTiers)
                removeTierPictures(stJob.szPath, stView);
            continue;
        }

        DecodedMaterial stMaterial;
        ImageSource &stSource = stMaterial.stSource;
        stSource.szFilePath = stJob.szPath;
        stSource.iSourceType = stDecoded.iSourceType;
        stSource.iDuration = stDecoded.iDuration;
        stSource.stTimeBase = stDecoded.stTimeBase;
        stSource.iRotation = 0;
        stSource.stWidthToHeight = stDecoded.stWidthToHeight;
        stSource.stSrcImageSize = stDecoded.stSize;
        stMaterial.stThumbnail = stDecoded.stThumbnail;
        stMaterial.pHeldFile = stDecoded.pHeldFile;
        stMaterial.pCounts = m_pCounts;
        stMaterial.iBatch = iBatch;
        counts.iSucceeded.fetch_add(1);
        emit sig_materialDecoded(stMaterial);
    }
    emit sig_batchDecodeFinished();
}

void ImageDecoder::decodeImpl(QString szFile, bool bJustCheck)
{
    const AlbumView stView = takeAlbumView();
    const QString szPath = cleanAbsolutePath(szFile);
    const Extras eExtras = bJustCheck ? Extras::None
                           : m_bStoreTierPictures.load() ? Extras::TiersAndThumbnail
                                                         : Extras::ThumbnailOnly;
    Decoded stDecoded;
    const char *szStep = nullptr;
    int ret = m_bSingleRunning.load()
                  ? decodeFile(szPath, stView, eExtras, false, m_bSingleRunning, stDecoded, &szStep)
                  : kInterrupted;
    if (ret >= 0 && eExtras == Extras::TiersAndThumbnail) {
        insertTierPictures(szPath, stDecoded.tierPictures);
        if (!m_bSingleRunning.load()) {
            removeTierPictures(szPath, stView);
            ret = kInterrupted;
        }
    }
    if (ret < 0) {
        char szError[64] = {0};
        av_strerror(ret, szError, sizeof(szError));
        const QString szMessage = szStep && ret != kInterrupted ? tr(szStep) : QString();
        emit sig_decodeFailed(szFile, QStringLiteral("%1(%2)").arg(szMessage, QString::fromUtf8(szError)));
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

int ImageDecoder::decodeFile(const QString &szPath, const AlbumView &stView, Extras eExtras, bool bHoldFile,
                             const std::atomic<bool> &bRunning, Decoded &stOut, const char **pszStep)
{
    auto fail = [pszStep](int iCode, const char *szStep = nullptr) {
        *pszStep = szStep;
        return iCode;
    };

    const int iType = classifyMaterial(szPath);
    if (iType == 0)
        return fail(AVERROR(EINVAL));
    // Pipes and devices would block or never end; folders and dangling links are no material.
    if (!QFileInfo(szPath).isFile())
        return fail(AVERROR(EINVAL));
    if (bHoldFile) {
        // A file we cannot hold open for reading cannot be decoded either.
        FILE *pFile = openHeldFile(szPath);
        if (!pFile)
            return fail(AVERROR(EINVAL));
        stOut.pHeldFile.reset(new HeldMaterialFile(pFile));
    }

    const bool bVideo = iType == SourceVideo;
    AVFramePtr pFirst = makeFramePtr();
    AVFramePtr pLast = bVideo ? makeFramePtr() : AVFramePtr();
    if (!pFirst || (bVideo && !pLast))
        return fail(AVERROR(ENOMEM));
    if (!bRunning.load())
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
    if (!bRunning.load())
        return fail(kInterrupted);
    if (eExtras == Extras::None)
        return 0;

    if (eExtras == Extras::TiersAndThumbnail) {
        const int ret = makeTierPictures(szPath, pFirst.get(), bVideo ? pLast.get() : nullptr, w, h, bRunning,
                                         stOut.tierPictures, pszStep);
        if (ret < 0)
            return ret;
        if (!bRunning.load())
            return fail(kInterrupted);
    }
    // From the smallest tier (made here when there are no tiers): BGRA at a
    // fraction of the full picture's cost. Scaled in BGRA, because at
    // 120 x 80 halved chroma would bleed over the edges.
    PhaseTimer timer(m_iThumbnailNs);
    AVFramePtr pThumb = makeFramePtr();
    int ret = pThumb ? 0 : AVERROR(ENOMEM);
    if (ret >= 0 && eExtras == Extras::ThumbnailOnly) {
        const QSize stSmallest = fitLongerSide(w, h, tiers().last().second);
        ret = resizeFrame(pFirst.get(), pFirst.get(), stSmallest.width(), stSmallest.height());
    }
    if (ret >= 0)
        ret = convertPixelFormat(pFirst.get(), pThumb.get(), AV_PIX_FMT_BGRA);
    if (ret >= 0)
        ret = resizeFrame(pThumb.get(), pThumb.get(), stThumbSize.width(), stThumbSize.height());
    if (ret >= 0) {
        stOut.stThumbnail = frameToImage(pThumb.get());
        if (stOut.stThumbnail.isNull())
            ret = AVERROR(ENOMEM);
    }
    return ret < 0 ? fail(ret, QT_TR_NOOP("Image zoom failed")) : 0;
}

int ImageDecoder::makeTierPictures(const QString &szPath, AVFrame *pFirst, AVFrame *pLast, int w, int h,
                                   const std::atomic<bool> &bRunning, QVector<StoredPicture> &out, const char **pszStep)
{
    // Each tier is scaled from the one before, in the decoded format (or
    // the nearest one the scaler writes, for a palette): cheaper than from
    // the source every time, and no conversion to RGB at all.
    for (const auto &tier : importedTiers(pLast ? SourceVideo : SourceImage)) {
        if (!bRunning.load())
            return kInterrupted;
        const QSize stSize = fitLongerSide(w, h, tier.second);
        for (AVFrame *pFrame : {pFirst, pLast}) {
            if (!pFrame)
                continue;
            {
                PhaseTimer timer(m_iScaleNs);
                const int ret = resizeFrame(pFrame, pFrame, stSize.width(), stSize.height());
                if (ret < 0) {
                    *pszStep = QT_TR_NOOP("Image zoom failed");
                    return ret;
                }
            }
            PhaseTimer timer(m_iPackNs);
            StoredPicture stTier;
            stTier.szFlag = szPath + tier.first + (pFrame == pLast ? QStringLiteral("_end") : QString());
            stTier.iWidth = stSize.width();
            stTier.iHeight = stSize.height();
            int ret = 0;
            stTier.bytes = packPicture(pFrame, &ret);
            if (ret < 0) {
                *pszStep = QT_TR_NOOP("Image format conversion failed");
                return ret;
            }
            out.append(stTier);
        }
    }
    return 0;
}

bool ImageDecoder::insertTierPictures(const QString &szPath, const QVector<StoredPicture> &tierPictures)
{
    PhaseTimer timer(m_iStoreNs);
    return CQSql::instance().insertImages(szPath, tierPictures);
}

void ImageDecoder::removeTierPictures(const QString &szPath, const AlbumView &stView)
{
    // Tier pictures of a file that is not added would outlive it and be
    // found by a later import of a changed file under the same name.
    if (!stView.keys.contains(szPath))
        CQSql::instance().deleteImages(QString::fromLatin1(CQSql::kTableName), QString::fromLatin1(CQSql::kColumnPath),
                                       szPath);
}
