#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

#include <functional>

// Product identity, release data, per-user data folder, identifiers and the
// statistics channel. Built into the program; the only request it makes
// itself is the release file's, and only to a configured update server. One
// process-wide object, reached through instance(); separate
// objects can be made for tests (or tools) that need other settings.
//
// Per-user data folder, first one that can be created and written:
//   1. <base>/<product>/<executable file name>, base = the generic data
//      location ($XDG_DATA_HOME, usually ~/.local/share) or setBaseFolder();
//   2. <program folder>/userdata/<executable file name>;
//   3. <temp>/<product>-<uid>/<executable file name>, the <product>-<uid>
//      folder private to the user (mode 0700, owned by us, not a link).
// The executable's file name is part of every choice, so differently named
// copies of the program never share (or clear) each other's data.
//
// Release data: fetched over https by refresh() from the address that
// "updateServer" in the user config names (a release file, format in
// README.md), through the transport set with setReleaseFetcher(). The last
// good answer is kept in memory and in "release.ini" in the data folder, so
// that the silent check of the next start has it. Without "updateServer"
// nothing is fetched or read and the latest version is "000".
//
// User config: "config.ini" in the data folder, "key=value" lines, read
// afresh on every use.
// Everything that would leave the machine is off unless the user turns it on:
//   statistics=1        the statistics switch;
//   crashReport=1       consent to send a crash report;
//   logServer=https://host[:port]   where crash reports go (https only);
//   logServerCaFile=/path/ca.pem    certificates trusted for it besides the
//                                   system's (optional);
//   updateServer=https://host/path  the release file (https only);
//   updateServerCaFile=/path/ca.pem as logServerCaFile, for the update server;
//   webSite=https://host            the maker's site (product and help pages);
//   feedbackPage=https://host/path  the customer-service page.
// The program writes one key itself, keeping every other line as it is:
//   showFourKWarning=0  the user asked not to be warned about 4K materials.
//
// Statistics log: "statistics.log" in the data folder, one compact JSON
// object per line: {"event":...,"record":...,"time":...}. Past a size limit
// it is renamed "statistics.log.1" (replacing the older one) and a new log
// begins, so the two never hold much more than twice the limit.
//
// All methods are thread-safe.
class CQSrvProductInfo
{
public:
    CQSrvProductInfo();
    CQSrvProductInfo(const CQSrvProductInfo &) = delete;
    CQSrvProductInfo &operator=(const CQSrvProductInfo &) = delete;

    // The process-wide object, created on first use.
    static CQSrvProductInfo &instance();

    static constexpr qint64 kStatisticsLogLimit = 1024 * 1024;
    static constexpr int kReleaseConnectTimeoutMs = 5000;
    static constexpr int kReleaseTotalTimeoutMs = 10000;

    // One https request for the release file: false with an error text when
    // no complete answer with status 200 came within the time-outs.
    struct ReleaseRequest
    {
        QString szUrl;
        QString szCaFile;
        int iConnectTimeoutMs = kReleaseConnectTimeoutMs;
        int iTotalTimeoutMs = kReleaseTotalTimeoutMs;
    };
    using ReleaseFetcher = std::function<bool(const ReleaseRequest &, QByteArray *pBody, QString *pszError)>;

    // Overrides, empty restores the default. Meant for tests and tools.
    void setExecutableName(const QString &szName);   // default: this program's file name
    void setBaseFolder(const QString &szFolder);     // default: generic data location
    void setProgramFolder(const QString &szFolder);  // default: the application folder
    void setMachineIdPath(const QString &szPath);    // default: /etc/machine-id
    void setStatisticsLogLimit(qint64 iBytes);       // default: kStatisticsLogLimit
    void setReleaseFetcher(const ReleaseFetcher &fnFetch);   // default: none, refresh() fails
    void setReleaseTimeouts(int iConnectMs, int iTotalMs);   // 0 or less: the defaults

    QString executableName() const;

    // "Pictora".
    QString productName() const;
    // The running version, "2.3.0".
    QString currentVersion() const;
    // Opaque description of the installed product, "Pictora 2.3.0 linux x86_64".
    QString versionInformation() const;

    // Absolute path of szFileName in the per-user data folder of szProduct;
    // the folder is created when missing. Empty when the names are not plain
    // file names or no folder is usable.
    QString configFilePath(const QString &szProduct, const QString &szFileName) const;
    // The per-user data folder of this product, created when missing; empty
    // when no folder is usable.
    QString dataFolder() const;

    // Latest release as last fetched; "000" when nothing is known or no
    // update server is configured.
    QString latestVersion() const;
    // A value of the last fetched release file ("ForceUpdate", "VersionInfo",
    // "DownloadPage"); empty when absent.
    QString releaseValue(const QString &szKey) const;
    // The identifier refresh() expects; always 0.
    int applicationId(int iIndex) const;
    // Fetches the release file again (blocking, within the time-outs; may
    // run in any thread). False when the id is not ours, no update server is
    // configured or the fetch fails; the last good answer then stays.
    bool refresh(int iApplicationId);
    // The configured update server when it is an https address with a host;
    // empty otherwise.
    QString updateServerAddress() const;

    // No product page of its own: empty, so callers use the maker's site.
    QString productWebPage() const;
    // The configured maker's site (http or https with a host); empty when none.
    QString makerSiteAddress() const;
    // Opens the configured customer-service page in the system browser with
    // the product and entry point in its query. False when none is
    // configured (or it cannot be opened): the caller shows its own page.
    bool openCustomerService(const QString &szDisplayName, const QString &szEntry,
                             int iIndex, const QString &szSiteAddress) const;
    // Address of one of our own pages (about, panel, help, product,
    // feedback) in the program's resources, with the theme, the interface
    // language and the version in its query.
    QString localPageAddress(const QString &szPage, const QString &szThemeName = QString()) const;
    // The about page among them.
    QString aboutPageAddress(const QString &szThemeName, int iIndex) const;

    // Nobody signs in on this platform: always empty.
    QString userId() const;
    // 64 hex characters derived from the machine id (never the id itself);
    // empty when the machine id cannot be read.
    QString machineCode() const;

    // "1" when the user's config turns statistics on, "0" otherwise.
    QString statisticsSwitch() const;
    // "1" when the user agreed to send crash reports, "0" otherwise.
    QString crashReportSwitch() const;
    // The configured log server when it is an https address with a host;
    // empty otherwise (nothing is then sent).
    QString logServerAddress() const;
    // The configured CA file for the log server; empty when none.
    QString logServerCaFile() const;
    // Whether the editor warns before adding 4K materials (true unless the
    // user turned it off), and turning it off or on again. The setter is
    // false when config.ini cannot be written.
    bool fourKWarningShown() const;
    bool setFourKWarningShown(bool bShown);
    // Appends one record to the statistics log. False when it cannot be written.
    bool sendStatistics(const QString &szEventType, const QString &szJson);

private:
    struct Overrides
    {
        QString szExecutableName;
        QString szBaseFolder;
        QString szProgramFolder;
        QString szMachineIdPath;
    };
    Overrides overrides() const;
    QString folderForProduct(const QString &szProduct) const;
    // A trimmed value of the user's config; empty when it is not set.
    QString configValue(const QString &szKey) const;
    // Sets szKey=szValue in the user's config, replacing the key's line or
    // adding one; the file is replaced in one step.
    bool writeConfigValue(const QString &szKey, const QString &szValue);
    // A configured address when it is http(s) (https only when bHttpsOnly) with a host.
    QString webAddress(const QString &szKey, bool bHttpsOnly) const;
    // Loads the kept answer of szServer on first use; call with m_mutex held.
    void loadKeptReleaseLocked(const QString &szServer, const QString &szFolder) const;

    mutable QMutex m_mutex;
    QString m_szExecutableName;
    QString m_szBaseFolder;
    QString m_szProgramFolder;
    QString m_szMachineIdPath;
    qint64 m_iStatisticsLogLimit = kStatisticsLogLimit;
    ReleaseFetcher m_fnFetchRelease;
    int m_iReleaseConnectTimeoutMs = kReleaseConnectTimeoutMs;
    int m_iReleaseTotalTimeoutMs = kReleaseTotalTimeoutMs;
    // The answer held for m_szReleaseServer; loaded from the kept file once.
    mutable bool m_bReleaseLoaded = false;
    mutable QString m_szReleaseServer;
    mutable QHash<QString, QString> m_release;
};
