#include "online/CDumpCatchHookup.h"

CDumpCatchHookup::CDumpCatchHookup(const CrashNoticeFunction &fnNotice, const QString &szReporterPath)
    : m_loader(fnNotice, szReporterPath)
{
    CDumpCatchInterface *pInterface = m_loader.getInterface();
    CDumpCatchManager *pManager = pInterface ? pInterface->getManager() : nullptr;
    if (pManager && pManager->registerObserver(&m_observer))
        m_pManager = pManager;
}

CDumpCatchHookup::~CDumpCatchHookup()
{
    if (m_pManager)
        m_pManager->unregisterObserver(&m_observer);
}
