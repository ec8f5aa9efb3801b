#include "ui/CBLLUIShadowMgr.h"

#include "ui/CFramelessWindow.h"
#include "ui/CQDialogExMgr.h"
#include "ui/QtInversionWidget.h"

#include <QVBoxLayout>

CQWidgetShadow::CQWidgetShadow(QWidget *pParent)
    : QWidget(pParent)
{
    setObjectName(QStringLiteral("CQWidgetShadow"));
    resize(748, 476);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *pLayout = new QVBoxLayout(this);
    pLayout->setObjectName(QStringLiteral("verticalLayout"));
    pLayout->setSpacing(0);
    pLayout->setContentsMargins(0, 0, 0, 0);
    auto *pBackground = new QWidget(this);
    pBackground->setObjectName(QStringLiteral("uiBG"));
    const QColor stColour = dimmingColour();
    pBackground->setStyleSheet(QStringLiteral("#uiBG{background-color: rgba(%1, %2, %3, %4);}")
                                   .arg(stColour.red())
                                   .arg(stColour.green())
                                   .arg(stColour.blue())
                                   .arg(stColour.alpha()));
    pLayout->addWidget(pBackground);
}

QColor CQWidgetShadow::dimmingColour()
{
    return QColor(51, 51, 51, 136);
}

CBLLUIShadowMgr::CBLLUIShadowMgr(QObject *pParent)
    : QObject(pParent)
{
}

CBLLUIShadowMgr::~CBLLUIShadowMgr()
{
    CQDialogExMgr *pDialogs = CQDialogExMgr::instance();
    if (m_pShadow && (!pDialogs || pDialogs->openDialogCount() == 0)) {
        m_pShadow->hide();
        delete m_pShadow.data();
    }
}

void CBLLUIShadowMgr::initialize()
{
    if (CQDialogExMgr *pDialogs = CQDialogExMgr::instance()) {
        connect(pDialogs, &CQDialogExMgr::sigDlgPush, this, &CBLLUIShadowMgr::showLayer);
        connect(pDialogs, &CQDialogExMgr::sigDlgPop, this, &CBLLUIShadowMgr::removeLayerWhenIdle);
    }
}

void CBLLUIShadowMgr::sltDlgPush()
{
    ++m_iDirectPushes;
    showLayer();
}

void CBLLUIShadowMgr::sltDlgPop()
{
    if (m_iDirectPushes > 0)
        --m_iDirectPushes;
    removeLayerWhenIdle();
}

void CBLLUIShadowMgr::showLayer()
{
    if (m_pShadow)
        return;
    CFramelessWindow *pWindow = CFramelessWindow::instance();
    if (!pWindow)
        return;
    QtInversionWidget *pOverlay = pWindow->overlay();
    pOverlay->setGeometry(pWindow->rect());
    pOverlay->raise();
    m_pShadow = new CQWidgetShadow(pOverlay);
    m_pShadow->setGeometry(pWindow->rect());
    m_pShadow->show();
    Q_EMIT sigDimmingChanged(true);
}

void CBLLUIShadowMgr::removeLayerWhenIdle()
{
    CQDialogExMgr *pDialogs = CQDialogExMgr::instance();
    if (!m_pShadow || m_iDirectPushes > 0 || (pDialogs && pDialogs->openDialogCount() > 0))
        return;
    m_pShadow->hide();
    delete m_pShadow.data();
    Q_EMIT sigDimmingChanged(false);
}

void CQShadowPush::setDimmed(bool bDimmed)
{
    CBLLUIShadowMgr *pShadow = CBLLUIShadowMgr::instance();
    if (bDimmed == m_bDimmed || !pShadow)
        return;
    m_bDimmed = bDimmed;
    if (bDimmed)
        pShadow->sltDlgPush();
    else
        pShadow->sltDlgPop();
}
