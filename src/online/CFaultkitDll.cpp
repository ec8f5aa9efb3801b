#include "online/CFaultkitDll.h"

#include "app/ProgramFolders.h"
#include "online/CFaultkit.h"
#include "online/CQSrvProductInfo.h"

CFaultkitDll::CFaultkitDll(const CrashNoticeFunction &fnNotice, const QString &szReporterPath)
{
    const QString szCaption = QStringLiteral("提示");
    // Loading means finding the reporter that a crash will start.
    m_bLoaded = CFaultkit::instance().load(szReporterPath, CQSrvProductInfo::instance().executableName());
    if (!m_bLoaded) {
        fnNotice(szCaption, QStringLiteral("无法加载DLL,faultkit.dll"));
        return;
    }
    m_pfnExport = &getBLLDumpCatchMgrExportInterface;
    m_pInterface = m_pfnExport();
    if (!m_pInterface)
        fnNotice(szCaption, QStringLiteral("函数返回空,getBLLDumpCatchMgrExportInterface"));
}

QString CFaultkitDll::defaultReporterPath()
{
    return helperProgramFolder() + QStringLiteral("/pictora-crashreport");
}
