// The window's shell on a real X server: the application menu (in this
// process and in the real program, driven by the mouse), what its entries
// open, and the bottom bar with its web panel and update button. Set
// PICTORA_SHOT_DIR to keep the screenshots.
#include "app/CQEventStartUpMgr.h"
#include "app/CQSrvProduct.h"
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"
#include "online/CQDlgWebViewKV.h"
#include "online/CQSrvProductInfo.h"
#include "ui/CFrameLessBottom.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQDialogExMgr.h"
#include "ui/CQDlgTipSimple.h"
#include "ui/QUIWebEngineView.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <functional>
#include <memory>

using testsupport::TestHttpServer;

namespace {

// How long to wait for what the real program shows: a loaded two-core
// machine has taken tens of seconds; only a failure waits this long.
const int kSlowWaitMs = 60000;

struct CountingEvent : CQEventStartUpBase
{
    int *piRuns;
    explicit CountingEvent(int *p) : piRuns(p) {}
    bool runAction() override { ++*piRuns; return true; }
};

// Calls fnSeen once for every new widget fnFind comes up with (an open
// menu, a modal dialog), from the event loop that shows it.
class WhenUp : public QObject
{
public:
    WhenUp(std::function<QWidget *()> fnFind, std::function<void(QWidget *)> fnSeen)
        : m_fnFind(std::move(fnFind)), m_fnSeen(std::move(fnSeen))
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            QWidget *pWidget = m_fnFind();
            if (!pWidget || pWidget == m_pLast)
                return;
            m_pLast = pWidget;
            m_fnSeen(pWidget);
        });
        m_poll.start(10);
    }

private:
    QTimer m_poll;
    std::function<QWidget *()> m_fnFind;
    std::function<void(QWidget *)> m_fnSeen;
    QPointer<QWidget> m_pLast;
};

QWidget *openMenu()
{
    auto *pMenu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    return pMenu && pMenu->objectName() == QLatin1String("appMenu") ? pMenu : nullptr;
}

QStringList actionTexts(QWidget *pMenu)
{
    QStringList texts;
    for (QAction *pAction : pMenu->actions()) {
        if (!pAction->isSeparator())
            texts << pAction->text();
    }
    return texts;
}

QString xdotool(const QStringList &args)
{
    return QString::fromUtf8(testsupport::runTool(QStringLiteral("xdotool"), args, 20000).stdOut).trimmed();
}

} // namespace

class TestX11Shell : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    std::unique_ptr<CQSrvProduct> m_pServices;
    std::unique_ptr<CFramelessWindow> m_pWindow;
    int m_iStartUpRuns = 0;
    int m_iPendingAtNotice = -1;

    QPushButton *button(const char *pszName) const { return m_pWindow->findChild<QPushButton *>(pszName); }

    // Opens the menu with a click on its button; fnOpen sees it open.
    void clickMenuButton(const std::function<void(QMenu *)> &fnOpen)
    {
        WhenUp menu(openMenu, [&](QWidget *pMenu) { fnOpen(static_cast<QMenu *>(pMenu)); });
        QTest::mouseClick(button("btnAppMenu"), Qt::LeftButton);
    }

    // Chooses entry iEntry of the menu (the album entries and their
    // separator come first); returns the path of the page the web
    // dialog then showed (closing it), empty when none came up.
    QString chooseAndSeePage(int iEntry)
    {
        QString szPath;
        bool bShown = false;
        WhenUp dialog([] { return qobject_cast<CQDlgWebViewKV *>(QApplication::activeModalWidget()); },
                      [&](QWidget *pWidget) {
                          auto *pDialog = static_cast<CQDlgWebViewKV *>(pWidget);
                          if (!QTest::qWaitFor([&] { return pDialog->webView()->isVisible(); }, kSlowWaitMs))
                              qWarning("the page never showed");
                          szPath = pDialog->webView()->url().path();
                          bShown = true;
                          pDialog->done(0);
                      });
        clickMenuButton([&](QMenu *pMenu) {
            QTest::mouseClick(pMenu, Qt::LeftButton, {}, pMenu->actionGeometry(pMenu->actions().at(iEntry)).center());
        });
        // The entry runs once the menu is gone; a web dialog shows by then.
        if (!QTest::qWaitFor([&] { return bShown; }, 3000))
            qInfo("no web dialog came up");
        return szPath;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY(m_tmp.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_tmp.filePath("xdg")));
        qputenv("no_proxy", "*");
        m_pServices = std::make_unique<CQSrvProduct>();
        CQEventStartUpMgr::instance()->appendEvent(new CountingEvent(&m_iStartUpRuns));
        m_pWindow = std::make_unique<CFramelessWindow>();
        connect(m_pWindow->bottomBar(), &CFrameLessBottom::sig_webPanelFinished, this,
                [this] { m_iPendingAtNotice = CQEventStartUpMgr::instance()->pendingCount(); });
        m_pWindow->setGeometry(200, 100, 1100, 760);
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    }

    void cleanupTestCase()
    {
        m_pWindow.reset();
        m_pServices.reset();
    }

    void bottomBarShowsItsPageAndTheUpdateButton()
    {
        // The panel's page loads and its cover goes; the loading notice, and
        // only it, hands the update check over: the event queued after it
        // stays queued.
        QTRY_VERIFY(m_pWindow->bottomBar()->webPanel());
        QUIWebEngineView *pPanel = m_pWindow->bottomBar()->webPanel();
        QTRY_VERIFY_WITH_TIMEOUT(!m_pWindow->findChild<QWidget *>("ad_mask")->isVisible(), kSlowWaitMs);
        QCOMPARE(pPanel->url().path(), QStringLiteral("/web/panel.html"));
        QCOMPARE(m_iPendingAtNotice, 2);
        QTRY_COMPARE(CQEventStartUpMgr::instance()->pendingCount(), 1);
        QCOMPARE(m_iStartUpRuns, 0);
        QCOMPARE(pPanel->geometry(), QRect(10, 0, pPanel->parentWidget()->width() - 10, 40));
        QVERIFY(!button("btnUpDate")->isVisible());
        QCOMPARE(m_pWindow->findChild<QLabel *>("labVersion")->text(), QStringLiteral("v2.3.0"));
        testsupport::grabScreen(QStringLiteral("bottom_bar"));

        // A newer version learnt by the manual check shows the update button.
        TestHttpServer server(true);
        server.setAnswer("LatestVersion=2.3.1\n");
        QFile config(CQSrvProductInfo::instance().configFilePath("Pictora", "config.ini"));
        QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
        config.write("updateServer=" + server.baseUrl().toUtf8() + "/release.ini\nupdateServerCaFile="
                     + TestHttpServer::certificatePath().toUtf8() + "\n");
        config.close();
        WhenUp decline([] { return qobject_cast<CQDlgTipSimple *>(QApplication::activeModalWidget()); },
                       [](QWidget *pTip) { static_cast<QDialog *>(pTip)->reject(); });
        m_pWindow->bottomBar()->sltAppUpdate();
        QVERIFY(button("btnUpDate")->isVisible());
        testsupport::grabScreen(QStringLiteral("bottom_bar_update"));
        QVERIFY(config.remove());
    }

    void menuOpensBelowItsButtonAndLeavesNothingBehind()
    {
        for (int i = 0; i < 2; ++i) {
            bool bSeen = false;
            clickMenuButton([&](QMenu *pMenu) {
                bSeen = true;
                QCOMPARE(pMenu->pos(), button("btnAppMenu")->mapToGlobal(QPoint(0, 30)) + QPoint(0, 10));
                QVERIFY(pMenu->windowFlags() & Qt::FramelessWindowHint);
                QCOMPARE(actionTexts(pMenu), (QStringList{"Open album...", "Save album...", "Help", "Check for updates", "Feedback", "About"}));
                testsupport::grabScreen(QStringLiteral("menu"));
                pMenu->close();
            });
            QVERIFY(bSeen);
            QVERIFY(m_pWindow->findChildren<QMenu *>().isEmpty());
            QVERIFY(m_pWindow->findChildren<QAction *>().isEmpty());
        }

        QTranslator translator;
        QVERIFY(translator.load(testsupport::binDir() + "/translations/app_zh_CN.qm"));
        QCoreApplication::installTranslator(&translator);
        QStringList texts;
        clickMenuButton([&](QMenu *pMenu) {
            texts = actionTexts(pMenu);
            testsupport::grabScreen(QStringLiteral("menu_zh"));
            pMenu->close();
        });
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(texts, (QStringList{"打开相册...", "保存相册...", "帮助", "检查更新", "意见反馈", "关于我们"}));
    }

    void menuEntriesOpenTheirPages()
    {
        // Nothing configured: help, feedback and about are our own pages.
        QCOMPARE(chooseAndSeePage(3), QStringLiteral("/web/help.html"));
        QCOMPARE(chooseAndSeePage(5), QStringLiteral("/web/feedback.html"));
        QCOMPARE(chooseAndSeePage(6), QStringLiteral("/web/about.html"));
        // The update check without a server says nothing at all.
        QSignalSpy spyDialogs(CQDialogExMgr::instance(), &CQDialogExMgr::sigDlgPush);
        QCOMPARE(chooseAndSeePage(4), QString());
        QCOMPARE(spyDialogs.count(), 0);
    }

    void theRealProgramOpensItsMenu()
    {
        // A copy under a name of its own (this run's), its crash reporter
        // beside it: its single-instance name meets no other Pictora, not
        // even that of this test run elsewhere on the machine.
        const QString szProgram =
            m_tmp.filePath(QStringLiteral("Pictora-shell-test%1").arg(QCoreApplication::applicationPid()));
        QVERIFY(QFile::copy(testsupport::binDir() + "/Pictora", szProgram));
        QVERIFY(QFile::copy(testsupport::binDir() + "/pictora-crashreport", m_tmp.filePath("pictora-crashreport")));
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", m_tmp.filePath("xdg-program"));
        env.insert("QT_FONT_DPI", "96");
        env.remove("QT_QPA_PLATFORM");
        program.setProcessEnvironment(env);
        program.start(szProgram, QStringList());
        QVERIFY(program.waitForStarted());
        QString szWindow;
        QTRY_VERIFY_WITH_TIMEOUT(!(szWindow = xdotool({"search", "--all", "--onlyvisible", "--pid",
                                                       QString::number(program.processId()), "--name", "^Pictora$"}))
                                      .isEmpty(),
                                 kSlowWaitMs);
        // Where the menu button is in a window of that size, from this
        // process's own window laid out the same.
        const QStringList geometry = xdotool({"getwindowgeometry", "--shell", szWindow}).split('\n');
        QRect stProgram;
        for (const QString &szLine : geometry) {
            const QStringList kv = szLine.split('=');
            if (kv.value(0) == "X") stProgram.moveLeft(kv.value(1).toInt());
            if (kv.value(0) == "Y") stProgram.moveTop(kv.value(1).toInt());
            if (kv.value(0) == "WIDTH") stProgram.setWidth(kv.value(1).toInt());
            if (kv.value(0) == "HEIGHT") stProgram.setHeight(kv.value(1).toInt());
        }
        m_pWindow->resize(stProgram.size());
        QTRY_COMPARE(m_pWindow->size(), stProgram.size());
        const QPoint stButton = button("btnAppMenu")->mapTo(m_pWindow.get(), QPoint(15, 15));
        m_pWindow->hide();

        xdotool({"mousemove", "--sync", QString::number(stProgram.x() + stButton.x()),
                 QString::number(stProgram.y() + stButton.y())});
        xdotool({"click", "1"});
        // The menu's light grey shows 10 pixels under the button, left-aligned with it.
        const QRect stMenuArea(stProgram.topLeft() + stButton + QPoint(-15 + 8, 15 + 10 + 8), QSize(60, 100));
        const auto menuGrey = [](QRgb c) {
            return qAbs(qRed(c) - 242) + qAbs(qGreen(c) - 243) + qAbs(qBlue(c) - 245) <= 6;
        };
        int iGrey = 0;
        const QDeadlineTimer stDeadline(kSlowWaitMs);
        while (iGrey < 3000 && !stDeadline.hasExpired())
            iGrey = testsupport::countPixels(testsupport::grabScreen("menu_program"), stMenuArea, menuGrey);
        QVERIFY2(iGrey >= 3000, qPrintable(QString::number(iGrey)));
        xdotool({"key", "Escape"});
        program.kill();
        program.waitForFinished();
        m_pWindow->show();
    }
};

QTEST_MAIN(TestX11Shell)
#include "tst_x11_shell.moc"
