#include "album/AlbumProjectState.h"
#include "common/TestMedia.h"
#include "import/CQSql.h"
#include "import/ImportTestSupport.h"
#include "online/CQSrvProductInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <thread>

using importtest::countRows;

namespace {

const QStringList kTiers = {
    QStringLiteral("4K"), QStringLiteral("2K"), QStringLiteral("1080P"), QStringLiteral("720P"), QStringLiteral("480P"),
};
const QString kTable = QString::fromLatin1(CQSql::kTableName);
const QString kPathColumn = QString::fromLatin1(CQSql::kColumnPath);
const QString kFlagColumn = QString::fromLatin1(CQSql::kColumnFlag);

// A picture whose every pixel differs, with varied alpha.
QImage testImage(int w, int h, int iSeed)
{
    QImage stImage(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            stImage.setPixel(x, y, qRgba((x * 7 + iSeed) & 0xff, (y * 13 + iSeed) & 0xff, (x + y) & 0xff,
                                         (40 + x * 3 + y * 5 + iSeed) & 0xff));
    return stImage;
}

bool insertTiers(CQSql &store, const QString &szPath, bool bVideo, int iSeed)
{
    bool bOk = true;
    int i = 0;
    for (const QString &szTier : kTiers) {
        const QImage stImage = testImage(6 + i, 4 + i, iSeed + i);
        bOk = store.insertImage(szPath, szPath + szTier, stImage) && bOk;
        if (bVideo)
            bOk = store.insertImage(szPath, szPath + szTier + QStringLiteral("_end"), testImage(6 + i, 4 + i, iSeed + 100 + i)) && bOk;
        ++i;
    }
    return bOk;
}

QString threadSuffix()
{
    return QString::number(reinterpret_cast<quintptr>(QThread::currentThreadId()));
}

} // namespace

class TestThumbnailStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_szDefaultPath;

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_tmp.path() + QStringLiteral("/xdg")));
    }

    // Runs before the process-wide store is first used.
    void defaultPathLiesInDataFolder()
    {
        m_szDefaultPath = CQSql::defaultDatabasePath();
        const QString szFolder = QFileInfo(m_tmp.path() + QStringLiteral("/xdg/Pictora/tst_thumbnailstore")).canonicalFilePath();
        QVERIFY(!szFolder.isEmpty());
        QCOMPARE(m_szDefaultPath, szFolder + QStringLiteral("/myData.db"));
    }

    void removeDatabaseFileBeforeFirstUse()
    {
        QFile junk(m_szDefaultPath);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("left over from an earlier run");
        junk.close();
        QFile journal(m_szDefaultPath + QStringLiteral("-journal"));
        QVERIFY(journal.open(QIODevice::WriteOnly));
        journal.write("stale journal");
        journal.close();

        QVERIFY(CQSql::removeDatabaseFile());
        QVERIFY(!QFileInfo::exists(m_szDefaultPath));
        QVERIFY(!QFileInfo::exists(m_szDefaultPath + QStringLiteral("-journal")));
        QVERIFY(CQSql::removeDatabaseFile());   // nothing there is fine too
    }

    void instanceOpensAtDefaultPath()
    {
        CQSql &store = CQSql::instance();
        QCOMPARE(&store, &CQSql::instance());
        QVERIFY(store.isOpen());
        QCOMPARE(store.connectionName(), QStringLiteral("mydb"));
        QCOMPARE(store.databasePath(), m_szDefaultPath);
        QVERIFY(QFileInfo::exists(m_szDefaultPath));
        QVERIFY(QSqlDatabase::connectionNames().contains(QStringLiteral("mydb")));
        QCOMPARE(countRows(m_szDefaultPath), 0);

        // The open file is not deleted under the store.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^thumbnail store is open")));
        QVERIFY(!CQSql::removeDatabaseFile());
        QVERIFY(QFileInfo::exists(m_szDefaultPath));
    }

    void tierRowsOfImageAndVideo()
    {
        CQSql &store = CQSql::instance();
        const QString szImage = QStringLiteral("/home/user/Pictures/a.jpg");
        const QString szVideo = QStringLiteral("/home/user/Videos/b.mp4");
        QVERIFY(insertTiers(store, szImage, false, 1));
        QVERIFY(insertTiers(store, szVideo, true, 2));
        QCOMPARE(countRows(m_szDefaultPath, kPathColumn, szImage), 5);
        QCOMPARE(countRows(m_szDefaultPath, kPathColumn, szVideo), 10);

        int i = 0;
        for (const QString &szTier : kTiers) {
            ThumbnailRecord stRecord;
            QVERIFY(store.findImage(kTable, kFlagColumn, szImage + szTier, stRecord));
            QCOMPARE(stRecord.imagePath, szImage);
            QCOMPARE(stRecord.imageFlag, szImage + szTier);
            QCOMPARE(stRecord.imageWidth, 6 + i);
            QCOMPARE(stRecord.imageHeight, 4 + i);
            QCOMPARE(CQSql::recordImage(stRecord), testImage(6 + i, 4 + i, 1 + i));

            QVERIFY(store.findImage(kTable, kFlagColumn, szVideo + szTier, stRecord));
            QCOMPARE(CQSql::recordImage(stRecord), testImage(6 + i, 4 + i, 2 + i));
            QVERIFY(store.findImage(kTable, kFlagColumn, szVideo + szTier + QStringLiteral("_end"), stRecord));
            QCOMPARE(stRecord.imageFlag, szVideo + szTier + QStringLiteral("_end"));
            QCOMPARE(CQSql::recordImage(stRecord), testImage(6 + i, 4 + i, 102 + i));
            ++i;
        }
        // An image has no last-frame rows.
        ThumbnailRecord stRecord;
        QVERIFY(!store.findImage(kTable, kFlagColumn, szImage + QStringLiteral("4K_end"), stRecord));
    }

    // Pictures are kept packed: with alpha exactly (PNG), opaque ones as
    // JPEG at a fraction of their raw size and close to what went in. Rows
    // of a picture wrapping a wider buffer are taken at the picture's width.
    void picturesAreKeptPacked()
    {
        CQSql &store = CQSql::instance();
        const QImage stAlpha = testImage(33, 17, 9);
        QVERIFY(store.insertImage(QStringLiteral("/packed/a.png"), QStringLiteral("/packed/a.png480P"), stAlpha));
        ThumbnailRecord stRecord;
        QVERIFY(store.findImage(kTable, kFlagColumn, QStringLiteral("/packed/a.png480P"), stRecord));
        QVERIFY(stRecord.imageData.startsWith("\x89PNG"));
        QCOMPARE(CQSql::recordImage(stRecord), stAlpha);

        const int w = 160, h = 120, iStride = w * 4 + 16;
        QImage stPhoto(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                stPhoto.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 128 + (x - y) / 2));
        QByteArray buffer(iStride * h, char(0x5a));
        for (int y = 0; y < h; ++y)
            memcpy(buffer.data() + y * iStride, stPhoto.constScanLine(y), size_t(w * 4));
        const QImage stPadded(reinterpret_cast<const uchar *>(buffer.constData()), w, h, iStride, QImage::Format_RGB32);
        QVERIFY(store.insertImage(QStringLiteral("/packed/b.jpg"), QStringLiteral("/packed/b.jpg480P"), stPadded));
        QVERIFY(store.findImage(kTable, kFlagColumn, QStringLiteral("/packed/b.jpg480P"), stRecord));
        QVERIFY(stRecord.imageData.startsWith("\xFF\xD8"));
        QVERIFY2(stRecord.imageData.size() < w * h, qPrintable(QString::number(stRecord.imageData.size())));
        const QImage stBack = CQSql::recordImage(stRecord);
        QCOMPARE(stBack.size(), stPhoto.size());
        QCOMPARE(stBack.format(), QImage::Format_ARGB32);
        QVERIFY(testmedia::meanDifference(stBack, stPhoto) < 1.5);
    }

    void deleteRemovesOnlyThatMaterial()
    {
        CQSql &store = CQSql::instance();
        const QString szA = QStringLiteral("/del/a.mp4");
        const QString szB = QStringLiteral("/del/a.mp4.bak.mp4");   // a's path is a prefix of b's
        QVERIFY(insertTiers(store, szA, true, 4));
        QVERIFY(insertTiers(store, szB, true, 5));
        const int iTotal = countRows(m_szDefaultPath);

        QVERIFY(store.deleteImages(kTable, kPathColumn, szA));
        QCOMPARE(countRows(m_szDefaultPath, kPathColumn, szA), 0);
        QCOMPARE(countRows(m_szDefaultPath, kPathColumn, szB), 10);
        QCOMPARE(countRows(m_szDefaultPath), iTotal - 10);
        ThumbnailRecord stRecord;
        QVERIFY(!store.findImage(kTable, kFlagColumn, szA + QStringLiteral("1080P"), stRecord));
        QVERIFY(store.findImage(kTable, kFlagColumn, szB + QStringLiteral("1080P"), stRecord));
        // Deleting a material without rows is not an error.
        QVERIFY(store.deleteImages(kTable, kPathColumn, szA));
    }

    void awkwardPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("spaces, Chinese, double quote")
            << QStringLiteral("/home/user/我的 照片/say \"cheese\" 2024.jpg");
        QTest::newRow("single quote and statement")
            << QStringLiteral("/tmp/it's/'; DROP TABLE image_table; --.png");
        QTest::newRow("double quote and statement")
            << QStringLiteral("/tmp/x\"; DROP TABLE image_table; --.mp4");
        // Between double quotes SQLite reads this as the column itself,
        // which matches every row.
        QTest::newRow("column name") << QStringLiteral("imagePath");
        QTest::newRow("percent and underscore") << QStringLiteral("/tmp/100%_a.jpg");
    }

    void awkwardPaths()
    {
        QFETCH(QString, path);
        CQSql &store = CQSql::instance();
        const QString szBystander = QStringLiteral("/bystander/keep.jpg");
        QVERIFY(insertTiers(store, szBystander, false, 6));
        QVERIFY(insertTiers(store, path, true, 7));
        QCOMPARE(countRows(m_szDefaultPath, kPathColumn, path), 10);

        for (const QString &szTier : kTiers) {
            ThumbnailRecord stRecord;
            QVERIFY(store.findImage(kTable, kFlagColumn, path + szTier, stRecord));
            QCOMPARE(stRecord.imagePath, path);
            QCOMPARE(stRecord.imageFlag, path + szTier);
            QVERIFY(store.findImage(kTable, kFlagColumn, path + szTier + QStringLiteral("_end"), stRecord));
            QCOMPARE(stRecord.imagePath, path);
        }
        QVERIFY(store.deleteImages(kTable, kPathColumn, path));
        QCOMPARE(countRows(m_szDefaultPath, kPathColumn, path), 0);
        QCOMPARE(countRows(m_szDefaultPath, kPathColumn, szBystander), 5);
        QVERIFY(store.deleteImages(kTable, kPathColumn, szBystander));
    }

    void missingKeyLeavesRecord()
    {
        CQSql &store = CQSql::instance();
        QVERIFY(insertTiers(store, QStringLiteral("/miss/a.jpg"), false, 8));
        const ThumbnailRecord stSentinel{QStringLiteral("old path"), QStringLiteral("old flag"), 3, 2, QByteArray(24, 'x')};
        ThumbnailRecord stRecord = stSentinel;
        QVERIFY(!store.findImage(kTable, kFlagColumn, QStringLiteral("/miss/b.jpg1080P"), stRecord));
        QVERIFY(!store.findImage(kTable, kFlagColumn, QStringLiteral("/miss/a.jpg1080"), stRecord));
        QVERIFY(!store.findImage(kTable, kFlagColumn, QStringLiteral("/MISS/A.JPG1080P"), stRecord));
        QVERIFY(!store.findImage(kTable, kFlagColumn, QString(), stRecord));
        QCOMPARE(stRecord.imagePath, stSentinel.imagePath);
        QCOMPARE(stRecord.imageFlag, stSentinel.imageFlag);
        QCOMPARE(stRecord.imageWidth, stSentinel.imageWidth);
        QCOMPARE(stRecord.imageHeight, stSentinel.imageHeight);
        QCOMPARE(stRecord.imageData, stSentinel.imageData);

        // Names that are not the store's own never reach the statement.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error ")));
        QVERIFY(!store.findImage(QStringLiteral("image_table; DROP TABLE image_table"), kFlagColumn,
                                 QStringLiteral("/miss/a.jpg1080P"), stRecord));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error ")));
        QVERIFY(!store.deleteImages(kTable, QStringLiteral("1 OR 1"), QStringLiteral("x")));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error ")));
        QVERIFY(!store.clearTable(QStringLiteral("sqlite_master")));
        QCOMPARE(stRecord.imageFlag, stSentinel.imageFlag);
        QCOMPARE(countRows(m_szDefaultPath, kPathColumn, QStringLiteral("/miss/a.jpg")), 5);
    }

    void rejectsInconsistentPictures()
    {
        CQSql &store = CQSql::instance();
        const int iBefore = countRows(m_szDefaultPath);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error ")));
        QVERIFY(!store.insertImage(QStringLiteral("/bad/a.jpg"), QStringLiteral("/bad/a.jpg4K"), 4, 4, QByteArray(10, 'x')));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error ")));
        QVERIFY(!store.insertImage(QStringLiteral("/bad/a.jpg"), QStringLiteral("/bad/a.jpg4K"), 0, 4, QByteArray()));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error ")));
        QVERIFY(!store.insertImage(QStringLiteral("/bad/a.jpg"), QStringLiteral("/bad/a.jpg4K"), QImage()));
        QCOMPARE(countRows(m_szDefaultPath), iBefore);

        // A row whose bytes are no picture, or another size than it states, gives no picture.
        QVERIFY(CQSql::recordImage(ThumbnailRecord{QString(), QString(), 100, 100, QByteArray(16, 'x')}).isNull());
        QVERIFY(store.insertImage(QStringLiteral("/bad/b.png"), QStringLiteral("/bad/b.png4K"), testImage(8, 6, 1)));
        ThumbnailRecord stRecord;
        QVERIFY(store.findImage(kTable, kFlagColumn, QStringLiteral("/bad/b.png4K"), stRecord));
        stRecord.imageWidth = 9;
        QVERIFY(CQSql::recordImage(stRecord).isNull());
        QVERIFY(CQSql::recordImage(ThumbnailRecord{}).isNull());
        QVERIFY(store.deleteImages(kTable, kPathColumn, QStringLiteral("/bad/b.png")));
    }

    void threeThreadsEachWithOwnConnection()
    {
        CQSql &store = CQSql::instance();
        constexpr int kRows = 30;
        std::atomic<int> iFailures{0};
        std::atomic<int> iOwnConnections{0};

        auto work = [&](const QString &szPath, int iSeed, bool bReadOthers) {
            for (int i = 0; i < kRows; ++i) {
                const QString szKey = szPath + QString::number(i);
                if (!store.insertImage(szPath, szKey, testImage(5, 3, iSeed + i)))
                    ++iFailures;
                if (i == 0 && QSqlDatabase::connectionNames().contains(QStringLiteral("mydb_") + threadSuffix()))
                    ++iOwnConnections;
                ThumbnailRecord stRecord;
                if (!store.findImage(kTable, kFlagColumn, szKey, stRecord) || stRecord.imagePath != szPath
                    || CQSql::recordImage(stRecord) != testImage(5, 3, iSeed + i))
                    ++iFailures;
                if (bReadOthers) {
                    // The others' rows may or may not be there yet; a found one must be whole.
                    for (const QString &szOther : {QStringLiteral("/mt/a.mp4"), QStringLiteral("/mt/b.jpg")}) {
                        ThumbnailRecord stOther;
                        if (store.findImage(kTable, kFlagColumn, szOther + QString::number(i), stOther)
                            && (stOther.imagePath != szOther || CQSql::recordImage(stOther).size() != QSize(5, 3)))
                            ++iFailures;
                    }
                }
            }
        };

        std::thread decoderA(work, QStringLiteral("/mt/a.mp4"), 10, false);
        std::thread decoderB(work, QStringLiteral("/mt/b.jpg"), 20, false);
        QThread *pPreview = QThread::create(work, QStringLiteral("/mt/c.png"), 30, true);
        pPreview->start();
        decoderA.join();
        decoderB.join();
        QVERIFY(pPreview->wait());
        delete pPreview;

        QCOMPARE(iFailures.load(), 0);
        QCOMPARE(iOwnConnections.load(), 3);
        for (const QString &szPath : {QStringLiteral("/mt/a.mp4"), QStringLiteral("/mt/b.jpg"), QStringLiteral("/mt/c.png")})
            QCOMPARE(countRows(m_szDefaultPath, kPathColumn, szPath), kRows);
        ThumbnailRecord stRecord;
        QVERIFY(store.findImage(kTable, kFlagColumn, QStringLiteral("/mt/b.jpg29"), stRecord));
        QCOMPARE(CQSql::recordImage(stRecord), testImage(5, 3, 49));

        // The threads' connections went with them; the owner's stays.
        const QStringList names = QSqlDatabase::connectionNames();
        QVERIFY(names.contains(QStringLiteral("mydb")));
        for (const QString &szName : names)
            QVERIFY2(!szName.startsWith(QStringLiteral("mydb_")), qPrintable(szName));
    }

    void statementsTakeTheStoreMutex()
    {
        CQSql &store = CQSql::instance();
        const QString szKey = QStringLiteral("/lock/a.jpg4K");
        std::atomic<bool> bDone{false};
        bool bInserted = false;
        albumState().mutexThumbnailStore.lock();
        std::thread decoder([&]() {
            bInserted = store.insertImage(QStringLiteral("/lock/a.jpg"), szKey, testImage(3, 3, 0));
            bDone = true;
        });
        // However long this pause is, the insert cannot pass the held mutex.
        QThread::msleep(100);
        const bool bDoneWhileHeld = bDone.load();
        const int iRowsWhileHeld = countRows(m_szDefaultPath, kFlagColumn, szKey);
        albumState().mutexThumbnailStore.unlock();
        decoder.join();
        QVERIFY(!bDoneWhileHeld);
        QCOMPARE(iRowsWhileHeld, 0);
        QVERIFY(bInserted);
        QCOMPARE(countRows(m_szDefaultPath, kFlagColumn, szKey), 1);
    }

    void clearTableEmpties()
    {
        CQSql &store = CQSql::instance();
        QVERIFY(insertTiers(store, QStringLiteral("/clear/a.jpg"), false, 11));
        QVERIFY(countRows(m_szDefaultPath) > 0);
        QVERIFY(store.clearTable(kTable));
        QCOMPARE(countRows(m_szDefaultPath), 0);
        ThumbnailRecord stRecord;
        QVERIFY(!store.findImage(kTable, kFlagColumn, QStringLiteral("/clear/a.jpg4K"), stRecord));
        // Still usable afterwards.
        QVERIFY(insertTiers(store, QStringLiteral("/clear/b.jpg"), false, 12));
        QCOMPARE(countRows(m_szDefaultPath), 5);
    }

    // The exit step removes the file (and any journal) whatever its size,
    // also from another thread or the destructor; the store is closed for good.
    void exitStepRemovesTheFile()
    {
        const QString szPath = m_tmp.path() + QStringLiteral("/exit.db");
        CQSql store(szPath, QStringLiteral("exit_store"));
        QVERIFY(store.isOpen());
        for (int i = 0; i < 40; ++i)
            QVERIFY(store.insertImage(QStringLiteral("/exit/a.mp4"), QStringLiteral("/exit/a.mp4%1").arg(i), testImage(128, 128, i)));
        QVERIFY(QFileInfo(szPath).size() > 40 * 128 * 128 * 4);
        QFile journal(szPath + QStringLiteral("-journal"));
        QVERIFY(journal.open(QIODevice::WriteOnly));
        journal.close();

        store.close();
        QVERIFY(!store.isOpen());
        QVERIFY(!QFileInfo::exists(szPath));
        QVERIFY(!QFileInfo::exists(szPath + QStringLiteral("-journal")));
        QVERIFY(!QSqlDatabase::connectionNames().contains(QStringLiteral("exit_store")));

        // Closed for good; a second close does nothing.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error ")));
        QVERIFY(!store.insertImage(QStringLiteral("/exit/a.mp4"), QStringLiteral("late"), testImage(2, 2, 0)));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error ")));
        ThumbnailRecord stRecord;
        QVERIFY(!store.findImage(kTable, kFlagColumn, QStringLiteral("/exit/a.mp41"), stRecord));
        store.close();
        QVERIFY(!QFileInfo::exists(szPath));

        const QString szDtorPath = m_tmp.path() + QStringLiteral("/exit-dtor.db");
        {
            CQSql dtorStore(szDtorPath, QStringLiteral("dtor_store"));
            QVERIFY(dtorStore.insertImage(QStringLiteral("/d/a.jpg"), QStringLiteral("/d/a.jpg1"), testImage(128, 128, 1)));
        }
        QVERIFY(!QFileInfo::exists(szDtorPath));
        QVERIFY(!QSqlDatabase::connectionNames().contains(QStringLiteral("dtor_store")));
    }

    void exitStepFromAnotherThread()
    {
        const QString szPath = m_tmp.path() + QStringLiteral("/exit-thread.db");
        {
            CQSql store(szPath, QStringLiteral("thread_exit_store"));
            for (int i = 0; i < 20; ++i)
                QVERIFY(store.insertImage(QStringLiteral("/t/a.jpg"), QStringLiteral("/t/a.jpg%1").arg(i), testImage(128, 128, i)));
            std::thread closer([&store]() { store.close(); });
            closer.join();
            QVERIFY(!QFileInfo::exists(szPath));
            QVERIFY(!store.isOpen());
        }
        for (const QString &szName : QSqlDatabase::connectionNames())
            QVERIFY2(!szName.startsWith(QStringLiteral("thread_exit_store")), qPrintable(szName));
    }

    void openFailureIsLogged()
    {
        const QString szPath = m_tmp.path() + QStringLiteral("/no/such/folder/myData.db");
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error: failed to connect sqlite3 database\\.")));
        CQSql store(szPath, QStringLiteral("broken_store"));
        QVERIFY(!store.isOpen());
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error ")));
        QVERIFY(!store.insertImage(QStringLiteral("/x.jpg"), QStringLiteral("/x.jpg4K"), testImage(2, 2, 0)));
        QVERIFY(!QFileInfo::exists(szPath));
    }

    void notADatabaseFailsCleanly()
    {
        const QString szPath = m_tmp.path() + QStringLiteral("/garbage.db");
        QFile file(szPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'g'));
        file.close();

        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error: failed to create table")));
        CQSql store(szPath, QStringLiteral("garbage_store"));
        const ThumbnailRecord stSentinel{QStringLiteral("p"), QStringLiteral("f"), 1, 1, QByteArray(4, 'z')};
        ThumbnailRecord stRecord = stSentinel;
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error ")));
        QVERIFY(!store.findImage(kTable, kFlagColumn, QStringLiteral("f"), stRecord));
        QCOMPARE(stRecord.imagePath, stSentinel.imagePath);
        QCOMPARE(stRecord.imageData, stSentinel.imageData);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error ")));
        QVERIFY(!store.insertImage(QStringLiteral("p"), QStringLiteral("f"), testImage(1, 1, 0)));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error ")));
        QVERIFY(!store.clearTable(kTable));
        // The exit step takes the broken file away.
        store.close();
        QVERIFY(!QFileInfo::exists(szPath));
    }

    void connectionNameInUseIsRefused()
    {
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^error: failed to connect sqlite3 database\\.")));
        CQSql second(m_tmp.path() + QStringLiteral("/second.db"), QStringLiteral("mydb"));
        QVERIFY(!second.isOpen());
        // The process-wide store keeps its connection and its rows.
        CQSql &store = CQSql::instance();
        QVERIFY(store.isOpen());
        ThumbnailRecord stRecord;
        QVERIFY(store.findImage(kTable, kFlagColumn, QStringLiteral("/clear/b.jpg4K"), stRecord));
    }

    void executablesKeepSeparateFiles()
    {
        const QString szBase = m_tmp.path() + QStringLiteral("/two");
        CQSrvProductInfo infoA;
        infoA.setBaseFolder(szBase);
        infoA.setExecutableName(QStringLiteral("Pictora"));
        CQSrvProductInfo infoB;
        infoB.setBaseFolder(szBase);
        infoB.setExecutableName(QStringLiteral("PictoraPortable"));
        const QString szPathA = CQSql::databasePathFor(infoA);
        const QString szPathB = CQSql::databasePathFor(infoB);
        const QString szCanonicalBase = QFileInfo(szBase).canonicalFilePath();
        QCOMPARE(szPathA, szCanonicalBase + QStringLiteral("/Pictora/Pictora/myData.db"));
        QCOMPARE(szPathB, szCanonicalBase + QStringLiteral("/Pictora/PictoraPortable/myData.db"));

        CQSql storeA(szPathA, QStringLiteral("exe_a"));
        CQSql storeB(szPathB, QStringLiteral("exe_b"));
        const QString szMaterial = QStringLiteral("/shared/holiday.mp4");
        QVERIFY(insertTiers(storeA, szMaterial, true, 1));
        QVERIFY(insertTiers(storeB, szMaterial, true, 2));

        // One program clearing its album leaves the other's rows alone.
        QVERIFY(storeA.clearTable(kTable));
        QCOMPARE(countRows(szPathA), 0);
        QCOMPARE(countRows(szPathB), 10);

        // Nor does its exit step or its start of the next run.
        storeA.close();
        QVERIFY(CQSql::removeDatabaseFile(szPathA));
        QVERIFY(!QFileInfo::exists(szPathA));
        QVERIFY(QFileInfo::exists(szPathB));
        ThumbnailRecord stRecord;
        QVERIFY(storeB.findImage(kTable, kFlagColumn, szMaterial + QStringLiteral("2K_end"), stRecord));
        QCOMPARE(CQSql::recordImage(stRecord), testImage(7, 5, 2 + 100 + 1));
    }

    // Last: the process-wide store's exit step, while its folder still exists.
    void instanceExitStep()
    {
        CQSql &store = CQSql::instance();
        for (int i = 0; i < 10; ++i)
            QVERIFY(store.insertImage(QStringLiteral("/end/a.jpg"), QStringLiteral("/end/a.jpg%1").arg(i), testImage(128, 128, i)));
        store.close();
        QVERIFY(!store.isOpen());
        QVERIFY(!QFileInfo::exists(m_szDefaultPath));
        QVERIFY(!QSqlDatabase::connectionNames().contains(QStringLiteral("mydb")));
        QVERIFY(CQSql::removeDatabaseFile());
    }
};

QTEST_GUILESS_MAIN(TestThumbnailStore)
#include "tst_thumbnailstore.moc"
