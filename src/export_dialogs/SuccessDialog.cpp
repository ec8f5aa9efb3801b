#include "export_dialogs/SuccessDialog.h"

#include "export_dialogs/ExportDialogFrame.h"
#include "ui/CQUIPushButton.h"
#include "ui/CQWidgetEx.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

SuccessDialog::SuccessDialog(QWidget *pParent)
    : CQDialogEx(pParent)
{
    setObjectName(QStringLiteral("SuccessDialogClass"));
    const ExportDialogFrame stFrame = buildExportDialogFrame(this);
    setExportDialogPicture(stFrame.pBackground, QStringLiteral(":/theme_local/imgs/export_success.png"));

    auto *pTitleRow = new QHBoxLayout;
    pTitleRow->setSpacing(8);
    pTitleRow->addStretch(1);
    auto *pLeftIcon = new QLabel(stFrame.pBottom);
    pLeftIcon->setObjectName(QStringLiteral("labelLeftIcon"));
    pLeftIcon->setFixedSize(16, 16);
    pTitleRow->addWidget(pLeftIcon);
    auto *pContent = new QLabel(stFrame.pBottom);
    pContent->setObjectName(QStringLiteral("labelContent"));
    pTitleRow->addWidget(pContent);
    auto *pRightIcon = new QLabel(stFrame.pBottom);
    pRightIcon->setObjectName(QStringLiteral("labelRightIcon"));
    pRightIcon->setFixedSize(16, 16);
    pTitleRow->addWidget(pRightIcon);
    pTitleRow->addStretch(1);
    stFrame.pBottomLayout->addLayout(pTitleRow);
    m_pExportFolder = new CQUIPushButton(stFrame.pBottom);
    m_pExportFolder->setObjectName(QStringLiteral("btnExportFolder"));
    m_pExportFolder->setFixedSize(200, 36);
    m_pExportFolder->setCursor(Qt::PointingHandCursor);
    stFrame.pBottomLayout->addWidget(m_pExportFolder, 0, Qt::AlignHCenter);

    setWindowTitle(QCoreApplication::translate("SuccessDialogClass", "Export succeeded", "SuccessDialog"));
    pContent->setText(QCoreApplication::translate("SuccessDialogClass", "Export succeeded"));
    m_pExportFolder->setText(QCoreApplication::translate("SuccessDialogClass", "Open the export folder"));
    connect(m_pExportFolder, &QPushButton::clicked, this, &SuccessDialog::sig_explorerFolderRequest);
    m_pExportFolder->setDefault(true);
    m_pExportFolder->setFocus();
}

void SuccessDialog::setExportedFile(const QString &szPath)
{
    m_szExportedFile = szPath;
    m_pExportFolder->setToolTip(plainToolTip(szPath));
}
