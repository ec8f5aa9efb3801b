#include "album/AlbumProjectState.h"
#include "common/TestMedia.h"
#include "common/TestSupport.h"
#include "import/CQSql.h"
#include "import/ImportTestSupport.h"
#include "import/MaterialImport.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <cstdio>
#include <sys/stat.h>

using namespace importtest;

namespace {

// Answers every lookup in one context with a marked text, and remembers the lookups.
class RecordingTranslator : public QTranslator
{
public:
    QString translate(const char *szContext, const char *szSource, const char *, int) const override
    {
        lookups.append(QString::fromUtf8(szContext) + "|" + QString::fromUtf8(szSource));
        if (QByteArray(szContext) == "VistaloClass")
            return QString::fromUtf8("已为您过滤 %1 个文件");
        return QString();
    }
    bool isEmpty() const override { return false; }
    mutable QStringList lookups;
};

} // namespace

class TestMaterialImport : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QStandardItemModel m_model;
    QString m_szDb;
    QString path(const QString &szName) const { return m_dir.filePath(szName); }

    void resetAlbum()
    {
        clearAlbum();
        QVERIFY(CQSql::instance().clearTable(QString::fromLatin1(CQSql::kTableName)));
        applyEditorDefaults();
    }

private Q_SLOTS:
    // A database left by an earlier run is gone before the first import.
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("xdg")));
        m_szDb = CQSql::defaultDatabasePath();
        QVERIFY(m_szDb.startsWith(QFileInfo(path("xdg")).canonicalFilePath()));
        bool bCreated = false, bInserted = false;
        QVERIFY(withOwnConnection(m_szDb, [&](QSqlDatabase &db) {
            QSqlQuery query(db);
            bCreated = query.exec("CREATE TABLE image_table(id INTEGER PRIMARY KEY AUTOINCREMENT,imagePath TEXT NOT NULL,"
                                  "imageFlag TEXT NOT NULL,imageWidth INTEGER NOT NULL,imageHeight INTEGER NOT NULL,"
                                  "imageData BLOB)");
            bInserted = query.exec("INSERT INTO image_table (imagePath, imageFlag, imageWidth, imageHeight) "
                                   "VALUES ('/old/run.jpg', '/old/run.jpg480P', 1, 1)");
        }));
        QVERIFY(bCreated && bInserted);
        QCOMPARE(countRows(m_szDb), 1);
        startThumbnailStore();
        QVERIFY(CQSql::instance().isOpen());
        QCOMPARE(countRows(m_szDb), 0);

        albumState().pImageListModel = &m_model;
        applyEditorDefaults();

        QString e;
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240", "-frames:v", "1", path("a.jpg")}, &e),
                 qPrintable(e));
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "smptebars=s=320x240", "-frames:v", "1", path("b.png")}, &e),
                 qPrintable(e));
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=10:d=1", "-c:v", "libx264",
                                      "-pix_fmt", "yuv420p", path("clip.mp4")},
                                     &e),
                 qPrintable(e));
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "color=c=gray:s=2000x3000", "-frames:v", "1",
                                      path("tall.jpg")},
                                     &e),
                 qPrintable(e));
        QVERIFY(testmedia::writeFile(path("notes.txt"), "not a material"));
    }

    void cleanupTestCase()
    {
        clearAlbum();
        albumState().pImageListModel = nullptr;
        CQSql::instance().close();
        QVERIFY(!QFileInfo::exists(m_szDb));
    }

    void reportCountsAndMessage()
    {
        resetAlbum();
        int iWrongThread = 0;
        const auto connection = connect(&m_model, &QStandardItemModel::rowsInserted, this, [&]() {
            iWrongThread += QThread::currentThread() != thread();
        });
        const MaterialImportReport st = importMaterials({path("a.jpg"), path("a.jpg"), path("notes.txt"),
                                                         path("clip.mp4")});
        disconnect(connection);
        QVERIFY(!st.bFound4K);
        QCOMPARE(st.iSucceeded, 2);
        QCOMPARE(st.iDuplicate, 1);
        QCOMPARE(st.iFailed, 1);
        QCOMPARE(st.iTotal, 4);
        QCOMPARE(st.iDecodedFiles, 2);
        QCOMPARE(st.filteredCount(), 2);
        QCOMPARE(st.filteredMessage(),
                 QString("2 files that cannot be added or already exist in the list have been filtered for you"));
        QVERIFY(st.stTimings.iDecode > 0);
        QVERIFY(st.stTimings.iStore > 0);
        QCOMPARE(iWrongThread, 0);
        QCOMPARE(albumState().listImageSourceOrder, (QStringList{path("a.jpg"), path("clip.mp4")}));
        QCOMPARE(albumInconsistency(&m_model), QString());

        // The notice is the editor's text, translated in the editor's context.
        RecordingTranslator translator;
        QVERIFY(QCoreApplication::installTranslator(&translator));
        QCOMPARE(st.filteredMessage(), QString::fromUtf8("已为您过滤 2 个文件"));
        QCoreApplication::removeTranslator(&translator);
        QVERIFY(translator.lookups.contains(
            "VistaloClass|%1 files that cannot be added or already exist in the list have been filtered for you"));

        // Again: everything is a duplicate now.
        const MaterialImportReport stAgain = importMaterials({path("a.jpg"), path("clip.mp4")});
        QCOMPARE(stAgain.iSucceeded, 0);
        QCOMPARE(stAgain.iDuplicate, 2);
        QCOMPARE(stAgain.iDecodedFiles, 0);
        QCOMPARE(albumState().listImageSourceOrder.size(), 2);

        const MaterialImportReport stClean = importMaterials({path("b.png")});
        QCOMPARE(stClean.iSucceeded, 1);
        QVERIFY(stClean.filteredMessage().isEmpty());
    }

    // A 4K file is reported and still imported: the tool warns and goes on.
    void fourKIsReportedAndImported()
    {
        resetAlbum();
        const MaterialImportReport st = importMaterials({path("a.jpg"), path("tall.jpg")});
        QVERIFY(st.bFound4K);
        QCOMPARE(st.iSucceeded, 2);
        QCOMPARE(albumState().mapImageSources.value(path("tall.jpg")).stSrcImageSize, QSize(2000, 3000));
        QVERIFY(MaterialImportReport::fourKWarning().contains("4K"));
    }

    // Without the tier pictures the records are the same and the store is untouched.
    void importWithoutTierPictures()
    {
        resetAlbum();
        QCOMPARE(importMaterials({path("a.jpg"), path("clip.mp4")}).iSucceeded, 2);
        const ImageSource stImage = albumState().mapImageSources.value(path("a.jpg"));
        const ImageSource stClip = albumState().mapImageSources.value(path("clip.mp4"));
        const int iRows = countRows(m_szDb);
        QCOMPARE(iRows, ImageDecoder::importedTiers(SourceImage).size() + 2 * ImageDecoder::importedTiers(SourceVideo).size());

        resetAlbum();
        const MaterialImportReport st = importMaterials({path("a.jpg"), path("clip.mp4"), path("notes.txt")},
                                                        ImportInput::Files, false);
        QCOMPARE(st.iSucceeded, 2);
        QCOMPARE(st.iFailed, 1);
        QCOMPARE(st.stTimings.iStore, 0);
        QCOMPARE(countRows(m_szDb), 0);
        const ImageSource stImageBare = albumState().mapImageSources.value(path("a.jpg"));
        const ImageSource stClipBare = albumState().mapImageSources.value(path("clip.mp4"));
        QCOMPARE(stImageBare.stSrcImageSize, stImage.stSrcImageSize);
        QCOMPARE(stClipBare.iDuration, stClip.iDuration);
        QCOMPARE(stClipBare.stTimeBase.den, stClip.stTimeBase.den);
        QCOMPARE(stClipBare.iSourceType, int(SourceVideo));
        // The thumbnail is made all the same.
        QCOMPARE(stImageBare.stPixmap.size(), stImage.stPixmap.size());
        QVERIFY(!stImageBare.stPixmap.isNull());
        QCOMPARE(albumInconsistency(&m_model), QString());
    }

    void foldersAndDrops()
    {
        resetAlbum();
        const QString szFolder = path("f1");
        QVERIFY(QDir().mkpath(szFolder + "/sub"));
        QVERIFY(QFile::copy(path("a.jpg"), szFolder + "/one.jpg"));
        QVERIFY(QFile::copy(path("b.png"), szFolder + "/sub/two.PNG"));
        QVERIFY(QFile::copy(path("notes.txt"), szFolder + "/skip.txt"));

        MaterialImportReport st = importMaterials({szFolder}, ImportInput::Folders);
        QCOMPARE(st.iTotal, 2);
        QCOMPARE(st.iSucceeded, 2);
        QCOMPARE(st.iFailed, 0);
        QCOMPARE(albumState().listImageSourceOrder, (QStringList{szFolder + "/one.jpg", szFolder + "/sub/two.PNG"}));

        // A drop mixes folders and files; what is dropped is tried whatever its name.
        resetAlbum();
        st = importMaterials({path("clip.mp4"), szFolder, path("notes.txt")}, ImportInput::DroppedItems);
        QCOMPARE(st.iTotal, 4);
        QCOMPARE(st.iSucceeded, 3);
        QCOMPARE(st.iFailed, 1);
        QCOMPARE(albumState().listImageSourceOrder,
                 (QStringList{path("clip.mp4"), szFolder + "/one.jpg", szFolder + "/sub/two.PNG"}));

        // From the file dialog a folder is not searched.
        resetAlbum();
        st = importMaterials({szFolder});
        QCOMPARE(st.iTotal, 1);
        QCOMPARE(st.iSucceeded, 0);
        QCOMPARE(st.iFailed, 1);
    }

    // Each bad file counts as failed; the album keeps only the good ones and
    // nothing stays open or stored for the bad ones.
    void badInputCorpus()
    {
        resetAlbum();
        const QString szBad = path("bad");
        QVERIFY(QDir().mkpath(szBad));
        QString e;
        QStringList bad;
        auto add = [&](const QString &szName) {
            bad.append(szBad + "/" + szName);
            return szBad + "/" + szName;
        };

        QVERIFY(testmedia::writeFile(add("empty.jpg"), QByteArray()));
        QVERIFY(testmedia::writeFile(add("text.jpg"), "this is not a picture\n"));
        const QByteArray jpeg = testmedia::readFile(path("a.jpg"));
        QVERIFY(testmedia::writeFile(add("truncated.jpg"), jpeg.left(jpeg.size() * 2 / 5)));
        const QByteArray mp4 = testmedia::readFile(path("clip.mp4"));
        QVERIFY(testmedia::writeFile(add("truncated.mp4"), mp4.left(mp4.size() / 2)));
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "sine=d=1", "-c:a", "aac", add("soundonly.mp4")}, &e),
                 qPrintable(e));
        QVERIFY(testmedia::writeFile(add("huge.png"), testmedia::pngWithHeaderSize(60000, 60000)));
        QVERIFY(QDir().mkpath(add("folder.mp4")));
        QVERIFY(QFile::link(szBad + "/gone.png", add("dangling.png")));
        QVERIFY(QFile::copy(path("a.jpg"), add("locked.jpg")));
        QVERIFY(QFile::setPermissions(szBad + "/locked.jpg", QFileDevice::Permissions()));
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "sine=d=1", "-c:a", "libmp3lame", "-f", "mp3",
                                      add("music.mp4")},
                                     &e),
                 qPrintable(e));
        // Sound with a cover picture: a picture stream, but no video.
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "sine=d=1", "-i", path("b.png"), "-map", "0", "-map", "1",
                                      "-c:a", "libmp3lame", "-c:v", "png", "-disposition:v", "attached_pic", "-f",
                                      "mp3", add("cover.mp4")},
                                     &e),
                 qPrintable(e));
        // A pipe would block whoever opens it.
        QCOMPARE(::mkfifo(QFile::encodeName(add("pipe.png")).constData(), 0600), 0);
        QVERIFY2(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=320x240:r=10:d=1", "-c:v", "libx264", "-f",
                                      "h264", add("noduration.dat")},
                                     &e),
                 qPrintable(e));

        QStringList inputs = bad;
        inputs.insert(3, path("a.jpg"));
        inputs.append(path("clip.mp4"));

        const int iRows = countRows(m_szDb);
        MaterialImportReport st;
        {
            // Root reads anything; without the override the locked file is really locked.
            NoReadOverride noOverride;
            FILE *pProbe = std::fopen(QFile::encodeName(szBad + "/locked.jpg").constData(), "r");
            const bool bLocked = pProbe == nullptr;
            if (pProbe)
                std::fclose(pProbe);
            QVERIFY2(bLocked, "the file without read permission can still be read");
            st = importMaterials(inputs);
        }
        QCOMPARE(st.iTotal, inputs.size());
        QCOMPARE(st.iFailed, bad.size());
        QCOMPARE(st.iSucceeded, 2);
        QCOMPARE(st.iDuplicate, 0);
        QVERIFY(st.bFound4K);   // the huge PNG's header says so
        QCOMPARE(albumState().listImageSourceOrder, (QStringList{path("a.jpg"), path("clip.mp4")}));
        QCOMPARE(albumInconsistency(&m_model), QString());
        QCOMPARE(countRows(m_szDb),
                 iRows + ImageDecoder::importedTiers(SourceImage).size() + 2 * ImageDecoder::importedTiers(SourceVideo).size());
        for (const QString &szPath : bad)
            QCOMPARE(countRows(m_szDb, "imagePath", szPath), 0);
        // The two materials are held open, nothing else.
        QCOMPARE(openFdsUnder(szBad), 0);
        QCOMPARE(openFdsUnder(path("a.jpg")), 1);
        QCOMPARE(openFdsUnder(path("clip.mp4")), 1);
        clearAlbum();
        QCOMPARE(openFdsUnder(m_dir.path()) - openFdsUnder(path("xdg")), 0);
    }
};

QTEST_MAIN(TestMaterialImport)
#include "tst_materialimport.moc"
