#include "online/CQJSBase.h"

#include "online/CQDlgWebViewKV.h"

CQJSBase::CQJSBase(QObject *pParent)
    : QObject(pParent)
{
}

QString CQJSBase::pageAddress() const
{
    return QString();
}

QString CQJSBase::title() const
{
    return QString();
}

QString CQJSBase::bridgeObjectName() const
{
    return QStringLiteral("pcClient");
}

bool CQJSBase::showTitle() const
{
    return false;
}

void CQJSBase::bind(CQDlgWebViewKV *pDialog)
{
    if (m_pDialog)
        disconnect(this, &CQJSBase::sigClientCallInstallJS, m_pDialog, nullptr);
    m_pDialog = pDialog;
    if (pDialog)
        connect(this, &CQJSBase::sigClientCallInstallJS, pDialog, &CQDlgWebViewKV::runScript);
}

void CQJSBase::sltWebClose(int nResult)
{
    if (m_pDialog)
        m_pDialog->done(nResult);
}

void CQJSBase::sltClientCallInstallJS(QString szJSCode)
{
    if (m_pDialog)
        m_pDialog->runScript(szJSCode);
}

CQJSPage::CQJSPage(const QString &szAddress, const QString &szTitle, QObject *pParent)
    : CQJSBase(pParent)
    , m_szAddress(szAddress)
    , m_szTitle(szTitle)
{
}
