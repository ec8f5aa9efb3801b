#include "ui/CQDlgTipSimple.h"

#include "ui/CFramelessWindow.h"
#include "ui/CQPromptParts.h"
#include "ui/CQThemeMgr.h"
#include "ui/CQUIPushButton.h"
#include "ui/CQWidgetEx.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

CQDlgTipSimple::CQDlgTipSimple(QWidget *pParent)
    : CQDialogEx(pParent)
{
    setObjectName(QStringLiteral("CQDlgTipSimple"));
    setFixedSize(344, 228);
    setStyleSheet(CQThemeMgr::builtInStyleSheet(objectName()));
    const CQPromptParts parts = buildPromptFrame(this);
    m_pTitle = parts.pTitle;
    m_pClose = parts.pClose;

    auto *pCenter = new QWidget(parts.pFrame);
    pCenter->setObjectName(QStringLiteral("uiCenter"));
    auto *pCenterLayout = new QHBoxLayout(pCenter);
    pCenterLayout->setObjectName(QStringLiteral("horizontalLayout_2"));
    pCenterLayout->setContentsMargins(24, 0, 24, 0);
    m_pTip = promptTextLabel(pCenter, "uiTip");
    m_pTip->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pCenterLayout->addWidget(m_pTip);
    parts.pFrameLayout->addWidget(pCenter, 1);

    m_pCancel = promptButton(parts.pFrame, "btnCancel");
    m_pOk = promptButton(parts.pFrame, "btnOK");
    m_pTwoButtons = promptButtonRow(parts.pFrame, "uiBottom1", "gridLayout_2", {m_pCancel, m_pOk});
    m_pTwoButtons->setMinimumWidth(320);
    m_pOkSingle = promptButton(parts.pFrame, "btnOK_2");
    m_pOneButton = promptButtonRow(parts.pFrame, "uiBottom2", "gridLayout", {m_pOkSingle});
    parts.pFrameLayout->addWidget(m_pTwoButtons);
    parts.pFrameLayout->addWidget(m_pOneButton);
    applyTheme();

    setWindowFlags(windowFlags() | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    setUpDialogFrame(this, parts.pFrame, parts.pOuterLayout, 12);
    centerWidget(this, CFramelessWindow::instance());
    keepOnScreen(this);

    setWindowTitle(tr("Check for updates", "checkUpdate"));
    m_pTitle->setText(windowTitle());
    m_pClose->setToolTip(tr("Close"));
    m_pClose->setAccessibleName(m_pClose->toolTip());
    m_pCancel->setText(tr("Cancel"));
    setOkText(tr("Confirm", "Comfirm"));
    connect(m_pClose, &QPushButton::clicked, this, &CQDlgTipSimple::sltClose);
    connect(m_pCancel, &QPushButton::clicked, this, &CQDlgTipSimple::sltClose);
    connect(m_pOk, &QPushButton::clicked, this, &CQDlgTipSimple::sltOK);
    connect(m_pOkSingle, &QPushButton::clicked, this, &CQDlgTipSimple::sltOK);
    m_pTwoButtons->show();
    m_pOneButton->hide();
    m_pOk->setDefault(true);
    m_pOk->setFocus();
}

void CQDlgTipSimple::setTitle(const QString &szText)
{
    m_pTitle->setText(szText);
    setWindowTitle(szText);
}

void CQDlgTipSimple::setTipText(const QString &szText)
{
    m_pTip->setText(szText);
}

void CQDlgTipSimple::setOkText(const QString &szText)
{
    m_pOk->setText(szText);
    m_pOkSingle->setText(szText);
}

void CQDlgTipSimple::setCancelText(const QString &szText)
{
    m_pCancel->setText(szText);
}

void CQDlgTipSimple::setSingleButton()
{
    m_pTwoButtons->hide();
    m_pOneButton->show();
    m_pOkSingle->setDefault(true);
    m_pOkSingle->setFocus();
}

void CQDlgTipSimple::addContentWidget(QWidget *pWidget)
{
    // Below the message, centred: beside it the message would have no room.
    QWidget *pCenter = m_pTip->parentWidget();
    auto *pFrameLayout = qobject_cast<QBoxLayout *>(pCenter->parentWidget()->layout());
    pFrameLayout->insertWidget(pFrameLayout->indexOf(pCenter) + 1, pWidget, 0, Qt::AlignHCenter);
}

void CQDlgTipSimple::sltClose()
{
    close();
}

void CQDlgTipSimple::sltOK()
{
    accept();
}
