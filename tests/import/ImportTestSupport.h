#pragma once

// Helpers shared by the import tests (header only: each test is its own program).

#include "album/AlbumProjectState.h"
#include "common/TestSupport.h"
#include "import/ImageDecoder.h"
#include "import/MaterialAppender.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QThread>
#include <QTest>
#include <QTimer>

#include <functional>

#include <dirent.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace importtest {

// Long enough for any step on a slow sanitizer build; only a hang reaches it.
constexpr int kDeadlineMs = 300000;

// Open descriptors of this process on files under szPrefix (a file or a
// folder). Counting by target keeps SQLite's deferred closes of its own
// descriptors out of the figure.
inline int openFdsUnder(const QString &szPrefix)
{
    int n = 0;
    if (DIR *pDir = opendir("/proc/self/fd")) {
        while (const dirent *pEntry = readdir(pDir)) {
            const QString szTarget = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/") + QFile::decodeName(pEntry->d_name));
            if (szTarget == szPrefix || szTarget.startsWith(szPrefix + QLatin1Char('/')))
                ++n;
        }
        closedir(pDir);
    }
    return n;
}

// Processes events until bCondition() holds; false when the deadline came first.
inline bool waitUntil(const std::function<bool()> &bCondition)
{
    QElapsedTimer timer;
    timer.start();
    while (!bCondition()) {
        if (timer.elapsed() > kDeadlineMs)
            return false;
        QTest::qWait(2);
    }
    return true;
}

// The answers of sig_decode, received on this thread (queued), in order.
class DecodeLog : public QObject
{
public:
    struct Entry
    {
        bool bDecoded = false;
        QString szFile;
        QPixmap stPixmap;
        AVRational stWidthToHeight{0, 1};
        QSize stSize;
        int iSourceType = 0;
        int64_t iDuration = 0;
        AVRational stTimeBase{0, 1};
        QString szError;
    };

    explicit DecodeLog(ImageDecoder *pDecoder)
    {
        connect(pDecoder, &ImageDecoder::sig_decoded, this,
                [this](QString szFile, QPixmap stPixmap, AVRational stRatio, QSize stSize, int iType,
                       int64_t iDuration, AVRational stBase) {
                    Entry st;
                    st.bDecoded = true;
                    st.szFile = szFile;
                    st.stPixmap = stPixmap;
                    st.stWidthToHeight = stRatio;
                    st.stSize = stSize;
                    st.iSourceType = iType;
                    st.iDuration = iDuration;
                    st.stTimeBase = stBase;
                    entries.append(st);
                }, Qt::QueuedConnection);
        connect(pDecoder, &ImageDecoder::sig_decodeFailed, this, [this](QString szFile, QString szError) {
            Entry st;
            st.szFile = szFile;
            st.szError = szError;
            entries.append(st);
        }, Qt::QueuedConnection);
    }

    // The next answer; a default entry when none came.
    Entry next()
    {
        if (!waitUntil([this] { return !entries.isEmpty(); }))
            return Entry();
        return entries.takeFirst();
    }

    QList<Entry> entries;
};

// Counts a signal on this thread (queued).
class SignalCount : public QObject
{
public:
    template <typename Sender, typename Signal>
    SignalCount(Sender *pSender, Signal signal)
    {
        connect(pSender, signal, this, [this]() { ++iCount; }, Qt::QueuedConnection);
    }
    bool waitFor(int n) { return waitUntil([this, n] { return iCount >= n; }); }
    int iCount = 0;
};

// Empty when the album state and its model agree with each other; otherwise what is wrong.
inline QString albumInconsistency(const QStandardItemModel *pModel)
{
    const AlbumProjectState &st = albumState();
    if (st.listImageSourceOrder.size() != st.mapImageSources.size())
        return QStringLiteral("order list %1, map %2").arg(st.listImageSourceOrder.size()).arg(st.mapImageSources.size());
    if (pModel) {
        if (pModel->rowCount() != st.listImageSourceOrder.size())
            return QStringLiteral("model rows %1, order list %2").arg(pModel->rowCount()).arg(st.listImageSourceOrder.size());
        for (int i = 0; i < st.listImageSourceOrder.size(); ++i) {
            if (pModel->index(i, 0).data().toString() != st.listImageSourceOrder.at(i))
                return QStringLiteral("model row %1 differs from the order list").arg(i);
        }
    }
    for (const QString &szPath : st.listImageSourceOrder) {
        if (!st.mapImageSources.contains(szPath))
            return QStringLiteral("%1 is in the order list only").arg(szPath);
    }
    const int iExpectedTransitions = std::max(0, int(st.listImageSourceOrder.size()) - 1);
    if (st.listTransitions.size() != iExpectedTransitions)
        return QStringLiteral("%1 transitions for %2 materials").arg(st.listTransitions.size()).arg(st.listImageSourceOrder.size());
    int64_t iExpected = 0, iVideos = 0;
    for (const ImageSource &s : st.mapImageSources) {
        iExpected += materialDuration(s);
        iVideos += s.iSourceType == SourceVideo;
    }
    iExpected += 2000000LL * st.listTransitions.size();
    if (st.iTotalDuration != iExpected)
        return QStringLiteral("total %1, expected %2").arg(st.iTotalDuration).arg(iExpected);
    if (st.iVideoSourceCount != iVideos)
        return QStringLiteral("video count %1, expected %2").arg(st.iVideoSourceCount).arg(iVideos);
    return QString();
}

// Runs fn(db) on a connection of our own to the store file, independent of
// the store's connections; false when the file does not open.
inline bool withOwnConnection(const QString &szDbPath, const std::function<void(QSqlDatabase &)> &fn)
{
    static int s_iSerial = 0;
    const QString szName = QStringLiteral("importtest_%1").arg(++s_iSerial);
    bool bOpen = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), szName);
        db.setDatabaseName(szDbPath);
        bOpen = db.open();
        if (bOpen)
            fn(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(szName);
    return bOpen;
}

// Rows of the store file, counted through a connection of our own.
inline int countRows(const QString &szDbPath, const QString &szWhere = QString(), const QString &szValue = QString())
{
    int iCount = -1;
    withOwnConnection(szDbPath, [&](QSqlDatabase &db) {
        QSqlQuery query(db);
        query.prepare(QStringLiteral("SELECT COUNT(*) FROM image_table")
                      + (szWhere.isEmpty() ? QString() : QStringLiteral(" WHERE ") + szWhere + QStringLiteral(" = ?")));
        if (!szWhere.isEmpty())
            query.addBindValue(szValue);
        if (query.exec() && query.next())
            iCount = query.value(0).toInt();
    });
    return iCount;
}

// A decoder in a thread of its own with an appender on this thread: the
// editor's arrangement.
class DecoderRig
{
public:
    DecoderRig()
    {
        pDecoder = new ImageDecoder;
        pAppender = new MaterialAppender(pDecoder);
        pDecoder->moveToThread(&thread);
        thread.start();
    }
    ~DecoderRig()
    {
        pDecoder->setRunning(false);
        emit pDecoder->sig_close(0);
        thread.wait();
        delete pDecoder;
        delete pAppender;
    }
    DecoderRig(const DecoderRig &) = delete;
    DecoderRig &operator=(const DecoderRig &) = delete;

    // Runs the check pass on paths (or folders); false when it never ended.
    bool check(const QStringList &inputs, bool *pbFound4K, bool bFolders = false, bool bExpand = false)
    {
        pDecoder->setRunning(true);
        pDecoder->setExpandFolders(bExpand);
        if (bFolders)
            emit pDecoder->sig_setFileDir(inputs);
        else
            emit pDecoder->sig_setFileList(QList<QString>(inputs));
        bool bDone = false;
        QEventLoop loop;
        QObject::connect(pDecoder, &ImageDecoder::sig_checkFinished, &loop, [&](bool b) {
            *pbFound4K = b;
            bDone = true;
            loop.quit();
        }, Qt::QueuedConnection);
        emit pDecoder->sig_check();
        runUntil(loop, bDone);
        return bDone;
    }

    // Runs the batch pass on the inputs of the last check; false when it never ended.
    bool batch()
    {
        bool bDone = false;
        QEventLoop loop;
        QObject::connect(pDecoder, &ImageDecoder::sig_batchDecodeFinished, &loop, [&]() {
            bDone = true;
            loop.quit();
        }, Qt::QueuedConnection);
        pDecoder->setRunning(true);
        emit pDecoder->sig_batchDecode();
        runUntil(loop, bDone);
        return bDone;
    }

    bool import(const QStringList &inputs, bool bFolders = false, bool bExpand = false)
    {
        bool bFound = false;
        return check(inputs, &bFound, bFolders, bExpand) && batch();
    }

    static void runUntil(QEventLoop &loop, const bool &bDone)
    {
        if (bDone)
            return;
        QTimer::singleShot(kDeadlineMs, &loop, &QEventLoop::quit);
        loop.exec();
    }

    QThread thread;
    ImageDecoder *pDecoder = nullptr;
    MaterialAppender *pAppender = nullptr;
};

// Takes the override of file permissions away from the calling thread (and
// the threads it starts from now on) while it lives, so that a file without
// read permission stays unreadable even when the tests run as root.
// Capabilities belong to each thread; the effective set can be lowered and
// raised again within the permitted set.
class NoReadOverride
{
public:
    NoReadOverride()
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        if (syscall(SYS_capget, &header, m_saved) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_bChanged = syscall(SYS_capset, &header, lowered) == 0;
    }
    ~NoReadOverride()
    {
        if (m_bChanged) {
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            syscall(SYS_capset, &header, m_saved);
        }
    }
    NoReadOverride(const NoReadOverride &) = delete;
    NoReadOverride &operator=(const NoReadOverride &) = delete;

private:
    __user_cap_data_struct m_saved[2]{};
    bool m_bChanged = false;
};

} // namespace importtest
