#pragma once

#include "album/AlbumProjectState.h"
#include "import/CQSql.h"

#include <QImage>
#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QSharedPointer>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <QUrl>
#include <QVector>

#include <atomic>
#include <cstdint>
#include <cstdio>

extern "C" {
#include <libavutil/frame.h>
}

// A material file held open (read-only) on its way from the decoder thread
// to the album. Closed with the last reference unless the album took it, so
// a record that never arrives (the receiver is gone, or refuses a duplicate)
// leaves no open file behind.
class HeldMaterialFile
{
public:
    explicit HeldMaterialFile(FILE *pFile) : m_pFile(pFile) {}
    HeldMaterialFile(const HeldMaterialFile &) = delete;
    HeldMaterialFile &operator=(const HeldMaterialFile &) = delete;
    ~HeldMaterialFile() { closeHeldFile(m_pFile); }

    // Hands the file over; later calls return null.
    FILE *take()
    {
        FILE *p = m_pFile;
        m_pFile = nullptr;
        return p;
    }

private:
    FILE *m_pFile;
};

// The counts of the running (or last) batch. Shared by the decoder, which
// counts in its thread, and the receiver of its records, which corrects them
// when it refuses one. Read from any thread.
struct ImportCounts
{
    std::atomic<int> iSucceeded{0};
    std::atomic<int> iFailed{0};
    std::atomic<int> iDuplicate{0};
    std::atomic<int> iTotal{0};
    std::atomic<quint64> iBatch{0};    // serial of the batch the counts belong to
};

// One finished material, handed from the decoder thread to the thread that
// owns the album (MaterialAppender).
struct DecodedMaterial
{
    ImageSource stSource;                          // pFile and stPixmap stay empty in transit
    QImage stThumbnail;                            // made into the pixmap on the receiving thread
    QSharedPointer<HeldMaterialFile> pHeldFile;
    QSharedPointer<ImportCounts> pCounts;
    quint64 iBatch = 0;
};
Q_DECLARE_METATYPE(DecodedMaterial)

// Checks and decodes materials in a worker thread of its own.
//
// Construct it on the GUI thread (after CQSql::instance()), attach a
// MaterialAppender there, then move it to its thread. Drive it with its
// signals: set the running flag, one of the input signals, sig_check, then
// (on sig_checkFinished) sig_batchDecode; read the counts on
// sig_batchDecodeFinished. The slots run in the worker thread.
//
// A batch decodes up to parallelFiles() files at once in threads of its
// own and hands them on in input order: each file's tier pictures go into
// the store in one transaction from the worker thread, then the material
// leaves as sig_materialDecoded, queued to the appender, which appends it
// on its own thread. Every record of a batch is emitted before
// sig_batchDecodeFinished, so a receiver on that thread has appended all of
// them, in input order, when the end of the batch reaches it.
//
// The check pass reads sizes from headers only (QImageReader, or the
// container's stream parameters). Only a container that states no picture
// size is probed further, and the demuxer's probe may decode internally.
// A file counts as 4K when it is at least 3840 wide or 2160 high, measured
// upright.
//
// A material must be a regular file that opens for reading (it is held open
// read-only from then on); a video needs a picture stream that is not just a
// cover picture and a duration above zero and below a week. Nothing of a
// file that fails, or of one still unfinished when the batch is stopped,
// stays in the store.
//
// Which paths are already in the album is read on the thread that emits
// sig_check, sig_batchDecode or sig_decode, at the moment of the emit (the
// album's own thread), never from the worker. A pass started by calling a
// slot directly reads the album on the calling thread instead.
class ImageDecoder : public QObject
{
    Q_OBJECT
public:
    // Time spent in each phase since construction or resetTimings(), in
    // nanoseconds, summed over the threads that ran it.
    struct Timings
    {
        int64_t iCheck = 0;       // check passes
        int64_t iProbe = 0;       // opening videos to read their duration
        int64_t iDecode = 0;      // decoding first and last pictures
        int64_t iScale = 0;       // scaling the tier pictures
        int64_t iPack = 0;        // packing them (PictureBytes.h)
        int64_t iStore = 0;       // inserting them into the store
        int64_t iThumbnail = 0;   // the 120x80 thumbnail
    };

    // The jobs a decoder runs, each stopped on its own: the import (check
    // pass and batch) and the single-file decodes (sig_decode).
    enum class Job { Import, SingleFile };

    explicit ImageDecoder(QObject *pParent = nullptr);
    ~ImageDecoder() override;

    // Cleared to stop eJob: the current file ends with -4 and the pass stops.
    void setRunning(bool bRunning, Job eJob = Job::Import);
    bool isRunning(Job eJob = Job::Import) const;
    // Stops every job (before the decoder's thread is closed).
    void stopAll();
    // Expand folders found in the URL or path list (drag and drop).
    void setExpandFolders(bool bExpand);
    bool expandFolders() const;
    // Whether a batch stores the tier pictures (which only the preview reads).
    // Tools that only export turn it off and never touch the store.
    void setStoreTierPictures(bool bStore);
    bool storeTierPictures() const;

    int succeededCount() const;
    int failedCount() const;
    int duplicateCount() const;
    int totalCount() const;
    QSharedPointer<ImportCounts> counts() const;

    // Files whose pictures this decoder set out to decode (each attempt
    // counts once). The check pass never adds to it.
    int decodedFileCount() const;
    Timings timings() const;
    void resetTimings();

    // Files a batch decodes at once: one per core, at most four (each holds
    // a full-size picture while it is decoded).
    static int parallelFiles();

    // Tier names and their longer sides, largest first.
    static const QList<QPair<QString, int>> &tiers();
    // The tiers an import stores for a material of iSourceType. A photo's
    // leave out the largest, which only some preview sizes need and which
    // costs as much to pack as the others together: a preview makes it when
    // it first needs it (makeMissingTier). A clip's are all there, since
    // its last picture could only be had again by decoding the clip's end.
    static QList<QPair<QString, int>> importedTiers(int iSourceType);
    // The tier picture of szPath (its first picture, with bLast its last)
    // at the longer side iLongerSide, made from the file, stored under
    // szPath + szTier (+ "_end") and given back in pDst. Any thread.
    static int makeMissingTier(const QString &szPath, const QString &szTier, int iLongerSide, bool bLast,
                               AVFrame *pDst);

Q_SIGNALS:
    // Inputs and passes (emitted by the editor; each runs its slot in the worker).
    void sig_setFileList(QList<QUrl> stUrls);
    void sig_setFileList(QList<QString> stPaths);
    void sig_setFileDir(QList<QString> szDirs);
    void sig_check();
    void sig_batchDecode();
    void sig_decode(QString szFile, bool bJustCheck);
    void sig_close(int iExitCode);

    // Results.
    void sig_checkFinished(bool bShowTip);
    void sig_batchDecodeFinished();
    void sig_decoded(QString szFile, QPixmap stPixmap, AVRational stWidthToHeight, QSize stSrcImageSize,
                     int iSourceType, int64_t iVideoDuration, AVRational stVideoTimeBase);
    void sig_decodeFailed(QString szFile, QString szErrorStr);
    // One material of a batch, ready to be appended (see MaterialAppender).
    void sig_materialDecoded(DecodedMaterial stMaterial);

public Q_SLOTS:
    void setFileListImpl(QList<QUrl> stUrls);
    void setFileListImpl(QList<QString> stPaths);
    void setFileDirImpl(QList<QString> szDirs);
    void checkImpl();
    void batchDecodeImpl();
    void decodeImpl(QString szFile, bool bJustCheck);
    void closeImpl(int iExitEcode);

private:
    // What a pass needs to know of the album, read on the album's thread.
    struct AlbumView
    {
        QSet<QString> keys;
        int64_t iImageDuration = 0;
        AVRational stImageDurationTimeBase{1, 1000000};
    };
    // One file decoded, ready for the store and the album.
    struct Decoded
    {
        int iSourceType = 0;
        int64_t iDuration = 0;
        AVRational stTimeBase{1, 1};
        AVRational stWidthToHeight{0, 1};
        QSize stSize;
        QImage stThumbnail;
        QVector<StoredPicture> tierPictures;   // packed, keyed by path + tier name
        QSharedPointer<HeldMaterialFile> pHeldFile;
    };
    // What decodeFile() makes besides the record.
    enum class Extras { None, TiersAndThumbnail, ThumbnailOnly };

    void captureAlbumView();
    AlbumView takeAlbumView();
    // The entries of a pass, folders expanded as the inputs ask.
    QStringList passInputs() const;
    bool plainList() const;
    // True when the file's size makes it 4K; reads headers only.
    static bool isFourK(const QString &szPath);
    // The per-file decode shared by the batch and single decodes; safe to
    // run in several threads at once. bRunning is the stop state of the job
    // it belongs to. With bHoldFile the file is held open for the album.
    // pszStep receives the message of the failing step.
    int decodeFile(const QString &szPath, const AlbumView &stView, Extras eExtras, bool bHoldFile,
                   const std::atomic<bool> &bRunning, Decoded &stOut, const char **pszStep);
    // Scales each tier from the one before and packs it.
    int makeTierPictures(const QString &szPath, AVFrame *pFirst, AVFrame *pLast, int w, int h,
                         const std::atomic<bool> &bRunning, QVector<StoredPicture> &out, const char **pszStep);
    // The tier pictures into the store, in one transaction.
    bool insertTierPictures(const QString &szPath, const QVector<StoredPicture> &tierPictures);
    void removeTierPictures(const QString &szPath, const AlbumView &stView);
    std::atomic<bool> &runningFlag(Job eJob);

    std::atomic<bool> m_bRunning{true};          // the import
    std::atomic<bool> m_bSingleRunning{true};    // single-file decodes
    QList<QUrl> m_listUrls;
    QList<QString> m_listPaths;
    QList<QString> m_listDirs;
    QSharedPointer<ImportCounts> m_pCounts;
    std::atomic<bool> m_bExpandFolders{false};
    std::atomic<bool> m_bStoreTierPictures{true};
    QThreadPool *m_pPool = nullptr;

    QMutex m_viewMutex;
    bool m_bViewCaptured = false;
    AlbumView m_capturedView;

    std::atomic<int> m_iDecodedFiles{0};
    std::atomic<int64_t> m_iCheckNs{0};
    std::atomic<int64_t> m_iProbeNs{0};
    std::atomic<int64_t> m_iDecodeNs{0};
    std::atomic<int64_t> m_iScaleNs{0};
    std::atomic<int64_t> m_iPackNs{0};
    std::atomic<int64_t> m_iStoreNs{0};
    std::atomic<int64_t> m_iThumbnailNs{0};
};
