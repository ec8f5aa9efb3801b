#include "ui/CFramelessWindow.h"

#include "app/CQEventStartUpMgr.h"

#include <QApplication>
#include <QVBoxLayout>

CFramelessWindow::CFramelessWindow(QWidget *pParent)
    : CQWidgetEx(pParent)
{
    setObjectName(QStringLiteral("CFramelessWindow"));
    setWindowTitle(QStringLiteral("Pictora"));
    resize(kMinimumWidth, kMinimumHeight);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);

    auto *pOuter = new QVBoxLayout(this);
    pOuter->setSpacing(0);
    pOuter->setContentsMargins(0, 0, 0, 0);
    m_pFrame = new QWidget(this);
    m_pFrame->setObjectName(QStringLiteral("uiFrame"));
    pOuter->addWidget(m_pFrame);
    auto *pFrameLayout = new QVBoxLayout(m_pFrame);
    pFrameLayout->setSpacing(0);
    pFrameLayout->setContentsMargins(0, 0, 0, 0);
    m_pMain = new QWidget(m_pFrame);
    m_pMain->setObjectName(QStringLiteral("uiMain"));
    auto *pMainLayout = new QVBoxLayout(m_pMain);
    pMainLayout->setObjectName(QStringLiteral("verticalLayout_3"));
    pMainLayout->setSpacing(0);
    pMainLayout->setContentsMargins(0, 0, 0, 0);
    pFrameLayout->addWidget(m_pMain);

    if (CQEventStartUpMgr *pStartUp = CQEventStartUpMgr::instance())
        pStartUp->setReceiver(this);
    qApp->installEventFilter(this);
}

CFramelessWindow::~CFramelessWindow()
{
    qApp->removeEventFilter(this);
}

void CFramelessWindow::addContentWidget(QWidget *pWidget)
{
    m_pMain->layout()->addWidget(pWidget);
}

QSize CFramelessWindow::sizeForScreen(const QSize &stAvailable)
{
    const int W = stAvailable.width();
    const int H = stAvailable.height();
    const int iMarginX = static_cast<int>(509.0 * W / 1920.0);
    const int iMarginY = static_cast<int>(232.0 * H / 1080.0);
    return QSize(W - 2 * iMarginX, H - 2 * iMarginY);
}

bool CFramelessWindow::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    CQEventStartUpMgr *pStartUp = CQEventStartUpMgr::instance();
    if (pStartUp && pStartUp->filterEvent(pWatched, pEvent))
        return true;
    if (pEvent->type() == CQEventUIIntialize::kType) {
        if (pStartUp)
            pStartUp->dispatchNext(this, true);
        return true;
    }
    return CQWidgetEx::eventFilter(pWatched, pEvent);
}

void CFramelessWindow::showEvent(QShowEvent *pEvent)
{
    CQWidgetEx::showEvent(pEvent);
    // No web panel exists yet to report that loading finished, so the UI
    // counts as initialised once the window is first shown.
    if (!m_bUiInitialisedPosted) {
        m_bUiInitialisedPosted = true;
        QCoreApplication::postEvent(this, new CQEventUIIntialize);
    }
}
