#include "app/CQEventStartUpMgr.h"

#include "online/CBLLAppUpdate.h"
#include "ui/CFramelessWindow.h"

#include <QCoreApplication>

bool CQEventStartUpUpdate::runAction()
{
    // Silent: with the release data already held, and nothing said unless
    // there is a newer version.
    CBLLAppUpdate update;
    if (update.check(false))
        if (CFramelessWindow *pWindow = CFramelessWindow::instance())
            pWindow->closeWindow();
    return true;
}

CQEventStartUpMgr::CQEventStartUpMgr(QObject *pParent)
    : QObject(pParent)
{
    m_listEvents.append(new CQEventStartUpUpdate);
}

CQEventStartUpMgr::~CQEventStartUpMgr()
{
    qDeleteAll(m_listEvents);
}

bool CQEventStartUpMgr::dispatchNext(QObject *pReceiver, bool bPost)
{
    if (m_listEvents.isEmpty())
        return false;
    CQEventStartUpBase *pEvent = m_listEvents.takeFirst();
    if (bPost) {
        QCoreApplication::postEvent(pReceiver, pEvent);
    } else {
        QCoreApplication::sendEvent(pReceiver, pEvent);
        delete pEvent;
    }
    return true;
}

bool CQEventStartUpMgr::filterEvent(QObject *, QEvent *pEvent)
{
    if (pEvent->type() != CQEventStartUpBase::kType)
        return false;
    auto *pStartUp = dynamic_cast<CQEventStartUpBase *>(pEvent);
    if (!pStartUp)
        return false;
    pStartUp->runAction();
    return true;
}
