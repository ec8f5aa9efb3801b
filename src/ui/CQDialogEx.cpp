#include "ui/CQDialogEx.h"

#include "ui/CQDialogExMgr.h"
#include "ui/CQThemeMgr.h"

CQDialogEx::CQDialogEx(QWidget *pParent, Qt::WindowFlags flags)
    : QDialog(pParent, flags)
{
}

CQDialogEx::~CQDialogEx()
{
    // A dialog destroyed while shown must not stay in the manager's list.
    if (CQDialogExMgr *pMgr = CQDialogExMgr::instance(); pMgr && pMgr->openDialogs().contains(this))
        pMgr->onHide(this);
}

bool CQDialogEx::applyTheme()
{
    CQThemeMgr *pTheme = CQThemeMgr::instance();
    return pTheme && pTheme->applyThemeStyle(this);
}

void CQDialogEx::showEvent(QShowEvent *pEvent)
{
    if (CQDialogExMgr *pMgr = CQDialogExMgr::instance())
        pMgr->onShow(this);
    QDialog::showEvent(pEvent);
}

void CQDialogEx::hideEvent(QHideEvent *pEvent)
{
    if (CQDialogExMgr *pMgr = CQDialogExMgr::instance())
        pMgr->onHide(this);
    QWidget::hideEvent(pEvent);
}
