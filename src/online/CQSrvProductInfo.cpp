#include "online/CQSrvProductInfo.h"

#include "online/SystemBrowser.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>
#include <QUrlQuery>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kProductName = QStringLiteral("Pictora");
const QString kNoVersion = QStringLiteral("000");
const QString kReleaseFile = QStringLiteral("release.ini");
const QString kConfigFile = QStringLiteral("config.ini");
const QString kStatisticsFile = QStringLiteral("statistics.log");
const QString kDefaultMachineIdPath = QStringLiteral("/etc/machine-id");
const QString kLocalPages = QStringLiteral("qrc:/web/");
const QString kLatestVersionKey = QStringLiteral("LatestVersion");
// First line of the kept release file: whose answer it is.
const QString kKeptSourcePrefix = QStringLiteral("# updateServer=");
// Nobody should ever hand us a release or config file this big; the rest is ignored.
constexpr qint64 kMaxKeyValueFileSize = 64 * 1024;

// A name that stays inside the folder it is joined to.
bool isPlainFileName(const QString &szName)
{
    return !szName.isEmpty() && szName != QLatin1String(".") && szName != QLatin1String("..")
        && !szName.contains(QLatin1Char('/')) && !szName.contains(QLatin1Char('\\'))
        && !szName.contains(QChar(0));
}

QString runningExecutableName()
{
    QString szPath;
    if (QCoreApplication::instance())
        szPath = QCoreApplication::applicationFilePath();
    else
        szPath = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QString szName = QFileInfo(szPath).fileName();
    return isPlainFileName(szName) ? szName : kProductName;
}

QString runningProgramFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

bool usableFolder(const QString &szFolder)
{
    if (szFolder.isEmpty() || !QDir().mkpath(szFolder))
        return false;
    const QFileInfo stInfo(szFolder);
    return stInfo.isDir() && stInfo.isWritable();
}

// The shared temp folder is writable by everybody, so our folder there must
// be ours alone: created 0700, owned by us, no link another user could plant.
bool privateTempFolder(const QString &szFolder)
{
    const QByteArray szNative = QFile::encodeName(szFolder);
    if (::mkdir(szNative.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(szNative.constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// Plain "key=value" lines, key and value trimmed; blank lines, comments
// ('#', ';') and "[section]" lines are skipped.
QHash<QString, QString> parseKeyValues(const QByteArray &text)
{
    QHash<QString, QString> values;
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (const QString &szRawLine : lines) {
        const QString szLine = szRawLine.trimmed();
        if (szLine.isEmpty() || szLine.startsWith(QLatin1Char('#')) || szLine.startsWith(QLatin1Char(';'))
            || szLine.startsWith(QLatin1Char('[')))
            continue;
        const int iEq = szLine.indexOf(QLatin1Char('='));
        if (iEq <= 0)
            continue;
        values.insert(szLine.left(iEq).trimmed(), szLine.mid(iEq + 1).trimmed());
    }
    return values;
}

// Read afresh every time, so a change the user makes counts at once.
bool readKeyValueFile(const QString &szPath, QHash<QString, QString> *pValues)
{
    QFile file(szPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *pValues = parseKeyValues(file.read(kMaxKeyValueFileSize));
    return true;
}

// A release names its version in dot-separated numbers ("2.10.0").
bool isReleaseVersion(const QString &szVersion)
{
    static const QRegularExpression s_re(QStringLiteral("^\\d{1,9}(\\.\\d{1,9})*$"));
    return s_re.match(szVersion).hasMatch();
}

} // namespace

CQSrvProductInfo::CQSrvProductInfo() = default;

CQSrvProductInfo &CQSrvProductInfo::instance()
{
    static CQSrvProductInfo s_info;
    return s_info;
}

void CQSrvProductInfo::setExecutableName(const QString &szName)
{
    QMutexLocker locker(&m_mutex);
    m_szExecutableName = szName;
    m_bReleaseLoaded = false;
}

void CQSrvProductInfo::setBaseFolder(const QString &szFolder)
{
    QMutexLocker locker(&m_mutex);
    m_szBaseFolder = szFolder;
    m_bReleaseLoaded = false;
}

void CQSrvProductInfo::setProgramFolder(const QString &szFolder)
{
    QMutexLocker locker(&m_mutex);
    m_szProgramFolder = szFolder;
    m_bReleaseLoaded = false;
}

void CQSrvProductInfo::setMachineIdPath(const QString &szPath)
{
    QMutexLocker locker(&m_mutex);
    m_szMachineIdPath = szPath;
}

void CQSrvProductInfo::setReleaseFetcher(const ReleaseFetcher &fnFetch)
{
    QMutexLocker locker(&m_mutex);
    m_fnFetchRelease = fnFetch;
}

void CQSrvProductInfo::setReleaseTimeouts(int iConnectMs, int iTotalMs)
{
    QMutexLocker locker(&m_mutex);
    m_iReleaseConnectTimeoutMs = iConnectMs > 0 ? iConnectMs : kReleaseConnectTimeoutMs;
    m_iReleaseTotalTimeoutMs = iTotalMs > 0 ? iTotalMs : kReleaseTotalTimeoutMs;
}

void CQSrvProductInfo::setStatisticsLogLimit(qint64 iBytes)
{
    QMutexLocker locker(&m_mutex);
    m_iStatisticsLogLimit = iBytes > 0 ? iBytes : kStatisticsLogLimit;
}

CQSrvProductInfo::Overrides CQSrvProductInfo::overrides() const
{
    QMutexLocker locker(&m_mutex);
    return Overrides{m_szExecutableName, m_szBaseFolder, m_szProgramFolder, m_szMachineIdPath};
}

QString CQSrvProductInfo::executableName() const
{
    const QString szName = overrides().szExecutableName;
    return isPlainFileName(szName) ? szName : runningExecutableName();
}

QString CQSrvProductInfo::productName() const
{
    return kProductName;
}

QString CQSrvProductInfo::currentVersion() const
{
    return QStringLiteral(PICTORA_VERSION);
}

QString CQSrvProductInfo::versionInformation() const
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(kProductName, currentVersion(), QSysInfo::kernelType(), QSysInfo::currentCpuArchitecture());
}

QString CQSrvProductInfo::folderForProduct(const QString &szProduct) const
{
    if (!isPlainFileName(szProduct))
        return QString();
    const Overrides stOverrides = overrides();
    const QString szExe = executableName();

    const QString szBase = stOverrides.szBaseFolder.isEmpty()
        ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        : stOverrides.szBaseFolder;
    if (!szBase.isEmpty()) {
        const QString szFolder = QDir::cleanPath(szBase + QLatin1Char('/') + szProduct + QLatin1Char('/') + szExe);
        if (usableFolder(szFolder))
            return szFolder;
    }

    const QString szProgram = stOverrides.szProgramFolder.isEmpty() ? runningProgramFolder()
                                                                    : stOverrides.szProgramFolder;
    if (!szProgram.isEmpty()) {
        const QString szFolder = QDir::cleanPath(szProgram + QStringLiteral("/userdata/") + szExe);
        if (usableFolder(szFolder))
            return szFolder;
    }

    const QString szPrivate = QDir::cleanPath(QDir::tempPath() + QLatin1Char('/') + szProduct
                                              + QLatin1Char('-') + QString::number(::geteuid()));
    if (privateTempFolder(szPrivate)) {
        const QString szFolder = szPrivate + QLatin1Char('/') + szExe;
        if (usableFolder(szFolder))
            return szFolder;
    }
    qDebug() << "no usable per-user data folder for" << szProduct;
    return QString();
}

QString CQSrvProductInfo::dataFolder() const
{
    return folderForProduct(kProductName);
}

QString CQSrvProductInfo::configFilePath(const QString &szProduct, const QString &szFileName) const
{
    if (!isPlainFileName(szFileName))
        return QString();
    const QString szFolder = folderForProduct(szProduct);
    if (szFolder.isEmpty())
        return QString();
    return QDir(szFolder).absoluteFilePath(szFileName);
}

void CQSrvProductInfo::loadKeptReleaseLocked(const QString &szServer, const QString &szFolder) const
{
    if (m_bReleaseLoaded && m_szReleaseServer == szServer)
        return;
    m_bReleaseLoaded = true;
    m_szReleaseServer = szServer;
    m_release.clear();
    if (szServer.isEmpty() || szFolder.isEmpty())
        return;
    QFile file(szFolder + QLatin1Char('/') + kReleaseFile);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // An answer kept from another server says nothing about this one.
    if (QString::fromUtf8(file.readLine(kMaxKeyValueFileSize)).trimmed() != kKeptSourcePrefix + szServer)
        return;
    const QHash<QString, QString> values = parseKeyValues(file.read(kMaxKeyValueFileSize));
    if (isReleaseVersion(values.value(kLatestVersionKey)))
        m_release = values;
}

QString CQSrvProductInfo::latestVersion() const
{
    const QString szServer = updateServerAddress();
    const QString szFolder = szServer.isEmpty() ? QString() : dataFolder();
    QMutexLocker locker(&m_mutex);
    loadKeptReleaseLocked(szServer, szFolder);
    const QString szVersion = m_release.value(kLatestVersionKey);
    return szVersion.isEmpty() ? kNoVersion : szVersion;
}

QString CQSrvProductInfo::releaseValue(const QString &szKey) const
{
    const QString szServer = updateServerAddress();
    const QString szFolder = szServer.isEmpty() ? QString() : dataFolder();
    QMutexLocker locker(&m_mutex);
    loadKeptReleaseLocked(szServer, szFolder);
    return m_release.value(szKey);
}

int CQSrvProductInfo::applicationId(int iIndex) const
{
    Q_UNUSED(iIndex);
    return 0;
}

bool CQSrvProductInfo::refresh(int iApplicationId)
{
    if (iApplicationId != applicationId(0))
        return false;
    const QString szServer = updateServerAddress();
    if (szServer.isEmpty())
        return false;
    ReleaseRequest stRequest;
    ReleaseFetcher fnFetch;
    {
        QMutexLocker locker(&m_mutex);
        fnFetch = m_fnFetchRelease;
        stRequest.iConnectTimeoutMs = m_iReleaseConnectTimeoutMs;
        stRequest.iTotalTimeoutMs = m_iReleaseTotalTimeoutMs;
    }
    if (!fnFetch) {
        qDebug() << "release data: no transport to fetch them";
        return false;
    }
    stRequest.szUrl = szServer;
    stRequest.szCaFile = configValue(QStringLiteral("updateServerCaFile"));

    // The request runs without the lock: it may take until the time-outs.
    QByteArray body;
    QString szError;
    if (!fnFetch(stRequest, &body, &szError)) {
        qDebug() << "release data cannot be fetched:" << szError;
        return false;
    }
    const QHash<QString, QString> values = parseKeyValues(body);
    if (!isReleaseVersion(values.value(kLatestVersionKey))) {
        qDebug() << "release data without a valid" << kLatestVersionKey;
        return false;
    }

    const QString szFolder = dataFolder();
    QMutexLocker locker(&m_mutex);
    m_bReleaseLoaded = true;
    m_szReleaseServer = szServer;
    m_release = values;
    if (!szFolder.isEmpty()) {
        QSaveFile kept(szFolder + QLatin1Char('/') + kReleaseFile);
        if (!kept.open(QIODevice::WriteOnly) || kept.write((kKeptSourcePrefix + szServer + QLatin1Char('\n')).toUtf8()) < 0
            || kept.write(body) != body.size() || !kept.commit())
            qDebug() << "release data cannot be kept:" << kept.errorString();
    }
    return true;
}

QString CQSrvProductInfo::webAddress(const QString &szKey, bool bHttpsOnly) const
{
    const QString szAddress = configValue(szKey);
    const QUrl stUrl(szAddress, QUrl::StrictMode);
    const QString szScheme = stUrl.scheme();
    const bool bScheme = szScheme == QLatin1String("https") || (!bHttpsOnly && szScheme == QLatin1String("http"));
    return stUrl.isValid() && bScheme && !stUrl.host().isEmpty() ? szAddress : QString();
}

QString CQSrvProductInfo::updateServerAddress() const
{
    return webAddress(QStringLiteral("updateServer"), true);
}

QString CQSrvProductInfo::productWebPage() const
{
    return QString();
}

QString CQSrvProductInfo::makerSiteAddress() const
{
    return webAddress(QStringLiteral("webSite"), false);
}

bool CQSrvProductInfo::openCustomerService(const QString &szDisplayName, const QString &szEntry,
                                           int iIndex, const QString &szSiteAddress) const
{
    Q_UNUSED(iIndex);
    Q_UNUSED(szSiteAddress);
    const QString szPage = webAddress(QStringLiteral("feedbackPage"), false);
    if (szPage.isEmpty())
        return false;
    QUrl stUrl(szPage);
    QUrlQuery stQuery(stUrl);
    stQuery.addQueryItem(QStringLiteral("product"), szDisplayName);
    stQuery.addQueryItem(QStringLiteral("entry"), szEntry);
    stQuery.addQueryItem(QStringLiteral("version"), currentVersion());
    stUrl.setQuery(stQuery);
    return openInSystemBrowser(stUrl);
}

QString CQSrvProductInfo::localPageAddress(const QString &szPage, const QString &szThemeName) const
{
    QUrl stUrl(kLocalPages + szPage + QStringLiteral(".html"));
    QUrlQuery stQuery;
    if (!szThemeName.isEmpty())
        stQuery.addQueryItem(QStringLiteral("theme"), szThemeName);
    // The page speaks the interface's language: "zh_CN" where the Chinese
    // translation is installed.
    stQuery.addQueryItem(QStringLiteral("lang"),
                         QCoreApplication::translate("CQSrvProductInfo", "en", "page language"));
    stQuery.addQueryItem(QStringLiteral("version"), currentVersion());
    stUrl.setQuery(stQuery);
    return stUrl.toString(QUrl::FullyEncoded);
}

QString CQSrvProductInfo::aboutPageAddress(const QString &szThemeName, int iIndex) const
{
    Q_UNUSED(iIndex);
    return localPageAddress(QStringLiteral("about"), szThemeName);
}

QString CQSrvProductInfo::userId() const
{
    return QString();
}

QString CQSrvProductInfo::machineCode() const
{
    const QString szOverride = overrides().szMachineIdPath;
    QFile file(szOverride.isEmpty() ? kDefaultMachineIdPath : szOverride);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray id = file.read(256).trimmed();
    if (id.isEmpty())
        return QString();
    // The machine id is to stay secret; hand out an id of our own derived
    // from it, keyed by the machine id as systemd recommends for app ids.
    const QByteArray code = QMessageAuthenticationCode::hash(kProductName.toUtf8(), id, QCryptographicHash::Sha256);
    return QString::fromLatin1(code.toHex());
}

QString CQSrvProductInfo::configValue(const QString &szKey) const
{
    const QString szConfig = configFilePath(kProductName, kConfigFile);
    QHash<QString, QString> values;
    if (szConfig.isEmpty() || !readKeyValueFile(szConfig, &values))
        return QString();
    return values.value(szKey);
}

bool CQSrvProductInfo::writeConfigValue(const QString &szKey, const QString &szValue)
{
    const QString szConfig = configFilePath(kProductName, kConfigFile);
    if (szConfig.isEmpty())
        return false;
    static QMutex s_writeMutex;
    QMutexLocker locker(&s_writeMutex);
    QStringList lines;
    QFile current(szConfig);
    if (current.open(QIODevice::ReadOnly))
        lines = QString::fromUtf8(current.read(kMaxKeyValueFileSize)).split(QLatin1Char('\n'));
    current.close();
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const QString szLine = szKey + QLatin1Char('=') + szValue;
    bool bReplaced = false;
    for (QString &szOld : lines) {
        const int iEq = szOld.indexOf(QLatin1Char('='));
        if (iEq > 0 && szOld.left(iEq).trimmed() == szKey) {
            szOld = szLine;
            bReplaced = true;
        }
    }
    if (!bReplaced)
        lines.append(szLine);
    QSaveFile file(szConfig);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    return file.commit();
}

bool CQSrvProductInfo::fourKWarningShown() const
{
    return configValue(QStringLiteral("showFourKWarning")) != QLatin1String("0");
}

bool CQSrvProductInfo::setFourKWarningShown(bool bShown)
{
    return writeConfigValue(QStringLiteral("showFourKWarning"), bShown ? QStringLiteral("1") : QStringLiteral("0"));
}

QString CQSrvProductInfo::statisticsSwitch() const
{
    return configValue(QStringLiteral("statistics")) == QLatin1String("1") ? QStringLiteral("1")
                                                                            : QStringLiteral("0");
}

QString CQSrvProductInfo::crashReportSwitch() const
{
    return configValue(QStringLiteral("crashReport")) == QLatin1String("1") ? QStringLiteral("1")
                                                                             : QStringLiteral("0");
}

QString CQSrvProductInfo::logServerAddress() const
{
    return webAddress(QStringLiteral("logServer"), true);
}

QString CQSrvProductInfo::logServerCaFile() const
{
    return configValue(QStringLiteral("logServerCaFile"));
}

bool CQSrvProductInfo::sendStatistics(const QString &szEventType, const QString &szJson)
{
    const QString szFolder = dataFolder();
    if (szFolder.isEmpty())
        return false;

    QJsonObject stLine;
    stLine.insert(QStringLiteral("event"), szEventType);
    stLine.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    const QJsonDocument stRecord = QJsonDocument::fromJson(szJson.toUtf8());
    if (stRecord.isObject())
        stLine.insert(QStringLiteral("record"), stRecord.object());
    else if (stRecord.isArray())
        stLine.insert(QStringLiteral("record"), stRecord.array());
    else
        stLine.insert(QStringLiteral("record"), szJson);   // kept as text, still one line
    const QByteArray line = QJsonDocument(stLine).toJson(QJsonDocument::Compact) + '\n';

    QMutexLocker locker(&m_mutex);
    const QString szLog = szFolder + QLatin1Char('/') + kStatisticsFile;
    const qint64 iSize = QFileInfo(szLog).size();
    if (iSize > 0 && iSize + line.size() > m_iStatisticsLogLimit) {
        const QString szOld = szLog + QStringLiteral(".1");
        QFile::remove(szOld);
        if (!QFile::rename(szLog, szOld)) {
            qDebug() << "statistics log cannot be rotated:" << szLog;
            return false;   // never past the limit
        }
    }
    QFile file(szLog);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qDebug() << "statistics log cannot be opened:" << file.errorString();
        return false;
    }
    if (file.write(line) != line.size() || !file.flush()) {
        qDebug() << "statistics log cannot be written:" << file.errorString();
        return false;
    }
    return true;
}
