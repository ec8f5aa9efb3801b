// Failed and cancelled exports: the "%1(%2)" messages, no partial or
// temporary file, a file already at the target kept, and a renderer ready
// for the next export.

#include "album/AlbumProjectState.h"
#include "common/ExportTestSupport.h"
#include "common/TestMedia.h"
#include "common/TestSupport.h"
#include "media/export/MediaEncoder.h"

#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/error.h>
}

using namespace exporttest;

namespace {

QString errorText(int iCode)
{
    char szText[64] = {0};
    av_strerror(iCode, szText, sizeof(szText));
    return QString::fromUtf8(szText);
}

} // namespace

class TestExportFailures : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_szA, m_szB, m_szC;

    // Three pictures, 24 fps, 312 frames, into szDir/album.<format>.
    void threeImageAlbum(const QString &szDir, const QString &szFormat = "MP4")
    {
        resetAlbum(szDir, "album", szFormat, 24, 160, 90);
        QVERIFY(appendImage(m_szA));
        QVERIFY(appendImage(m_szB));
        QVERIFY(appendImage(m_szC));
    }

    QString freshFolder(const QString &szName)
    {
        const QString szPath = m_dir.filePath(szName);
        QDir().mkpath(szPath);
        return szPath;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_szA = m_dir.filePath("a.jpg");
        m_szB = m_dir.filePath("b.png");
        m_szC = m_dir.filePath("c.jpg");
        QVERIFY(makePicture(m_szA, "testsrc2=s=160x120"));
        QVERIFY(makePicture(m_szB, "color=c=green:s=90x160"));
        QVERIFY(makePicture(m_szC, "smptebars=s=160x90"));
    }

    void unwritableFolder()
    {
        // Root writes anywhere a mode allows nothing; sysfs refuses new files even to root.
        QString szFolder = freshFolder("locked");
        const bool bRoot = geteuid() == 0;
        if (bRoot)
            szFolder = QStringLiteral("/sys");
        else
            QVERIFY(::chmod(szFolder.toLocal8Bit().constData(), 0555) == 0);
        const QStringList before = folderEntries(szFolder);
        threeImageAlbum(szFolder);

        const ExportResult stResult = runExport();
        if (!bRoot)
            ::chmod(szFolder.toLocal8Bit().constData(), 0755);
        QVERIFY(stResult.bFinished);
        QVERIFY(!stResult.bSucceeded);
        QVERIFY2(stResult.szError.startsWith("Create output file failed(") && stResult.szError.endsWith(")")
                     && stResult.szError.size() > int(strlen("Create output file failed()")),
                 qPrintable(stResult.szError));
        QVERIFY(stResult.progress.isEmpty());
        QVERIFY(!QFile::exists(outputPath()));
        QCOMPARE(folderEntries(szFolder), before);
    }

    void cancelStopsAtTheNextFrameAndKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("cancelAfter");
        QTest::newRow("MP4 in an image") << "MP4" << 10;
        QTest::newRow("MKV in a transition") << "MKV" << 80;
        QTest::newRow("GIF in a transition") << "GIF" << 150;
        QTest::newRow("WEBM on the last frame") << "WEBM" << 312;
    }

    void cancelStopsAtTheNextFrameAndKeepsTheOldFile()
    {
        QFETCH(QString, format);
        QFETCH(int, cancelAfter);
        const QString szFolder = freshFolder("cancel" + format + QString::number(cancelAfter));
        threeImageAlbum(szFolder, format);
        const QByteArray old("the user's earlier export");
        QVERIFY(testmedia::writeFile(outputPath(), old));

        // Cleared from the worker right after frame cancelAfter has been encoded.
        const ExportResult stResult = runExport(120000, [cancelAfter](MediaEncoder &encoder, int iCount) {
            if (iCount == cancelAfter)
                encoder.runningFlag().store(false);
        });
        QVERIFY(stResult.bFinished);
        QVERIFY(!stResult.bSucceeded);
        QCOMPARE(stResult.szError, QString("Operation interrupted(%1)").arg(errorText(AVERROR(EINTR))));
        QCOMPARE(stResult.progress.size(), cancelAfter);
        QCOMPARE(testmedia::readFile(outputPath()), old);
        QCOMPARE(folderEntries(szFolder), QStringList{"album." + format.toLower()});
    }

    // A cancel right after the request is never lost, even before the worker has started.
    void cancelBeforeTheWorkerStarts()
    {
        const QString szFolder = freshFolder("early");
        threeImageAlbum(szFolder);
        QThread thread;
        auto *pEncoder = new MediaEncoder;
        pEncoder->moveToThread(&thread);
        connect(&thread, &QThread::finished, pEncoder, &QObject::deleteLater);
        QString szError;
        int iProgress = 0;
        bool bSucceeded = false;
        QEventLoop loop;
        connect(pEncoder, &MediaEncoder::sig_exportProgress, &loop, [&](int) { ++iProgress; });
        connect(pEncoder, &MediaEncoder::sig_succeeded, &loop, [&] { bSucceeded = true; loop.quit(); });
        connect(pEncoder, &MediaEncoder::sig_exportFail, &loop, [&](const QString &sz) { szError = sz; loop.quit(); });
        // Queued before the thread runs: the request waits in the worker's queue.
        Q_EMIT pEncoder->sig_exportVideo();
        pEncoder->runningFlag().store(false);
        thread.start();
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
        Q_EMIT pEncoder->sig_close(0);
        thread.wait();
        QVERIFY(!bSucceeded);
        QVERIFY2(szError.startsWith("Operation interrupted("), qPrintable(szError));
        QCOMPARE(iProgress, 0);
        QVERIFY(folderEntries(szFolder).isEmpty());
    }

    void successReplacesTheOldFile()
    {
        const QString szFolder = freshFolder("replace");
        threeImageAlbum(szFolder);
        QVERIFY(testmedia::writeFile(outputPath(), "old"));
        const ExportResult stResult = runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        QCOMPARE(testsupport::countVideoFrames(outputPath()), 312);
        QCOMPARE(folderEntries(szFolder), QStringList{"album.mp4"});
        // A new file gets the permissions of any new file (umask), not a temporary's 0600.
        const mode_t iMask = ::umask(022);
        ::umask(iMask);
        struct stat stInfo;
        QVERIFY(::stat(outputPath().toLocal8Bit().constData(), &stInfo) == 0);
        QCOMPARE(int(stInfo.st_mode & 0777), int(0666 & ~iMask));
    }

    // Not allowed to replace: a file that turns up at the target while the
    // export runs is kept, and the export says so instead of succeeding.
    void fileAppearingDuringTheExportIsKept()
    {
        const QString szFolder = freshFolder("appearing");
        threeImageAlbum(szFolder);
        const QString szTarget = outputPath();
        const ExportResult stResult = runExport(120000, [szTarget](MediaEncoder &encoder, int iCount) {
            encoder.setReplaceExisting(false);
            if (iCount == 5)
                testmedia::writeFile(szTarget, "theirs");
        });
        QVERIFY(!stResult.bSucceeded);
        QCOMPARE(stResult.szError, "The file already exists(" + errorText(AVERROR(EEXIST)) + ")");
        QCOMPARE(testmedia::readFile(szTarget), QByteArray("theirs"));
        QCOMPARE(folderEntries(szFolder), QStringList{"album.mp4"});
        // Without a file there the same renderer writes it.
        QFile::remove(szTarget);
        const ExportResult stFree = runExport(120000, [](MediaEncoder &encoder, int) { encoder.setReplaceExisting(false); });
        QVERIFY2(stFree.bSucceeded, qPrintable(stFree.szError));
        QCOMPARE(testsupport::countVideoFrames(szTarget), 312);
    }

    // A disk that fills up early, half way or just before the end of the
    // file: a failure with the message of the write that hit it (the muxer's
    // buffer holds a few hundred kilobytes, so in a small file that is often
    // the trailer), never a success; the temporary goes and the file the
    // user had stays.
    void fullDiskLosesNothing_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<double>("share");   // of the complete file's size
        for (const char *szFormat : {"MP4", "MKV", "AVI"}) {
            QTest::addRow("%s at once", szFormat) << szFormat << 0.0;
            QTest::addRow("%s half way", szFormat) << szFormat << 0.5;
            QTest::addRow("%s at the end", szFormat) << szFormat << 0.99;
        }
    }
    void fullDiskLosesNothing()
    {
        QFETCH(QString, format);
        QFETCH(double, share);
        const QString szFolder = freshFolder("full" + format + QString::number(share));
        resetAlbum(szFolder, "album", format, 24, 640, 360);
        QVERIFY(appendImage(m_szA));
        QVERIFY(appendImage(m_szB));
        QVERIFY(appendImage(m_szC));
        const ExportResult stComplete = runExport();
        QVERIFY2(stComplete.bSucceeded, qPrintable(stComplete.szError));
        const qint64 iComplete = QFileInfo(outputPath()).size();

        const QByteArray old("the user's earlier export");
        QVERIFY(testmedia::writeFile(outputPath(), old));
        ExportResult stResult;
        {
            testsupport::FileSizeLimit stLimit(static_cast<uint64_t>(std::max(100.0, share * iComplete)));
            QVERIFY(stLimit.isSet());
            stResult = runExport();
        }
        QVERIFY(stResult.bFinished);
        QVERIFY(!stResult.bSucceeded);
        static const QStringList steps = {"Write file header failed(", "Write video packet failed(",
                                          "Write audio packet failed(", "Write file trailer failed("};
        QVERIFY2(std::any_of(steps.begin(), steps.end(), [&](const QString &s) { return stResult.szError.startsWith(s); }),
                 qPrintable(stResult.szError));
        QVERIFY2(stResult.szError.endsWith(QString("(%1)").arg(errorText(AVERROR(EFBIG)))), qPrintable(stResult.szError));
        QCOMPARE(testmedia::readFile(outputPath()), old);
        QCOMPARE(folderEntries(szFolder), QStringList{"album." + format.toLower()});
    }

    // An album without a frame gives no file, and an earlier one stays.
    void emptyAlbum()
    {
        const QString szFolder = freshFolder("empty");
        resetAlbum(szFolder, "album", "MP4", 24, 160, 90);
        QVERIFY(testmedia::writeFile(outputPath(), "keep"));
        const ExportResult stResult = runExport();
        QVERIFY(stResult.bFinished);
        QVERIFY(!stResult.bSucceeded);
        QCOMPARE(stResult.szError,
                 QString("The album has nothing to export(%1)").arg(errorText(AVERROR(EINVAL))));
        QVERIFY(stResult.progress.isEmpty());
        QCOMPARE(testmedia::readFile(outputPath()), QByteArray("keep"));
        QCOMPARE(folderEntries(szFolder), QStringList{"album.mp4"});
    }

    void materialThatDoesNotDecode()
    {
        const QString szFolder = freshFolder("broken");
        const QString szBroken = szFolder + "/broken.jpg";
        // Valid header, no picture data.
        QByteArray jpeg = testmedia::readFile(m_szA);
        QVERIFY(testmedia::writeFile(szBroken, jpeg.left(jpeg.size() / 3)));
        resetAlbum(szFolder, "album", "MP4", 24, 160, 90);
        QVERIFY(appendImage(m_szA));
        ImageSource stBroken = albumState().mapImageSources.value(QFileInfo(m_szA).absoluteFilePath());
        stBroken.szFilePath = szBroken;
        appendMaterial(stBroken);
        QVERIFY(testmedia::writeFile(outputPath(), "keep"));

        const ExportResult stResult = runExport();
        QVERIFY(!stResult.bSucceeded);
        QVERIFY2(stResult.szError.startsWith("Image decode failed(") && stResult.szError.endsWith(")"),
                 qPrintable(stResult.szError));
        // It failed while preparing the transition into the broken picture, after the first image.
        QCOMPARE(stResult.progress.size(), 72);
        QCOMPARE(testmedia::readFile(outputPath()), QByteArray("keep"));
        QCOMPARE(folderEntries(szFolder), (QStringList{"album.mp4", "broken.jpg"}));

        // The renderer is ready for the next export.
        QFile::remove(szBroken);
        threeImageAlbum(szFolder);
        const ExportResult stNext = runExport();
        QVERIFY2(stNext.bSucceeded, qPrintable(stNext.szError));
        QCOMPARE(testsupport::countVideoFrames(outputPath()), 312);
    }

    void failuresWithoutAMessageOfTheirOwn()
    {
        const QString szFolder = freshFolder("nomessage");
        // An image watermark that does not decode is raised with its code only.
        threeImageAlbum(szFolder);
        albumState().iWatermarkType = WatermarkImage;
        albumState().szImageWatermarkPath = szFolder + "/missing.png";
        ExportResult stResult = runExport();
        QVERIFY(!stResult.bSucceeded);
        QVERIFY2(stResult.szError.startsWith("(") && stResult.szError.endsWith(")"), qPrintable(stResult.szError));
        QVERIFY(folderEntries(szFolder).isEmpty());

        // A clip whose pictures are all damaged (every MJPEG frame zeroed)
        // fails with the decoder's code: there is no picture to show.
        const QString szClip = szFolder + "/clip.avi";
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=160x90:r=25:d=1", "-c:v", "mjpeg", szClip}));
        QByteArray avi = testmedia::readFile(szClip);
        int iFrames = 0;
        for (int i = avi.indexOf("00dc"); i >= 0 && i + 8 <= avi.size(); i = avi.indexOf("00dc", i + 8)) {
            const quint32 iSize = qFromLittleEndian<quint32>(reinterpret_cast<const uchar *>(avi.constData()) + i + 4);
            if (iSize == 0 || i + 8 + qint64(iSize) > avi.size())
                continue;
            std::fill(avi.begin() + i + 8, avi.begin() + i + 8 + iSize, '\0');
            ++iFrames;
        }
        QVERIFY(iFrames >= 25);
        QVERIFY(testmedia::writeFile(szClip, avi));
        resetAlbum(szFolder, "album", "MP4", 24, 160, 90);
        ImageSource stClip;
        stClip.szFilePath = szClip;
        stClip.iSourceType = SourceVideo;
        stClip.iDuration = 1000000;
        stClip.stTimeBase = AVRational{1, 1000000};
        stClip.stSrcImageSize = QSize(160, 90);
        stClip.stWidthToHeight = AVRational{16, 9};
        appendMaterial(stClip);
        stResult = runExport();
        QVERIFY(!stResult.bSucceeded);
        QCOMPARE(stResult.szError, QString("(%1)").arg(errorText(AVERROR_INVALIDDATA)));
        QVERIFY(stResult.progress.isEmpty());
        QCOMPARE(folderEntries(szFolder), QStringList{"clip.avi"});
    }

    // A clip that is gone when the export runs (deleted after it was
    // added) or that is no video: the message of the step, no file.
    void clipsThatCannotBeRead()
    {
        const QString szFolder = freshFolder("clips");
        const QString szClip = szFolder + "/clip.mp4";
        QVERIFY(makeClip(szClip, "testsrc2=s=160x90:r=25:d=1", "sine=d=1"));
        resetAlbum(szFolder, "album", "MP4", 24, 160, 90);
        QVERIFY(appendClip(szClip));
        QVERIFY(appendImage(m_szA));
        QVERIFY(QFile::remove(szClip));
        ExportResult stResult = runExport();
        QVERIFY(!stResult.bSucceeded);
        QCOMPARE(stResult.szError, QString("Open video material failed(%1)").arg(errorText(AVERROR(EINVAL))));
        QVERIFY(folderEntries(szFolder).isEmpty());

        // Text under a video name.
        QVERIFY(testmedia::writeFile(szClip, QByteArray("not a video\n").repeated(200)));
        stResult = runExport();
        QVERIFY2(stResult.szError.startsWith("Open video material failed("), qPrintable(stResult.szError));
        QCOMPARE(folderEntries(szFolder), QStringList{"clip.mp4"});

        // Sound only: no picture stream.
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "sine=d=1", "-c:a", "aac", szClip}));
        stResult = runExport();
        QCOMPARE(stResult.szError, QString("Can not find video stream on video material(%1)")
                                       .arg(errorText(AVERROR_STREAM_NOT_FOUND)));
        QCOMPARE(folderEntries(szFolder), QStringList{"clip.mp4"});

        // A clip that fails halfway (cancelled) leaves nothing either, and the
        // renderer exports the same album afterwards.
        QVERIFY(makeClip(szClip, "testsrc2=s=160x90:r=25:d=1", "sine=d=1"));
        stResult = runExport(120000, [](MediaEncoder &encoder, int iCount) {
            if (iCount == 10)
                encoder.runningFlag().store(false);
        });
        QVERIFY2(stResult.szError.startsWith("Operation interrupted("), qPrintable(stResult.szError));
        QCOMPARE(folderEntries(szFolder), QStringList{"clip.mp4"});
        stResult = runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        QCOMPARE(testsupport::countVideoFrames(outputPath()), 24 + 48 + 72);
    }

    void musicSetUpMessages()
    {
        const QString szFolder = freshFolder("music");
        threeImageAlbum(szFolder);
        AlbumProjectState &st = albumState();
        st.iBackgroundMusicType = MusicCustom;
        st.szBackgroundMusicPath = szFolder + "/none.mp3";
        ExportResult stResult = runExport();
        QVERIFY2(stResult.szError.startsWith("Open mp3 file failed("), qPrintable(stResult.szError));

        // A file without sound.
        st.szBackgroundMusicPath = m_szC;
        stResult = runExport();
        QCOMPARE(stResult.szError,
                 QString("Can not find audio stream on mp3 file(%1)").arg(errorText(AVERROR_STREAM_NOT_FOUND)));

        // Text under an MP3 name.
        const QString szText = szFolder + "/text.mp3";
        QVERIFY(testmedia::writeFile(szText, QByteArray("this is no music\n").repeated(500)));
        st.szBackgroundMusicPath = szText;
        stResult = runExport();
        QVERIFY2(stResult.szError.startsWith("Open mp3 file failed("), qPrintable(stResult.szError));
        QVERIFY(stResult.progress.isEmpty());
        QCOMPARE(folderEntries(szFolder), QStringList{"text.mp3"});
        QFile::remove(szText);

        // A real MP3 is mixed in: the export succeeds with its sound.
        const QString szMp3 = szFolder + "/tone.mp3";
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "sine=f=440:d=1", "-ac", "1", szMp3}));
        st.szBackgroundMusicPath = szMp3;
        stResult = runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        QCOMPARE(stResult.progress.size(), 313);
        QVERIFY(!testsupport::probeStream(testsupport::ffprobe(outputPath()), "audio").isEmpty());
        QCOMPARE(folderEntries(szFolder), (QStringList{"album.mp4", "tone.mp3"}));
        QFile::remove(outputPath());

        // Formats without sound never open the music, even when the state
        // asks for sound (GIF cannot carry it).
        resetAlbum(szFolder, "album", "GIF", 24, 160, 90);
        QVERIFY(appendImage(m_szA));
        st.bExportAudio = true;
        st.iBackgroundMusicType = MusicCustom;
        st.szBackgroundMusicPath = szFolder + "/none.mp3";
        stResult = runExport();
        QVERIFY2(stResult.bSucceeded, qPrintable(stResult.szError));
        QVERIFY(testsupport::probeStream(testsupport::ffprobe(outputPath()), "audio").isEmpty());
        QCOMPARE(folderEntries(szFolder), (QStringList{"album.gif", "tone.mp3"}));
    }
};

QTEST_MAIN(TestExportFailures)
#include "tst_exportfailures.moc"
