#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <QVector>

class CQSrvProductInfo;

// One stored tier picture, as findImage returns it.
struct ThumbnailRecord
{
    QString imagePath;
    QString imageFlag;
    int imageWidth = 0;
    int imageHeight = 0;
    QByteArray imageData;   // the picture packed (packPicture, media/ffmpeg/PictureBytes.h)
};

// One tier picture on its way into the store.
struct StoredPicture
{
    QString szFlag;         // the lookup key: path + tier name
    int iWidth = 0;
    int iHeight = 0;
    QByteArray bytes;       // packPicture()
};

// Per-run SQLite store of each material's tier pictures: up to five rows
// per image, ten per video (the import stores all but the largest tier,
// a preview adds it when it needs it), keyed by the path followed by the
// tier name ("1080P", "1080P_end", ...). Each picture is kept packed (JPEG,
// or PNG when it has alpha: PictureBytes.h), a small fraction of raw BGRA.
// The file is removed before the first use of a run and again by the exit
// step, so nothing survives a restart.
//
// Threads: every thread gets its own connection to the file (Qt SQL
// connections must not cross threads). The thread that creates the store
// uses the connection named after the store ("mydb"); every other thread
// gets "<name>_<thread id>". Each thread's connections are removed when
// that thread finishes. Create the process-wide store on the GUI thread
// (right after removeDatabaseFile()).
//
// Locking: every statement runs under albumState().mutexThumbnailStore,
// taken here. Callers must not hold that mutex when they call in (it is
// not recursive).
//
// Failures never reach the user; they go to the debug log with the SQL error.
class CQSql : public QObject
{
    Q_OBJECT
public:
    static constexpr char kTableName[] = "image_table";
    static constexpr char kColumnPath[] = "imagePath";
    static constexpr char kColumnFlag[] = "imageFlag";

    // The process-wide store at defaultDatabasePath(), opened on first use.
    // Its exit step runs when the application object is destroyed (or at
    // process exit, whichever comes first).
    static CQSql &instance();

    // "myData.db" in the product's per-user data folder; next to the program
    // only when that folder cannot be used.
    static QString defaultDatabasePath();
    static QString databasePathFor(const CQSrvProductInfo &stInfo);

    // Deletes the database file (and any journal SQLite left beside it) so a
    // run starts empty. Refuses while a store has that file open, because the
    // open connection would carry on in the deleted file while new
    // connections made a fresh one. True when no database file remains.
    static bool removeDatabaseFile();
    static bool removeDatabaseFile(const QString &szDatabasePath);

    // Opens szDatabasePath and creates the table. A failed open leaves the
    // store in place; its statements then fail. A connection name that is
    // already in use is refused (the store stays unopened) instead of
    // replacing the other store's connection.
    explicit CQSql(const QString &szDatabasePath,
                   const QString &szConnectionName = QStringLiteral("mydb"),
                   QObject *pParent = nullptr);
    // Runs close() and drops the calling thread's connections.
    ~CQSql() override;

    bool isOpen() const;
    QString databasePath() const;
    QString connectionName() const;

    // Stores one packed tier picture (packPicture) of iWidth x iHeight.
    bool insertImage(const QString &szImagePath, const QString &szImageFlag,
                     int iWidth, int iHeight, const QByteArray &imageData);
    // The same from a picture, packed here.
    bool insertImage(const QString &szImagePath, const QString &szImageFlag, const QImage &stImage);
    // Every picture of one material in one transaction: all or none.
    bool insertImages(const QString &szImagePath, const QVector<StoredPicture> &pictures);

    // First row whose szColumn equals szValue exactly. False when the
    // statement fails or no row matches; stRecord is then left as it was.
    bool findImage(const QString &szTable, const QString &szColumn, const QString &szValue,
                   ThumbnailRecord &stRecord);
    // Deletes every row whose szColumn equals szValue.
    bool deleteImages(const QString &szTable, const QString &szColumn, const QString &szValue);
    // Deletes every row.
    bool clearTable(const QString &szTable);

    // Exit step: closes the connections of the calling thread and removes the
    // database file with its journal (unless another store has the same file
    // open), in about the same time whatever the album's size. Later
    // statements fail. Runs once; the destructor calls it too.
    void close();

    // A found row unpacked as an ARGB32 picture; a null picture when its
    // bytes do not unpack to the size the row states.
    static QImage recordImage(const ThumbnailRecord &stRecord);

private:
    QString threadConnectionName() const;
    // Name of this thread's connection, opened on first use; empty once
    // closed or when it cannot be opened. Call under the mutex.
    QString connectionForThisThread();
    // Removes the calling thread's connections of this store. Under the mutex.
    void dropThreadConnections();

    QString m_szDatabasePath;
    QString m_szConnectionName;
    quint64 m_iSerial = 0;               // tells this store's connections from an earlier one's
    bool m_bOpen = false;
    bool m_bClosed = false;
    QString m_szFileKey;                 // set while the file counts as open
};
