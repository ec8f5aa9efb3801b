#include "app/CQSrvProduct.h"
#include "ui/CBLLUIShadowMgr.h"
#include "ui/CFramelessWindow.h"

#include <QAccessible>
#include <QLayout>
#include <QPushButton>
#include <QWindow>
#include <QtTest>

namespace {

// Mouse events go to the widget under the point, as the window system would
// deliver them (the overlay must let them through).
void sendMouse(CFramelessWindow &window, QEvent::Type eType, QPoint stGlobal, Qt::MouseButtons buttons,
               QWidget *pTarget = nullptr)
{
    if (!pTarget) {
        pTarget = window.childAt(window.mapFromGlobal(stGlobal));
        if (!pTarget)
            pTarget = &window;
    }
    const Qt::MouseButton eButton = eType == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(eType, pTarget->mapFromGlobal(stGlobal), stGlobal, eButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(pTarget, &event);
}

} // namespace

class TestFramelessWindow : public QObject
{
    Q_OBJECT

private:
    CQSrvProduct *m_pServices = nullptr;

private Q_SLOTS:
    void init() { m_pServices = new CQSrvProduct; }
    void cleanup() { delete m_pServices; }

    void borderResize_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("drag");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QRect>("result");
        // A 1200x800 window at (100, 100); the minimum is 902x600.
        QTest::newRow("left past minimum") << QPoint(103, 500) << QPoint(800, 500) << int(Qt::SizeHorCursor)
                                           << QRect(398, 100, 902, 800);
        QTest::newRow("top-left past both") << QPoint(102, 102) << QPoint(2000, 2000) << int(Qt::SizeFDiagCursor)
                                            << QRect(398, 300, 902, 600);
        QTest::newRow("top over caption") << QPoint(500, 104) << QPoint(500, 60) << int(Qt::SizeVerCursor)
                                          << QRect(100, 60, 1200, 840);
        QTest::newRow("right") << QPoint(1297, 500) << QPoint(1400, 480) << int(Qt::SizeHorCursor)
                               << QRect(100, 100, 1300, 800);
        QTest::newRow("bottom") << QPoint(600, 896) << QPoint(640, 950) << int(Qt::SizeVerCursor)
                                << QRect(100, 100, 1200, 850);
        QTest::newRow("top-right") << QPoint(1298, 103) << QPoint(1250, 150) << int(Qt::SizeBDiagCursor)
                                   << QRect(100, 150, 1150, 750);
        QTest::newRow("bottom-left") << QPoint(101, 898) << QPoint(50, 1000) << int(Qt::SizeBDiagCursor)
                                     << QRect(50, 100, 1250, 900);
        QTest::newRow("bottom-right") << QPoint(1299, 899) << QPoint(1000, 650) << int(Qt::SizeFDiagCursor)
                                      << QRect(100, 100, 902, 600);
        QTest::newRow("inside: no resize") << QPoint(600, 500) << QPoint(700, 600) << int(Qt::ArrowCursor)
                                           << QRect(100, 100, 1200, 800);
    }

    void borderResize()
    {
        QFETCH(QPoint, press);
        QFETCH(QPoint, drag);
        QFETCH(int, cursor);
        QFETCH(QRect, result);
        CFramelessWindow window;
        window.setGeometry(100, 100, 1200, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        sendMouse(window, QEvent::MouseMove, press, Qt::NoButton);
        QCOMPARE(int(window.cursor().shape()), cursor);
        QWidget *pTarget = window.childAt(window.mapFromGlobal(press));
        sendMouse(window, QEvent::MouseButtonPress, press, Qt::LeftButton);
        // Moves keep going to the pressed widget, as under a mouse grab.
        sendMouse(window, QEvent::MouseMove, drag, Qt::LeftButton, pTarget ? pTarget : &window);
        QCOMPARE(window.geometry(), result);
        sendMouse(window, QEvent::MouseButtonRelease, drag, Qt::NoButton, pTarget ? pTarget : &window);
        QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
    }

    void maximiseAndRestoreSwitchTheFrame()
    {
        CFramelessWindow window;
        window.setGeometry(100, 100, 1000, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *pFrame = window.findChild<QWidget *>("uiFrame");
        auto *pMax = window.findChild<QPushButton *>("btnMax");
        auto frameMargin = [&] { return pFrame->layout()->contentsMargins().left(); };
        QCOMPARE(pFrame->property("qstyle").toString(), QStringLiteral("normal"));
        QCOMPARE(frameMargin(), 1);

        QTest::mouseClick(pMax, Qt::LeftButton);
        QTRY_VERIFY(window.isMaximized());
        QCOMPARE(pFrame->property("qstyle").toString(), QStringLiteral("max"));
        QCOMPARE(frameMargin(), 0);
        QCOMPARE(pMax->property("qstyle").toString(), QStringLiteral("restore"));
        QCOMPARE(pMax->toolTip(), QStringLiteral("Restore"));
        // The resize band does nothing while maximised.
        const QRect stMaximised = window.geometry();
        sendMouse(window, QEvent::MouseButtonPress, stMaximised.topLeft() + QPoint(2, 300), Qt::LeftButton, &window);
        sendMouse(window, QEvent::MouseMove, stMaximised.topLeft() + QPoint(200, 300), Qt::LeftButton, &window);
        QCOMPARE(window.geometry(), stMaximised);
        sendMouse(window, QEvent::MouseButtonRelease, stMaximised.topLeft() + QPoint(200, 300), Qt::NoButton, &window);

        // A double click on the caption restores the saved size.
        QTest::mouseDClick(window.findChild<QWidget *>("uiTitleBar"), Qt::LeftButton);
        QTRY_VERIFY(!window.isMaximized());
        QCOMPARE(window.size(), QSize(1000, 700));
        QCOMPARE(pFrame->property("qstyle").toString(), QStringLiteral("normal"));
        QCOMPARE(frameMargin(), 1);
        QCOMPARE(pMax->property("qstyle").toString(), QStringLiteral("max"));
        QCOMPARE(pMax->toolTip(), QStringLiteral("Maximize"));

        // Resized, then maximised by the window manager (its shortcut or its
        // own double click): the button restores the size from before.
        window.resize(1100, 750);
        QCoreApplication::processEvents();
        window.windowHandle()->setWindowStates(Qt::WindowMaximized);
        QTRY_VERIFY(window.isMaximized());
        QCOMPARE(pMax->property("qstyle").toString(), QStringLiteral("restore"));
        QTest::mouseClick(pMax, Qt::LeftButton);
        QTRY_VERIFY(!window.isMaximized());
        QCOMPARE(window.size(), QSize(1100, 750));
    }

    void closeRequestsAskFirst()
    {
        CFramelessWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy spyClose(&window, &CFramelessWindow::signal_close);
        QTest::mouseClick(window.findChild<QPushButton *>("btnClose"), Qt::LeftButton);
        QCOMPARE(spyClose.count(), 1);
        // Alt+F4, the task bar, logout: a close event from the window system.
        QVERIFY(!window.close());
        QCOMPARE(spyClose.count(), 2);
        QVERIFY(window.isVisible());
        window.closeWindow(); // the editor agreed
        QVERIFY(!window.isVisible());
        QCOMPARE(spyClose.count(), 2);
    }

    void suspendSignalsWithoutMinimising()
    {
        CFramelessWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy spyScreenOut(&window, &CFramelessWindow::signal_screenOut);
        window.sltPrepareForSleep(true);
        QCOMPARE(spyScreenOut.count(), 1);
        window.sltPrepareForSleep(false);
        QCOMPARE(spyScreenOut.count(), 1);
        QVERIFY(window.isVisible());
        QVERIFY(!window.isMinimized());
    }

    void overlayCoversTheWindowAndCatchesTheMouseOnlyWhileDimmed()
    {
        CFramelessWindow window;
        window.resize(1000, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QtInversionWidget *pOverlay = window.overlay();
        QCOMPARE(QtInversionWidget::instance(), pOverlay);
        QCOMPARE(pOverlay->geometry(), window.rect());
        QVERIFY(pOverlay->testAttribute(Qt::WA_TransparentForMouseEvents));
        CBLLUIShadowMgr::instance()->sltDlgPush();
        QVERIFY(!pOverlay->testAttribute(Qt::WA_TransparentForMouseEvents));
        window.resize(1100, 720);
        QCOMPARE(CBLLUIShadowMgr::instance()->shadow()->geometry(), window.rect());
        CBLLUIShadowMgr::instance()->sltDlgPop();
        QVERIFY(!CBLLUIShadowMgr::instance()->shadow());
        QVERIFY(pOverlay->testAttribute(Qt::WA_TransparentForMouseEvents));

        // A window torn down while dimmed takes the layer with its overlay:
        // the manager forgets it instead of freeing it a second time.
        QSignalSpy spyDimming(CBLLUIShadowMgr::instance(), &CBLLUIShadowMgr::sigDimmingChanged);
        auto *pDoomed = new CFramelessWindow;
        pDoomed->show();
        CBLLUIShadowMgr::instance()->sltDlgPush();
        QCOMPARE(spyDimming.count(), 1);
        delete pDoomed;
        QVERIFY(!CBLLUIShadowMgr::instance()->shadow());
        CBLLUIShadowMgr::instance()->sltDlgPop();
    }

    void captionButtonsAreReachableAndNamed()
    {
        CFramelessWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // The caption's four and the bottom bar's two (the update button
        // shows only while a newer version is known).
        QList<QPushButton *> buttons;
        for (QPushButton *pButton : window.findChildren<QPushButton *>())
            if (pButton->isVisible())
                buttons << pButton;
        QCOMPARE(buttons.size(), 6);
        QSet<QWidget *> reached;
        window.findChild<QPushButton *>("btnAppMenu")->setFocus();
        for (int i = 0; i < 12; ++i) {
            reached.insert(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        for (QPushButton *pButton : buttons) {
            QVERIFY2(reached.contains(pButton), qPrintable(pButton->objectName()));
            QAccessibleInterface *pAccessible = QAccessible::queryAccessibleInterface(pButton);
            QVERIFY(!pAccessible->text(QAccessible::Name).isEmpty());
        }
        // The keyboard presses them too: Space on close asks to close.
        QSignalSpy spyClose(&window, &CFramelessWindow::signal_close);
        auto *pClose = window.findChild<QPushButton *>("btnClose");
        pClose->setFocus();
        QTest::keyClick(pClose, Qt::Key_Space);
        QCOMPARE(spyClose.count(), 1);
    }
};

QTEST_MAIN(TestFramelessWindow)
#include "tst_framelesswindow.moc"
