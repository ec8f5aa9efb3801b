#include "ui/CQDialogExMgr.h"

void CQDialogExMgr::onShow(CQDialogEx *pDialog)
{
    if (!m_listDialogs.contains(pDialog))
        m_listDialogs.prepend(pDialog);
    Q_EMIT sigDlgPush();
}

void CQDialogExMgr::onHide(CQDialogEx *pDialog)
{
    m_listDialogs.removeOne(pDialog);
    Q_EMIT sigDlgPop();
}
