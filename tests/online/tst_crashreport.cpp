#include "common/TestHttpServer.h"
#include "common/TestSupport.h"
#include "online/CBLLDumpCatchUpload.h"
#include "online/CDumpCatchHookup.h"
#include "online/CQSrvProductInfo.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <thread>

#include <sys/resource.h>

using testsupport::TestHttpServer;

namespace {

using Notices = QList<QPair<QString, QString>>;

CrashNoticeFunction collectInto(Notices *pNotices)
{
    return [pNotices](const QString &szCaption, const QString &szText) { pNotices->append({szCaption, szText}); };
}

// The user's config of the program named szProgram (this test by default).
void writeConfig(bool bConsent, const QString &szServer, const QString &szProgram = QString())
{
    CQSrvProductInfo info;
    info.setExecutableName(szProgram);
    QFile file(info.configFilePath("Pictora", "config.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QStringLiteral("crashReport=%1\nlogServer=%2\nlogServerCaFile=%3\n")
                   .arg(bConsent ? "1" : "0", szServer, TestHttpServer::certificatePath())
                   .toUtf8());
}

QString exceptionField(const QByteArray &body)
{
    const QByteArray field = body.split('&').value(0);
    return field.startsWith("exception=") ? QString::fromUtf8(QByteArray::fromPercentEncoding(field.mid(10)))
                                          : QString();
}

volatile int s_iRecursionStop = -1;

int recurse(int iDepth)
{
    volatile char pad[512];
    pad[0] = char(iDepth);
    return iDepth == s_iRecursionStop ? 0 : recurse(iDepth + 1) + pad[0];
}

// The child: hooks up the crash report as Pictora does, then crashes.
int crashChild(const char *szKind)
{
    int iArgc = 1;
    char szName[] = "tst_crashreport";
    char *argv[] = {szName, nullptr};
    QCoreApplication app(iArgc, argv);
    CDumpCatchHookup hookup(printCrashNotice, testsupport::binDir() + "/pictora-crashreport");
    if (!hookup.isActive())
        return 3;
    if (!std::strcmp(szKind, "segv")) {
        volatile int *volatile pNowhere = nullptr;
        *pNowhere = 1;
    } else if (!std::strcmp(szKind, "abort")) {
        abort();
    } else if (!std::strcmp(szKind, "fpe")) {
        volatile int iOne = 1, iZero = 0;
        volatile int iResult = iOne / iZero;
        Q_UNUSED(iResult);
        raise(SIGFPE);   // where division by zero does not trap
    } else if (!std::strcmp(szKind, "recursion")) {
        return recurse(0);
    } else if (!std::strcmp(szKind, "worker recursion")) {
        std::thread worker([] { recurse(0); });
        worker.join();
    }
    return 4;
}

// A crashed process and the reporter it starts carry this variable; each
// run gets its own value.
QProcessEnvironment markedEnvironment(QByteArray *pMark)
{
    static int s_iRun = 0;
    const QString szValue = QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid()).arg(++s_iRun);
    *pMark = "PICTORA_TEST_RUN=" + szValue.toUtf8();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PICTORA_TEST_RUN"), szValue);
    return env;
}

// Whether a live process carries the mark: the reporter outlives the crash.
// Its environment tells it apart even while it is still being started.
bool markedProcessRuns(const QByteArray &mark)
{
    for (const QString &szEntry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile environ(QStringLiteral("/proc/%1/environ").arg(szEntry));
        if (environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(mark))
            return true;
    }
    return false;
}

} // namespace

class TestCrashReport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dataHome;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dataHome.isValid());
        const rlimit stNoCore{0, 0};   // for the children that crash
        QCOMPARE(setrlimit(RLIMIT_CORE, &stNoCore), 0);
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path()));
        qputenv("no_proxy", "*");
        QVERIFY2(!TestHttpServer::certificatePath().isEmpty(), "the openssl tool is needed");
    }

    void reportPostsFourFieldsOverTls()
    {
        TestHttpServer server(true);
        QVERIFY(server.isListening());
        server.setAnswer(QStringLiteral("已收到 <b>1</b>").toUtf8());
        writeConfig(true, server.baseUrl());
        Notices notices;
        CBLLDumpCatchUpload observer;
        observer.setNoticeFunction(collectInto(&notices));

        QCOMPARE(observer.report(nullptr, "SIGSEGV a+b 崩溃"), 1);
        QCOMPARE(server.requests().size(), 1);
        const testsupport::HttpRequest request = server.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/DoLoadLog.php"));
        QCOMPARE(request.header("Connection"), QByteArray("keep-alive"));
        QCOMPARE(request.header("Cache-Control"), QByteArray("no-cache"));
        QCOMPARE(request.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
        const CQSrvProductInfo &info = CQSrvProductInfo::instance();
        QVERIFY(!info.versionInformation().isEmpty());
        QCOMPARE(request.body, "exception=SIGSEGV%20a%2Bb%20%E5%B4%A9%E6%BA%83&mcode=" + info.machineCode().toUtf8()
                                   + "&uid=8888888888&vform=" + info.versionInformation().toUtf8().replace(" ", "%20"));
        QCOMPARE(notices, (Notices{{"提示", "已收到 <b>1</b>"}}));

        // One report per process goes out.
        observer.report(nullptr, "again");
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(notices.size(), 1);
    }

    void failedReportIsShownAndTheNextIsSent()
    {
        writeConfig(true, QStringLiteral("https://localhost:%1").arg(testsupport::closedPort()));
        Notices notices;
        CBLLDumpCatchUpload observer;
        observer.setNoticeFunction(collectInto(&notices));
        observer.report(nullptr, "first");
        QCOMPARE(notices, (Notices{{"错误", "Couldn't connect to server"}}));
        QCOMPARE(observer.successfulSends(), 0);

        TestHttpServer server(true);
        writeConfig(true, server.baseUrl());
        observer.report(nullptr, "second");
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(exceptionField(server.requests().first().body), QStringLiteral("second"));
        QCOMPARE(observer.successfulSends(), 1);
    }

    void nothingLeavesWithoutConsentOrHttps()
    {
        TestHttpServer https(true), http(false);
        Notices notices;
        CBLLDumpCatchUpload observer;
        observer.setNoticeFunction(collectInto(&notices));
        writeConfig(false, https.baseUrl());
        observer.report(nullptr, "no consent");
        writeConfig(true, http.baseUrl());
        observer.report(nullptr, "plain http");
        QVERIFY(https.requests().isEmpty());
        QVERIFY(http.requests().isEmpty());
        QVERIFY(notices.isEmpty());
    }

    void fallbackValuesWithoutTheService()
    {
        CBLLDumpCatchUpload observer(nullptr);
        QCOMPARE(observer.reportBody("x"), QByteArray("exception=x&mcode=unknown%20machine&uid=8888888888&vform=511230001"));
    }

    void missingReporterIsToldAndNothingIsHooked()
    {
        Notices notices;
        CDumpCatchHookup hookup(collectInto(&notices), m_dataHome.filePath("no-such-reporter"));
        QVERIFY(!hookup.isActive());
        QCOMPARE(notices, (Notices{{"提示", "无法加载DLL,faultkit.dll"}}));
    }

    void crashEndsBySignalAfterOneReport_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("consent");
        QTest::addColumn<bool>("tls");
        QTest::newRow("SIGSEGV") << "segv" << SIGSEGV << "SIGSEGV (segmentation fault), signal 11, code 1" << true << true;
        QTest::newRow("SIGABRT") << "abort" << SIGABRT << "SIGABRT (abort), signal 6" << true << true;
        QTest::newRow("SIGFPE") << "fpe" << SIGFPE << "SIGFPE (arithmetic exception), signal 8, code 1" << true << true;
        QTest::newRow("recursion") << "recursion" << SIGSEGV << "SIGSEGV (segmentation fault), signal 11" << true << true;
        QTest::newRow("worker recursion") << "worker recursion" << SIGSEGV << "SIGSEGV (segmentation fault), signal 11"
                                          << true << true;
        QTest::newRow("no consent") << "segv" << SIGSEGV << QString() << false << true;
        QTest::newRow("plain http") << "segv" << SIGSEGV << QString() << true << false;
    }

    void crashEndsBySignalAfterOneReport()
    {
#ifndef PICTORA_CRASH_TESTS
        QSKIP("the sanitizers own the fatal signals; crashes are tested in the normal build");
#endif
        QFETCH(QString, kind);
        QFETCH(int, signal);
        QFETCH(QString, description);
        QFETCH(bool, consent);
        QFETCH(bool, tls);
        TestHttpServer server(tls);
        server.setAnswer("thanks");
        writeConfig(consent, server.baseUrl());

        // The reporter outlives the child: both write into one file.
        const QString szLog = m_dataHome.filePath(QStringLiteral("crash-%1.log").arg(QTest::currentDataTag()));
        QByteArray mark;
        QProcess child;
        child.setProcessEnvironment(markedEnvironment(&mark));
        child.setStandardErrorFile(szLog);
        child.start(QCoreApplication::applicationFilePath(), {"--crash-child", kind});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(child.exitCode(), signal);
        QTRY_VERIFY_WITH_TIMEOUT(!markedProcessRuns(mark), 60000);
        QFile log(szLog);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString szOutput = QString::fromUtf8(log.readAll());
        const QList<testsupport::HttpRequest> requests = server.requests();
        QCOMPARE(requests.size(), description.isEmpty() ? 0 : 1);
        if (description.isEmpty()) {
            QVERIFY2(!szOutput.contains("提示") && !szOutput.contains("错误"), qPrintable(szOutput));
            return;
        }
        QVERIFY2(exceptionField(requests.first().body).startsWith(description), requests.first().body.constData());
        QVERIFY2(szOutput.contains("提示: thanks"), qPrintable(szOutput));
    }

    // The real program: nothing is shown or sent while it starts and runs;
    // the hookup is live (a fatal signal then sends exactly one report).
    void pictoraStartsQuietlyWithTheHookupLive()
    {
#ifndef PICTORA_CRASH_TESTS
        QSKIP("needs the programs, built without the sanitizers");
#endif
        const QString szName = QStringLiteral("PictoraQuietStart%1").arg(QCoreApplication::applicationPid());
        QTemporaryDir programDir;
        QVERIFY(QFile::copy(testsupport::binDir() + "/Pictora", programDir.filePath(szName)));
        QVERIFY(QFile::copy(testsupport::binDir() + "/pictora-crashreport", programDir.filePath("pictora-crashreport")));
        TestHttpServer server(true);
        writeConfig(true, server.baseUrl(), szName);

        QByteArray mark;
        QProcess pictora;
        pictora.setProcessEnvironment(markedEnvironment(&mark));
        pictora.start(programDir.filePath(szName), QStringList());
        QVERIFY(pictora.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(QDir::tempPath() + "/" + szName), 15000);
        QTest::qWait(1000);
        QCOMPARE(pictora.state(), QProcess::Running);
        QVERIFY(server.requests().isEmpty());
        QVERIFY(!pictora.readAllStandardError().contains("提示"));

        // The crashed program hands over and ends; the report follows.
        ::kill(pid_t(pictora.processId()), SIGSEGV);
        QVERIFY(pictora.waitForFinished(60000));
        QCOMPARE(pictora.exitStatus(), QProcess::CrashExit);
        QCOMPARE(pictora.exitCode(), SIGSEGV);
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!markedProcessRuns(mark), 60000);
        QVERIFY(exceptionField(server.requests().first().body).startsWith("SIGSEGV (segmentation fault), signal 11"));
        QFile::remove(QDir::tempPath() + "/" + szName);
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && !std::strcmp(argv[1], "--crash-child"))
        return crashChild(argv[2]);
    QCoreApplication app(argc, argv);
    TestCrashReport test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashreport.moc"
