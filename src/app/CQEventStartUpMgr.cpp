#include "app/CQEventStartUpMgr.h"

#include <QCoreApplication>
#include <QDebug>

bool CQEventStartUpUpdate::runAction()
{
    // There is no update check in this build yet: nothing is started and the
    // main window stays open.
    qInfo("start-up update check: no update was started");
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
