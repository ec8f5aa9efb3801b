#pragma once

#include <QHash>
#include <QMutex>
#include <QString>

// Product identity, release data, per-user data folder, identifiers and the
// statistics channel. Built into the program; nothing here goes to the
// network. One process-wide object, reached through instance(); separate
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
// Release file: "release.ini" in the data folder, read on first use and
// again by refresh(). Plain "key=value" lines; blank lines, lines starting
// with '#' or ';' and "[section]" lines are skipped; key and value are
// trimmed. Keys used: "LatestVersion" (latest release, e.g. 2.3.1) and
// "ForceUpdate" (a number above 0 makes the update mandatory).
//
// User config: "config.ini" in the data folder, read like the release file
// on every use.
// Everything that would leave the machine is off unless the user turns it on:
//   statistics=1        the statistics switch;
//   crashReport=1       consent to send a crash report;
//   logServer=https://host[:port]   where crash reports go (https only);
//   logServerCaFile=/path/ca.pem    certificates trusted for it besides the
//                                   system's (optional).
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

    // Overrides, empty restores the default. Meant for tests and tools.
    void setExecutableName(const QString &szName);   // default: this program's file name
    void setBaseFolder(const QString &szFolder);     // default: generic data location
    void setProgramFolder(const QString &szFolder);  // default: the application folder
    void setMachineIdPath(const QString &szPath);    // default: /etc/machine-id
    void setStatisticsLogLimit(qint64 iBytes);       // default: kStatisticsLogLimit

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

    // Latest release from the release file; "000" when there is none.
    QString latestVersion() const;
    // Any value of the release file ("ForceUpdate"); empty when absent.
    QString releaseValue(const QString &szKey) const;
    // The identifier refresh() expects; always 0.
    int applicationId(int iIndex) const;
    // Reads the release file again. False when the id is not ours or there
    // is no readable release file (the values then say "no information").
    bool refresh(int iApplicationId);

    // No offline page exists; empty, so callers use their own page.
    QString productWebPage() const;
    // No customer service is reachable offline: logs at debug level and
    // does nothing.
    void openCustomerService(const QString &szDisplayName, const QString &szEntry,
                             int iIndex, const QString &szSiteAddress) const;
    // Address of the about page in the program's resources.
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
    // Parses the release file; call with m_mutex held.
    bool loadReleaseLocked(const QString &szFolder) const;

    mutable QMutex m_mutex;
    QString m_szExecutableName;
    QString m_szBaseFolder;
    QString m_szProgramFolder;
    QString m_szMachineIdPath;
    qint64 m_iStatisticsLogLimit = kStatisticsLogLimit;
    mutable bool m_bReleaseLoaded = false;
    mutable QHash<QString, QString> m_release;
};
