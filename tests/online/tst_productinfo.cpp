#include "common/TestHttpServer.h"
#include "online/CCurlHttpGet.h"
#include "online/CQSrvProductInfo.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QtTest>

#include "online/SystemBrowser.h"

#include <sys/stat.h>
#include <unistd.h>

using testsupport::TestHttpServer;

namespace {

void writeFile(const QString &szPath, const QByteArray &content)
{
    QFile file(szPath);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(szPath));
    QCOMPARE(file.write(content), qint64(content.size()));
}

QByteArray readFile(const QString &szPath)
{
    QFile file(szPath);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool isHex64(const QString &sz)
{
    static const QRegularExpression s_re(QStringLiteral("^[0-9a-f]{64}$"));
    return s_re.match(sz).hasMatch();
}

// Restores an environment variable when the test ends.
class EnvGuard
{
public:
    explicit EnvGuard(const char *szName) : m_szName(szName), m_bHad(qEnvironmentVariableIsSet(szName)),
        m_value(qgetenv(szName)) {}
    ~EnvGuard()
    {
        if (m_bHad)
            qputenv(m_szName, m_value);
        else
            qunsetenv(m_szName);
    }

private:
    const char *m_szName;
    bool m_bHad;
    QByteArray m_value;
};

// Records what would have gone to the system browser.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    explicit UrlRecorder(QList<QUrl> *pUrls) : m_pUrls(pUrls) {}
public Q_SLOTS:
    void record(const QUrl &stUrl) { m_pUrls->append(stUrl); }
private:
    QList<QUrl> *m_pUrls;
};

} // namespace

class TestProductInfo : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;

    QString sub(const QString &szName)
    {
        const QString sz = m_tmp.path() + QLatin1Char('/') + szName;
        QDir().mkpath(sz);
        return sz;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        qputenv("no_proxy", "*");   // the local servers only, whatever the environment says
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_tmp.path() + QStringLiteral("/xdg")));
    }

    void identity()
    {
        CQSrvProductInfo &info = CQSrvProductInfo::instance();
        QCOMPARE(&info, &CQSrvProductInfo::instance());
        QCOMPARE(info.productName(), QStringLiteral("Pictora"));
        QCOMPARE(info.currentVersion(), QStringLiteral("2.3.0"));
        QCOMPARE(info.versionInformation(),
                 QStringLiteral("Pictora 2.3.0 %1 %2").arg(QSysInfo::kernelType(), QSysInfo::currentCpuArchitecture()));
        QCOMPARE(info.applicationId(0), 0);
        QVERIFY(info.userId().isEmpty());
        QVERIFY(info.productWebPage().isEmpty());
    }

    void configPathLiesInExecutableFolder()
    {
        const QString szExpected = m_tmp.path() + QStringLiteral("/xdg/Pictora/tst_productinfo/config.ini");
        CQSrvProductInfo &info = CQSrvProductInfo::instance();
        QCOMPARE(info.executableName(), QStringLiteral("tst_productinfo"));
        QCOMPARE(info.configFilePath(QStringLiteral("Pictora"), QStringLiteral("config.ini")), szExpected);
        QVERIFY(QFileInfo(szExpected).absoluteDir().exists());
        QCOMPARE(info.dataFolder(), QFileInfo(szExpected).absolutePath());

        CQSrvProductInfo other;
        other.setExecutableName(QStringLiteral("PictoraLite"));
        const QString szOther = other.configFilePath(QStringLiteral("Pictora"), QStringLiteral("config.ini"));
        QCOMPARE(szOther, m_tmp.path() + QStringLiteral("/xdg/Pictora/PictoraLite/config.ini"));
        QVERIFY(szOther != szExpected);

        // Names that would leave the folder are refused.
        QVERIFY(info.configFilePath(QStringLiteral("Pictora"), QStringLiteral("../config.ini")).isEmpty());
        QVERIFY(info.configFilePath(QStringLiteral(".."), QStringLiteral("config.ini")).isEmpty());
        QVERIFY(info.configFilePath(QStringLiteral("Pictora"), QString()).isEmpty());
        other.setExecutableName(QStringLiteral("../escape"));
        QCOMPARE(other.executableName(), QStringLiteral("tst_productinfo"));
    }

    void dataFolderFallsBack()
    {
        EnvGuard tmpGuard("TMPDIR");
        const QString szRoot = sub(QStringLiteral("fallback"));
        // A regular file where a folder should be: unusable even for root.
        const QString szBlockedBase = szRoot + QStringLiteral("/base-is-a-file");
        writeFile(szBlockedBase, "x");

        CQSrvProductInfo info;
        info.setExecutableName(QStringLiteral("PictoraX"));
        info.setBaseFolder(szBlockedBase);
        info.setProgramFolder(szRoot + QStringLiteral("/program"));
        QCOMPARE(info.dataFolder(), szRoot + QStringLiteral("/program/userdata/PictoraX"));
        QVERIFY(QFileInfo(info.dataFolder()).isDir());

        const QString szBlockedProgram = szRoot + QStringLiteral("/program-is-a-file");
        writeFile(szBlockedProgram, "x");
        info.setProgramFolder(szBlockedProgram);
        qputenv("TMPDIR", QFile::encodeName(sub(QStringLiteral("fallback/tmp"))));
        const QString szPrivate = szRoot + QStringLiteral("/tmp/Pictora-%1").arg(::geteuid());
        QCOMPARE(info.dataFolder(), szPrivate + QStringLiteral("/PictoraX"));
        struct stat st {};
        QCOMPARE(::lstat(QFile::encodeName(szPrivate).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0700);

        // A folder someone else could write into is not taken.
        QVERIFY(QFile::setPermissions(szPrivate, QFileDevice::Permissions(0x7777)));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^no usable per-user data folder")));
        QVERIFY(info.dataFolder().isEmpty());
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^no usable per-user data folder")));
        QVERIFY(info.configFilePath(QStringLiteral("Pictora"), QStringLiteral("config.ini")).isEmpty());
    }

    void releaseDataComeFromTheUpdateServerAndAreKept()
    {
        TestHttpServer server(true);
        QVERIFY(server.isListening());
        const auto fetch = [](const CQSrvProductInfo::ReleaseRequest &st, QByteArray *pBody, QString *pszError) {
            return CCurlHttpGet::fetch(st.szUrl, st.szCaFile, st.iConnectTimeoutMs, st.iTotalTimeoutMs, pBody,
                                       pszError);
        };
        CQSrvProductInfo info;
        info.setBaseFolder(sub(QStringLiteral("release")));
        info.setReleaseFetcher(fetch);
        const QString szConfig = info.configFilePath(QStringLiteral("Pictora"), QStringLiteral("config.ini"));
        const QString szKept = info.dataFolder() + QStringLiteral("/release.ini");
        const QString szUrl = server.baseUrl() + QStringLiteral("/pictora/release.ini");
        const QByteArray caLine = "updateServerCaFile=" + TestHttpServer::certificatePath().toUtf8() + "\n";

        // No update server (the default), or one that is not https: nothing
        // is asked and nothing is known, whatever lies in the folder.
        writeFile(szKept, "# updateServer=" + szUrl.toUtf8() + "\nLatestVersion=9.9.9\n");
        writeFile(szConfig, "updateServer=http://localhost:1/release.ini\n");
        QVERIFY(!info.refresh(0));
        QCOMPARE(info.latestVersion(), QStringLiteral("000"));
        QVERIFY(server.requests().isEmpty());

        // A verified answer is taken, and kept for the next start.
        writeFile(szConfig, "updateServer=" + szUrl.toUtf8() + "\n" + caLine);
        server.setAnswer("# Pictora\nLatestVersion = 2.10.0\nForceUpdate=1\nVersionInfo=Pictora \"2.10.0\"\n"
                         "DownloadPage=https://example.org/pictora\n");
        QVERIFY(!info.refresh(7));   // not our id
        QVERIFY(info.refresh(info.applicationId(0)));
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(server.requests().first().method, QByteArray("GET"));
        QCOMPARE(server.requests().first().path, QByteArray("/pictora/release.ini"));
        QCOMPARE(info.latestVersion(), QStringLiteral("2.10.0"));
        QCOMPARE(info.releaseValue(QStringLiteral("VersionInfo")), QStringLiteral("Pictora \"2.10.0\""));
        CQSrvProductInfo nextStart;
        nextStart.setBaseFolder(sub(QStringLiteral("release")));
        QCOMPARE(nextStart.latestVersion(), QStringLiteral("2.10.0"));
        QCOMPARE(nextStart.releaseValue(QStringLiteral("ForceUpdate")), QStringLiteral("1"));
        QCOMPARE(server.requests().size(), 1);

        // Bad answers leave the last good one in place.
        server.setAnswer("<html>maintenance</html>");
        QVERIFY(!info.refresh(0));
        server.setBehaviour(TestHttpServer::Behaviour::Oversized);
        QVERIFY(!info.refresh(0));
        QCOMPARE(info.latestVersion(), QStringLiteral("2.10.0"));

        // An answer kept from another server says nothing about a new one.
        writeFile(szConfig, "updateServer=https://localhost:1/release.ini\n" + caLine);
        CQSrvProductInfo otherServer;
        otherServer.setBaseFolder(sub(QStringLiteral("release")));
        QCOMPARE(otherServer.latestVersion(), QStringLiteral("000"));
        QVERIFY(QFile::remove(szConfig));
    }

    void machineCodeIsDerived()
    {
        const QString szIdFile = sub(QStringLiteral("machine")) + QStringLiteral("/machine-id");
        const QByteArray rawId = "0123456789abcdef0123456789abcdef";
        writeFile(szIdFile, rawId + '\n');

        CQSrvProductInfo info;
        info.setMachineIdPath(szIdFile);
        const QString szCode = info.machineCode();
        QVERIFY2(isHex64(szCode), qPrintable(szCode));
        QVERIFY(!szCode.contains(QString::fromLatin1(rawId)));
        QCOMPARE(info.machineCode(), szCode);
        CQSrvProductInfo again;
        again.setMachineIdPath(szIdFile);
        QCOMPARE(again.machineCode(), szCode);

        writeFile(szIdFile, "fedcba9876543210fedcba9876543210\n");
        const QString szOther = info.machineCode();
        QVERIFY(isHex64(szOther));
        QVERIFY(szOther != szCode);

        writeFile(szIdFile, "\n");
        QVERIFY(info.machineCode().isEmpty());
        info.setMachineIdPath(szIdFile + QStringLiteral(".missing"));
        QVERIFY(info.machineCode().isEmpty());

        // The real one, where the system has it.
        const QByteArray realId = readFile(QStringLiteral("/etc/machine-id")).trimmed();
        if (!realId.isEmpty()) {
            const QString szReal = CQSrvProductInfo::instance().machineCode();
            QVERIFY(isHex64(szReal));
            QVERIFY(!szReal.contains(QString::fromLatin1(realId), Qt::CaseInsensitive));
        }
    }

    void statisticsSwitchFollowsConfig()
    {
        CQSrvProductInfo info;
        info.setBaseFolder(sub(QStringLiteral("switch")));
        QCOMPARE(info.statisticsSwitch(), QStringLiteral("0"));

        const QString szConfig = info.configFilePath(QStringLiteral("Pictora"), QStringLiteral("config.ini"));
        writeFile(szConfig, "[General]\nstatistics=1\n");
        QCOMPARE(info.statisticsSwitch(), QStringLiteral("1"));
        writeFile(szConfig, "statistics=0\nother=something longer\n");
        QCOMPARE(info.statisticsSwitch(), QStringLiteral("0"));
        writeFile(szConfig, "statistics=yes please\n");
        QCOMPARE(info.statisticsSwitch(), QStringLiteral("0"));

        // The crash report: off by default, and only https servers are used.
        QCOMPARE(info.crashReportSwitch(), QStringLiteral("0"));
        QVERIFY(info.logServerAddress().isEmpty());
        writeFile(szConfig, "statistics=1\ncrashReport=1\nlogServer=https://logs.example:8443\n");
        QCOMPARE(info.statisticsSwitch(), QStringLiteral("1"));   // a change counts at once
        QCOMPARE(info.crashReportSwitch(), QStringLiteral("1"));
        QCOMPARE(info.logServerAddress(), QStringLiteral("https://logs.example:8443"));
        for (const char *szServer : {"http://logs.example", "https:///nohost", "ftp://logs.example", "logs.example"}) {
            writeFile(szConfig, QByteArray("logServer=") + szServer);
            QVERIFY2(info.logServerAddress().isEmpty(), szServer);
        }
    }

    void statisticsChannelAppendsLines()
    {
        CQSrvProductInfo info;
        info.setBaseFolder(sub(QStringLiteral("stats")));
        const QString szRecord = QStringLiteral("{\"function_module\":\"vistalo\",\"pic_num\":\"3\",\"watermark_type_num\":\"无\"}");
        QVERIFY(info.sendStatistics(QStringLiteral("1"), szRecord));
        QVERIFY(info.sendStatistics(QStringLiteral("1"), szRecord));
        QVERIFY(info.sendStatistics(QStringLiteral("2"), QStringLiteral("not json\nsecond line")));

        const QByteArray log = readFile(info.dataFolder() + QStringLiteral("/statistics.log"));
        QVERIFY(log.endsWith('\n'));
        const QList<QByteArray> lines = log.trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        const QJsonObject stExpected = QJsonDocument::fromJson(szRecord.toUtf8()).object();
        for (int i = 0; i < 2; ++i) {
            QJsonParseError err{};
            const QJsonObject stLine = QJsonDocument::fromJson(lines.at(i), &err).object();
            QCOMPARE(err.error, QJsonParseError::NoError);
            QCOMPARE(stLine.value(QStringLiteral("event")).toString(), QStringLiteral("1"));
            QCOMPARE(stLine.value(QStringLiteral("record")).toObject(), stExpected);
            QVERIFY(!stLine.value(QStringLiteral("time")).toString().isEmpty());
        }
        const QJsonObject stText = QJsonDocument::fromJson(lines.at(2)).object();
        QCOMPARE(stText.value(QStringLiteral("event")).toString(), QStringLiteral("2"));
        QCOMPARE(stText.value(QStringLiteral("record")).toString(), QStringLiteral("not json\nsecond line"));
    }

    void statisticsChannelReportsFailure()
    {
        CQSrvProductInfo info;
        info.setBaseFolder(sub(QStringLiteral("stats-fail")));
        // A folder where the log file should be: cannot be written, even by root.
        QVERIFY(QDir().mkpath(info.dataFolder() + QStringLiteral("/statistics.log")));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^statistics log cannot be opened")));
        QVERIFY(!info.sendStatistics(QStringLiteral("1"), QStringLiteral("{}")));

        if (::geteuid() == 0)
            QSKIP("root ignores folder permissions; the read-only folder case needs a normal user");

        EnvGuard tmpGuard("TMPDIR");
        const QString szReadOnly = sub(QStringLiteral("stats-ro"));
        CQSrvProductInfo ro;
        ro.setBaseFolder(szReadOnly);
        const QString szFolder = ro.dataFolder();
        QVERIFY(!szFolder.isEmpty());
        QVERIFY(ro.sendStatistics(QStringLiteral("1"), QStringLiteral("{}")));
        // Every candidate folder read-only: nothing can be written anywhere.
        const QString szProgram = sub(QStringLiteral("stats-ro-program"));
        const QString szTmp = sub(QStringLiteral("stats-ro-tmp"));
        ro.setProgramFolder(szProgram);
        qputenv("TMPDIR", QFile::encodeName(szTmp));
        const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
        for (const QString &sz : {szFolder, szProgram, szTmp})
            QVERIFY(QFile::setPermissions(sz, readOnly));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^no usable per-user data folder")));
        const bool bSent = ro.sendStatistics(QStringLiteral("1"), QStringLiteral("{}"));
        const auto readWrite = readOnly | QFileDevice::WriteOwner;
        for (const QString &sz : {szFolder, szProgram, szTmp})
            QFile::setPermissions(sz, readWrite);
        QVERIFY(!bSent);
    }

    void pagesAndCustomerService()
    {
        CQSrvProductInfo &info = CQSrvProductInfo::instance();
        const QUrl stThemed(info.aboutPageAddress(QStringLiteral("theme dark&x"), 0));
        QCOMPARE(stThemed.scheme(), QStringLiteral("qrc"));
        QCOMPARE(stThemed.path(), QStringLiteral("/web/about.html"));
        const QUrlQuery stQuery(stThemed);
        QCOMPARE(stQuery.queryItemValue(QStringLiteral("theme"), QUrl::FullyDecoded), QStringLiteral("theme dark&x"));
        QCOMPARE(stQuery.queryItemValue(QStringLiteral("lang")), QStringLiteral("en"));
        QCOMPARE(stQuery.queryItemValue(QStringLiteral("version")), QStringLiteral("2.3.0"));

        // Without a configured page the caller shows its own; with one, the
        // browser gets it. Only web addresses ever reach the browser.
        QList<QUrl> opened;
        UrlRecorder recorder(&opened);
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "record");
        QDesktopServices::setUrlHandler(QStringLiteral("qrc"), &recorder, "record");
        QVERIFY(!info.openCustomerService(QStringLiteral("Pictora"), QStringLiteral("pc_button"), 0, QString()));
        QVERIFY(!openInSystemBrowser(QUrl()));
        QVERIFY(!openInSystemBrowser(stThemed));
        QVERIFY(opened.isEmpty());
        writeFile(info.configFilePath(QStringLiteral("Pictora"), QStringLiteral("config.ini")),
                  "feedbackPage=https://example.org/support?from=app\nwebSite=javascript:alert(1)\n");
        QVERIFY(info.openCustomerService(QStringLiteral("Pictora"), QStringLiteral("pc_button"), 0, QString()));
        QCOMPARE(opened.size(), 1);
        const QUrlQuery stSent(opened.first());
        QCOMPARE(opened.first().host(), QStringLiteral("example.org"));
        QCOMPARE(stSent.queryItemValue(QStringLiteral("from")), QStringLiteral("app"));
        QCOMPARE(stSent.queryItemValue(QStringLiteral("entry")), QStringLiteral("pc_button"));
        QVERIFY(info.makerSiteAddress().isEmpty());
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("qrc"));
        QVERIFY(QFile::remove(info.configFilePath(QStringLiteral("Pictora"), QStringLiteral("config.ini"))));
    }
};

QTEST_MAIN(TestProductInfo)
#include "tst_productinfo.moc"
