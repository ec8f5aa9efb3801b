// The editor on a real X server (Xvfb): the real program driven as a user
// drives it, opened with files as the desktop opens it, a reorder by mouse
// drag, and what the strip looks like. Set PICTORA_SHOT_DIR to keep the
// screenshots; its readme-editor.png is the README's docs/screenshots/editor.png.
#include "EditorTestSupport.h"
#include "SettingsTestSupport.h"

#include "album/AlbumProjectState.h"
#include "app/AppStartUp.h"
#include "app/CQSrvProduct.h"
#include "common/TestHttpServer.h"
#include "common/TestMedia.h"
#include "common/TestSupport.h"
#include "editor/ImageListItemModel.h"
#include "editor/ImageOpenTipDialog.h"
#include "player/CQVideoPlay.h"
#include "player/CQVideoShow.h"
#include "ui/CBLLUIShadowMgr.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQUIPushButton.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QProcess>
#include <QRadioButton>
#include <QScrollArea>
#include <QRegion>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWindow>

#include <csignal>
#include <functional>
#include <memory>

using namespace editortest;

namespace {

using testsupport::grabScreen;

// How long to wait for what the real program shows: a loaded two-core
// machine has taken tens of seconds; only a failure waits this long.
const int kSlowWaitMs = 60000;


QString xdotool(const QStringList &args)
{
    const testsupport::ToolResult st = testsupport::runTool(QStringLiteral("xdotool"), args, kSlowWaitMs);
    return QString::fromUtf8(st.stdOut).trimmed();
}

// Window ids with this exact title, in stacking order; only those of the
// process iPid when it is given (another program may share the display).
QStringList windowsNamed(const QString &szTitle, qint64 iPid = 0)
{
    QStringList args{"search", "--all", "--onlyvisible"};
    if (iPid > 0)
        args << "--pid" << QString::number(iPid);
    return xdotool(args << "--name" << "^" + szTitle + "$").split('\n', Qt::SkipEmptyParts);
}

QRect windowGeometry(const QString &szWindow)
{
    QRect st;
    for (const QString &szLine : xdotool({"getwindowgeometry", "--shell", szWindow}).split('\n')) {
        const QStringList kv = szLine.split('=');
        if (kv.size() != 2)
            continue;
        const int v = kv.at(1).toInt();
        if (kv.at(0) == "X") st.moveLeft(v);
        if (kv.at(0) == "Y") st.moveTop(v);
        if (kv.at(0) == "WIDTH") st.setWidth(v);
        if (kv.at(0) == "HEIGHT") st.setHeight(v);
    }
    return st;
}

void clickAt(QPoint stGlobal)
{
    xdotool({"mousemove", "--sync", QString::number(stGlobal.x()), QString::number(stGlobal.y())});
    xdotool({"click", "1"});
}

// Pixels in stArea close to stColour.
int pixelsNear(const QImage &image, const QRect &stArea, QColor stColour, int iTolerance = 40)
{
    return testsupport::countPixels(image, stArea, [&](QRgb c) {
        return qAbs(qRed(c) - stColour.red()) + qAbs(qGreen(c) - stColour.green()) + qAbs(qBlue(c) - stColour.blue())
               <= iTolerance;
    });
}

// Where the player's picture and its play button are in a main window of
// this size, measured on an editor laid out in this process.
struct EditorSpots
{
    QRect stWholeDisplay;
    QRect stDisplay;
    QPoint stPlayButton;
    QPoint stExportButton;
    QPoint stBlurredBackdrop;     // the indicator of the framing choice
    QRect stSettings;
    QRect stLeftBar;              // where a 4:3 picture in the 16:9 frame leaves its left bar
};

EditorSpots editorSpots(const QSize &stWindow)
{
    CQSrvProduct services;
    CFramelessWindow window;
    Vistalo editor(&window);
    window.addContentWidget(&editor);
    window.resize(stWindow);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return {};
    QWidget *pShow = editor.form()->divPlayer->findChild<CQVideoShow *>();
    auto *pButton = editor.form()->divPlayer->findChild<QPushButton *>(QStringLiteral("PlayOrPauseBtn"));
    if (!pShow || !pButton)
        return {};
    // The middle of the picture area: the photo letterboxed into it covers that.
    const QRect stShow(pShow->mapTo(&window, QPoint(0, 0)), pShow->size());
    QRadioButton *pBlur = editor.form()->radioFramingBlur;
    const QSize stFrame = QSize(16, 9).scaled(stShow.size(), Qt::KeepAspectRatio);
    const QRect stPicture(stShow.center() - QPoint(stFrame.width() / 2, stFrame.height() / 2), stFrame);
    const QRect stLeftBar(stPicture.left() + 4, stPicture.top() + stPicture.height() / 4, stPicture.width() / 8 - 8,
                          stPicture.height() / 2);
    return {stShow, stShow.adjusted(stShow.width() / 3, stShow.height() / 4, -stShow.width() / 3, -stShow.height() / 4),
            pButton->mapTo(&window, pButton->rect().center()),
            editor.form()->btnExport->mapTo(&window, editor.form()->btnExport->rect().center()),
            pBlur->mapTo(&window, QPoint(8, pBlur->height() / 2)),
            QRect(editor.form()->divSetting->mapTo(&window, QPoint(0, 0)), editor.form()->divSetting->size()),
            stLeftBar};
}

// A colour seen through the dimming layer.
QColor dimmed(QColor stColour)
{
    const QColor stLayer = CQWidgetShadow::dimmingColour();
    auto mix = [&](int iBelow, int iLayer) { return qRound(iBelow + (iLayer - iBelow) * stLayer.alphaF()); };
    return QColor(mix(stColour.red(), stLayer.red()), mix(stColour.green(), stLayer.green()),
                  mix(stColour.blue(), stLayer.blue()));
}

// Starts the real program (szProgram, a copy under a name of its own) with
// its own data folders under szHome; returns its main window's id once it
// shows at its start size.
QString startProgram(QProcess &program, const QString &szProgram, const QString &szHome, const QStringList &args,
                     const QString &szLanguage = QString())
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!szLanguage.isEmpty())
        env.insert(QStringLiteral("LANGUAGE"), szLanguage);
    env.insert(QStringLiteral("XDG_DATA_HOME"), szHome + QStringLiteral("/xdg"));
    env.insert(QStringLiteral("HOME"), szHome);
    // Its single-instance socket in a folder of its own: a Pictora that
    // another test run has open on this machine must not answer for it.
    QDir().mkpath(szHome + QStringLiteral("/tmp"));
    env.insert(QStringLiteral("TMPDIR"), szHome + QStringLiteral("/tmp"));
    env.insert(QStringLiteral("QT_FONT_DPI"), QStringLiteral("96"));   // one logical pixel, one screen pixel
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(szProgram, args);
    if (!program.waitForStarted())
        return QString();
    QStringList windows;
    const QString szTitle = szLanguage.startsWith(QLatin1String("zh")) ? QStringLiteral("Pictora 电子相册")
                                                                      : QStringLiteral("Pictora");
    if (!QTest::qWaitFor([&] { return (windows = windowsNamed(szTitle, program.processId())).size() == 1; }, 2 * kSlowWaitMs)
        || !QTest::qWaitFor([&] { return windowGeometry(windows.first()).size() == QSize(902, 616); }, kSlowWaitMs))
        return QString();
    return windows.first();
}

// The close button asks first; "ok" ends the program. True when it ended cleanly.
bool quitProgram(QProcess &program, const QRect &stWindow, const QString &szTitle = QStringLiteral("Tips"))
{
    clickAt(stWindow.topLeft() + QPoint(stWindow.width() - 26, 21));
    QStringList windows;
    if (!QTest::qWaitFor([&] { return (windows = windowsNamed(szTitle, program.processId())).size() == 1; }, kSlowWaitMs)
        || program.state() != QProcess::Running)
        return false;
    grabScreen(QStringLiteral("program-quit"));
    xdotool({"windowfocus", "--sync", windows.first()});
    xdotool({"key", "Return"});
    return program.waitForFinished(kSlowWaitMs) && program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
}

// The middle of the pixels in stArea that fnMatch accepts (a thumbnail found by its colour).
QPoint middleOf(const QImage &image, const QRect &stArea, const std::function<bool(QRgb)> &fnMatch)
{
    QRect stFound;
    for (int y = stArea.top(); y <= stArea.bottom(); ++y) {
        for (int x = stArea.left(); x <= stArea.right(); ++x) {
            if (fnMatch(image.pixel(x, y)))
                stFound |= QRect(x, y, 1, 1);
        }
    }
    return stFound.center();
}

// The accent-coloured pixels of a duration's badge (and of a selection border).
int accentPixels(const QImage &image, const QRect &stArea)
{
    return testsupport::countPixels(image, stArea, [](QRgb c) {
        return qBlue(c) > 180 && qRed(c) > 60 && qRed(c) < 150 && qGreen(c) < 110;
    });
}

} // namespace

class TestX11Editor : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &szName) const { return QDir::cleanPath(m_dir.filePath(szName)); }
    static QString programName() { return QStringLiteral("PictoraX11Test%1").arg(QCoreApplication::applicationPid()); }

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY(m_dir.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("xdg")));
        registerFontSubstitutions();
        QVERIFY(QDir().mkpath(path("photos")));
        QVERIFY(writePicture(path("photos/red.jpg"), 120, 80, QColor(230, 20, 20)));
        QVERIFY(writePicture(path("photos/green.jpg"), 120, 80, QColor(20, 200, 20)));
        QVERIFY(writePicture(path("photos/blue.jpg"), 120, 80, QColor(20, 20, 230)));
        // The program under a name of its own: its single-instance server
        // is named after it, and other runs of Pictora may share the machine.
        QVERIFY(QDir().mkpath(path("bin")));
        QVERIFY(QFile::copy(testsupport::binDir() + "/Pictora", path("bin/" + programName())));
        QVERIFY(QFile::copy(testsupport::binDir() + "/pictora-crashreport", path("bin/pictora-crashreport")));
        // Its translations are found beside it.
        QVERIFY(QFile::link(testsupport::binDir() + "/translations", path("bin/translations")));
    }

    void endToEndInTheRealProgram_data()
    {
        QTest::addColumn<bool>("crash");
        QTest::newRow("used and closed") << false;
        QTest::newRow("crashed") << true;
    }

    // The real program: add three photos through its file dialog, see
    // them in the strip, play them, dim them under a dialog, close it
    // through the quit question. Or, once they are in, SIGSEGV: it hands
    // the report over and ends at once; the reporter sends it (the user
    // agreed) and shows the answer in a window of its own.
    void endToEndInTheRealProgram()
    {
        QFETCH(bool, crash);
        const QString szHome = path(crash ? "home-crash" : "home-program");
        testsupport::TestHttpServer server(true);
        QVERIFY(QDir().mkpath(szHome + "/xdg/Pictora/" + programName()));
        QVERIFY(testmedia::writeFile(szHome + "/xdg/Pictora/" + programName() + "/config.ini",
                                     QStringLiteral("crashReport=1\nlogServer=%1\nlogServerCaFile=%2\n")
                                         .arg(server.baseUrl(), testsupport::TestHttpServer::certificatePath())
                                         .toUtf8()));
        QProcess program;
        const QString szMain = startProgram(program, path("bin/" + programName()), szHome, {});
        QVERIFY(!szMain.isEmpty());
        const qint64 iPid = program.processId();
        const QRect stWindow = windowGeometry(szMain);
        QStringList windows;

        // "click to add files", left of the middle of the material area.
        clickAt(stWindow.topLeft() + QPoint(stWindow.width() / 2 - 112, stWindow.height() - 123));
        QTRY_VERIFY_WITH_TIMEOUT((windows = windowsNamed(QStringLiteral("Pictora"), iPid)).size() == 2, kSlowWaitMs);
        windows.removeAll(szMain);
        xdotool({"windowfocus", "--sync", windows.first()});
        // Qt's own file dialog: into the folder, then the three names.
        xdotool({"type", "--delay", "5", path("photos") + "/"});
        xdotool({"key", "Return"});
        QTest::qWait(300);
        xdotool({"type", "--delay", "5", "\"red.jpg\" \"green.jpg\" \"blue.jpg\""});
        xdotool({"key", "Return"});
        QTRY_VERIFY_WITH_TIMEOUT(windowsNamed(QStringLiteral("Pictora"), iPid).size() == 1, kSlowWaitMs);

        if (crash) {
            QElapsedTimer ending;
            ending.start();
            ::kill(pid_t(iPid), SIGSEGV);
            QVERIFY(program.waitForFinished(kSlowWaitMs));
            qInfo("the crashed program ended %lld ms after the signal", ending.elapsed());
            QCOMPARE(program.exitStatus(), QProcess::CrashExit);
            QCOMPARE(program.exitCode(), SIGSEGV);
            QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, kSlowWaitMs);
            QVERIFY(server.requests().first().body.startsWith("exception=SIGSEGV"));
            QTRY_VERIFY_WITH_TIMEOUT((windows = windowsNamed(QString::fromUtf8("提示"))).size() == 1, kSlowWaitMs);
            xdotool({"windowfocus", "--sync", windows.first()});
            xdotool({"key", "Return"});
            QTRY_VERIFY_WITH_TIMEOUT(windowsNamed(QString::fromUtf8("提示")).isEmpty(), kSlowWaitMs);
            return;
        }

        // The strip shows the three thumbnails (the pointer away from them).
        xdotool({"mousemove", "--sync", "0", "0"});
        const QRect stStrip(stWindow.left() + 10, stWindow.bottom() - 41 - 110, stWindow.width() - 20, 100);
        QImage screen;
        QTRY_VERIFY_WITH_TIMEOUT(pixelsNear(screen = grabScreen(QStringLiteral("program-strip")), stStrip,
                                            QColor(230, 20, 20)) > 1000,
                                 kSlowWaitMs);
        QVERIFY(pixelsNear(screen, stStrip, QColor(20, 200, 20)) > 1000);
        QVERIFY(pixelsNear(screen, stStrip, QColor(20, 20, 230)) > 1000);

        // Preview: the player shows the red photo's cover; play runs through
        // green and blue to the end, where the red cover comes back.
        const EditorSpots stSpots = editorSpots(stWindow.size());
        const QRect stShow = stSpots.stDisplay.translated(stWindow.topLeft());
        QTRY_VERIFY_WITH_TIMEOUT(pixelsNear(grabScreen(QStringLiteral("program-cover")), stShow, QColor(230, 20, 20))
                                     > stShow.width() * stShow.height() / 4,
                                 kSlowWaitMs);
        clickAt(stWindow.topLeft() + stSpots.stPlayButton);
        QTRY_VERIFY_WITH_TIMEOUT(pixelsNear(grabScreen(QStringLiteral("program-playing")), stShow, QColor(20, 200, 20))
                                     > stShow.width() * stShow.height() / 4,
                                 kSlowWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(pixelsNear(grabScreen(QStringLiteral("program-playing-blue")), stShow, QColor(20, 20, 230))
                                     > stShow.width() * stShow.height() / 4,
                                 kSlowWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(pixelsNear(grabScreen(QStringLiteral("program-ended")), stShow, QColor(230, 20, 20))
                                     > stShow.width() * stShow.height() / 4,
                                 kSlowWaitMs);

        // The export settings over the preview dim it with the rest of the
        // window (SDL draws in a native window above the dimming layer);
        // closed, the preview is bright again.
        clickAt(stWindow.topLeft() + stSpots.stExportButton);
        QTRY_VERIFY_WITH_TIMEOUT((windows = windowsNamed(QStringLiteral("Export settings"), iPid)).size() == 1,
                                 kSlowWaitMs);
        // The part of the picture the dialog leaves uncovered.
        const QRegion stUncovered =
            QRegion(stSpots.stWholeDisplay.translated(stWindow.topLeft())).subtracted(windowGeometry(windows.first()));
        auto uncoveredNear = [&](const QImage &image, QColor stColour) {
            int n = 0;
            for (const QRect &stPart : stUncovered)
                n += pixelsNear(image, stPart, stColour);
            return n;
        };
        QTRY_VERIFY_WITH_TIMEOUT(uncoveredNear(screen = grabScreen(QStringLiteral("program-export-dimmed")),
                                               dimmed(QColor(230, 20, 20)))
                                     > 2000,
                                 kSlowWaitMs);
        QCOMPARE(uncoveredNear(screen, QColor(230, 20, 20)), 0);
        xdotool({"windowfocus", "--sync", windows.first()});
        xdotool({"key", "Escape"});
        QTRY_VERIFY_WITH_TIMEOUT(pixelsNear(grabScreen(QStringLiteral("program-export-closed")), stShow,
                                            QColor(230, 20, 20))
                                     > stShow.width() * stShow.height() / 4,
                                 kSlowWaitMs);

        QVERIFY(quitProgram(program, stWindow));
        // Nothing of the store is left behind.
        QVERIFY(!QFileInfo::exists(szHome + "/xdg/Pictora/" + programName() + "/myData.db"));
    }

    // "Open with Pictora": the files and folders it is started with go into
    // the strip as a drop of them would, and the first one is the cover.
    void opensFilesGivenOnItsCommandLine()
    {
        // Sunset-coloured photos and a clip in a folder of their own.
        QVERIFY(QDir().mkpath(path("trip/clips")));
        const QStringList gradients = {"c0=0xff5e3a:c1=0xffd23a", "c0=0xff8a00:c1=0xe52e71",
                                       "c0=0xf9d423:c1=0xff4e50"};
        for (int i = 0; i < gradients.size(); ++i)
            QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "gradients=s=640x400:n=2:" + gradients.at(i),
                                         "-frames:v", "1", path("trip/photo%1.jpg").arg(i + 1)}));
        QVERIFY(testsupport::ffmpeg({"-f", "lavfi", "-i", "mandelbrot=s=640x400:r=10", "-t", "1", "-pix_fmt",
                                     "yuv420p", path("trip/clips/zoom.mp4")}));

        QProcess program;
        const QString szMain = startProgram(program, path("bin/" + programName()), path("home-open"),
                                            {path("trip/photo1.jpg"), path("trip/photo2.jpg"),
                                             path("trip/photo3.jpg"), path("trip/clips")});
        QVERIFY(!szMain.isEmpty());
        const QRect stWindow = windowGeometry(szMain);
        xdotool({"mousemove", "--sync", "0", "0"});
        // The three warm photos in the strip (the clip from the folder after
        // them), and the first photo in the player as the cover.
        auto warm = [](QRgb c) { return qRed(c) > 200 && qBlue(c) < 130; };
        const QRect stStrip(stWindow.left() + 10, stWindow.bottom() - 41 - 110, stWindow.width() - 20, 100);
        const QRect stShow = editorSpots(stWindow.size()).stDisplay.translated(stWindow.topLeft());
        QImage screen;
        QTRY_VERIFY_WITH_TIMEOUT(testsupport::countPixels(screen = grabScreen(QStringLiteral("program-opened")),
                                                          stStrip, warm) > 20000
                                     && testsupport::countPixels(screen, stShow, warm)
                                            > stShow.width() * stShow.height() / 2,
                                 kSlowWaitMs);
        const QString szShots = qEnvironmentVariable("PICTORA_SHOT_DIR");
        if (!szShots.isEmpty())
            QVERIFY(screen.copy(stWindow).save(szShots + QStringLiteral("/readme-editor.png")));
        QVERIFY(quitProgram(program, stWindow));
    }

    // The real program in Chinese: a 4:3 photo in the 16:9 preview has bars
    // beside it until "blurred backdrop" is chosen; then the sides show a
    // dimmed, blurred copy of it.
    void framingInTheRealProgramInChinese()
    {
        QVERIFY(writePicture(path("photos/four-three.jpg"), 160, 120, QColor(230, 20, 20)));
        QProcess program;
        const QString szMain = startProgram(program, path("bin/" + programName()), path("home-chinese"), {},
                                            QStringLiteral("zh_CN"));
        QVERIFY(!szMain.isEmpty());
        const qint64 iPid = program.processId();
        const QRect stWindow = windowGeometry(szMain);
        QStringList windows;

        // The file dialog keeps the plain title.
        clickAt(stWindow.topLeft() + QPoint(stWindow.width() / 2 - 112, stWindow.height() - 123));
        QTRY_VERIFY_WITH_TIMEOUT((windows = windowsNamed(QStringLiteral("Pictora"), iPid)).size() == 1, 30000);
        xdotool({"windowfocus", "--sync", windows.first()});
        xdotool({"type", "--delay", "5", path("photos/four-three.jpg")});
        xdotool({"key", "Return"});
        QTRY_VERIFY_WITH_TIMEOUT(windowsNamed(QStringLiteral("Pictora"), iPid).isEmpty(), 30000);

        const EditorSpots stSpots = editorSpots(stWindow.size());
        const QRect stShow = stSpots.stDisplay.translated(stWindow.topLeft());
        const QRect stSide = stSpots.stLeftBar.translated(stWindow.topLeft());
        const int iArea = stSide.width() * stSide.height();
        QTRY_VERIFY_WITH_TIMEOUT(pixelsNear(grabScreen(QStringLiteral("program-fit")), stShow, QColor(230, 20, 20))
                                     > stShow.width() * stShow.height() / 2,
                                 30000);
        QVERIFY(pixelsNear(grabScreen(QStringLiteral("program-fit")), stSide, Qt::black, 30) > iArea * 9 / 10);
        clickAt(stWindow.topLeft() + stSpots.stBlurredBackdrop);
        QImage screen;
        QTRY_VERIFY_WITH_TIMEOUT(testsupport::countPixels(screen = grabScreen(QStringLiteral("program-blurred-zh")),
                                                          stSide,
                                                          [](QRgb c) {
                                                              return qRed(c) > 80 && qRed(c) < 200 && qGreen(c) < 40;
                                                          })
                                     > iArea * 9 / 10,
                                 30000);
        QVERIFY(pixelsNear(screen, stSpots.stSettings.translated(stWindow.topLeft()), QColor(0x5C, 0x46, 0xF4), 60)
                > 20);   // the chosen radio buttons carry the accent
        QVERIFY(quitProgram(program, stWindow, QString::fromUtf8("提示")));
    }

    // Fifteen materials, more than the strip shows: the last one dragged to
    // the front in one drag with the real mouse; the strip scrolls while the
    // pointer waits at its left end.
    void stripScrollsWhileDragging()
    {
        settingstest::EditorUnderTest fixture(QRect(200, 100, 902, 616));
        QVERIFY(QTest::qWaitForWindowExposed(&fixture.window));
        Vistalo &editor = fixture.editor;
        QStringList photos;
        for (int i = 0; i < 15; ++i) {
            photos << path(QStringLiteral("photos/strip%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(writePicture(photos.last(), 120, 80, QColor::fromHsv(i * 24, 200, 220)));
        }
        QVERIFY(importFiles(editor, photos));
        ImageListView *pList = editor.form()->imageSourceList;
        QWidget *pViewport = pList->viewport();
        QScrollBar *pScroll = pList->horizontalScrollBar();
        QVERIFY(pScroll->maximum() > 0);
        pScroll->setValue(pScroll->maximum());
        auto global = [&](QPoint stViewport) { return pViewport->mapToGlobal(stViewport); };
        auto moveTo = [](QPoint stAt) {
            xdotool({"mousemove", "--sync", QString::number(stAt.x()), QString::number(stAt.y())});
        };

        // One motion at a time, each seen by the program before the next
        // (the drag runs in an event loop of its own); once the strip has
        // scrolled to its start, the drop before the first.
        QSignalSpy spyMove(pList, &ImageListView::sig_itemDraged);
        bool bReleased = false;
        // The button goes up whatever happens, or later tests find it held.
        const std::shared_ptr<void> releaseAtEnd(nullptr, [&bReleased](void *) {
            if (!bReleased)
                xdotool({"mouseup", "1"});
        });
        const QPoint stFrom = global(pList->visualRect(pList->model()->index(14, 0)).center());
        const QPoint stEnd = global(QPoint(20, pViewport->height() / 2));
        int iStep = 0;
        QTimer steps;
        connect(&steps, &QTimer::timeout, [&]() {
            if (iStep < 10) {
                moveTo(stFrom + (stEnd - stFrom) * ++iStep / 10);
            } else if (!bReleased && ++iStep > 1000) {
                // The strip never got there: drop where the pointer is, and fail below.
                bReleased = true;
                xdotool({"mouseup", "1"});
            } else if (!bReleased && pScroll->value() == 0) {
                bReleased = true;
                const QRect stFirst = pList->visualRect(pList->model()->index(0, 0));
                moveTo(global(QPoint(stFirst.left() + 20, stFirst.center().y())));
                xdotool({"mouseup", "1"});
            }
        });
        moveTo(stFrom);
        xdotool({"mousedown", "1"});
        steps.start(50);
        QTRY_COMPARE_WITH_TIMEOUT(spyMove.count(), 1, kSlowWaitMs);
        QCOMPARE(spyMove.first(), QList<QVariant>({photos.at(14), 14, 0}));
        QCOMPARE(albumState().listImageSourceOrder, QStringList{photos.at(14)} + photos.mid(0, 14));
    }

    // Album files in the real program: a photo's own duration by its key
    // (Ctrl+D), the album saved with Ctrl+S through the file dialog, the
    // program started again with the album file: the same strip, the badge
    // on the thumbnail; then once more in Chinese.
    void albumFileInTheRealProgram()
    {
        const QString szAlbum = path("photos/colours.pictora");
        QProcess program;
        QString szMain = startProgram(program, path("bin/" + programName()), path("home-album"),
                                      {path("photos/red.jpg"), path("photos/green.jpg"), path("photos/blue.jpg")});
        QVERIFY(!szMain.isEmpty());
        qint64 iPid = program.processId();
        QRect stWindow = windowGeometry(szMain);
        const QRect stStrip(stWindow.left() + 10, stWindow.bottom() - 41 - 110, stWindow.width() - 20, 100);
        const auto green = [](QRgb c) { return qGreen(c) > 150 && qRed(c) < 80 && qBlue(c) < 80; };
        QImage screen;
        QTRY_VERIFY_WITH_TIMEOUT(testsupport::countPixels(screen = grabScreen(QStringLiteral("album-strip")), stStrip,
                                                          green) > 1000,
                                 kSlowWaitMs);
        // The green photo selected; its card is where its green is.
        const QPoint stGreen = middleOf(screen, stStrip, green);
        const QRect stCard(stGreen - QPoint(60, 40), QSize(120, 80));
        clickAt(stGreen);
        xdotool({"mousemove", "--sync", "0", "0"});
        const int iSelected = accentPixels(grabScreen(QStringLiteral("album-selected")), stCard.adjusted(-4, -4, 4, 4));

        xdotool({"key", "ctrl+d"});
        QStringList windows;
        QTRY_VERIFY_WITH_TIMEOUT((windows = windowsNamed(QStringLiteral("Duration"), iPid)).size() == 1, kSlowWaitMs);
        grabScreen(QStringLiteral("album-duration-dialog"));
        xdotool({"windowfocus", "--sync", windows.first()});
        xdotool({"type", "7"});
        xdotool({"key", "Return"});
        QTRY_VERIFY_WITH_TIMEOUT(windowsNamed(QStringLiteral("Duration"), iPid).isEmpty(), kSlowWaitMs);
        // The badge in the card's lower left corner.
        QTRY_VERIFY_WITH_TIMEOUT(accentPixels(screen = grabScreen(QStringLiteral("album-duration-badge")),
                                              stCard.adjusted(-4, -4, 4, 4))
                                     > iSelected + 150,
                                 kSlowWaitMs);

        xdotool({"windowfocus", "--sync", szMain});
        xdotool({"key", "ctrl+s"});
        QTRY_VERIFY_WITH_TIMEOUT((windows = windowsNamed(QStringLiteral("Pictora"), iPid)).size() == 2, kSlowWaitMs);
        windows.removeAll(szMain);
        xdotool({"windowfocus", "--sync", windows.first()});
        grabScreen(QStringLiteral("album-save-dialog"));
        xdotool({"key", "ctrl+a"});
        xdotool({"type", "--delay", "5", szAlbum});
        xdotool({"key", "Return"});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(szAlbum) && windowsNamed(QStringLiteral("Pictora"), iPid).size() == 1, kSlowWaitMs);
        QVERIFY(quitProgram(program, stWindow));
        QFile saved(szAlbum);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray text = saved.readAll();
        const QJsonArray materials = QJsonDocument::fromJson(text).object().value("materials").toArray();
        QCOMPARE(materials.size(), 3);
        QCOMPARE(materials.at(1).toObject(), (QJsonObject{{"path", "green.jpg"}, {"duration", 7}}));

        // Started again with the album file, in Chinese this time.
        QProcess again;
        szMain = startProgram(again, path("bin/" + programName()), path("home-album"), {szAlbum}, QStringLiteral("zh_CN"));
        QVERIFY(!szMain.isEmpty());
        iPid = again.processId();
        stWindow = windowGeometry(szMain);
        xdotool({"mousemove", "--sync", "0", "0"});
        QTRY_VERIFY_WITH_TIMEOUT(testsupport::countPixels(screen = grabScreen(QStringLiteral("album-reopened-zh")), stStrip,
                                                          green) > 1000
                                     && pixelsNear(screen, stStrip, QColor(230, 20, 20)) > 1000
                                     && pixelsNear(screen, stStrip, QColor(20, 20, 230)) > 1000,
                                 kSlowWaitMs);
        const QPoint stGreenAgain = middleOf(screen, stStrip, green);
        QVERIFY(accentPixels(screen, QRect(stGreenAgain - QPoint(64, 44), QSize(128, 88))) > 150);
        clickAt(stGreenAgain);
        xdotool({"key", "ctrl+d"});
        QTRY_VERIFY_WITH_TIMEOUT((windows = windowsNamed(QStringLiteral("时长"), iPid)).size() == 1, kSlowWaitMs);
        grabScreen(QStringLiteral("album-duration-dialog-zh"));
        xdotool({"windowfocus", "--sync", windows.first()});
        xdotool({"key", "Escape"});
        QTRY_VERIFY_WITH_TIMEOUT(windowsNamed(QStringLiteral("时长"), iPid).isEmpty(), kSlowWaitMs);
        QVERIFY(quitProgram(again, stWindow, QStringLiteral("提示")));
    }

    // The add page with its tip, the strip with one material selected and
    // another under the mouse, and a reorder by mouse drag.
    void stripLooksAndReordersByDrag()
    {
        CQSrvProduct services;
        CFramelessWindow window;
        auto pEditor = std::make_unique<Vistalo>(&window);
        window.addContentWidget(pEditor.get());
        window.setGeometry(200, 100, 902, 616);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        VistaloForm *pUi = pEditor->form();

        QTRY_VERIFY(pEditor->imageTipDialog() && pEditor->imageTipDialog()->isVisible());
        QImage screen = grabScreen(QStringLiteral("add-page"));
        const QRect stTip(pEditor->imageTipDialog()->mapToGlobal(QPoint(0, 0)), pEditor->imageTipDialog()->size());
        QVERIFY(pixelsNear(screen, stTip, QColor(0x5C, 0x46, 0xF4), 30) > stTip.width() * stTip.height() / 3);
        const QRect stPlayer(pUi->divPlayer->mapToGlobal(QPoint(0, 0)), pUi->divPlayer->size());
        QVERIFY(pixelsNear(screen, stPlayer.adjusted(20, 20, -20, -20), QColor(0x2F, 0x2F, 0x2F), 6)
                > stPlayer.width() * stPlayer.height() / 2);

        const QStringList photos = {path("photos/red.jpg"), path("photos/green.jpg"), path("photos/blue.jpg")};
        QVERIFY(importFiles(*pEditor, photos));
        ImageListView *pList = pUi->imageSourceList;
        QWidget *pViewport = pList->viewport();
        QTest::mouseClick(pViewport, Qt::LeftButton, {}, pList->visualRect(pList->model()->index(0, 0)).center());
        QTest::mouseMove(pViewport, pList->visualRect(pList->model()->index(1, 0)).center());
        QTRY_COMPARE(pList->hoverRow(), 1);
        // A still pointer over the strip costs nothing: the hover check that
        // follows a repaint does not ask for another one.
        int iHoverMoves = 0;
        struct HoverCounter : QObject
        {
            int *piCount;
            explicit HoverCounter(int *p) : piCount(p) {}
            bool eventFilter(QObject *, QEvent *pEvent) override
            {
                *piCount += pEvent->type() == QEvent::HoverMove || pEvent->type() == QEvent::Paint;
                return false;
            }
        } counter(&iHoverMoves);
        pViewport->installEventFilter(&counter);
        QTest::qWait(300);
        pViewport->removeEventFilter(&counter);
        QVERIFY2(iHoverMoves < 6, qPrintable(QString::number(iHoverMoves)));
        screen = grabScreen(QStringLiteral("strip"));
        auto cardOf = [&](int iRow) {
            return QRect(pViewport->mapToGlobal(pList->visualRect(pList->model()->index(iRow, 0)).topLeft()),
                         QSize(120, 80));
        };
        // Selected: the accent border along the card's edge; hovered: a
        // shaded green with the delete button; the third one as it is.
        QVERIFY(pixelsNear(screen, cardOf(0).adjusted(0, 30, -110, -30), QColor(0x5C, 0x46, 0xF4), 30) > 40);
        QVERIFY(pixelsNear(screen, cardOf(1), QColor(20, 200, 20)) == 0);
        QVERIFY(pixelsNear(screen, cardOf(1), QColor(20, 200, 20).darker(180), 70) > 2000);
        // The hovered card's delete button (a white glyph) sits in its corner.
        QVERIFY(pixelsNear(screen, ImageListItemDelegate::deleteButtonRect(cardOf(1)), Qt::white, 120) >= 8);
        QCOMPARE(pixelsNear(screen, ImageListItemDelegate::deleteButtonRect(cardOf(2)), Qt::white, 120), 0);
        QVERIFY(pixelsNear(screen, cardOf(2), QColor(20, 20, 230)) > 4000);

        // Drag the first into the gap after the last: (path, 0, 2).
        QSignalSpy spyMove(pList, &ImageListView::sig_itemDraged);
        QWindow *pWindow = window.windowHandle();
        auto inWindow = [&](QPoint stViewport) { return pWindow->mapFromGlobal(pViewport->mapToGlobal(stViewport)); };
        // Presses on a row, moves through the waypoints (viewport
        // coordinates) and releases on the last one.
        auto dragRow = [&](int iRow, QList<QPoint> waypoints) {
            const QPoint stFrom = pList->visualRect(pList->model()->index(iRow, 0)).center();
            QTest::mousePress(pWindow, Qt::LeftButton, {}, inWindow(stFrom));
            QTimer::singleShot(100, [&, stFrom, waypoints]() {
                QPoint stAt = stFrom;
                for (const QPoint &stTo : waypoints) {
                    for (int i = 1; i <= 8; ++i) {
                        QTest::mouseMove(pWindow, inWindow(stAt + (stTo - stAt) * i / 8));
                        QTest::qWait(20);
                    }
                    stAt = stTo;
                }
                QTest::mouseRelease(pWindow, Qt::LeftButton, {}, inWindow(stAt));
            });
            QTest::mouseMove(pWindow, inWindow(stFrom + QPoint(20, 0)));
            QTest::mouseMove(pWindow, inWindow(stFrom + QPoint(30, 0)));
            QTest::qWait(600);
        };
        const QRect stLast = pList->visualRect(pList->model()->index(2, 0));
        dragRow(0, {QPoint(stLast.right() + 6, stLast.center().y())});
        QTRY_COMPARE(spyMove.count(), 1);
        QCOMPARE(spyMove.first(), QList<QVariant>({photos.at(0), 0, 2}));
        QCOMPARE(albumState().listImageSourceOrder, QStringList({photos.at(1), photos.at(2), photos.at(0)}));
        QCOMPARE(pList->dragRow(), -1);

        // The last into gap 0, leaving the strip on the way (up over the
        // settings) and coming back: (path, 2, 0); onto itself: nothing.
        const QRect stFirst = pList->visualRect(pList->model()->index(0, 0));
        dragRow(2, {QPoint(stFirst.left() + 200, -150), QPoint(stFirst.left() + 10, stFirst.center().y())});
        QTRY_COMPARE(spyMove.count(), 2);
        QCOMPARE(spyMove.last(), QList<QVariant>({photos.at(0), 2, 0}));
        dragRow(1, {pList->visualRect(pList->model()->index(1, 0)).center() + QPoint(8, 0)});
        QCOMPARE(spyMove.count(), 2);
        QCOMPARE(albumState().listImageSourceOrder, photos);
    }
};

QTEST_MAIN(TestX11Editor)
#include "tst_x11_editor.moc"
