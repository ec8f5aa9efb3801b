#include "online/CQDlgWebViewKV.h"

#include "online/CQJSBase.h"
#include "ui/CQThemeMgr.h"
#include "ui/CQWidgetEx.h"
#include "ui/QUIWebEngineView.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

namespace {

constexpr int kTitleHeight = 38;
constexpr int kShadowMargin = 10;

QLabel *label(QWidget *pParent, const char *pszName)
{
    auto *pLabel = new QLabel(pParent);
    pLabel->setObjectName(QLatin1String(pszName));
    return pLabel;
}

} // namespace

CQDlgWebViewKV::CQDlgWebViewKV(QWidget *pParent)
    : CQDialogEx(pParent)
{
    setObjectName(QStringLiteral("CQDlgWebViewKV"));
    buildUi();
    setStyleSheet(CQThemeMgr::builtInStyleSheet(objectName()));
    applyTheme();
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    setUpDialogFrame(this, m_pFrame, m_pOuterLayout, kShadowMargin);

    CQThemeMgr *pTheme = CQThemeMgr::instance();
    m_pMovie = new QMovie(pTheme ? pTheme->resolve(QStringLiteral("gif/loading_dotted_1.gif"))
                                 : QStringLiteral(":/theme_default/gif/loading_dotted_1.gif"),
                          QByteArray(), this);
    m_pGif->setMovie(m_pMovie);
    m_pMovie->start();

    // Only the first web dialog of a run starts from a clean slate.
    static bool s_bCleared = false;
    if (!s_bCleared) {
        s_bCleared = true;
        QWebEngineProfile *pProfile = m_pWebView->page()->profile();
        pProfile->clearHttpCache();
        pProfile->cookieStore()->deleteAllCookies();
    }

    m_pChannel = new QWebChannel(this);
    m_pWebView->page()->setWebChannel(m_pChannel);
    m_pWebView->page()->setBackgroundColor(Qt::transparent);
    connect(m_pWebView->page(), &QWebEnginePage::contentsSizeChanged, this, &CQDlgWebViewKV::sltContentsSizeChanged);
    connect(m_pWebView, &QWebEngineView::loadFinished, this, &CQDlgWebViewKV::sltLoadFinished);
    connect(m_pBtnClose, &QPushButton::pressed, this, &CQDlgWebViewKV::on_btnClose_pressed);
    connect(m_pBtnRefresh, &QPushButton::pressed, this, &CQDlgWebViewKV::on_uiErrorRefresh_pressed);
    retranslateUi();
    enterLoadingState();
    m_pWebView->setUrl(QUrl(QStringLiteral("about:blank")));
}

CQDlgWebViewKV::~CQDlgWebViewKV() = default;

void CQDlgWebViewKV::buildUi()
{
    resize(kFailedWidth, kFailedHeight);
    m_pOuterLayout = new QVBoxLayout(this);
    m_pOuterLayout->setObjectName(QStringLiteral("verticalLayout"));
    m_pOuterLayout->setSpacing(0);
    m_pOuterLayout->setContentsMargins(0, 0, 0, 0);
    m_pFrame = new QWidget(this);
    m_pFrame->setObjectName(QStringLiteral("uiFrame"));
    m_pOuterLayout->addWidget(m_pFrame);
    auto *pFrameLayout = new QVBoxLayout(m_pFrame);
    pFrameLayout->setObjectName(QStringLiteral("verticalLayout_2"));
    pFrameLayout->setSpacing(0);
    pFrameLayout->setContentsMargins(0, 0, 0, 0);

    m_pTitle = new QWidget(m_pFrame);
    m_pTitle->setObjectName(QStringLiteral("uiTitle"));
    m_pTitle->setFixedHeight(kTitleHeight);
    auto *pTitleLayout = new QHBoxLayout(m_pTitle);
    pTitleLayout->setObjectName(QStringLiteral("horizontalLayout"));
    pTitleLayout->setContentsMargins(10, 0, 0, 0);
    QLabel *pIcon = label(m_pTitle, "labAppIcon");
    pIcon->setFixedSize(24, 24);
    pTitleLayout->addWidget(pIcon);
    pTitleLayout->addStretch(1);
    m_pTitleLabel = label(m_pTitle, "labAppTilte");
    m_pTitleLabel->setMinimumWidth(200);
    m_pTitleLabel->setAlignment(Qt::AlignCenter);
    pTitleLayout->addWidget(m_pTitleLabel);
    pTitleLayout->addStretch(1);
    m_pBtnClose = flatButton(m_pTitle, "btnClose");
    m_pBtnClose->setFixedSize(40, 40);
    pTitleLayout->addWidget(m_pBtnClose);
    pFrameLayout->addWidget(m_pTitle);
    m_pLine = new QWidget(m_pFrame);
    m_pLine->setObjectName(QStringLiteral("uiLine"));
    m_pLine->setFixedHeight(1);
    pFrameLayout->addWidget(m_pLine);

    m_pLoading = new QWidget(m_pFrame);
    m_pLoading->setObjectName(QStringLiteral("uiLoading"));
    auto *pLoadingLayout = new QVBoxLayout(m_pLoading);
    pLoadingLayout->setObjectName(QStringLiteral("verticalLayout_4"));
    pLoadingLayout->setSpacing(0);
    pLoadingLayout->setContentsMargins(0, 0, 0, 0);
    auto *pGifHolder = new QWidget(m_pLoading);
    pGifHolder->setObjectName(QStringLiteral("widget"));
    pGifHolder->setFixedSize(140, 140);
    m_pGif = label(pGifHolder, "uiGif");
    m_pGif->setGeometry(0, 0, 140, 140);
    m_pGif->setAlignment(Qt::AlignCenter);
    m_pLoadingTip = label(pGifHolder, "uiLoadingTip");
    m_pLoadingTip->setGeometry(0, 89, 140, 18);
    m_pLoadingTip->setAlignment(Qt::AlignCenter);
    pLoadingLayout->addWidget(pGifHolder, 0, Qt::AlignCenter);
    pFrameLayout->addWidget(m_pLoading, 1);

    m_pErrorFrame = new QWidget(m_pFrame);
    m_pErrorFrame->setObjectName(QStringLiteral("uiErrorFrame"));
    auto *pErrorLayout = new QVBoxLayout(m_pErrorFrame);
    pErrorLayout->setObjectName(QStringLiteral("verticalLayout_3"));
    pErrorLayout->setSpacing(0);
    pErrorLayout->setContentsMargins(20, 0, 20, 40);
    pErrorLayout->addStretch(1);
    m_pError = label(m_pErrorFrame, "uiError");
    m_pError->setAlignment(Qt::AlignCenter);
    m_pError->setWordWrap(true);
    pErrorLayout->addWidget(m_pError);
    pErrorLayout->addSpacing(24);
    auto *pRefreshRow = new QHBoxLayout;
    pRefreshRow->setObjectName(QStringLiteral("horizontalLayout_3"));
    pRefreshRow->setContentsMargins(0, 0, 0, 0);
    m_pBtnRefresh = flatButton(m_pErrorFrame, "uiErrorRefresh");
    m_pBtnRefresh->setMinimumSize(90, 36);
    pRefreshRow->addStretch(1);
    pRefreshRow->addWidget(m_pBtnRefresh);
    pRefreshRow->addStretch(1);
    pErrorLayout->addLayout(pRefreshRow);
    pErrorLayout->addStretch(1);
    pFrameLayout->addWidget(m_pErrorFrame, 1);

    m_pWebView = new QUIWebEngineView(m_pFrame);
    m_pWebView->setObjectName(QStringLiteral("webEngineView"));
    m_pWebView->setAttribute(Qt::WA_TranslucentBackground);
    m_pWebView->setContextMenuPolicy(Qt::NoContextMenu);
    pFrameLayout->addWidget(m_pWebView, 1);
}

void CQDlgWebViewKV::retranslateUi()
{
    setWindowTitle(m_szTitle.isEmpty() ? tr("Web page", "CQDlgWebViewKV") : m_szTitle);
    m_pTitleLabel->setText(m_szTitle.isEmpty() ? tr("Pictora", "OrvanoAlbum") : m_szTitle);
    m_pBtnClose->setToolTip(tr("Close"));
    m_pBtnClose->setAccessibleName(m_pBtnClose->toolTip());
    m_pLoadingTip->setText(tr("Loading...", "webloading..."));
    m_pError->setText(tr("The page failed to load. Please refresh.", "页面加载失败，请刷新重试"));
    m_pBtnRefresh->setText(tr("Refresh", "刷新"));
    m_pWebView->setAccessibleName(windowTitle());
}

void CQDlgWebViewKV::changeEvent(QEvent *pEvent)
{
    if (pEvent->type() == QEvent::LanguageChange)
        retranslateUi();
    CQDialogEx::changeEvent(pEvent);
}

void CQDlgWebViewKV::setBridge(CQJSBase *pBridge)
{
    if (m_pBridge)
        m_pChannel->deregisterObject(m_pBridge);
    m_pBridge = pBridge;
    if (!pBridge)
        return;
    // The dialog owns its bridge: one lives exactly as long as its page's dialog.
    pBridge->setParent(this);
    m_szAddress = pBridge->pageAddress();
    m_szTitle = pBridge->title();
    m_bShowTitle = pBridge->showTitle();
    m_pChannel->registerObject(pBridge->bridgeObjectName(), pBridge);
    retranslateUi();
    if (m_bFirstLoadSeen)
        loadAddress();
}

void CQDlgWebViewKV::enterLoadingState()
{
    m_bLoaded = false;
    m_pTitle->hide();
    m_pLine->hide();
    m_pErrorFrame->hide();
    m_pWebView->hide();
    m_pLoading->show();
    setFixedSize(kLoadingSide, kLoadingSide);
    centreOverParent();
}

void CQDlgWebViewKV::loadAddress()
{
    if (m_szAddress.isEmpty())
        return;
    retranslateUi();
    enterLoadingState();
    m_pMovie->start();
    m_pWebView->loadPage(QUrl(m_szAddress));
}

void CQDlgWebViewKV::sltLoadFinished(bool blOK)
{
    if (!m_bFirstLoadSeen) {
        // The view's blank start has loaded: now the page itself.
        m_bFirstLoadSeen = true;
        loadAddress();
        return;
    }
    m_pLoading->hide();
    m_pMovie->stop();
    if (blOK) {
        m_bLoaded = true;
        m_pTitle->setVisible(m_bShowTitle);
        m_pLine->setVisible(m_bShowTitle);
        m_pErrorFrame->hide();
        fitToContent();
        m_pWebView->show();
    } else {
        m_bLoaded = false;
        m_pTitle->show();
        m_pLine->show();
        m_pWebView->hide();
        m_pErrorFrame->show();
        setFixedSize(kFailedWidth, kFailedHeight);
    }
    centreOverParent();
}

void CQDlgWebViewKV::sltContentsSizeChanged(const QSizeF &size)
{
    const qreal lfRatio = devicePixelRatioF();
    m_stContentSize = lfRatio > 1 ? size / lfRatio : size;
    if (m_bLoaded)
        fitToContent();
}

void CQDlgWebViewKV::fitToContent()
{
    if (m_stContentSize.isEmpty())
        return;
    const QMargins stOuter = m_pOuterLayout->contentsMargins();
    const QSize stChrome(stOuter.left() + stOuter.right(),
                         stOuter.top() + stOuter.bottom() + (m_bShowTitle ? kTitleHeight + 1 : 0));
    QSize stSize = stChrome + QSize(int(m_stContentSize.width()), int(m_stContentSize.height()));
    // Never larger than the screen: a long page scrolls inside instead.
    const QScreen *pScreen = screen() ? screen() : QGuiApplication::primaryScreen();
    if (pScreen)
        stSize = stSize.boundedTo(pScreen->availableGeometry().size());
    if (stSize != size())
        setFixedSize(stSize);
    centreOverParent();
    keepOnScreen(this);
}

void CQDlgWebViewKV::centreOverParent()
{
    centerWidget(this, parentWidget());
}

void CQDlgWebViewKV::on_btnClose_pressed()
{
    done(0);
}

void CQDlgWebViewKV::on_uiErrorRefresh_pressed()
{
    loadAddress();
}

void CQDlgWebViewKV::runScript(const QString &szCode)
{
    m_pWebView->page()->runJavaScript(szCode);
}

void CQDlgWebViewKV::done(int iResult)
{
    m_pWebView->close();
    CQDialogEx::done(iResult);
}

void CQDlgWebViewKV::resizeEvent(QResizeEvent *pEvent)
{
    CQDialogEx::resizeEvent(pEvent);
    centreOverParent();
}

void CQDlgWebViewKV::paintEvent(QPaintEvent *pEvent)
{
    CQDialogEx::paintEvent(pEvent);
    if (m_pWebView->isVisible() && m_pBridge && m_pBridge->cornerRadius() > 0) {
        QPainterPath stPath;
        stPath.addRoundedRect(m_pWebView->geometry(), m_pBridge->cornerRadius(), m_pBridge->cornerRadius());
        setMask(QRegion(stPath.toFillPolygon().toPolygon()));
    }
}
