// The update check against a local TLS server playing the update server,
// with the real main window, prompts and updater start.
#include "app/CQEventStartUpMgr.h"
#include "app/CQSrvProduct.h"
#include "common/TestHttpServer.h"
#include "online/CBLLAppUpdate.h"
#include "online/CQSrvProductInfo.h"
#include "ui/CFrameLessBottom.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQDlgTipSimple.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using testsupport::TestHttpServer;

namespace {

// Answers every prompt that comes up, in turn, and notes what it said.
class TipAnswerer : public QObject
{
    Q_OBJECT
public:
    explicit TipAnswerer(bool bAccept) : m_bAccept(bAccept)
    {
        connect(&m_poll, &QTimer::timeout, this, &TipAnswerer::poll);
        m_poll.start(10);
    }
    QStringList texts;
    QList<bool> singleButton;

public Q_SLOTS:
    void record(const QUrl &stUrl) { opened.append(stUrl); }

public:
    QList<QUrl> opened;

private:
    void poll()
    {
        auto *pTip = qobject_cast<CQDlgTipSimple *>(QApplication::activeModalWidget());
        if (!pTip || pTip == m_pLast)
            return;
        m_pLast = pTip;
        texts << pTip->findChild<QLabel *>("uiTip")->text();
        singleButton << pTip->findChild<QWidget *>("uiBottom2")->isVisibleTo(pTip);
        if (m_bAccept)
            pTip->accept();
        else
            pTip->reject();
    }

    QTimer m_poll;
    bool m_bAccept;
    QPointer<CQDlgTipSimple> m_pLast;
};

const QString kLatest = QStringLiteral("It is already the latest version!");
const QString kNewer = QStringLiteral("New version detected, whether to close the software and update it?");

} // namespace

class TestAppUpdate : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    std::unique_ptr<CQSrvProduct> m_pServices;
    std::unique_ptr<CFramelessWindow> m_pWindow;

    static void writeConfig(const QByteArray &text)
    {
        QFile file(CQSrvProductInfo::instance().configFilePath("Pictora", "config.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    // The server answers szRelease at the configured update address.
    static void serve(TestHttpServer &server, const QByteArray &release)
    {
        QVERIFY(server.isListening());
        server.setAnswer(release);
        writeConfig("updateServer=" + server.baseUrl().toUtf8() + "/release.ini\nupdateServerCaFile="
                    + TestHttpServer::certificatePath().toUtf8() + "\n");
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_tmp.path()));
        qputenv("no_proxy", "*");
        QVERIFY2(!TestHttpServer::certificatePath().isEmpty(), "the openssl tool is needed");
    }

    void init()
    {
        writeConfig(QByteArray());
        m_pServices = std::make_unique<CQSrvProduct>();
        m_pWindow = std::make_unique<CFramelessWindow>();
        m_pWindow->show();
        // The start-up check has run (nothing configured yet).
        QTRY_COMPARE(CQEventStartUpMgr::instance()->pendingCount(), 0);
    }

    void cleanup()
    {
        m_pWindow.reset();
        m_pServices.reset();
    }

    void versionsCompareAsNumbers()
    {
        QVERIFY(CBLLAppUpdate::isNewerVersion("2.10.0", "2.9.0"));
        QVERIFY(CBLLAppUpdate::isNewerVersion("2.3.1", "2.3.0"));
        QVERIFY(CBLLAppUpdate::isNewerVersion("2.3.0.1", "2.3"));
        QVERIFY(!CBLLAppUpdate::isNewerVersion("2.3", "2.3.0"));
        QVERIFY(!CBLLAppUpdate::isNewerVersion("2.9.0", "2.10.0"));
        QVERIFY(!CBLLAppUpdate::isNewerVersion("000", "0.0.1"));
        QVERIFY(!CBLLAppUpdate::isNewerVersion("000", ""));
    }

    void checksFollowTheReleaseData_data()
    {
        QTest::addColumn<QByteArray>("release");
        QTest::addColumn<QStringList>("manualTips");
        QTest::addColumn<bool>("buttonShown");
        QTest::newRow("no update server") << QByteArray() << QStringList() << false;
        QTest::newRow("000") << QByteArray("LatestVersion=000") << QStringList() << false;
        QTest::newRow("same version") << QByteArray("LatestVersion=2.3.0") << QStringList{kLatest} << false;
        QTest::newRow("older") << QByteArray("LatestVersion=2.2.9") << QStringList{kLatest} << false;
        QTest::newRow("2.3.1") << QByteArray("LatestVersion=2.3.1") << QStringList{kNewer} << true;
        QTest::newRow("2.10.0, later though sorted before as text") << QByteArray("LatestVersion=2.10.0")
                                                                     << QStringList{kNewer} << true;
    }

    void checksFollowTheReleaseData()
    {
        QFETCH(QByteArray, release);
        QFETCH(QStringList, manualTips);
        QFETCH(bool, buttonShown);
        TestHttpServer server(true);
        if (!release.isEmpty())
            serve(server, release);

        // The update button: the prompts are declined, the window stays.
        {
            TipAnswerer manual(false);
            QSignalSpy spyRequest(m_pWindow->bottomBar(), &CFrameLessBottom::sig_appUpdate);
            m_pWindow->bottomBar()->sltAppUpdate();
            QCOMPARE(manual.texts, manualTips);
            QCOMPARE(spyRequest.count(), 1);
            // Only the notice that nothing is newer has a single button.
            for (int i = 0; i < manual.texts.size(); ++i)
                QCOMPARE(manual.singleButton.at(i), manual.texts.at(i) == kLatest);
        }
        QCOMPARE(server.requests().size(), release.isEmpty() ? 0 : 1);
        QVERIFY(m_pWindow->isVisible() && m_pWindow->isEnabled());
        QCOMPARE(m_pWindow->bottomBar()->updateButton()->isVisibleTo(m_pWindow.get()), buttonShown);

        // The silent check works with what was fetched and never says
        // that there is nothing newer.
        TipAnswerer silent(false);
        QVERIFY(!CBLLAppUpdate().check(false));
        QCOMPARE(silent.texts, buttonShown ? manualTips : QStringList());
        QCOMPARE(server.requests().size(), release.isEmpty() ? 0 : 1);
    }

    void forcedUpdateStartsTheUpdaterWithItsArgumentsIntact()
    {
        TestHttpServer server(true);
        serve(server, "LatestVersion=2.3.1\nForceUpdate=1\nVersionInfo=Pictora \"2.3.1\" (x86_64)\n");
        const QString szUpdater = m_tmp.filePath("updater with spaces/KvUp");
        QVERIFY(QDir().mkpath(QFileInfo(szUpdater).absolutePath()));
        QFile script(szUpdater);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));

        // The single-button prompt, closed: the update happens all the same.
        TipAnswerer closed(false);
        CBLLAppUpdate update;
        update.setRefreshFirst(true);
        update.setUpdaterPath(szUpdater);
        QVERIFY(update.check(true));
        QCOMPARE(closed.texts, QStringList{kNewer});
        QCOMPARE(closed.singleButton, QList<bool>{true});

        QFile args(szUpdater + ".args");
        QTRY_VERIFY(args.exists() && args.size() > 0);
        QVERIFY(args.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(args.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines, (QStringList{"/appfile=" + QCoreApplication::applicationFilePath(),
                                     "/ppid=" + QString::number(QCoreApplication::applicationPid()),
                                     "/verinfo=Pictora \"2.3.1\" (x86_64)"}));
    }

    void withoutUpdaterTheDownloadPageOpens_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<bool>("opened");
        QTest::newRow("download page") << QByteArray("https://example.org/pictora/download") << true;
        QTest::newRow("none") << QByteArray() << false;
        QTest::newRow("our own resources never go out") << QByteArray("qrc:/web/about.html") << false;
    }

    void withoutUpdaterTheDownloadPageOpens()
    {
        QFETCH(QByteArray, page);
        QFETCH(bool, opened);
        TestHttpServer server(true);
        serve(server, "LatestVersion=2.3.1\nDownloadPage=" + page + "\n");
        TipAnswerer answerer(true);
        QDesktopServices::setUrlHandler("https", &answerer, "record");
        QDesktopServices::setUrlHandler("qrc", &answerer, "record");
        CBLLAppUpdate update;
        update.setRefreshFirst(true);
        update.setUpdaterPath(m_tmp.filePath("nowhere/KvUp"));
        QVERIFY(!update.check(true));
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("qrc");
        QCOMPARE(answerer.opened, opened ? QList<QUrl>{QUrl(QString::fromUtf8(page))} : QList<QUrl>());
        QStringList expected{kNewer};
        if (!opened)
            expected << QStringLiteral("Error: Unable to start updater,2");
        QCOMPARE(answerer.texts, expected);
    }

    void hangingServerLeavesTheWindowAlive()
    {
        TestHttpServer server(true);
        serve(server, "LatestVersion=2.3.1");
        server.setBehaviour(TestHttpServer::Behaviour::Hang);
        CQSrvProductInfo::instance().setReleaseTimeouts(300, 1500);

        // While the refresh waits, the window's events go on (a timer keeps
        // ticking) with its input off; no prompt follows a failed refresh.
        int iTicks = 0;
        bool bDisabledMeanwhile = true;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] {
            ++iTicks;
            bDisabledMeanwhile = bDisabledMeanwhile && !m_pWindow->isEnabled();
        });
        TipAnswerer answerer(false);
        QElapsedTimer stClock;
        stClock.start();
        ticker.start(20);
        m_pWindow->bottomBar()->sltAppUpdate();
        ticker.stop();
        qInfo("refresh against a hanging server returned after %lld ms", stClock.elapsed());
        CQSrvProductInfo::instance().setReleaseTimeouts(0, 0);
        QVERIFY(server.waitForRequests(1, 5000));
        QVERIFY(iTicks > 0);
        QVERIFY(bDisabledMeanwhile);
        QVERIFY(m_pWindow->isEnabled());
        QVERIFY(answerer.texts.isEmpty());
    }
};

QTEST_MAIN(TestAppUpdate)
#include "tst_appupdate.moc"
