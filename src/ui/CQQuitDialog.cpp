#include "ui/CQQuitDialog.h"

#include "ui/CBLLUIShadowMgr.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQPromptParts.h"
#include "ui/CQThemeMgr.h"
#include "ui/CQUIPushButton.h"
#include "ui/CQWidgetEx.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CQQuitDialog::CQQuitDialog(QWidget *pParent)
    : QDialog(pParent)
{
    setObjectName(QStringLiteral("CQQuitDialogClass"));
    resize(320, 232);
    setMinimumSize(320, 232);
    setMaximumSize(398, 232);
    setStyleSheet(CQThemeMgr::builtInStyleSheet(objectName()));
    const CQPromptParts parts = buildPromptFrame(this);
    m_pTitle = parts.pTitle;

    auto *pCenter = new QWidget(parts.pFrame);
    pCenter->setObjectName(QStringLiteral("uiCenter"));
    auto *pCenterLayout = m_pCenterLayout = new QGridLayout(pCenter);
    pCenterLayout->setObjectName(QStringLiteral("gridLayout"));
    pCenterLayout->setContentsMargins(0, 0, 20, 0);
    pCenterLayout->setRowStretch(0, 1);
    m_pTip = promptTextLabel(pCenter, "uiTip");
    pCenterLayout->addWidget(m_pTip, 1, 0);
    pCenterLayout->setRowMinimumHeight(2, 10);
    m_pTip2 = promptTextLabel(pCenter, "uiTip2");
    pCenterLayout->addWidget(m_pTip2, 3, 0);
    pCenterLayout->setRowStretch(4, 1);
    parts.pFrameLayout->addWidget(pCenter, 1);

    m_pCancel = promptButton(parts.pFrame, "btnCancel");
    m_pOk = promptButton(parts.pFrame, "btnOK");
    parts.pFrameLayout->addWidget(promptButtonRow(parts.pFrame, "uiBottom1", "gridLayout_2", {m_pCancel, m_pOk}));

    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setUpDialogFrame(this, parts.pFrame, parts.pOuterLayout, 0);
    centerWidget(this, CFramelessWindow::instance());

    setWindowTitle(tr("Tips"));
    m_pTitle->setText(QCoreApplication::translate("CQQuitDialogClass", "Tips"));
    m_pTip->setText(QCoreApplication::translate("CQQuitDialogClass", "Are you sure you want to quit?", "label1"));
    m_pCancel->setText(QCoreApplication::translate("CQQuitDialogClass", "Cancel"));
    m_pOk->setText(QCoreApplication::translate("CQQuitDialogClass", "Confirm", "Comfirm"));
    parts.pClose->setToolTip(QCoreApplication::translate("CQQuitDialogClass", "Close"));
    parts.pClose->setAccessibleName(parts.pClose->toolTip());
    connect(parts.pClose, &QPushButton::clicked, this, &CQQuitDialog::sltClose);
    connect(m_pCancel, &QPushButton::clicked, this, &CQQuitDialog::sltCancel);
    connect(m_pOk, &QPushButton::clicked, this, &CQQuitDialog::sltOK);
    m_pOk->setDefault(true);
    m_pOk->setFocus();
}

CQQuitDialog::~CQQuitDialog() = default;

void CQQuitDialog::setTitle(const QString &szText)
{
    m_pTitle->setText(szText);
    setWindowTitle(szText);
}

void CQQuitDialog::setTexts(const QString &szFirst, const QString &szSecond, const QString &szFirstStyle,
                            const QString &szSecondStyle)
{
    m_pTip->setText(szFirst);
    m_pTip2->setText(szSecond);
    if (!szFirstStyle.isEmpty())
        m_pTip->setStyleSheet(szFirstStyle);
    if (!szSecondStyle.isEmpty())
        m_pTip2->setStyleSheet(szSecondStyle);
}

namespace {

void setFittingText(QPushButton *pButton, const QString &szText)
{
    pButton->setText(szText);
    pButton->ensurePolished(); // the style sheet's font
    constexpr int kNarrowest = 76;
    constexpr int kTextPadding = 24;
    pButton->setFixedWidth(qMax(kNarrowest, pButton->fontMetrics().horizontalAdvance(szText) + kTextPadding));
}

} // namespace

void CQQuitDialog::setLeftButtonText(const QString &szText)
{
    setFittingText(m_pCancel, szText);
}

void CQQuitDialog::setRightButtonText(const QString &szText)
{
    setFittingText(m_pOk, szText);
}

void CQQuitDialog::setCheckText(const QString &szText)
{
    if (!m_pCheck) {
        m_pCheck = new QCheckBox(m_pTip->parentWidget());
        m_pCheck->setObjectName(QStringLiteral("checkRemember"));
        m_pCenterLayout->setRowMinimumHeight(4, 10);
        m_pCenterLayout->addWidget(m_pCheck, 5, 0);
        m_pCenterLayout->setRowStretch(6, 1);
        m_pCenterLayout->setRowStretch(4, 0);
    }
    m_pCheck->setText(szText);
}

bool CQQuitDialog::isChecked() const
{
    return m_pCheck && m_pCheck->isChecked();
}

void CQQuitDialog::sltClose()
{
    close();
}

void CQQuitDialog::sltCancel()
{
    close();
    Q_EMIT btnLeftSignal();
}

void CQQuitDialog::sltOK()
{
    close();
    Q_EMIT btnRightSignal();
}

void CQQuitDialog::showEvent(QShowEvent *pEvent)
{
    m_dimming.setDimmed(true);
    QDialog::showEvent(pEvent);
}

void CQQuitDialog::hideEvent(QHideEvent *pEvent)
{
    m_dimming.setDimmed(false);
    QDialog::hideEvent(pEvent);
}
