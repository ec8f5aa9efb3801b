// The editor on a real X server (Xvfb): the real program driven as a user
// drives it, a reorder by mouse drag, and what the strip looks like. Set
// PICTORA_SHOT_DIR to keep the screenshots.
#include "EditorTestSupport.h"

#include "album/AlbumProjectState.h"
#include "app/AppStartUp.h"
#include "app/CQSrvProduct.h"
#include "common/TestSupport.h"
#include "editor/ImageListItemModel.h"
#include "editor/ImageOpenTipDialog.h"
#include "player/CQVideoPlay.h"
#include "player/CQVideoShow.h"
#include "ui/CFramelessWindow.h"

#include <QDir>
#include <QProcess>
#include <QRadioButton>
#include <QScrollArea>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>

#include <memory>

using namespace editortest;

namespace {

using testsupport::grabScreen;


QString xdotool(const QStringList &args)
{
    const testsupport::ToolResult st = testsupport::runTool(QStringLiteral("xdotool"), args, 20000);
    return QString::fromUtf8(st.stdOut).trimmed();
}

// Window ids with this exact title, in stacking order.
QStringList windowsNamed(const QString &szTitle)
{
    return xdotool({"search", "--onlyvisible", "--name", "^" + szTitle + "$"}).split('\n', Qt::SkipEmptyParts);
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
    QRect stDisplay;
    QPoint stPlayButton;
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
    return {stShow.adjusted(stShow.width() / 3, stShow.height() / 4, -stShow.width() / 3, -stShow.height() / 4),
            pButton->mapTo(&window, pButton->rect().center()),
            pBlur->mapTo(&window, QPoint(8, pBlur->height() / 2)),
            QRect(editor.form()->divSetting->mapTo(&window, QPoint(0, 0)), editor.form()->divSetting->size()),
            stLeftBar};
}

} // namespace

class TestX11Editor : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &szName) const { return QDir::cleanPath(m_dir.filePath(szName)); }

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
    }

    // The real program: add three photos through its file dialog, see
    // them in the strip, close it through the quit question.
    void endToEndInTheRealProgram()
    {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), path("xdg-program"));
        env.insert(QStringLiteral("HOME"), path("home"));
        env.insert(QStringLiteral("QT_FONT_DPI"), QStringLiteral("96"));   // one logical pixel, one screen pixel
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(testsupport::binDir() + QStringLiteral("/Pictora"), QStringList());
        QVERIFY(program.waitForStarted());
        QStringList windows;
        QTRY_VERIFY_WITH_TIMEOUT((windows = windowsNamed(QStringLiteral("Pictora"))).size() == 1, 20000);
        const QString szMain = windows.first();
        QTRY_COMPARE_WITH_TIMEOUT(windowGeometry(szMain).size(), QSize(902, 616), 10000);
        const QRect stWindow = windowGeometry(szMain);

        // "click to add files", left of the middle of the material area.
        clickAt(stWindow.topLeft() + QPoint(stWindow.width() / 2 - 112, stWindow.height() - 123));
        QTRY_VERIFY_WITH_TIMEOUT((windows = windowsNamed(QStringLiteral("Pictora"))).size() == 2, 10000);
        windows.removeAll(szMain);
        xdotool({"windowfocus", "--sync", windows.first()});
        // Qt's own file dialog: into the folder, then the three names.
        xdotool({"type", "--delay", "5", path("photos") + "/"});
        xdotool({"key", "Return"});
        QTest::qWait(300);
        xdotool({"type", "--delay", "5", "\"red.jpg\" \"green.jpg\" \"blue.jpg\""});
        xdotool({"key", "Return"});
        QTRY_VERIFY_WITH_TIMEOUT(windowsNamed(QStringLiteral("Pictora")).size() == 1, 10000);

        // The strip shows the three thumbnails (the pointer away from them).
        xdotool({"mousemove", "--sync", "0", "0"});
        const QRect stStrip(stWindow.left() + 10, stWindow.bottom() - 41 - 110, stWindow.width() - 20, 100);
        QImage screen;
        QTRY_VERIFY_WITH_TIMEOUT(pixelsNear(screen = grabScreen(QStringLiteral("program-strip")), stStrip,
                                            QColor(230, 20, 20)) > 1000,
                                 10000);
        QVERIFY(pixelsNear(screen, stStrip, QColor(20, 200, 20)) > 1000);
        QVERIFY(pixelsNear(screen, stStrip, QColor(20, 20, 230)) > 1000);

        // Preview: the player shows the red photo's cover; play runs through
        // green and blue to the end, where the red cover comes back.
        const EditorSpots stSpots = editorSpots(stWindow.size());
        const QRect stShow = stSpots.stDisplay.translated(stWindow.topLeft());
        QTRY_VERIFY_WITH_TIMEOUT(pixelsNear(grabScreen(QStringLiteral("program-cover")), stShow, QColor(230, 20, 20))
                                     > stShow.width() * stShow.height() / 4,
                                 10000);
        clickAt(stWindow.topLeft() + stSpots.stPlayButton);
        QTRY_VERIFY_WITH_TIMEOUT(pixelsNear(grabScreen(QStringLiteral("program-playing")), stShow, QColor(20, 200, 20))
                                     > stShow.width() * stShow.height() / 4,
                                 10000);
        QTRY_VERIFY_WITH_TIMEOUT(pixelsNear(grabScreen(QStringLiteral("program-playing-blue")), stShow, QColor(20, 20, 230))
                                     > stShow.width() * stShow.height() / 4,
                                 10000);
        QTRY_VERIFY_WITH_TIMEOUT(pixelsNear(grabScreen(QStringLiteral("program-ended")), stShow, QColor(230, 20, 20))
                                     > stShow.width() * stShow.height() / 4,
                                 15000);

        // The close button asks first; "ok" ends the program.
        clickAt(stWindow.topLeft() + QPoint(stWindow.width() - 26, 21));
        QTRY_VERIFY_WITH_TIMEOUT((windows = windowsNamed(QStringLiteral("Tips"))).size() == 1, 10000);
        QCOMPARE(program.state(), QProcess::Running);
        grabScreen(QStringLiteral("program-quit"));
        xdotool({"windowfocus", "--sync", windows.first()});
        xdotool({"key", "Return"});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        // Nothing of the store is left behind.
        QVERIFY(!QFileInfo::exists(path("xdg-program/Pictora/Pictora/myData.db")));
    }

    // The real program in Chinese: a 4:3 photo in the 16:9 preview has bars
    // beside it until "blurred backdrop" is chosen; then the sides show a
    // dimmed, blurred copy of it.
    void framingInTheRealProgramInChinese()
    {
        QVERIFY(writePicture(path("photos/four-three.jpg"), 160, 120, QColor(230, 20, 20)));
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), path("xdg-chinese"));
        env.insert(QStringLiteral("HOME"), path("home"));
        env.insert(QStringLiteral("QT_FONT_DPI"), QStringLiteral("96"));
        env.insert(QStringLiteral("LANGUAGE"), QStringLiteral("zh_CN"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(testsupport::binDir() + QStringLiteral("/Pictora"), QStringList());
        QVERIFY(program.waitForStarted());
        // The main window carries the translated title; the file dialog "Pictora".
        const QString szTitle = QString::fromUtf8("Pictora 电子相册");
        QStringList windows;
        QTRY_VERIFY_WITH_TIMEOUT((windows = windowsNamed(szTitle)).size() == 1, 20000);
        const QString szMain = windows.first();
        QTRY_COMPARE_WITH_TIMEOUT(windowGeometry(szMain).size(), QSize(902, 616), 10000);
        const QRect stWindow = windowGeometry(szMain);

        clickAt(stWindow.topLeft() + QPoint(stWindow.width() / 2 - 112, stWindow.height() - 123));
        QTRY_VERIFY_WITH_TIMEOUT((windows = windowsNamed(QStringLiteral("Pictora"))).size() == 1, 10000);
        xdotool({"windowfocus", "--sync", windows.first()});
        xdotool({"type", "--delay", "5", path("photos/four-three.jpg")});
        xdotool({"key", "Return"});
        QTRY_VERIFY_WITH_TIMEOUT(windowsNamed(QStringLiteral("Pictora")).isEmpty(), 10000);

        const EditorSpots stSpots = editorSpots(stWindow.size());
        const QRect stShow = stSpots.stDisplay.translated(stWindow.topLeft());
        const QRect stSide = stSpots.stLeftBar.translated(stWindow.topLeft());
        const int iArea = stSide.width() * stSide.height();
        QTRY_VERIFY_WITH_TIMEOUT(pixelsNear(grabScreen(QStringLiteral("program-fit")), stShow, QColor(230, 20, 20))
                                     > stShow.width() * stShow.height() / 2,
                                 10000);
        QVERIFY(pixelsNear(grabScreen(QStringLiteral("program-fit")), stSide, Qt::black, 30) > iArea * 9 / 10);
        clickAt(stWindow.topLeft() + stSpots.stBlurredBackdrop);
        QImage screen;
        QTRY_VERIFY_WITH_TIMEOUT(testsupport::countPixels(screen = grabScreen(QStringLiteral("program-blurred-zh")),
                                                          stSide,
                                                          [](QRgb c) {
                                                              return qRed(c) > 80 && qRed(c) < 200 && qGreen(c) < 40;
                                                          })
                                     > iArea * 9 / 10,
                                 10000);
        QVERIFY(pixelsNear(screen, stSpots.stSettings.translated(stWindow.topLeft()), QColor(0x5C, 0x46, 0xF4), 60)
                > 20);   // the chosen radio buttons carry the accent

        clickAt(stWindow.topLeft() + QPoint(stWindow.width() - 26, 21));
        QTRY_VERIFY_WITH_TIMEOUT((windows = windowsNamed(QString::fromUtf8("提示"))).size() == 1, 10000);
        xdotool({"windowfocus", "--sync", windows.first()});
        xdotool({"key", "Return"});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);
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
