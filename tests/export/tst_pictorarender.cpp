// pictora-render as a script runs it: help, argument errors (exit 2), a
// render, the seed, the export's failure messages (exit 1) and SIGINT /
// SIGTERM ending a render like a cancelled export; and as a person runs it
// on a terminal: the redrawn progress line, Ctrl+C, --quiet.

#include "common/ExportTestSupport.h"
#include "common/TestMedia.h"
#include "common/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace exporttest;

namespace {

QString renderProgram()
{
    return testsupport::binDir() + "/pictora-render";
}

struct Run
{
    int iExit = -1;
    QString szOut;
    QString szErr;
};

Run render(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(renderProgram(), args);
    Run st;
    if (!process.waitForStarted(10000) || !process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished(5000);
        return st;
    }
    st.iExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    st.szOut = QString::fromLocal8Bit(process.readAllStandardOutput());
    st.szErr = QString::fromLocal8Bit(process.readAllStandardError());
    return st;
}

// Frames iFirst .. iFirst + iCount - 1 of szFile as grey samples of the
// area stCrop, decoded by the ffmpeg CLI.
QList<QImage> greyFrames(const QString &szFile, int iFirst, int iCount, const QRect &stCrop)
{
    const testsupport::ToolResult st = testsupport::runTool(
        "ffmpeg", {"-hide_banner", "-loglevel", "error", "-i", szFile, "-vf",
                   QString("select='between(n\\,%1\\,%2)',crop=%3:%4:%5:%6")
                       .arg(iFirst).arg(iFirst + iCount - 1)
                       .arg(stCrop.width()).arg(stCrop.height()).arg(stCrop.x()).arg(stCrop.y()),
                   "-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt", "gray", "-"},
        120000);
    QList<QImage> frames;
    const int iBytes = stCrop.width() * stCrop.height();
    for (int i = 0; st.iExitCode == 0 && (i + 1) * iBytes <= st.stdOut.size(); ++i)
        frames.append(QImage(reinterpret_cast<const uchar *>(st.stdOut.constData()) + i * iBytes, stCrop.width(),
                             stCrop.height(), stCrop.width(), QImage::Format_Grayscale8)
                          .copy());
    return frames;
}

QByteArray frameChecksums(const QString &szFile)
{
    const testsupport::ToolResult st = testsupport::runTool(
        "ffmpeg", {"-hide_banner", "-loglevel", "error", "-i", szFile, "-map", "0:v", "-f", "framemd5", "-"});
    return st.iExitCode == 0 ? st.stdOut : QByteArray();
}

// The brightness-weighted centre of the bright pixels of stArea.
QPointF brightCentre(const QImage &stGrey, const QRect &stArea)
{
    double lfSum = 0, lfX = 0, lfY = 0;
    const QRect stIn = stArea.intersected(stGrey.rect());
    for (int y = stIn.top(); y <= stIn.bottom(); ++y) {
        const uchar *pRow = stGrey.constScanLine(y);
        for (int x = stIn.left(); x <= stIn.right(); ++x) {
            const double w = std::max(0, pRow[x] - 100);
            lfSum += w;
            lfX += w * x;
            lfY += w * y;
        }
    }
    return lfSum > 0 ? QPointF(lfX / lfSum, lfY / lfSum) : QPointF(-1, -1);
}

// How much a picture changes from sample to sample: the mean absolute
// difference of neighbours across and down stArea.
double detail(const QImage &stGrey, const QRect &stArea)
{
    double lf = 0;
    int n = 0;
    for (int y = stArea.top(); y < stArea.bottom(); ++y) {
        for (int x = stArea.left(); x < stArea.right(); ++x) {
            const int v = qGray(stGrey.pixel(x, y));
            lf += std::abs(v - qGray(stGrey.pixel(x + 1, y))) + std::abs(v - qGray(stGrey.pixel(x, y + 1)));
            ++n;
        }
    }
    return n ? lf / n : 0;
}

// The program with its arguments as one command for `sh -c`.
QString shellCommand(const QStringList &args)
{
    QStringList quoted;
    for (QString szArg : args)
        quoted << "'" + szArg.replace("'", "'\\''") + "'";
    return "exec " + quoted.join(' ');
}

// pictora-render on a pseudo-terminal made by script(1), which copies what
// the terminal shows (both streams, newlines as CR LF) to its standard output.
void startOnTerminal(QProcess &process, const QStringList &args)
{
    process.start("script", {"-qec", shellCommand(QStringList{renderProgram()} + args), "/dev/null"});
}

} // namespace

class TestPictoraRender : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_szA, m_szB, m_szC;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QFileInfo(renderProgram()).isExecutable());
        m_szA = m_dir.filePath("a.jpg");
        m_szB = m_dir.filePath("b.png");
        m_szC = m_dir.filePath("c.jpg");
        QVERIFY(makePicture(m_szA, "testsrc2=s=320x240"));
        QVERIFY(makePicture(m_szB, "smptebars=s=240x320"));
        QVERIFY(makePicture(m_szC, "color=c=teal:s=320x180"));
    }

    void help()
    {
        const Run st = render({"--help"});
        QCOMPARE(st.iExit, 0);
        for (const char *szOption : {"--format", "--fps", "--video-bitrate", "--audio-bitrate", "--sample-rate",
                                     "--resolution", "--ratio", "--image-duration", "--music", "--keep-audio",
                                     "--watermark-text", "--watermark-image", "--watermark-pos", "--font-family",
                                     "--font-pixel-size", "--color", "--transparency", "--rotate", "--seed",
                                     "--motion", "--framing", "--fit-to-music", "--output", "--stats", "--quiet",
                                     "MATERIAL", "SIGINT"})
            QVERIFY2(st.szOut.contains(szOption), szOption);
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString a = QDir(QDir::tempPath()).filePath("unused");
        QTest::newRow("unknown option") << QStringList{"--bogus", "--output", "OUT", "A"} << "Unknown option 'bogus'";
        QTest::newRow("missing value") << QStringList{"--output", "OUT", "A", "--fps"} << "Missing value after '--fps'";
        QTest::newRow("no output") << QStringList{"A"} << "--output DIR/NAME is missing";
        QTest::newRow("output names no file") << QStringList{"--output", "DIR/", "A"} << "--output";
        QTest::newRow("no materials") << QStringList{"--output", "OUT"} << "no materials given";
        QTest::newRow("format") << QStringList{"--format", "MPEG", "--output", "OUT", "A"} << "--format: 'MPEG'";
        QTest::newRow("fps") << QStringList{"--fps", "23", "--output", "OUT", "A"} << "--fps: '23'";
        QTest::newRow("fps text") << QStringList{"--fps", "fast", "--output", "OUT", "A"} << "--fps: 'fast'";
        QTest::newRow("resolution") << QStringList{"--resolution", "1000P", "--output", "OUT", "A"} << "--resolution";
        QTest::newRow("ratio") << QStringList{"--ratio", "5:4", "--output", "OUT", "A"} << "--ratio: '5:4'";
        QTest::newRow("sample rate") << QStringList{"--sample-rate", "44000", "--output", "OUT", "A"} << "--sample-rate";
        QTest::newRow("audio bit rate") << QStringList{"--audio-bitrate", "100", "--output", "OUT", "A"} << "--audio-bitrate";
        QTest::newRow("video bit rate") << QStringList{"--video-bitrate", "-1", "--output", "OUT", "A"} << "--video-bitrate";
        QTest::newRow("image duration") << QStringList{"--image-duration", "0", "--output", "OUT", "A"} << "--image-duration";
        QTest::newRow("position") << QStringList{"--watermark-pos", "3", "--output", "OUT", "A"} << "--watermark-pos: '3'";
        QTest::newRow("rotate turns") << QStringList{"--rotate", "0:4", "--output", "OUT", "A"} << "--rotate: '0:4'";
        QTest::newRow("rotate form") << QStringList{"--rotate", "1", "--output", "OUT", "A"} << "--rotate: '1'";
        QTest::newRow("rotate index") << QStringList{"--rotate", "3:1", "--output", "OUT", "A", "B"} << "no material 3";
        QTest::newRow("seed") << QStringList{"--seed", "23", "--output", "OUT", "A"} << "--seed";
        QTest::newRow("colour") << QStringList{"--color", "red", "--output", "OUT", "A"} << "--color: 'red'";
        QTest::newRow("transparency") << QStringList{"--transparency", "1.5", "--output", "OUT", "A"} << "--transparency";
        QTest::newRow("keep audio") << QStringList{"--keep-audio", "2", "--output", "OUT", "A"} << "--keep-audio";
        QTest::newRow("two watermarks") << QStringList{"--watermark-text", "x", "--watermark-image", "B", "--output", "OUT", "A"}
                                        << "exclude each other";
        QTest::newRow("missing watermark image") << QStringList{"--watermark-image", "NONE", "--output", "OUT", "A"}
                                                 << "--watermark-image";
        QTest::newRow("missing music") << QStringList{"--music", "NONE", "--output", "OUT", "A"} << "--music";
        QTest::newRow("motion") << QStringList{"--motion", "wild", "--output", "OUT", "A"} << "--motion: 'wild'";
        QTest::newRow("framing") << QStringList{"--framing", "crop", "--output", "OUT", "A"} << "--framing: 'crop'";
        QTest::newRow("fit without music") << QStringList{"--fit-to-music", "--output", "OUT", "A"}
                                           << "--fit-to-music needs --music";
        QTest::newRow("photo duration") << QStringList{"--photo-duration", "0:61", "--output", "OUT", "A"}
                                        << "--photo-duration: '0:61'";
        QTest::newRow("photo duration index") << QStringList{"--photo-duration", "2:5", "--output", "OUT", "A"}
                                              << "no material 2";
        QTest::newRow("album missing") << QStringList{"--album", "NONE", "--output", "OUT"} << "does not exist";
        QTest::newRow("album not an album") << QStringList{"--album", "TXT", "--output", "OUT"} << "damaged";
        QTest::newRow("album and materials") << QStringList{"--album", "ALBUM", "--output", "OUT", "A"}
                                             << "give none beside it";
        QTest::newRow("save album names no file") << QStringList{"--save-album", "OUT/", "A"} << "--save-album";
    }

    void badArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QString szFolder = m_dir.filePath("bad");
        QDir().mkpath(szFolder);
        QVERIFY(testmedia::writeFile(m_dir.filePath("notes.txt"), "text"));
        QVERIFY(testmedia::writeFile(m_dir.filePath("fake.png"), "not a picture"));
        QVERIFY(testmedia::writeFile(m_dir.filePath("one.pictora"),
                                     "{\"format\": \"pictora-album\", \"version\": 1, \"materials\": [{\"path\": \"a.jpg\"}]}"));
        for (QString &szArg : args) {
            szArg.replace("OUT", szFolder + "/out");
            szArg.replace("NONE", m_dir.filePath("none.jpg"));
            szArg.replace("TXT", m_dir.filePath("notes.txt"));
            szArg.replace("FAKE", m_dir.filePath("fake.png"));
            szArg.replace("ALBUM", m_dir.filePath("one.pictora"));
            if (szArg == "A")
                szArg = m_szA;
            if (szArg == "B")
                szArg = m_szB;
        }
        const Run st = render(args);
        QCOMPARE(st.iExit, 2);
        QVERIFY2(st.szErr.contains(message), qPrintable(st.szErr));
        QVERIFY(st.szErr.contains("pictora-render: "));
        QVERIFY(folderEntries(szFolder).isEmpty());
    }

    // --save-album writes what the options describe without rendering; an
    // album read with --album keeps what no option given beside it changes.
    void savesAndReadsAlbumFiles()
    {
        const QString szFirst = m_dir.filePath("saved/first.pictora");
        QVERIFY(QDir().mkpath(m_dir.filePath("saved")));
        Run st = render({"--save-album", szFirst, "--image-duration", "2", "--ratio", "9:16", "--watermark-text", "Ünï",
                         "--rotate", "0:1", "--photo-duration", "1:4.5", "--seed", "3", "--motion", "gentle", "--framing", "blur", m_szA, m_szB});
        QVERIFY2(st.iExit == 0, qPrintable(st.szErr));
        QCOMPARE(st.szOut.trimmed(), szFirst);
        QCOMPARE(folderEntries(m_dir.filePath("saved")), QStringList{"first.pictora"});

        const QString szSecond = m_dir.filePath("saved/second.pictora");
        st = render({"--album", szFirst, "--resolution", "480P", "--framing", "fill", "--save-album", szSecond});
        QVERIFY2(st.iExit == 0, qPrintable(st.szErr));
        const auto rootOf = [](const QString &szPath) {
            QFile file(szPath);
            return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
        };
        const QJsonObject stFirst = rootOf(szFirst), stSecond = rootOf(szSecond);
        const QJsonArray materials = stSecond.value("materials").toArray();
        QCOMPARE(materials.size(), 2);
        QCOMPARE(materials.at(0).toObject().value("turns").toInt(), 1);
        QCOMPARE(materials.at(1).toObject().value("duration").toDouble(), 4.5);
        QCOMPARE(stSecond.value("transitions"), stFirst.value("transitions"));
        QJsonObject stSettings = stSecond.value("settings").toObject();
        QCOMPARE(stSettings.value("resolution").toString(), QStringLiteral("480P"));
        QCOMPARE(stSettings.value("imageDuration").toInt(), 2);
        QCOMPARE(stSettings.value("ratio").toString(), QStringLiteral("9:16"));
        QCOMPARE(stSettings.value("watermarkText").toString(), QStringLiteral("Ünï"));
        QCOMPARE(stSettings.value("motion").toString(), QStringLiteral("gentle"));
        QCOMPARE(stSettings.value("motionSeed").toInt(), 3);
        QCOMPARE(stSettings.value("framing").toString(), QStringLiteral("fill"));
        // Apart from the tier (and the text size that follows it) and the framing, the same.
        QJsonObject stBefore = stFirst.value("settings").toObject();
        for (const char *szKey : {"resolution", "watermarkFont", "framing"}) {
            stSettings.remove(szKey);
            stBefore.remove(szKey);
        }
        QCOMPARE(stSettings, stBefore);
    }

    // Materials go through the editor's import: files that cannot be added
    // or are given twice are left out with the editor's count message, and
    // the render goes on; only an album left empty fails.
    void filteredMaterials_data()
    {
        QTest::addColumn<QStringList>("materials");
        QTest::addColumn<int>("exit");
        QTest::addColumn<int>("filtered");
        QTest::addColumn<int>("frames");
        // 0.5 s images at 24 fps: 12 frames each, 48 per transition.
        QTest::newRow("missing file") << QStringList{"A", "NONE"} << 0 << 1 << 12;
        QTest::newRow("given twice") << QStringList{"A", "B", "A"} << 0 << 1 << 12 + 48 + 12;
        QTest::newRow("text and fake picture among good ones")
            << QStringList{"TXT", "A", "FAKE", "B"} << 0 << 2 << 12 + 48 + 12;
        QTest::newRow("unsupported only") << QStringList{"TXT"} << 1 << 1 << -1;
        QTest::newRow("no picture at all") << QStringList{"FAKE", "NONE"} << 1 << 2 << -1;
    }

    void filteredMaterials()
    {
        QFETCH(QStringList, materials);
        QFETCH(int, exit);
        QFETCH(int, filtered);
        QFETCH(int, frames);
        const QString szFolder = m_dir.filePath(QStringLiteral("filtered%1").arg(QTest::currentDataTag()).remove(' '));
        QDir().mkpath(szFolder);
        QVERIFY(testmedia::writeFile(m_dir.filePath("notes.txt"), "text"));
        QVERIFY(testmedia::writeFile(m_dir.filePath("fake.png"), "not a picture"));
        QStringList args{"--resolution", "480P", "--image-duration", "0.5", "--output", szFolder + "/f"};
        for (const QString &szMaterial : materials) {
            if (szMaterial == "A")
                args << m_szA;
            else if (szMaterial == "B")
                args << m_szB;
            else if (szMaterial == "NONE")
                args << m_dir.filePath("none.jpg");
            else if (szMaterial == "TXT")
                args << m_dir.filePath("notes.txt");
            else
                args << m_dir.filePath("fake.png");
        }
        const Run st = render(args);
        QCOMPARE(st.iExit, exit);
        QVERIFY2(st.szErr.contains(QStringLiteral("%1 files that cannot be added or already exist in the list have "
                                                  "been filtered for you").arg(filtered)),
                 qPrintable(st.szErr));
        if (exit != 0) {
            QVERIFY2(st.szErr.contains("could be added"), qPrintable(st.szErr));
            QVERIFY(folderEntries(szFolder).isEmpty());
            return;
        }
        QCOMPARE(testsupport::countVideoFrames(szFolder + "/f.mp4"), frames);
    }

    // A 4K file is reported on stderr as the editor warns about it, and rendered.
    void warnsAboutFourK()
    {
        const QString szBig = m_dir.filePath("big.jpg");
        QVERIFY(makePicture(szBig, "color=c=navy:s=3840x2160"));
        const QString szFolder = m_dir.filePath("fourk");
        QDir().mkpath(szFolder);
        const Run st = render({"--resolution", "480P", "--image-duration", "0.5", "--rotate", "1:1", "--output",
                               szFolder + "/k", m_szA, szBig});
        QVERIFY2(st.iExit == 0, qPrintable(st.szErr));
        QVERIFY2(st.szErr.contains("larger than 4K"), qPrintable(st.szErr));
        QVERIFY(!st.szErr.contains("filtered for you"));
        QCOMPARE(testsupport::countVideoFrames(szFolder + "/k.mp4"), 12 + 48 + 12);
        // The rotation names the material by its place on the command line:
        // the big picture is turned upright, navy fills the height of its last frame.
        const QImage stLast = decodeFrame(szFolder + "/k.mp4", 12 + 48 + 11, QSize(852, 480));
        const QRect stNavy = boundingBox(stLast, [](QRgb c) { return qBlue(c) > 90 && qRed(c) < 40 && qGreen(c) < 40; });
        QVERIFY(!stNavy.isNull());
        QVERIFY2(stNavy.height() > stNavy.width(), "the 16:9 picture should stand upright after a quarter turn");
    }

    // Without a display or a platform set, it still renders the text watermark.
    void renders()
    {
        const QString szFolder = m_dir.filePath("render");
        QDir().mkpath(szFolder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        const Run st = render({"--format", "mkv", "--fps", "25", "--resolution", "480P", "--ratio", "4:3",
                               "--image-duration", "1", "--rotate", "1:1", "--watermark-text", "Pictora",
                               "--watermark-pos", "256", "--color", "#FF0000", "--transparency", "0.25", "--stats",
                               "--seed", "4", "--output", szFolder + "/trip", m_szA, m_szB},
                              env);
        QVERIFY2(st.iExit == 0, qPrintable(st.szErr));
        const QString szFile = szFolder + "/trip.mkv";
        QCOMPARE(st.szOut.trimmed(), szFile);
        QVERIFY(st.szErr.contains("progress 100%"));
        QVERIFY(st.szErr.contains("time total"));
        QVERIFY(st.szErr.contains("time video encoder"));
        QCOMPARE(folderEntries(szFolder), QStringList{"trip.mkv"});
        QCOMPARE(testsupport::countVideoFrames(szFile), 25 + 50 + 25);
        const QJsonObject stProbe = testsupport::ffprobe(szFile);
        const QJsonObject stVideo = testsupport::probeStream(stProbe, "video");
        QCOMPARE(stVideo.value("width").toInt(), 640);
        QCOMPARE(stVideo.value("height").toInt(), 480);
        QCOMPARE(testsupport::probeStream(stProbe, "audio").value("codec_name").toString(), QString("aac"));
        // The red mark sits bottom right, on the last picture too.
        const QImage stLast = decodeFrame(szFile, 99, QSize(640, 480));
        const QRect stRed = boundingBox(stLast, [](QRgb c) { return qRed(c) > 150 && qGreen(c) < 110 && qBlue(c) < 110; });
        QVERIFY(!stRed.isNull());
        QVERIFY(stRed.right() > 560 && stRed.bottom() > 420);
    }

    // Names as people write them: letters of any script, spaces, quotes of
    // both kinds and a colon, in the folders, the materials and the output.
    void awkwardNames()
    {
        const QString szFolder = m_dir.filePath(QString::fromUtf8("相册 'a' \"b\" c:d"));
        QVERIFY(QDir().mkpath(szFolder));
        const QString szFirst = szFolder + QString::fromUtf8("/照片 1:x.jpg");
        const QString szSecond = szFolder + QString::fromUtf8("/it's \"2\".png");
        QVERIFY(QFile::copy(m_szA, szFirst));
        QVERIFY(QFile::copy(m_szB, szSecond));
        const QString szName = QString::fromUtf8("我的 \"相册\":1");
        const Run st = render({"--resolution", "480P", "--image-duration", "0.5", "--output", szFolder + "/" + szName,
                               szFirst, szSecond});
        QVERIFY2(st.iExit == 0, qPrintable(st.szErr));
        const QString szFile = szFolder + "/" + szName + ".mp4";
        QCOMPARE(st.szOut.trimmed(), szFile);
        QCOMPARE(testsupport::countVideoFrames(szFile), 12 + 48 + 12);
        QCOMPARE(folderEntries(szFolder), (QStringList{QString::fromUtf8("it's \"2\".png"), szName + ".mp4",
                                                       QString::fromUtf8("照片 1:x.jpg")}));
    }

    // Names that FFmpeg would read as patterns (printf numbers of a picture
    // sequence, globs) or a shell as syntax are names like any other: for
    // the materials, the music, the watermark picture and the output (a GIF
    // named like a picture sequence is still one file).
    void patternNames()
    {
        const QString szIn = m_dir.filePath("pattern %d [1] $(x)") + "/";
        QVERIFY(QDir().mkpath(szIn));
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "sine=f=440:d=4", szIn + "tone.mp3"}));
        QVERIFY(QFile::rename(szIn + "tone.mp3", szIn + "m%03d.mp3"));
        const QStringList names{"a%d.jpg", "IMG_%03d.png", "x%%y*?[1]$(x).jpg", "w%d[1].jpg"};
        for (const QString &szName : names)
            QVERIFY(QFile::copy(szName.endsWith(".png") ? m_szB : m_szA, szIn + szName));
        const Run st = render({"--resolution", "480P", "--image-duration", "0.5", "--music", szIn + "m%03d.mp3",
                               "--watermark-image", szIn + names.at(3), "--output", szIn + "out%d*?[1]$(x)",
                               szIn + names.at(0), szIn + names.at(1), szIn + names.at(2)});
        QVERIFY2(st.iExit == 0 && !st.szErr.contains("filtered for you"), qPrintable(st.szErr));
        const QString szFile = szIn + "out%d*?[1]$(x).mp4";
        QCOMPARE(st.szOut.trimmed(), szFile);
        QCOMPARE(testsupport::countVideoFrames(szFile), 12 + 48 + 12 + 48 + 12);
        QVERIFY(!testsupport::probeStream(testsupport::ffprobe(szFile), "audio").isEmpty());
        const Run stGif = render({"--format", "gif", "--resolution", "480P", "--image-duration", "0.05", "--output",
                                  szIn + "g%d", szIn + names.at(0)});
        QVERIFY2(stGif.iExit == 0, qPrintable(stGif.szErr));
        QStringList expected = names + QStringList{"m%03d.mp3", "g%d.gif", "out%d*?[1]$(x).mp4"};
        expected.sort(Qt::CaseInsensitive);
        QCOMPARE(folderEntries(szIn), expected);
    }

    // The same seed gives the same transitions; another seed other ones.
    void seedFixesTheTransitions()
    {
        QList<QByteArray> transitions;
        for (const QString &szSeed : QStringList{"0", "0", "9"}) {
            const QString szFolder = m_dir.filePath("seed" + QString::number(transitions.size()));
            QDir().mkpath(szFolder);
            const Run st = render({"--resolution", "480P", "--image-duration", "0.05", "--seed", szSeed, "--output",
                                   szFolder + "/s", m_szA, m_szC});
            QVERIFY2(st.iExit == 0, qPrintable(st.szErr));
            // Raw decoded pictures of the transition (frames 1 to 48).
            const testsupport::ToolResult stDecoded = testsupport::runTool(
                "ffmpeg", {"-hide_banner", "-loglevel", "error", "-i", szFolder + "/s.mp4", "-vf",
                           "select='between(n\\,1\\,48)',scale=64:36", "-fps_mode", "passthrough", "-f", "rawvideo",
                           "-pix_fmt", "gray", "-"});
            QVERIFY(stDecoded.bFinished && stDecoded.iExitCode == 0);
            QCOMPARE(stDecoded.stdOut.size(), 48 * 64 * 36);
            transitions.append(stDecoded.stdOut);
        }
        QCOMPARE(transitions.at(0), transitions.at(1));
        QVERIFY(transitions.at(0) != transitions.at(2));
    }

    // A 12-megapixel photo with two bright discs, moving at 1080P: every
    // frame differs, the discs draw apart steadily (the zoom), and the way a
    // disc moves changes by well under half a pixel from frame to frame (no
    // shiver). The same seed gives the same film; --motion none is the still one.
    void gentleMotionGlides()
    {
        const QString szPhoto = m_dir.filePath("discs.jpg");
        QImage stPhoto(4000, 3000, QImage::Format_RGB32);
        stPhoto.fill(QColor(64, 64, 64));
        {
            QPainter painter(&stPhoto);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::white);
            painter.drawEllipse(QPointF(1800, 1350), 50, 50);
            painter.drawEllipse(QPointF(2200, 1650), 50, 50);
        }
        QVERIFY(stPhoto.save(szPhoto, "JPG", 95));
        const QString szFolder = m_dir.filePath("motion");
        QDir().mkpath(szFolder);
        const auto renderAs = [&](const QString &szName, const QStringList &options) {
            const Run st = render(QStringList{"--resolution", "1080P", "--fps", "24", "--image-duration", "2"} + options
                                  + QStringList{"--output", szFolder + "/" + szName, szPhoto});
            return st.iExit == 0 ? frameChecksums(szFolder + "/" + szName + ".mp4") : QByteArray();
        };
        const QByteArray moving = renderAs("moving", {"--motion", "gentle", "--seed", "5"});
        QVERIFY(!moving.isEmpty());
        QCOMPARE(renderAs("again", {"--motion", "gentle", "--seed", "5"}), moving);
        QVERIFY(renderAs("other", {"--motion", "gentle", "--seed", "6"}) != moving);
        QCOMPARE(renderAs("none", {"--motion", "none", "--framing", "fit"}), renderAs("plain", {}));

        QList<QByteArray> sums;
        for (const QByteArray &line : moving.split('\n')) {
            if (!line.startsWith('#') && line.contains(','))
                sums.append(line);
        }
        QCOMPARE(sums.size(), 48);
        for (int i = 1; i < sums.size(); ++i)
            QVERIFY2(sums.at(i).split(',').last() != sums.at(i - 1).split(',').last(), qPrintable(QString::number(i)));

        // The discs sit near (888, 486) and (1032, 594) of the fitted frame.
        const QRect stCrop(480, 270, 960, 540);
        const QList<QImage> frames = greyFrames(szFolder + "/moving.mp4", 0, 48, stCrop);
        QCOMPARE(frames.size(), 48);
        QPointF a(408, 216), b(552, 324);
        QVector<QPointF> pathA;
        QVector<double> distances;
        for (const QImage &stFrame : frames) {
            a = brightCentre(stFrame, QRect(a.toPoint() - QPoint(40, 40), QSize(81, 81)));
            b = brightCentre(stFrame, QRect(b.toPoint() - QPoint(40, 40), QSize(81, 81)));
            QVERIFY(a.x() >= 0 && b.x() >= 0);
            pathA.append(a);
            distances.append(QLineF(a, b).length());
        }
        double lfWorstChange = 0, lfSmallestGrowth = 1e9;
        for (int i = 1; i < distances.size(); ++i)
            lfSmallestGrowth = std::min(lfSmallestGrowth, distances.at(i) - distances.at(i - 1));
        for (int i = 2; i < pathA.size(); ++i) {
            const QPointF stChange = (pathA.at(i) - pathA.at(i - 1)) - (pathA.at(i - 1) - pathA.at(i - 2));
            lfWorstChange = std::max(lfWorstChange, std::hypot(stChange.x(), stChange.y()));
        }
        qInfo("disc distance %.2f -> %.2f px, smallest growth a frame %.3f px; disc moved %.2f px in all, its "
              "step changed by at most %.3f px",
              distances.first(), distances.last(), lfSmallestGrowth, QLineF(pathA.first(), pathA.last()).length(),
              lfWorstChange);
        QVERIFY(lfSmallestGrowth > 0);                 // photo 0 zooms in, steadily
        QVERIFY(distances.last() > distances.first() * 1.09);
        QVERIFY2(lfWorstChange < 0.5, qPrintable(QString::number(lfWorstChange)));
    }

    // A 4:3 photo and a 9:16 clip in a 16:9 frame: "fill" leaves no dark
    // column; "blur" puts a soft, not black, backdrop where the bars were.
    void framingWithoutBars()
    {
        const QString szPhoto = m_dir.filePath("detail.jpg");
        const QString szClip = m_dir.filePath("tall.mp4");
        QVERIFY(makePicture(szPhoto, "gradients=s=640x480:c0=orange:c1=navy,noise=alls=50:allf=u"));
        QVERIFY(makeClip(szClip, "gradients=s=270x480:c0=orange:c1=navy:r=25:d=2,noise=alls=50:allf=t+u"));
        for (const QString &szFraming : {QStringLiteral("fill"), QStringLiteral("blur")}) {
            const QString szOut = m_dir.filePath("framing-" + szFraming);
            const Run st = render({"--resolution", "480P", "--fps", "24", "--image-duration", "1", "--framing",
                                   szFraming, "--output", szOut, szPhoto, szClip});
            QVERIFY2(st.iExit == 0, qPrintable(st.szErr));
            const QRect stFrame(0, 0, 852, 480);
            // Frame 12: the photo; frame 96: one second into the clip.
            for (int iFrame : {12, 96}) {
                const QImage stGrey = greyFrames(szOut + ".mp4", iFrame, 1, stFrame).value(0);
                QVERIFY(!stGrey.isNull());
                const int iPicture = iFrame == 12 ? 640 : 270;   // the fitted picture's width
                const QRect stSide(4, 4, (852 - iPicture) / 2 - 12, 472);
                const QRect stMiddle(426 - 60, 4, 120, 472);
                int iDarkColumns = 0;
                for (int x = 0; x < 852; ++x) {
                    int iMax = 0;
                    for (int y = 0; y < 480; ++y)
                        iMax = std::max(iMax, qGray(stGrey.pixel(x, y)));
                    iDarkColumns += iMax < 40;
                }
                const double lfSide = detail(stGrey, stSide);
                const double lfMiddle = detail(stGrey, stMiddle);
                qInfo("%s frame %d: %d dark columns, detail %.2f at the side, %.2f in the picture",
                      qPrintable(szFraming), iFrame, iDarkColumns, lfSide, lfMiddle);
                QCOMPARE(iDarkColumns, 0);
                if (szFraming == "fill")
                    QVERIFY(lfSide > lfMiddle / 2);   // the picture itself reaches the edges
                else
                    QVERIFY(lfSide < lfMiddle / 5);   // blurred, not the picture
            }
        }
    }

    // With --fit-to-music three photos and a 19 s song make 19 s: 5 s each
    // and two 2 s transitions.
    void fitToMusic()
    {
        const QString szMusic = m_dir.filePath("song.mp3");
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "sine=f=440:d=19", "-c:a", "libmp3lame", szMusic}));
        const QString szOut = m_dir.filePath("fitted");
        const Run st = render({"--resolution", "480P", "--fps", "24", "--image-duration", "1", "--music", szMusic,
                               "--fit-to-music", "--output", szOut, m_szA, m_szB, m_szC});
        QVERIFY2(st.iExit == 0, qPrintable(st.szErr));
        QCOMPARE(testsupport::countVideoFrames(szOut + ".mp4"), 19 * 24);
    }

    void exportFailureExitsOne()
    {
        // An output folder that does not exist: the export's own message, status 1.
        const Run st = render({"--resolution", "480P", "--image-duration", "0.05", "--output",
                               m_dir.filePath("missing/out"), m_szA});
        QCOMPARE(st.iExit, 1);
        QVERIFY2(st.szErr.contains(QRegularExpression("pictora-render: Create output file failed\\(.+\\)")),
                 qPrintable(st.szErr));
        QVERIFY(!QFileInfo::exists(m_dir.filePath("missing")));
    }

    // One line redrawn in place: percentage, frames, time spent and left.
    // It ends with a newline when the export ends, successful or cancelled
    // with Ctrl+C typed on the terminal; no plain progress lines there.
    void terminalProgress()
    {
        const QRegularExpression stLine("\\r *(\\d+)%  frame (\\d+)/(\\d+)  elapsed \\d+:\\d\\d  left (\\d+:\\d\\d|-:--) *");
        const QString szFolder = m_dir.filePath("terminal");
        QDir().mkpath(szFolder);

        QProcess done;
        startOnTerminal(done, {"--resolution", "480P", "--image-duration", "1", "--output", szFolder + "/short",
                               m_szA, m_szB});
        QVERIFY(done.waitForFinished(300000));
        const QString szShown = QString::fromLocal8Bit(done.readAllStandardOutput());
        QCOMPARE(done.exitCode(), 0);
        QVERIFY2(!szShown.contains("progress "), qPrintable(szShown));
        QRegularExpressionMatch stLast;
        for (auto it = stLine.globalMatch(szShown); it.hasNext();)
            stLast = it.next();
        QVERIFY2(stLast.hasMatch(), qPrintable(szShown));
        QCOMPARE(stLast.captured(1), QString("100"));
        QCOMPARE(stLast.captured(2), QString("96"));
        QCOMPARE(stLast.captured(3), QString("96"));
        // (A sanitizer's report at exit may follow.)
        QVERIFY2(szShown.mid(stLast.capturedEnd()).startsWith("\r\n" + szFolder + "/short.mp4\r\n"), qPrintable(szShown));

        QProcess cancelled;
        startOnTerminal(cancelled, {"--resolution", "480P", "--image-duration", "60", "--output",
                                    szFolder + "/long", m_szA, m_szB, m_szC});
        QString szSoFar;
        // Two redraws show the line is under way; then Ctrl+C on the terminal.
        while (szSoFar.count(stLine) < 2) {
            QVERIFY2(cancelled.waitForReadyRead(120000), qPrintable(szSoFar));
            szSoFar += QString::fromLocal8Bit(cancelled.readAllStandardOutput());
        }
        cancelled.write("\x03");
        QVERIFY(cancelled.waitForFinished(60000));
        szSoFar += QString::fromLocal8Bit(cancelled.readAllStandardOutput());
        QCOMPARE(cancelled.exitCode(), 128 + SIGINT);
        QVERIFY2(szSoFar.contains(QRegularExpression(" *\\r\\npictora-render: Operation interrupted\\(.+\\)\\r\\n")),
                 qPrintable(szSoFar));
        QCOMPARE(folderEntries(szFolder), QStringList{"short.mp4"});

        // --quiet: no progress at all, the path on standard output.
        const Run st = render({"--quiet", "--resolution", "480P", "--image-duration", "0.05", "--output",
                               szFolder + "/quiet", m_szA});
        QCOMPARE(st.iExit, 0);
        QVERIFY2(!st.szErr.contains('%') && !st.szErr.contains("progress"), qPrintable(st.szErr));
        QCOMPARE(st.szOut.trimmed(), szFolder + "/quiet.mp4");
    }

    void stopSignals_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }

    // A long render stopped by a signal ends like a cancelled export.
    void stopSignals()
    {
        QFETCH(int, signalNumber);
        const QString szFolder = m_dir.filePath(QString("signal%1").arg(signalNumber));
        QDir().mkpath(szFolder);
        const QString szTarget = szFolder + "/long.mp4";
        QVERIFY(testmedia::writeFile(szTarget, "an earlier export"));

        QProcess process;
        process.setReadChannel(QProcess::StandardError);   // the progress lines
        process.start(renderProgram(), {"--resolution", "480P", "--image-duration", "60", "--output",
                                        szFolder + "/long", m_szA, m_szB, m_szC});
        QVERIFY(process.waitForStarted(10000));
        // Wait until the export is well under way, then stop it.
        QString szErr;
        while (!szErr.contains("progress 10%")) {
            QVERIFY2(process.waitForReadyRead(120000), qPrintable(szErr));
            szErr += QString::fromLocal8Bit(process.readAllStandardError());
            QVERIFY(process.state() == QProcess::Running);
        }
        QVERIFY(::kill(static_cast<pid_t>(process.processId()), signalNumber) == 0);
        QVERIFY(process.waitForFinished(60000));
        szErr += QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + signalNumber);
        QVERIFY2(szErr.contains(QRegularExpression("pictora-render: Operation interrupted\\(.+\\)")), qPrintable(szErr));
        QVERIFY(!szErr.contains("progress 100%"));
        QCOMPARE(testmedia::readFile(szTarget), QByteArray("an earlier export"));
        QCOMPARE(folderEntries(szFolder), QStringList{"long.mp4"});
    }
};

QTEST_MAIN(TestPictoraRender)
#include "tst_pictorarender.moc"
