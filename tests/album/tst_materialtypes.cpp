#include "album/AlbumProjectState.h"
#include "album/MaterialTypes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

bool touch(const QString &szPath)
{
    QFile file(szPath);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

// The files of a folder in the order the file system lists them, filtered
// the way the expansion must filter them.
QStringList listedFiles(const QString &szFolder)
{
    QStringList result;
    const QDir dir(szFolder);
    for (const QString &szName : dir.entryList(folderNameFilters(), QDir::Files | QDir::Hidden, QDir::Unsorted))
        result.append(dir.absoluteFilePath(szName));
    return result;
}

} // namespace

class TestMaterialTypes : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void suffixListsAndFilters()
    {
        QCOMPARE(imageSuffixes(), (QStringList{"jpeg", "jpg", "png"}));
        const QStringList videos{"ifox", "mtv", "ps",  "webm", "f4v", "ogv",  "3gp", "avi", "flv", "gif",
                                 "mkv",  "mov", "mp4", "mpg",  "rmvb", "vob", "wmv", "wtv", "mpeg", "rm",
                                 "asf",  "m4v", "ts",  "mts",  "m2t", "m2ts", "dv",  "mxf", "dat"};
        QCOMPARE(videoSuffixes(), videos);
        QCOMPARE(videoSuffixes().size(), 29);
        const QStringList &filters = folderNameFilters();
        QCOMPARE(filters.size(), 32);
        QCOMPARE(filters.first(), QStringLiteral("*.jpeg"));
        QCOMPARE(filters.at(2), QStringLiteral("*.png"));
        QCOMPARE(filters.at(3), QStringLiteral("*.ifox"));
        QCOMPARE(filters.at(6), QStringLiteral("*.webm"));
        QCOMPARE(filters.last(), QStringLiteral("*.dat"));
        // Built once: the same list every time.
        QCOMPARE(&folderNameFilters(), &filters);
    }

    void classification_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("type");
        QTest::newRow("jpg") << "/p/a.jpg" << int(SourceImage);
        QTest::newRow("upper case JPG") << "/p/a.JPG" << int(SourceImage);
        QTest::newRow("mixed case Jpeg") << "/p/a.Jpeg" << int(SourceImage);
        QTest::newRow("png") << "/p/a.png" << int(SourceImage);
        QTest::newRow("3gp") << "/p/c.3gp" << int(SourceVideo);
        QTest::newRow("gif is a video") << "/p/anim.GIF" << int(SourceVideo);
        QTest::newRow("m2ts") << "/p/x.m2ts" << int(SourceVideo);
        QTest::newRow("dat") << "/p/x.dat" << int(SourceVideo);
        QTest::newRow("last dot counts") << "/p/a.mp4.txt" << 0;
        QTest::newRow("txt") << "/p/d.txt" << 0;
        QTest::newRow("no suffix") << "/p/readme" << 0;
        QTest::newRow("dot in folder only") << "/p/album.mp4/readme" << 0;
        QTest::newRow("trailing dot") << "/p/a." << 0;
        QTest::newRow("bmp not supported") << "/p/a.bmp" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("hidden file") << "/p/.png" << int(SourceImage);
    }

    void classification()
    {
        QFETCH(QString, path);
        QFETCH(int, type);
        QCOMPARE(classifyMaterial(path), type);
    }

    // a.JPG, b.mkv, c.3gp, d.txt and a hidden subfolder holding e.png.
    void folderExampleInDirectoryOrder()
    {
        const QString szRoot = m_dir.filePath("example");
        QVERIFY(QDir().mkpath(szRoot + "/.hidden"));
        for (const char *szName : {"a.JPG", "b.mkv", "c.3gp", "d.txt", ".hidden/e.png"})
            QVERIFY(touch(szRoot + "/" + szName));

        const QStringList top = listedFiles(szRoot);
        QCOMPARE(QSet<QString>(top.begin(), top.end()),
                 (QSet<QString>{szRoot + "/a.JPG", szRoot + "/b.mkv", szRoot + "/c.3gp"}));
        const QStringList expected = top + QStringList{szRoot + "/.hidden/e.png"};
        QCOMPARE(expandFolder(szRoot), expected);
        // A relative or unclean folder path gives the same absolute entries.
        QCOMPARE(expandFolder(szRoot + "/./"), expected);
    }

    void nestedFoldersDepthFirst()
    {
        const QString szRoot = m_dir.filePath("nested");
        QVERIFY(QDir().mkpath(szRoot + "/s1/deep"));
        QVERIFY(QDir().mkpath(szRoot + "/s2"));
        for (const char *szName : {"top.png", "s1/one.mp4", "s1/deep/two.jpg", "s2/three.gif", "s2/.dot.jpeg",
                                   "s2/skip.doc"})
            QVERIFY(touch(szRoot + "/" + szName));

        QStringList expected = listedFiles(szRoot);
        const QDir root(szRoot);
        for (const QString &szSub : root.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted)) {
            const QString szSubPath = root.absoluteFilePath(szSub);
            expected += listedFiles(szSubPath);
            if (szSub == "s1")
                expected += listedFiles(szSubPath + "/deep");
        }
        const QStringList result = expandFolder(szRoot);
        QCOMPARE(result, expected);
        QCOMPARE(result.size(), 5);
        QVERIFY(!result.contains(szRoot + "/s2/skip.doc"));
    }

    void notAFolderGivesNothing()
    {
        const QString szFile = m_dir.filePath("plain.jpg");
        QVERIFY(touch(szFile));
        QVERIFY(expandFolder(szFile).isEmpty());
        QVERIFY(expandFolder(m_dir.filePath("missing")).isEmpty());
        QVERIFY(expandFolder(QString()).isEmpty());
    }

    void linkLoopEnds()
    {
        const QString szRoot = m_dir.filePath("loop");
        QVERIFY(QDir().mkpath(szRoot + "/inner"));
        QVERIFY(touch(szRoot + "/inner/x.png"));
        // inner/back points at the folder above: without care this never ends.
        QVERIFY(QFile::link(szRoot, szRoot + "/inner/back"));
        const QStringList result = expandFolder(szRoot);
        QCOMPARE(result, QStringList{szRoot + "/inner/x.png"});
    }

    void brokenLinksAndPipesAreNotListed()
    {
        const QString szRoot = m_dir.filePath("odd");
        QVERIFY(QDir().mkpath(szRoot));
        QVERIFY(touch(szRoot + "/ok.jpg"));
        QVERIFY(QFile::link(szRoot + "/gone.jpg", szRoot + "/dangling.png"));
        QCOMPARE(::mkfifo(QFile::encodeName(szRoot + "/pipe.mp4").constData(), 0600), 0);
        QCOMPARE(expandFolder(szRoot), QStringList{szRoot + "/ok.jpg"});
    }
};

QTEST_MAIN(TestMaterialTypes)
#include "tst_materialtypes.moc"
