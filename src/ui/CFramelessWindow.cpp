#include "ui/CFramelessWindow.h"

#include "app/CQEventStartUpMgr.h"
#include "ui/CFrameLessBottom.h"
#include "ui/CFrameLessCaption.h"
#include "ui/CQThemeMgr.h"
#include "ui/CQUIWindowDragger.h"
#include "ui/QtInversionWidget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDBusConnection>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace {

QPushButton *captionButton(QWidget *pParent, const char *pszName)
{
    auto *pButton = new QPushButton(pParent);
    pButton->setObjectName(QLatin1String(pszName));
    pButton->setFlat(true);
    pButton->setFixedSize(30, 30);
    pButton->setCursor(Qt::PointingHandCursor);
    // Keyboard users reach it with Tab; a click leaves no focus look behind.
    pButton->setFocusPolicy(Qt::TabFocus);
    return pButton;
}

QWidget *line(QWidget *pParent, const char *pszName)
{
    auto *pLine = new QWidget(pParent);
    pLine->setObjectName(QLatin1String(pszName));
    pLine->setFixedHeight(1);
    return pLine;
}

} // namespace

CFramelessWindow::CFramelessWindow(QWidget *pParent)
    : CQWidgetEx(pParent)
{
    pAdaptedWindow = this;
    stDesignSize = QSize(kMinimumWidth, kMinimumHeight);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground, false);
    m_pCaption = new CFrameLessCaption(this);
    m_pBottomBar = new CFrameLessBottom(this);

    buildUi();
    if (CQThemeMgr *pTheme = CQThemeMgr::instance())
        pTheme->applyThemeStyle(this);

    connect(qApp, &QGuiApplication::applicationStateChanged, this, &CFramelessWindow::on_applicationStateChanged);
    setMouseTracking(true);
    qApp->installEventFilter(this);
    if (CQEventStartUpMgr *pStartUp = CQEventStartUpMgr::instance())
        pStartUp->setReceiver(this);
    connect(m_pBottomBar, &CFrameLessBottom::sig_webPanelFinished, this, &CFramelessWindow::sltAdvFinished);
    m_pBottomBar->startWebPanel();

    for (QScreen *pScreen : QGuiApplication::screens())
        watchScreen(pScreen);
    connect(qApp, &QGuiApplication::screenAdded, this, &CFramelessWindow::watchScreen);

    // Suspend notices come from logind on the system bus, when there is one.
    QDBusConnection bus = QDBusConnection::systemBus();
    if (bus.isConnected())
        bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                    SLOT(sltPrepareForSleep(bool)));

    m_pBottomBar->refreshUpdateButton();
    m_pOverlay = new QtInversionWidget(this);
    m_pOverlay->setGeometry(rect());
    m_pOverlay->show();
}

CFramelessWindow::~CFramelessWindow()
{
    qApp->removeEventFilter(this);
}

void CFramelessWindow::buildUi()
{
    setObjectName(QStringLiteral("CFramelessWindow"));
    resize(kMinimumWidth, kMinimumHeight);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
    setStyleSheet(CQThemeMgr::builtInStyleSheet(objectName()));

    auto *pOuter = new QVBoxLayout(this);
    pOuter->setObjectName(QStringLiteral("verticalLayout_2"));
    pOuter->setSpacing(0);
    pOuter->setContentsMargins(0, 0, 0, 0);
    m_pFrame = new QWidget(this);
    m_pFrame->setObjectName(QStringLiteral("uiFrame"));
    m_pFrame->setProperty("qstyle", QStringLiteral("normal"));
    pOuter->addWidget(m_pFrame);
    m_pFrameLayout = new QVBoxLayout(m_pFrame);
    m_pFrameLayout->setObjectName(QStringLiteral("verticalLayout"));
    m_pFrameLayout->setSpacing(0);
    m_pFrameLayout->setContentsMargins(m_iNormalMargin, m_iNormalMargin, m_iNormalMargin, m_iNormalMargin);

    m_pTitleBar = new CQUIWindowDragger(m_pFrame);
    m_pTitleBar->setObjectName(QStringLiteral("uiTitleBar"));
    m_pTitleBar->setFixedHeight(40);
    m_pTitleBar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto *pCaption = new QHBoxLayout(m_pTitleBar);
    pCaption->setObjectName(QStringLiteral("horizontalLayout"));
    pCaption->setSpacing(0);
    pCaption->setContentsMargins(0, 0, 0, 0);
    pCaption->addSpacing(10);
    m_pAppIcon = new QLabel(m_pTitleBar);
    m_pAppIcon->setObjectName(QStringLiteral("appIcon"));
    m_pAppIcon->setFixedSize(30, 30);
    pCaption->addWidget(m_pAppIcon);
    pCaption->addSpacing(5);
    m_pAppName = new QLabel(m_pTitleBar);
    m_pAppName->setObjectName(QStringLiteral("appName"));
    m_pAppName->setMinimumWidth(320);
    m_pAppName->setScaledContents(true);
    QFont stNameFont(QStringLiteral("Microsoft YaHei"));
    stNameFont.setWeight(QFont::Normal);
    m_pAppName->setFont(stNameFont);
    pCaption->addWidget(m_pAppName);
    pCaption->addStretch(1);
    m_pBtnAppMenu = captionButton(m_pTitleBar, "btnAppMenu");
    m_pBtnMini = captionButton(m_pTitleBar, "btnMini");
    m_pBtnMax = captionButton(m_pTitleBar, "btnMax");
    m_pBtnMax->setProperty("qstyle", QStringLiteral("max"));
    m_pBtnClose = captionButton(m_pTitleBar, "btnClose");
    for (QPushButton *pButton : {m_pBtnAppMenu, m_pBtnMini, m_pBtnMax, m_pBtnClose})
        pCaption->addWidget(pButton);
    pCaption->addSpacing(10);
    m_pFrameLayout->addWidget(m_pTitleBar);
    m_pFrameLayout->addWidget(line(m_pFrame, "uiTitleLine"));

    m_pMain = new QWidget(m_pFrame);
    m_pMain->setObjectName(QStringLiteral("uiMain"));
    auto *pMainLayout = new QVBoxLayout(m_pMain);
    pMainLayout->setObjectName(QStringLiteral("verticalLayout_3"));
    pMainLayout->setSpacing(0);
    pMainLayout->setContentsMargins(0, 0, 0, 0);
    m_pFrameLayout->addWidget(m_pMain, 1);

    m_pFrameLayout->addWidget(line(m_pFrame, "uiBottomLine"));
    m_pBottom = new QWidget(m_pFrame);
    m_pBottom->setObjectName(QStringLiteral("uiBottom"));
    m_pBottom->setFixedHeight(40);
    m_pBottomBar->buildBar(m_pBottom);
    m_pFrameLayout->addWidget(m_pBottom);

    m_pCaption->connectMenuButton(m_pBtnAppMenu);
    connect(m_pBtnMini, &QPushButton::clicked, this, &CFramelessWindow::on_btnMini_clicked);
    connect(m_pBtnMax, &QPushButton::clicked, this, &CFramelessWindow::on_btnMax_clicked);
    connect(m_pBtnClose, &QPushButton::clicked, this, &CFramelessWindow::on_btnClose_clicked);
    connect(m_pTitleBar, &CQUIWindowDragger::doubleClicked, this, &CFramelessWindow::on_uiTitleBar_doubleClicked);
    retranslateUi();
}

void CFramelessWindow::retranslateUi()
{
    setWindowTitle(tr("Pictora", "OrvanoAlbum"));
    m_pAppName->setText(windowTitle());
    const std::pair<QPushButton *, QString> tips[] = {
        {m_pBtnAppMenu, tr("Menu", "appMenu")},
        {m_pBtnMini, tr("Minimize", "tipMinimize")},
        {m_pBtnClose, tr("Close", "tipClose")},
    };
    for (const auto &[pButton, szTip] : tips) {
        pButton->setToolTip(szTip);
        pButton->setAccessibleName(szTip);
    }
    setMaxButtonShowsMaximise(!isMaximized());
    m_pBottomBar->retranslate();
}

void CFramelessWindow::addContentWidget(QWidget *pWidget)
{
    m_pMain->layout()->addWidget(pWidget);
}

void CFramelessWindow::closeWindow()
{
    m_bCloseApproved = true;
    if (!close())
        m_bCloseApproved = false;
}

QSize CFramelessWindow::sizeForScreen(const QSize &stAvailable)
{
    const int W = stAvailable.width();
    const int H = stAvailable.height();
    const int iMarginX = static_cast<int>(509.0 * W / 1920.0);
    const int iMarginY = static_cast<int>(232.0 * H / 1080.0);
    return QSize(W - 2 * iMarginX, H - 2 * iMarginY);
}

Qt::Edges CFramelessWindow::edgesAt(const QRect &stGeometry, const QPoint &stGlobal, int iBorder)
{
    const int x = stGeometry.x(), y = stGeometry.y(), w = stGeometry.width(), h = stGeometry.height();
    const int px = stGlobal.x(), py = stGlobal.y();
    const bool bTop = y <= py && py <= y + iBorder;
    const bool bBottom = y + h - iBorder <= py && py <= y + h;
    const bool bLeft = x <= px && px <= x + iBorder;
    const bool bRight = x + w - iBorder <= px && px <= x + w;
    // Corners first, then single edges, in the order the cursors are chosen.
    if (bLeft && bTop)
        return Qt::LeftEdge | Qt::TopEdge;
    if (bRight && bTop)
        return Qt::RightEdge | Qt::TopEdge;
    if (bLeft && bBottom)
        return Qt::LeftEdge | Qt::BottomEdge;
    if (bRight && bBottom)
        return Qt::RightEdge | Qt::BottomEdge;
    if (bTop)
        return Qt::TopEdge;
    if (bLeft)
        return Qt::LeftEdge;
    if (bRight)
        return Qt::RightEdge;
    if (bBottom)
        return Qt::BottomEdge;
    return {};
}

Qt::CursorShape CFramelessWindow::cursorForEdges(Qt::Edges edges)
{
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        return Qt::SizeFDiagCursor;
    if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        return Qt::SizeBDiagCursor;
    if (edges == Qt::TopEdge || edges == Qt::BottomEdge)
        return Qt::SizeVerCursor;
    if (edges == Qt::LeftEdge || edges == Qt::RightEdge)
        return Qt::SizeHorCursor;
    return Qt::ArrowCursor;
}

QRect CFramelessWindow::resizedGeometry(const QRect &stStart, const QPoint &stGlobal, Qt::Edges edges,
                                        const QSize &stMinimum, const QSize &stMaximum)
{
    int x1 = stStart.left(), x2 = stStart.left() + stStart.width();
    int y1 = stStart.top(), y2 = stStart.top() + stStart.height();
    if (edges & Qt::LeftEdge)
        x1 = stGlobal.x();
    if (edges & Qt::RightEdge)
        x2 = stGlobal.x();
    if (edges & Qt::TopEdge)
        y1 = stGlobal.y();
    if (edges & Qt::BottomEdge)
        y2 = stGlobal.y();
    // Out of the limits, the edge opposite the grabbed one stays.
    const int w = qBound(stMinimum.width(), x2 - x1, stMaximum.width());
    const int h = qBound(stMinimum.height(), y2 - y1, stMaximum.height());
    if (edges & Qt::LeftEdge)
        x1 = x2 - w;
    if (edges & Qt::TopEdge)
        y1 = y2 - h;
    return QRect(x1, y1, w, h);
}

void CFramelessWindow::setWindowCursor(Qt::CursorShape eShape)
{
    if (cursor().shape() != eShape)
        setCursor(eShape);
}

bool CFramelessWindow::borderResizeMouseMove(const QPoint &stGlobal)
{
    if (isMaximized())
        return false;
    if (!m_bPressed) {
        const Qt::Edges edges = edgesAt(geometry(), stGlobal, m_iBorderWidth);
        if (!edges)
            m_grabbedEdges = {};
        setWindowCursor(cursorForEdges(edges));
        return false;
    }
    if (!m_grabbedEdges)
        return false;
    setGeometry(resizedGeometry(m_stStartGeometry, stGlobal, m_grabbedEdges, minimumSize(), maximumSize()));
    return true;
}

bool CFramelessWindow::pressAt(const QPoint &stGlobal)
{
    if (isMaximized())
        return false;
    m_bPressed = true;
    m_stStartGeometry = geometry();
    m_grabbedEdges = edgesAt(m_stStartGeometry, stGlobal, m_iBorderWidth);
    setWindowCursor(cursorForEdges(m_grabbedEdges));
    if (!m_grabbedEdges)
        return false;
    // The window system resizes where it can; it keeps the pointer then,
    // so no release comes back here.
    QWindow *pHandle = windowHandle();
    if (pHandle && pHandle->startSystemResize(m_grabbedEdges)) {
        m_bPressed = false;
        m_grabbedEdges = {};
    }
    return true;
}

void CFramelessWindow::mousePressEvent(QMouseEvent *pEvent)
{
    if (pEvent->button() == Qt::LeftButton)
        pressAt(pEvent->globalPos());
    CQWidgetEx::mousePressEvent(pEvent);
}

void CFramelessWindow::releasePress()
{
    if (isMaximized())
        return;
    const bool bHadEdges = bool(m_grabbedEdges);
    m_bPressed = false;
    m_grabbedEdges = {};
    if (bHadEdges)
        setWindowCursor(Qt::ArrowCursor);
}

void CFramelessWindow::mouseReleaseEvent(QMouseEvent *pEvent)
{
    releasePress();
    CQWidgetEx::mouseReleaseEvent(pEvent);
}

void CFramelessWindow::mouseDoubleClickEvent(QMouseEvent *)
{
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
    // Mouse handling covers this window's own widgets only (not dialogs).
    auto *pWidget = qobject_cast<QWidget *>(pWatched);
    if (!pWidget || pWidget->window() != this)
        return CQWidgetEx::eventFilter(pWatched, pEvent);
    switch (pEvent->type()) {
    case QEvent::MouseMove:
        if (borderResizeMouseMove(static_cast<QMouseEvent *>(pEvent)->globalPos()))
            return true;
        break;
    case QEvent::MouseButtonPress: {
        // The caption takes its presses for moving the window; a press in
        // the resize band over it resizes instead.
        auto *pMouse = static_cast<QMouseEvent *>(pEvent);
        if (pWatched == m_pTitleBar && pMouse->button() == Qt::LeftButton && pressAt(pMouse->globalPos()))
            return true;
        break;
    }
    case QEvent::MouseButtonRelease:
        if (m_bPressed && pWatched != this)
            releasePress();
        break;
    default:
        break;
    }
    return CQWidgetEx::eventFilter(pWatched, pEvent);
}

void CFramelessWindow::setFrameStyle(bool bNormal)
{
    const int iMargin = bNormal ? m_iNormalMargin : 0;
    m_pFrameLayout->setContentsMargins(iMargin, iMargin, iMargin, iMargin);
    setStyleProperty(m_pFrame, QStringLiteral("qstyle"), bNormal ? QStringLiteral("normal") : QStringLiteral("max"));
}

void CFramelessWindow::setMaxButtonShowsMaximise(bool bMaximise)
{
    const QString szTip = bMaximise ? tr("Maximize", "tipMaximize") : tr("Restore", "tipRestore");
    m_pBtnMax->setToolTip(szTip);
    m_pBtnMax->setAccessibleName(szTip);
    setStyleProperty(m_pBtnMax, QStringLiteral("qstyle"), bMaximise ? QStringLiteral("max") : QStringLiteral("restore"));
}

void CFramelessWindow::showNormalFrame()
{
    setMaxButtonShowsMaximise(true);
    showNormal();
    setFrameStyle(true);
}

void CFramelessWindow::toggleMaximise()
{
    if (isMaximized()) {
        showNormalFrame();
        resize(m_stNormalGeometry.size());
        return;
    }
    m_stNormalGeometry = geometry();
    showMaximized();
    setMaxButtonShowsMaximise(false);
    setFrameStyle(false);
    // The pointer left the button with the window's new layout.
    QEvent stLeave(QEvent::Leave);
    QCoreApplication::sendEvent(m_pBtnMax, &stLeave);
}

void CFramelessWindow::on_applicationStateChanged(Qt::ApplicationState)
{
    if (windowState() == Qt::WindowNoState)
        setFrameStyle(true);
    else if (windowState() & Qt::WindowFullScreen)
        setFrameStyle(false);
}

void CFramelessWindow::on_btnMini_clicked()
{
    setWindowState(Qt::WindowMinimized);
}

void CFramelessWindow::on_btnMax_clicked()
{
    toggleMaximise();
}

void CFramelessWindow::on_btnClose_clicked()
{
    Q_EMIT signal_close();
}

void CFramelessWindow::on_uiTitleBar_doubleClicked()
{
    const Qt::WindowStates eState = windowState();
    if (eState == Qt::WindowNoState || (eState & (Qt::WindowFullScreen | Qt::WindowMaximized)))
        toggleMaximise();
}

void CFramelessWindow::watchScreen(QScreen *pScreen)
{
    connect(pScreen, &QScreen::geometryChanged, this,
            static_cast<void (CFramelessWindow::*)(const QRect &)>(&CFramelessWindow::sltDpiChangeHandle),
            Qt::QueuedConnection);
}

void CFramelessWindow::sltDpiChangeHandle(const QRect &stRect)
{
    auto *pScreen = qobject_cast<QScreen *>(sender());
    if (pScreen && pScreen != screen() && stRect.isValid())
        return;
    QTimer::singleShot(200, this, &CFramelessWindow::sltAdjustDpiHandle);
}

void CFramelessWindow::sltAdjustDpiHandle()
{
    // Qt follows a screen's scale by itself here; what is left is to keep
    // the window on the (possibly smaller or moved) screen.
    const QScreen *pScreen = screen();
    if (!pScreen)
        return;
    const QRect stAvailable = pScreen->availableGeometry();
    if (isMaximized()) {
        setGeometry(stAvailable);
        return;
    }
    QRect stGeometry = geometry();
    stGeometry.setSize(stGeometry.size().boundedTo(stAvailable.size()).expandedTo(minimumSize()));
    stGeometry.moveLeft(qBound(stAvailable.left(), stGeometry.left(), stAvailable.right() + 1 - stGeometry.width()));
    stGeometry.moveTop(qBound(stAvailable.top(), stGeometry.top(), stAvailable.bottom() + 1 - stGeometry.height()));
    if (stGeometry != geometry())
        setGeometry(stGeometry);
}

void CFramelessWindow::sltPrepareForSleep(bool bSuspending)
{
    // Nothing is minimised: a hidden window would stop work that is running.
    if (bSuspending) {
        Q_EMIT signal_screenOut();
        return;
    }
    if (isMaximized())
        if (const QScreen *pScreen = screen())
            setGeometry(pScreen->availableGeometry());
}

void CFramelessWindow::noteNormalGeometrySoon()
{
    if (m_bNormalGeometryNoteDue)
        return;
    m_bNormalGeometryNoteDue = true;
    QTimer::singleShot(0, this, [this]() {
        m_bNormalGeometryNoteDue = false;
        if (windowState() == Qt::WindowNoState && isVisible())
            m_stNormalGeometry = geometry();
    });
}

void CFramelessWindow::moveEvent(QMoveEvent *pEvent)
{
    CQWidgetEx::moveEvent(pEvent);
    noteNormalGeometrySoon();
}

void CFramelessWindow::resizeEvent(QResizeEvent *pEvent)
{
    CQWidgetEx::resizeEvent(pEvent);
    noteNormalGeometrySoon();
    if (m_pOverlay)
        m_pOverlay->setGeometry(rect());
}

void CFramelessWindow::changeEvent(QEvent *pEvent)
{
    if (pEvent->type() == QEvent::WindowStateChange) {
        if (windowState() == Qt::WindowNoState) {
            setMaxButtonShowsMaximise(true);
            setFrameStyle(true);
        } else if (windowState() & Qt::WindowMaximized) {
            setMaxButtonShowsMaximise(false);
            setFrameStyle(false);
        }
    } else if (pEvent->type() == QEvent::LanguageChange) {
        retranslateUi();
    }
    CQWidgetEx::changeEvent(pEvent);
}

void CFramelessWindow::sltAdvFinished(bool isOK)
{
    if (isOK)
        m_pBottomBar->uncoverWebPanel();
    QCoreApplication::postEvent(this, new CQEventUIIntialize);
}

void CFramelessWindow::closeEvent(QCloseEvent *pEvent)
{
    // Alt+F4, the task bar and logout arrive here too: they must not pass
    // the editor's question.
    if (m_bCloseApproved) {
        m_pBottomBar->closeWebPanel();
        pEvent->accept();
        return;
    }
    pEvent->ignore();
    Q_EMIT signal_close();
}
