#include "import/CQSql.h"

#include "album/AlbumProjectState.h"
#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/ImageConvert.h"
#include "media/ffmpeg/PictureBytes.h"
#include "online/CQSrvProductInfo.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QMutex>
#include <QMutexLocker>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QThreadStorage>

#include <algorithm>
#include <atomic>

namespace {

const QString kCreateTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS image_table(id INTEGER PRIMARY KEY AUTOINCREMENT,imagePath TEXT NOT NULL,"
    "imageFlag TEXT NOT NULL,imageWidth INTEGER NOT NULL,imageHeight INTEGER NOT NULL,imageData BLOB)");
const QString kInsert = QStringLiteral(
    "INSERT INTO image_table (imagePath ,imageFlag , imageWidth , imageHeight, imageData) "
    "VALUES(:imagePath ,:imageFlag , :imageWidth , :imageHeight , :imageData)");
// Values are bound, never pasted into the text: a path may hold quotes.
const QString kSelect = QStringLiteral("select * from %1 where %2 = :value");
const QString kDelete = QStringLiteral("DELETE FROM %1 WHERE %2 = :value");
const QString kClear = QStringLiteral("DELETE FROM %1");
// Several connections share the file; wait for a lock rather than fail at once.
const QString kConnectOptions = QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000");

// Files held open by live stores; removeDatabaseFile() leaves those alone.
QMutex g_openFilesMutex;
QHash<QString, int> g_openFiles;

// The connections a thread opened, by name, with the serial of the store
// each belongs to. Qt deletes a thread's holder when the thread finishes,
// on that thread, which is the only one allowed to drop its connections.
struct ThreadConnections
{
    QHash<QString, quint64> names;
    ~ThreadConnections()
    {
        for (auto it = names.cbegin(); it != names.cend(); ++it)
            QSqlDatabase::removeDatabase(it.key());
    }
};
QThreadStorage<ThreadConnections *> g_threadConnections;
std::atomic<quint64> g_iNextSerial{1};

ThreadConnections &threadConnections()
{
    if (!g_threadConnections.hasLocalData())
        g_threadConnections.setLocalData(new ThreadConnections);
    return *g_threadConnections.localData();
}

QString fileKey(const QString &szPath)
{
    const QFileInfo stInfo(szPath);
    const QString szCanonical = stInfo.canonicalFilePath();
    return szCanonical.isEmpty() ? stInfo.absoluteFilePath() : szCanonical;
}

// Table and column names cannot be bound; only the store's own are accepted.
bool knownTable(const QString &szTable)
{
    return szTable == QLatin1String(CQSql::kTableName);
}

bool knownColumn(const QString &szColumn)
{
    static const QSet<QString> s_columns = {
        QStringLiteral("id"), QStringLiteral("imagePath"), QStringLiteral("imageFlag"),
        QStringLiteral("imageWidth"), QStringLiteral("imageHeight"),
    };
    return s_columns.contains(szColumn);
}

bool openConnection(const QString &szName, const QString &szPath, bool bCreateTable)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), szName);
    db.setDatabaseName(szPath);
    db.setConnectOptions(kConnectOptions);
    if (!db.open()) {
        qDebug() << "error: failed to connect sqlite3 database." << db.lastError();
        return false;
    }
    {
        // A per-run cache, deleted at every start: durability buys nothing,
        // and syncing every insert of a tier picture dominated the import.
        QSqlQuery pragma(db);
        if (!pragma.exec(QStringLiteral("PRAGMA synchronous=OFF"))
            || !pragma.exec(QStringLiteral("PRAGMA journal_mode=MEMORY")))
            qDebug() << "error" << pragma.lastError();
    }
    if (bCreateTable) {
        QSqlQuery query(db);
        if (!query.exec(kCreateTable))
            qDebug() << "error: failed to create table" << query.lastError();
    }
    return true;
}

// The open connection szName, or an invalid one after logging why not.
QSqlDatabase openedDatabase(const QString &szName)
{
    if (szName.isEmpty()) {
        qDebug() << "error" << "thumbnail store is not open";
        return QSqlDatabase();
    }
    QSqlDatabase db = QSqlDatabase::database(szName, false);
    if (!db.isOpen()) {
        qDebug() << "error" << db.lastError();
        return QSqlDatabase();
    }
    return db;
}

// The database file and whatever SQLite keeps beside it. A journal left by
// a crash would otherwise be replayed into the next run's file.
bool removeStoreFiles(const QString &szDatabasePath)
{
    for (const char *szSuffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(szDatabasePath + QLatin1String(szSuffix));
    return !QFileInfo::exists(szDatabasePath);
}

QString programFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

} // namespace

CQSql &CQSql::instance()
{
    static CQSql s_store(defaultDatabasePath());
    // The application object drops the main thread's connections when it
    // goes, so the exit step runs just before that rather than at static
    // destruction; the destructor is then only the fallback.
    static const bool s_bHooked = [] {
        qAddPostRoutine([] { CQSql::instance().close(); });
        return true;
    }();
    Q_UNUSED(s_bHooked);
    return s_store;
}

QString CQSql::defaultDatabasePath()
{
    return databasePathFor(CQSrvProductInfo::instance());
}

QString CQSql::databasePathFor(const CQSrvProductInfo &stInfo)
{
    const QString szConfig = stInfo.configFilePath(QStringLiteral("Pictora"), QStringLiteral("config.ini"));
    if (!szConfig.isEmpty()) {
        // The folder, not config.ini itself: that file exists only once the
        // user writes one, and a missing file has no canonical path.
        const QString szFolder = QFileInfo(QFileInfo(szConfig).absolutePath()).canonicalFilePath();
        const QFileInfo stFolder(szFolder);
        if (!szFolder.isEmpty() && stFolder.isDir() && stFolder.isWritable())
            return szFolder + QStringLiteral("/myData.db");
    }
    return programFolder() + QStringLiteral("/myData.db");
}

bool CQSql::removeDatabaseFile()
{
    return removeDatabaseFile(defaultDatabasePath());
}

bool CQSql::removeDatabaseFile(const QString &szDatabasePath)
{
    if (szDatabasePath.isEmpty())
        return false;
    {
        QMutexLocker locker(&g_openFilesMutex);
        if (g_openFiles.contains(fileKey(szDatabasePath))) {
            qDebug() << "thumbnail store is open, its file stays:" << szDatabasePath;
            return false;
        }
    }
    return removeStoreFiles(szDatabasePath);
}

CQSql::CQSql(const QString &szDatabasePath, const QString &szConnectionName, QObject *pParent)
    : QObject(pParent)
    , m_szDatabasePath(szDatabasePath)
    , m_szConnectionName(szConnectionName)
    , m_iSerial(g_iNextSerial.fetch_add(1))
{
    // The exit step runs under the album's mutex; touching the album state
    // first makes it outlive a store that is a static too.
    QMutexLocker locker(&albumState().mutexThumbnailStore);

    if (m_szConnectionName.isEmpty() || QSqlDatabase::contains(m_szConnectionName)) {
        qDebug() << "error: failed to connect sqlite3 database." << "connection name in use:" << m_szConnectionName;
        m_bClosed = true;
        return;
    }
    // This thread owns the connection named after the store.
    threadConnections().names.insert(m_szConnectionName, m_iSerial);
    m_bOpen = openConnection(m_szConnectionName, m_szDatabasePath, true);
    if (m_bOpen) {
        m_szFileKey = fileKey(m_szDatabasePath);
        QMutexLocker filesLocker(&g_openFilesMutex);
        ++g_openFiles[m_szFileKey];
    }
}

CQSql::~CQSql()
{
    close();
    QMutexLocker locker(&albumState().mutexThumbnailStore);
    dropThreadConnections();
}

void CQSql::dropThreadConnections()
{
    if (!g_threadConnections.hasLocalData())
        return;
    ThreadConnections &stMine = *g_threadConnections.localData();
    for (auto it = stMine.names.begin(); it != stMine.names.end();) {
        if (it.value() == m_iSerial) {
            QSqlDatabase::removeDatabase(it.key());
            it = stMine.names.erase(it);
        } else {
            ++it;
        }
    }
    if (stMine.names.isEmpty())
        g_threadConnections.setLocalData(nullptr);
}

bool CQSql::isOpen() const
{
    return m_bOpen && !m_bClosed;
}

QString CQSql::databasePath() const
{
    return m_szDatabasePath;
}

QString CQSql::connectionName() const
{
    return m_szConnectionName;
}

QString CQSql::threadConnectionName() const
{
    return m_szConnectionName + QLatin1Char('_')
        + QString::number(reinterpret_cast<quintptr>(QThread::currentThreadId()));
}

QString CQSql::connectionForThisThread()
{
    if (m_bClosed)
        return QString();
    ThreadConnections &stMine = threadConnections();
    if (stMine.names.value(m_szConnectionName) == m_iSerial)
        return m_szConnectionName;

    const QString szName = threadConnectionName();
    if (stMine.names.value(szName) == m_iSerial && QSqlDatabase::contains(szName))
        return szName;
    // Left behind on this thread by an earlier store of the same name.
    if (QSqlDatabase::contains(szName))
        QSqlDatabase::removeDatabase(szName);
    if (!openConnection(szName, m_szDatabasePath, false)) {
        stMine.names.remove(szName);
        QSqlDatabase::removeDatabase(szName);
        return QString();
    }
    stMine.names.insert(szName, m_iSerial);
    return szName;
}

namespace {

bool bindAndInsert(QSqlQuery &query, const QString &szImagePath, const StoredPicture &stPicture)
{
    query.bindValue(QStringLiteral(":imagePath"), szImagePath);
    query.bindValue(QStringLiteral(":imageFlag"), stPicture.szFlag);
    query.bindValue(QStringLiteral(":imageWidth"), stPicture.iWidth);
    query.bindValue(QStringLiteral(":imageHeight"), stPicture.iHeight);
    query.bindValue(QStringLiteral(":imageData"), stPicture.bytes);
    if (!query.exec()) {
        qDebug() << "error" << query.lastError();
        return false;
    }
    return true;
}

bool isStorable(const StoredPicture &stPicture)
{
    if (stPicture.iWidth > 0 && stPicture.iHeight > 0 && isPackedPicture(stPicture.bytes))
        return true;
    qDebug() << "error" << "no picture to store:" << stPicture.iWidth << stPicture.iHeight << stPicture.bytes.size()
             << "bytes";
    return false;
}

} // namespace

bool CQSql::insertImage(const QString &szImagePath, const QString &szImageFlag,
                        int iWidth, int iHeight, const QByteArray &imageData)
{
    return insertImages(szImagePath, {StoredPicture{szImageFlag, iWidth, iHeight, imageData}});
}

bool CQSql::insertImage(const QString &szImagePath, const QString &szImageFlag, const QImage &stImage)
{
    AVFramePtr pFrame(imageToFrame(stImage));
    // The same bytes without alpha: packed as JPEG, not PNG.
    if (pFrame && !stImage.hasAlphaChannel())
        pFrame->format = AV_PIX_FMT_BGR0;
    const QByteArray bytes = pFrame ? packPicture(pFrame.get()) : QByteArray();
    return insertImage(szImagePath, szImageFlag, stImage.width(), stImage.height(), bytes);
}

bool CQSql::insertImages(const QString &szImagePath, const QVector<StoredPicture> &pictures)
{
    if (!std::all_of(pictures.cbegin(), pictures.cend(), isStorable))
        return false;
    if (pictures.isEmpty())
        return true;
    QMutexLocker locker(&albumState().mutexThumbnailStore);
    QSqlDatabase db = openedDatabase(connectionForThisThread());
    if (!db.isValid())
        return false;
    // One transaction per material: one journal round instead of one per picture.
    const bool bTransaction = pictures.size() > 1 && db.transaction();
    QSqlQuery query(db);
    bool bOk = query.prepare(kInsert);
    if (!bOk)
        qDebug() << "error" << query.lastError();
    for (int i = 0; bOk && i < pictures.size(); ++i)
        bOk = bindAndInsert(query, szImagePath, pictures.at(i));
    query.finish();
    if (bTransaction && bOk && !db.commit()) {
        qDebug() << "error" << db.lastError();
        bOk = false;
    }
    if (bTransaction && !bOk)
        db.rollback();
    return bOk;
}

bool CQSql::findImage(const QString &szTable, const QString &szColumn, const QString &szValue,
                      ThumbnailRecord &stRecord)
{
    if (!knownTable(szTable) || !knownColumn(szColumn)) {
        qDebug() << "error" << "unknown table or column:" << szTable << szColumn;
        return false;
    }
    QMutexLocker locker(&albumState().mutexThumbnailStore);
    const QSqlDatabase db = openedDatabase(connectionForThisThread());
    if (!db.isValid())
        return false;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(kSelect.arg(szTable, szColumn))) {
        qDebug() << "error" << query.lastError();
        return false;
    }
    query.bindValue(QStringLiteral(":value"), szValue);
    if (!query.exec()) {
        qDebug() << "error" << query.lastError();
        return false;
    }
    if (!query.next())
        return false;
    const QSqlRecord stRow = query.record();
    ThumbnailRecord stFound;
    stFound.imagePath = query.value(stRow.indexOf(QStringLiteral("imagePath"))).toString();
    stFound.imageFlag = query.value(stRow.indexOf(QStringLiteral("imageFlag"))).toString();
    stFound.imageWidth = query.value(stRow.indexOf(QStringLiteral("imageWidth"))).toInt();
    stFound.imageHeight = query.value(stRow.indexOf(QStringLiteral("imageHeight"))).toInt();
    stFound.imageData = query.value(stRow.indexOf(QStringLiteral("imageData"))).toByteArray();
    stRecord = std::move(stFound);
    return true;
}

bool CQSql::deleteImages(const QString &szTable, const QString &szColumn, const QString &szValue)
{
    if (!knownTable(szTable) || !knownColumn(szColumn)) {
        qDebug() << "error" << "unknown table or column:" << szTable << szColumn;
        return false;
    }
    QMutexLocker locker(&albumState().mutexThumbnailStore);
    const QSqlDatabase db = openedDatabase(connectionForThisThread());
    if (!db.isValid())
        return false;
    QSqlQuery query(db);
    if (!query.prepare(kDelete.arg(szTable, szColumn))) {
        qDebug() << "error" << query.lastError();
        return false;
    }
    query.bindValue(QStringLiteral(":value"), szValue);
    if (!query.exec()) {
        qDebug() << "error" << query.lastError();
        return false;
    }
    return true;
}

bool CQSql::clearTable(const QString &szTable)
{
    if (!knownTable(szTable)) {
        qDebug() << "error" << "unknown table:" << szTable;
        return false;
    }
    QMutexLocker locker(&albumState().mutexThumbnailStore);
    const QSqlDatabase db = openedDatabase(connectionForThisThread());
    if (!db.isValid())
        return false;
    QSqlQuery query(db);
    if (!query.exec(kClear.arg(szTable))) {
        qDebug() << "error" << query.lastError();
        return false;
    }
    return true;
}

void CQSql::close()
{
    QMutexLocker locker(&albumState().mutexThumbnailStore);
    if (m_bClosed)
        return;

    // Nothing of the store outlives the run, so its file goes rather than
    // being emptied and compacted: that took seconds per hundred photos.
    // Connections of other threads still open keep writing into the
    // removed file until their thread finishes; nobody reads it again.
    ThreadConnections &stMine = threadConnections();
    if (stMine.names.value(m_szConnectionName) == m_iSerial) {
        QSqlDatabase db = QSqlDatabase::database(m_szConnectionName, false);
        if (db.isOpen())
            db.close();
    }
    m_bClosed = true;
    // Other threads (the owner too, when it is another one) drop theirs
    // when they finish or destroy the store.
    dropThreadConnections();

    if (!m_szFileKey.isEmpty()) {
        bool bLast = false;
        {
            QMutexLocker filesLocker(&g_openFilesMutex);
            bLast = --g_openFiles[m_szFileKey] <= 0;
            if (bLast)
                g_openFiles.remove(m_szFileKey);
        }
        m_szFileKey.clear();
        if (bLast && !removeStoreFiles(m_szDatabasePath))
            qDebug() << "error" << "the thumbnail store's file stays:" << m_szDatabasePath;
    }
}

QImage CQSql::recordImage(const ThumbnailRecord &stRecord)
{
    AVFramePtr pFrame = makeFramePtr();
    if (!pFrame || unpackPicture(stRecord.imageData, pFrame.get()) < 0 || pFrame->width != stRecord.imageWidth
        || pFrame->height != stRecord.imageHeight)
        return QImage();
    return frameToImage(pFrame.get());
}
