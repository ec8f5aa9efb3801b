#include "ui/CFrameLessCaption.h"

#include "online/CQDlgWebViewKV.h"
#include "online/CQJSBase.h"
#include "online/CQSrvProductInfo.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQDlgTipSimple.h"

#include <QPushButton>

CFrameLessCaption::CFrameLessCaption(QWidget *pMainWindow)
    : QObject(pMainWindow)
    , m_pMainWindow(pMainWindow)
    , m_appMenu(pMainWindow)
{
}

void CFrameLessCaption::connectMenuButton(QPushButton *pButton)
{
    connect(pButton, &QPushButton::clicked, &m_appMenu, &CBLLAppMenu::sltAppMenu);
}

CQDlgWebViewKV *CFrameLessCaption::webDialog()
{
    auto *pWindow = qobject_cast<CFramelessWindow *>(m_pMainWindow);
    QWidget *pParent = pWindow ? static_cast<QWidget *>(pWindow->overlay()) : m_pMainWindow;
    if (m_pWebDialog) {
        CQDlgTipSimple tip(pParent);
        tip.setTipText(tr("A web page is already open.", "CQDlgWebViewKV is using"));
        tip.setSingleButton();
        tip.exec();
        return nullptr;
    }
    m_pWebDialog = new CQDlgWebViewKV(pParent);
    return m_pWebDialog;
}

int CFrameLessCaption::showWebPage(CQJSBase *pBridge)
{
    CQDlgWebViewKV *pDialog = webDialog();
    if (!pDialog) {
        delete pBridge;
        return -1;
    }
    pBridge->bind(pDialog);
    pDialog->setBridge(pBridge);
    const int iResult = pDialog->exec();
    delete pDialog;   // takes the bridge with it
    return iResult;
}

int CFrameLessCaption::showLocalPage(const QString &szPage, const QString &szTitle)
{
    return showWebPage(new CQJSPage(CQSrvProductInfo::instance().localPageAddress(szPage), szTitle));
}
