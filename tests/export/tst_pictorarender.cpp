// pictora-render as a script runs it: help, argument errors (exit 2), a
// render, the seed, the export's failure messages (exit 1) and SIGINT /
// SIGTERM ending a render like a cancelled export.

#include "common/ExportTestSupport.h"
#include "common/TestMedia.h"
#include "common/TestSupport.h"

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
                                     "--output", "--stats", "MATERIAL", "SIGINT"})
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
        QTest::newRow("missing material") << QStringList{"--output", "OUT", "A", "NONE"} << "material 1";
        QTest::newRow("unsupported material") << QStringList{"--output", "OUT", "TXT"} << "not a supported";
        QTest::newRow("material twice") << QStringList{"--output", "OUT", "A", "B", "A"} << "given twice";
        QTest::newRow("material that is no picture") << QStringList{"--output", "OUT", "FAKE"} << "material 0";
    }

    void badArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QString szFolder = m_dir.filePath("bad");
        QDir().mkpath(szFolder);
        QVERIFY(testmedia::writeFile(m_dir.filePath("notes.txt"), "text"));
        QVERIFY(testmedia::writeFile(m_dir.filePath("fake.png"), "not a picture"));
        for (QString &szArg : args) {
            szArg.replace("OUT", szFolder + "/out");
            szArg.replace("NONE", m_dir.filePath("none.jpg"));
            szArg.replace("TXT", m_dir.filePath("notes.txt"));
            szArg.replace("FAKE", m_dir.filePath("fake.png"));
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
