#include "export_dialogs/FailDialog.h"

#include "export_dialogs/ExportDialogFrame.h"
#include "ui/CQWidgetEx.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

FailDialog::FailDialog(QWidget *pParent)
    : CQDialogEx(pParent)
{
    setObjectName(QStringLiteral("FailDialogClass"));
    const ExportDialogFrame stFrame = buildExportDialogFrame(this);
    setExportDialogPicture(stFrame.pBackground, QStringLiteral(":/theme_local/imgs/export_failed.png"));

    auto *pTitleRow = new QHBoxLayout;
    pTitleRow->setSpacing(8);
    pTitleRow->addStretch(1);
    auto *pIcon = new QLabel(stFrame.pBottom);
    pIcon->setObjectName(QStringLiteral("labelIcon"));
    pIcon->setFixedSize(18, 18);
    pTitleRow->addWidget(pIcon);
    m_pContent = new QLabel(stFrame.pBottom);
    m_pContent->setObjectName(QStringLiteral("labelContent"));
    pTitleRow->addWidget(m_pContent);
    pTitleRow->addStretch(1);
    stFrame.pBottomLayout->addLayout(pTitleRow);
    m_pError = new QLabel(stFrame.pBottom);
    m_pError->setObjectName(QStringLiteral("labelErrorMessage"));
    m_pError->setFixedSize(404, 18);
    m_pError->setAlignment(Qt::AlignCenter);
    m_pError->setTextFormat(Qt::PlainText);
    stFrame.pBottomLayout->addWidget(m_pError, 0, Qt::AlignHCenter);
    stFrame.pBottomLayout->addStretch(1);

    setWindowTitle(QCoreApplication::translate("FailDialogClass", "Export failed", "FailDialog"));
    m_pContent->setText(QCoreApplication::translate("FailDialogClass", "Export failed..."));
    stFrame.pClose->setFocus();
}

void FailDialog::setTitleText(const QString &szText)
{
    m_pContent->setText(szText);
}

void FailDialog::setErrorText(const QString &szText)
{
    m_pError->ensurePolished(); // the style sheet's font
    const QMargins stMargins = m_pError->contentsMargins();
    m_pError->setText(m_pError->fontMetrics().elidedText(szText, Qt::ElideRight,
                                                         m_pError->width() - stMargins.left() - stMargins.right()));
    m_pError->setToolTip(plainToolTip(szText));
    m_pError->setAccessibleName(szText);
}
