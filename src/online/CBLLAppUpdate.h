#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// Decides whether a newer Pictora exists, asks the user and hands over to
// the updater program "KvUp" beside Pictora; where there is none (packages
// update through the system), "Update" opens the release's download page.
// One object per check, on the GUI thread.
class CBLLAppUpdate : public QObject
{
    Q_OBJECT
public:
    explicit CBLLAppUpdate(QObject *pParent = nullptr);

    // Fetch the release data first (the manual check).
    void setRefreshFirst(bool bRefreshFirst) { m_bRefreshFirst = bRefreshFirst; }
    // Another updater program than "KvUp" beside Pictora (tests, tools).
    void setUpdaterPath(const QString &szPath) { m_szUpdaterPath = szPath; }

    // Runs the check: true only when the updater was started (the caller
    // then closes the main window). With bShowLatestTip the user also hears
    // that there is nothing newer.
    bool check(bool bShowLatestTip);
    // Whether the release data name a later version than the running one.
    bool newerVersionKnown() const;

    // Whether szLatest is a later version than szCurrent: dot-separated
    // numbers compared one by one, missing parts count as 0; "000" (no
    // information) is never later.
    static bool isNewerVersion(const QString &szLatest, const QString &szCurrent);
    // The updater's command line, one value per argument.
    static QStringList updaterArguments(const QString &szAppFile, qint64 iPid, const QString &szVersionInfo);

private:
    // Fetches the release data in a worker thread while the window, disabled
    // for input, keeps repainting.
    bool refreshKeepingWindowAlive();
    // Starts the updater, or opens the download page where there is none.
    // True only when the updater was started.
    bool startUpdater(const QString &szAppFile);
    int showTip(const QString &szText, bool bSingleButton, const QString &szOkText = QString());

    bool m_bRefreshFirst = false;
    QString m_szUpdaterPath;
};
