#include "online/CBLLAppUpdate.h"

#include "online/CQSrvProductInfo.h"
#include "online/SystemBrowser.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQDlgTipSimple.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QThread>
#include <QUrl>
#include <QVector>

#include <atomic>
#include <cerrno>
#include <memory>
#include <unistd.h>

namespace {

const QString kNoVersion = QStringLiteral("000");

QVector<qint64> versionNumbers(const QString &szVersion)
{
    QVector<qint64> numbers;
    for (const QString &szPart : szVersion.trimmed().split(QLatin1Char('.')))
        numbers.append(szPart.toLongLong());   // anything unreadable counts as 0
    return numbers;
}

} // namespace

CBLLAppUpdate::CBLLAppUpdate(QObject *pParent)
    : QObject(pParent)
{
}

bool CBLLAppUpdate::isNewerVersion(const QString &szLatest, const QString &szCurrent)
{
    if (szLatest.trimmed().isEmpty() || szLatest.trimmed() == kNoVersion)
        return false;
    const QVector<qint64> latest = versionNumbers(szLatest);
    const QVector<qint64> current = versionNumbers(szCurrent);
    for (int i = 0; i < qMax(latest.size(), current.size()); ++i) {
        const qint64 iLatest = latest.value(i, 0);
        const qint64 iCurrent = current.value(i, 0);
        if (iLatest != iCurrent)
            return iLatest > iCurrent;
    }
    return false;
}

QStringList CBLLAppUpdate::updaterArguments(const QString &szAppFile, qint64 iPid, const QString &szVersionInfo)
{
    return {QStringLiteral("/appfile=") + szAppFile, QStringLiteral("/ppid=") + QString::number(iPid),
            QStringLiteral("/verinfo=") + szVersionInfo};
}

bool CBLLAppUpdate::newerVersionKnown() const
{
    const CQSrvProductInfo &info = CQSrvProductInfo::instance();
    return isNewerVersion(info.latestVersion(), info.currentVersion());
}

int CBLLAppUpdate::showTip(const QString &szText, bool bSingleButton, const QString &szOkText)
{
    CFramelessWindow *pWindow = CFramelessWindow::instance();
    CQDlgTipSimple tip(pWindow ? static_cast<QWidget *>(pWindow->overlay()) : nullptr);
    tip.setTipText(szText);
    if (!szOkText.isEmpty())
        tip.setOkText(szOkText);
    if (bSingleButton)
        tip.setSingleButton();
    return tip.exec();
}

bool CBLLAppUpdate::refreshKeepingWindowAlive()
{
    CQSrvProductInfo &info = CQSrvProductInfo::instance();
    const QPointer<QWidget> pWindow = CFramelessWindow::instance();
    const bool bDisable = pWindow && pWindow->isEnabled();
    if (bDisable)
        pWindow->setEnabled(false);

    auto pOk = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<QThread> pWorker(QThread::create([pOk, &info] { *pOk = info.refresh(info.applicationId(0)); }));
    QEventLoop loop;
    connect(pWorker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    pWorker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    // A quitting application ends every event loop at once; the request
    // still ends within its time-outs.
    pWorker->wait();

    if (bDisable && pWindow)
        pWindow->setEnabled(true);
    return pOk->load();
}

bool CBLLAppUpdate::check(bool bShowLatestTip)
{
    const bool bOk = m_bRefreshFirst ? refreshKeepingWindowAlive() : true;
    const CQSrvProductInfo &info = CQSrvProductInfo::instance();
    const QString szLatest = info.latestVersion();
    if (szLatest == kNoVersion || !bOk)
        return false;
    if (!isNewerVersion(szLatest, info.currentVersion())) {
        if (bShowLatestTip)
            showTip(tr("It is already the latest version!"), true);
        return false;
    }

    const bool bForced = info.releaseValue(QStringLiteral("ForceUpdate")).toInt() > 0;
    const int iAnswer =
        showTip(tr("New version detected, whether to close the software and update it?"), bForced, tr("Update"));
    if (iAnswer != QDialog::Accepted && !bForced)
        return false;

    const QString szAppFile = QCoreApplication::applicationFilePath();
    if (szAppFile.isEmpty()) {
        showTip(tr("Error: Unable to get the product path!"), true);
        return false;
    }
    return startUpdater(szAppFile);
}

bool CBLLAppUpdate::startUpdater(const QString &szAppFile)
{
    const CQSrvProductInfo &info = CQSrvProductInfo::instance();
    // Started by absolute path, never looked up or through a shell.
    const QString szUpdater = QFileInfo(m_szUpdaterPath.isEmpty()
                                            ? QCoreApplication::applicationDirPath() + QStringLiteral("/KvUp")
                                            : m_szUpdaterPath)
                                  .absoluteFilePath();
    int iError = ENOENT;
    if (QFileInfo::exists(szUpdater)) {
        QString szVersionInfo = info.releaseValue(QStringLiteral("VersionInfo"));
        if (szVersionInfo.isEmpty())
            szVersionInfo = info.versionInformation();
        if (::access(QFile::encodeName(szUpdater).constData(), X_OK) != 0) {
            iError = errno;
        } else {
            errno = 0;
            if (QProcess::startDetached(szUpdater,
                                        updaterArguments(szAppFile, QCoreApplication::applicationPid(), szVersionInfo)))
                return true;
            iError = errno ? errno : -1;
        }
    } else {
        // Packages update through the system: the release's page tells how.
        const QUrl stPage(info.releaseValue(QStringLiteral("DownloadPage")));
        if (openInSystemBrowser(stPage))
            return false;
    }
    showTip(tr("Error: Unable to start updater,%1").arg(iError), true);
    return false;
}
