#include "export_dialogs/ProgressDialog.h"

#include "ui/CQThemeMgr.h"
#include "ui/CQWidgetEx.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimerEvent>
#include <QVBoxLayout>

ProgressDialog::ProgressDialog(QWidget *pParent)
    : QDialog(pParent)
{
    setObjectName(QStringLiteral("ProgressDialogClass"));
    setFixedSize(502, 352);
    setStyleSheet(CQThemeMgr::builtInStyleSheet(objectName()));

    auto *pOuter = new QVBoxLayout(this);
    pOuter->setContentsMargins(0, 0, 0, 0);
    pOuter->setSpacing(0);
    auto *pFrame = new QWidget(this);
    pFrame->setObjectName(QStringLiteral("uiFrame"));
    pOuter->addWidget(pFrame);
    auto *pFrameLayout = new QVBoxLayout(pFrame);
    pFrameLayout->setContentsMargins(0, 0, 0, 0);
    pFrameLayout->setSpacing(0);

    m_pBackground = new QWidget(pFrame);
    m_pBackground->setObjectName(QStringLiteral("divBackground"));
    m_pBackground->setAttribute(Qt::WA_StyledBackground);
    auto *pTop = new QHBoxLayout(m_pBackground);
    pTop->setContentsMargins(0, 6, 6, 0);
    pTop->addStretch(1);
    m_pClose = new QPushButton(m_pBackground);
    m_pClose->setObjectName(QStringLiteral("btnClose"));
    m_pClose->setFixedSize(30, 30);
    m_pClose->setFlat(true);
    m_pClose->setCursor(Qt::PointingHandCursor);
    pTop->addWidget(m_pClose, 0, Qt::AlignTop);
    pFrameLayout->addWidget(m_pBackground, 1);

    auto *pBottom = new QWidget(pFrame);
    pBottom->setObjectName(QStringLiteral("divBottom"));
    pBottom->setAttribute(Qt::WA_StyledBackground);
    pBottom->setFixedHeight(106);
    auto *pBottomLayout = new QVBoxLayout(pBottom);
    pBottomLayout->setContentsMargins(41, 20, 41, 28);
    pBottomLayout->setSpacing(14);
    m_pBar = new QProgressBar(pBottom);
    m_pBar->setObjectName(QStringLiteral("barProgress"));
    m_pBar->setFixedSize(420, 10);
    m_pBar->setRange(0, 100);
    m_pBar->setTextVisible(false);
    pBottomLayout->addWidget(m_pBar, 0, Qt::AlignHCenter);
    m_pContent = new QLabel(pBottom);
    m_pContent->setObjectName(QStringLiteral("labelContent"));
    m_pContent->setAlignment(Qt::AlignCenter);
    m_pContent->setTextFormat(Qt::PlainText);
    pBottomLayout->addWidget(m_pContent);
    pFrameLayout->addWidget(pBottom);

    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setUpDialogFrame(this, pFrame, pOuter, 0);
    CQThemeMgr *pTheme = CQThemeMgr::instance();
    if (pTheme)
        pTheme->applyThemeStyle(this);

    setWindowTitle(QCoreApplication::translate("ProgressDialogClass", "Dialog"));
    m_pContent->setText(QCoreApplication::translate("ProgressDialogClass", "Material import... "));
    m_pClose->setToolTip(QCoreApplication::translate("ProgressDialogClass", "Close"));
    m_pClose->setAccessibleName(m_pClose->toolTip());
    m_pBar->setAccessibleName(QCoreApplication::translate("ProgressDialogClass", "Progress"));
    connect(m_pClose, &QPushButton::clicked, this, &QDialog::close);
    connect(m_pBar, &QProgressBar::valueChanged, this, &ProgressDialog::updateLabel);
    m_pBar->setValue(qBound(m_pBar->minimum(), 0, m_pBar->maximum()));
    emit m_pBar->valueChanged(m_pBar->value());
    centerWidget(this, pParent ? pParent->window() : nullptr);
}

void ProgressDialog::setPrefixText(const QString &szText)
{
    m_szPrefix = szText;
    refresh();
}

void ProgressDialog::setBackgroundImage(const QString &szPath)
{
    m_pBackground->setStyleSheet(QStringLiteral("border-image:url(%1)").arg(szPath));
}

void ProgressDialog::setProgress(int iValue)
{
    m_pBar->setValue(qBound(m_pBar->minimum(), iValue, m_pBar->maximum()));
    refresh();
}

int ProgressDialog::progress() const
{
    return m_pBar->value();
}

QString ProgressDialog::labelText() const
{
    return m_pContent->text();
}

void ProgressDialog::refresh()
{
    // The label follows a changed prefix even when the value stays.
    emit m_pBar->valueChanged(m_pBar->value());
    update();
}

void ProgressDialog::updateLabel(int iValue)
{
    if (m_szPrefix.isEmpty())
        m_pContent->setText(QStringLiteral("%1%").arg(iValue));
    else
        m_pContent->setText(QStringLiteral("%1 (%2%)").arg(m_szPrefix).arg(iValue));
}

void ProgressDialog::closeAfterTime(int iMilisecond)
{
    if (m_iCloseTimerId)
        killTimer(m_iCloseTimerId);
    m_iCloseTimerId = startTimer(iMilisecond, Qt::CoarseTimer);
}

void ProgressDialog::timerEvent(QTimerEvent *pEvent)
{
    if (pEvent->timerId() != m_iCloseTimerId) {
        QDialog::timerEvent(pEvent);
        return;
    }
    killTimer(m_iCloseTimerId);
    m_iCloseTimerId = 0;
    close();
}

void ProgressDialog::showEvent(QShowEvent *pEvent)
{
    m_dimming.setDimmed(true);
    QDialog::showEvent(pEvent);
}

void ProgressDialog::hideEvent(QHideEvent *pEvent)
{
    m_dimming.setDimmed(false);
    emit sig_hided();
    QDialog::hideEvent(pEvent);
}

void ProgressDialog::mousePressEvent(QMouseEvent *pEvent)
{
    if (pEvent->button() == Qt::LeftButton) {
        m_bDragging = true;
        m_stPressGlobal = pEvent->globalPos();
        m_stPressWindowPos = pos();
    }
    QDialog::mousePressEvent(pEvent);
}

void ProgressDialog::mouseMoveEvent(QMouseEvent *pEvent)
{
    if (m_bDragging && (pEvent->buttons() & Qt::LeftButton))
        move(m_stPressWindowPos + pEvent->globalPos() - m_stPressGlobal);
    QDialog::mouseMoveEvent(pEvent);
}

void ProgressDialog::mouseReleaseEvent(QMouseEvent *pEvent)
{
    if (pEvent->button() == Qt::LeftButton)
        m_bDragging = false;
    QDialog::mouseReleaseEvent(pEvent);
}
