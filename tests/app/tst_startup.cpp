#include "app/CQEventStartUpMgr.h"
#include "app/CQSrvProduct.h"
#include "ui/CBLLUIShadowMgr.h"
#include "ui/CFrameLessBottom.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQDialogEx.h"
#include "ui/CQDialogExMgr.h"
#include "ui/CQThemeMgr.h"

#include <QDir>
#include <QLabel>
#include <QtTest>

#include <memory>

namespace {

struct CountingEvent : CQEventStartUpBase
{
    int *piRuns;
    explicit CountingEvent(int *p) : piRuns(p) {}
    bool runAction() override { ++*piRuns; return true; }
};

} // namespace

class TestStartUp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void servicesAreRegisteredForTheirLifetime()
    {
        QVERIFY(!CQSrvProduct::instance());
        {
            CQSrvProduct services;
            QCOMPARE(CQSrvProduct::instance(), &services);
            QVERIFY(CQDialogExMgr::instance());
            QVERIFY(CQThemeMgr::instance());
            QVERIFY(CQEventStartUpMgr::instance());
            QVERIFY(CBLLUIShadowMgr::instance());
            QCOMPARE(CQEventStartUpMgr::instance()->pendingCount(), 1);
        }
        QVERIFY(!CQSrvProduct::instance());
        QVERIFY(!CQDialogExMgr::instance());
        QVERIFY(!CQEventStartUpMgr::instance());
    }

    void windowSizeFollowsScreen_data()
    {
        QTest::addColumn<QSize>("available");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("1920x1080") << QSize(1920, 1080) << QSize(902, 616);
        QTest::newRow("1920x1040 raised to the minimum") << QSize(1920, 1040) << QSize(902, 600);
        QTest::newRow("2560x1440") << QSize(2560, 1440) << QSize(1204, 822);
        QTest::newRow("small screen") << QSize(1366, 728) << QSize(902, 600);
    }

    void windowSizeFollowsScreen()
    {
        QFETCH(QSize, available);
        QFETCH(QSize, expected);
        CQSrvProduct services;
        CFramelessWindow window;
        QCOMPARE(window.minimumSize(), QSize(902, 600));
        window.resize(CFramelessWindow::sizeForScreen(available));
        QCOMPARE(window.size(), expected);
    }

    void startUpEventsRunOnceAfterTheWebPanelFinished()
    {
        CQSrvProduct services;
        CQEventStartUpMgr *pMgr = CQEventStartUpMgr::instance();
        int iRuns = 0;
        pMgr->appendEvent(new CountingEvent(&iRuns));
        CFramelessWindow window;
        QCOMPARE(CFramelessWindow::instance(), &window);
        QCOMPARE(pMgr->receiver(), &window);
        QVERIFY(window.findChild<QWidget *>("uiMain"));

        // No pages are shown on this platform: the panel reports a failed
        // load once, and the update check runs after it, leaving the window
        // open; the white cover stays over the empty panel.
        QVERIFY(!window.findChild<QWidget *>("webAdv"));
        QSignalSpy spyFinished(window.bottomBar(), &CFrameLessBottom::sig_webPanelFinished);
        QTRY_COMPARE(pMgr->pendingCount(), 1);
        QCOMPARE(spyFinished.count(), 1);
        QCOMPARE(spyFinished.first().first().toBool(), false);
        window.show();
        QVERIFY(window.isVisible());
        QVERIFY(window.findChild<QWidget *>("ad_mask")->isVisible());
        QCOMPARE(iRuns, 0);

        // Each further loading notice hands over the next start-up event.
        window.sltAdvFinished(true);
        QVERIFY(!window.findChild<QWidget *>("ad_mask")->isVisible());
        QTRY_COMPARE(iRuns, 1);
        QCOMPARE(pMgr->pendingCount(), 0);
        QCoreApplication::postEvent(&window, new CQEventUIIntialize);
        QTest::qWait(50);
        QCOMPARE(iRuns, 1);
        QCOMPARE(spyFinished.count(), 1);
        QVERIFY(!pMgr->dispatchNext(&window, true));
    }

    void dispatchNextSendsSynchronouslyWithoutPost()
    {
        CQSrvProduct services;
        CQEventStartUpMgr *pMgr = CQEventStartUpMgr::instance();
        CFramelessWindow window;
        int iRuns = 0;
        QVERIFY(pMgr->dispatchNext(&window, false)); // the update check
        pMgr->appendEvent(new CountingEvent(&iRuns));
        QVERIFY(pMgr->dispatchNext(&window, false));
        QCOMPARE(iRuns, 1);
        QVERIFY(!pMgr->dispatchNext(&window, false));
        // Other events pass the filter untouched.
        QEvent stOther(QEvent::User);
        QVERIFY(!pMgr->filterEvent(&window, &stOther));
    }

    void dialogsDimTheMainWindow()
    {
        CQSrvProduct services;
        CFramelessWindow window;
        window.show();
        CBLLUIShadowMgr *pShadow = CBLLUIShadowMgr::instance();
        CQDialogExMgr *pDialogs = CQDialogExMgr::instance();

        CQDialogEx lower(&window), upper(&window);
        QSignalSpy spyPush(pDialogs, &CQDialogExMgr::sigDlgPush);
        lower.show();
        QVERIFY(pShadow->shadow());
        QCOMPARE(pShadow->shadow()->geometry(), window.rect());
        CQWidgetShadow *pLayer = pShadow->shadow();
        upper.show();
        QCOMPARE(pShadow->shadow(), pLayer); // one layer for both
        QCOMPARE(pDialogs->openDialogs().first(), &upper);
        pDialogs->onShow(&upper); // reported twice, listed once
        QCOMPARE(pDialogs->openDialogCount(), 2);
        QCOMPARE(spyPush.count(), 3);

        upper.hide();
        QVERIFY(pShadow->shadow());
        lower.hide();
        QVERIFY(!pShadow->shadow());
        lower.show();
        QVERIFY(pShadow->shadow());
        lower.hide();
        QVERIFY(!pShadow->shadow());
    }

    void themeLookups()
    {
        CQThemeMgr theme;
        QCOMPARE(theme.resolve(QString()), QStringLiteral(":/theme_default/"));
        QCOMPARE(theme.resolve("qss/AppMenu.qss"), QStringLiteral(":/theme_default/qss/AppMenu.qss"));
        QVERIFY(!theme.lastLookupFound());

        QLabel label;
        label.setStyleSheet("color: red;");
        QVERIFY(!theme.applyThemeStyle(&label)); // no theme selected

        // A theme folder beside the program wins over the resources.
        const QString szDir = QCoreApplication::applicationDirPath() + "/theme_dark/qss";
        QVERIFY(QDir().mkpath(szDir));
        QFile qss(szDir + "/AppMenu.qss");
        QVERIFY(qss.open(QIODevice::WriteOnly));
        qss.write("QWidget{color: blue;}");
        qss.close();
        theme.setCurrentTheme("theme_dark");
        QCOMPARE(theme.resolve("qss/AppMenu.qss"), szDir + "/AppMenu.qss");
        QVERIFY(theme.lastLookupFound());
        QCOMPARE(theme.resolve("imgs/none.png"), QStringLiteral(":/theme_default/imgs/none.png"));
        QVERIFY(!theme.lastLookupFound());

        // Without an object name nothing is applied.
        QVERIFY(!theme.applyThemeStyle(&label));
        QCOMPARE(label.styleSheet(), QStringLiteral("color: red;"));
        // With one, the widget and its children get the theme's sheet.
        QWidget menu;
        menu.setObjectName("AppMenu");
        auto *pChild = new QLabel(&menu);
        pChild->setStyleSheet("color: red;");
        QVERIFY(theme.applyThemeStyle(&menu));
        QCOMPARE(menu.styleSheet(), QStringLiteral("QWidget{color: blue;}"));
        QVERIFY(pChild->styleSheet().isEmpty());
        QDir(QCoreApplication::applicationDirPath() + "/theme_dark").removeRecursively();
    }
};

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
