#include "export_dialogs/ExportDialogFrame.h"

#include "ui/CQThemeMgr.h"
#include "ui/CQWidgetEx.h"
#include "ui/CQWindowDragFilter.h"

#include <QCoreApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

ExportDialogFrame buildExportDialogFrame(QDialog *pDialog)
{
    ExportDialogFrame stFrame;
    pDialog->setFixedSize(502, 352);
    pDialog->setStyleSheet(CQThemeMgr::builtInStyleSheet(QStringLiteral("ExportDialogFrame"))
                           + CQThemeMgr::builtInStyleSheet(pDialog->objectName()));

    auto *pOuter = new QVBoxLayout(pDialog);
    pOuter->setContentsMargins(0, 0, 0, 0);
    auto *pFrame = new QWidget(pDialog);
    pFrame->setObjectName(QStringLiteral("uiFrame"));
    pOuter->addWidget(pFrame);
    auto *pLayout = new QVBoxLayout(pFrame);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);

    stFrame.pBackground = new QWidget(pFrame);
    stFrame.pBackground->setObjectName(QStringLiteral("divBackground"));
    stFrame.pBackground->setAttribute(Qt::WA_StyledBackground);
    auto *pTop = new QHBoxLayout(stFrame.pBackground);
    pTop->setContentsMargins(0, 6, 6, 0);
    pTop->addStretch(1);
    stFrame.pClose = new QPushButton(stFrame.pBackground);
    stFrame.pClose->setObjectName(QStringLiteral("btnClose"));
    stFrame.pClose->setFixedSize(30, 30);
    stFrame.pClose->setFlat(true);
    stFrame.pClose->setCursor(Qt::PointingHandCursor);
    stFrame.pClose->setFocusPolicy(Qt::TabFocus);
    // Return must not close a dialog (and so cancel an export) by accident.
    stFrame.pClose->setAutoDefault(false);
    stFrame.pClose->setToolTip(QCoreApplication::translate("ExportDialogFrame", "Close"));
    stFrame.pClose->setAccessibleName(stFrame.pClose->toolTip());
    pTop->addWidget(stFrame.pClose, 0, Qt::AlignTop);
    pLayout->addWidget(stFrame.pBackground, 1);

    stFrame.pBottom = new QWidget(pFrame);
    stFrame.pBottom->setObjectName(QStringLiteral("divBottom"));
    stFrame.pBottom->setAttribute(Qt::WA_StyledBackground);
    stFrame.pBottom->setFixedHeight(106);
    stFrame.pBottomLayout = new QVBoxLayout(stFrame.pBottom);
    stFrame.pBottomLayout->setContentsMargins(40, 14, 40, 22);
    stFrame.pBottomLayout->setSpacing(12);
    pLayout->addWidget(stFrame.pBottom);

    pDialog->setWindowFlags(pDialog->windowFlags() | Qt::FramelessWindowHint);
    pDialog->setAttribute(Qt::WA_DeleteOnClose);
    setUpDialogFrame(pDialog, pFrame, pOuter, 0);
    if (CQThemeMgr *pTheme = CQThemeMgr::instance())
        pTheme->applyThemeStyle(pDialog);
    QObject::connect(stFrame.pClose, &QPushButton::clicked, pDialog, &QDialog::close);
    new CQWindowDragFilter(pDialog);
    centerWidget(pDialog, pDialog->parentWidget());
    return stFrame;
}

void setExportDialogPicture(QWidget *pBackground, const QString &szPath)
{
    // Selected by name: a bare rule would picture the close button too.
    pBackground->setStyleSheet(QStringLiteral("#divBackground{border-image:url(%1);}").arg(szPath));
}
