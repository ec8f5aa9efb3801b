#pragma once

#include "app/SingletonCls.h"

#include <QList>
#include <QObject>

class CQDialogEx;

// Keeps the list of open dialogs (most recently shown first) and tells the
// shadow manager when one is shown or hidden.
class CQDialogExMgr : public QObject, public SingletonCls<CQDialogExMgr>
{
    Q_OBJECT
public:
    explicit CQDialogExMgr(QObject *pParent = nullptr) : QObject(pParent) {}

    void onShow(CQDialogEx *pDialog);
    void onHide(CQDialogEx *pDialog);
    int openDialogCount() const { return m_listDialogs.size(); }
    const QList<CQDialogEx *> &openDialogs() const { return m_listDialogs; }

Q_SIGNALS:
    void sigDlgPush();
    void sigDlgPop();

private:
    QList<CQDialogEx *> m_listDialogs;
};
