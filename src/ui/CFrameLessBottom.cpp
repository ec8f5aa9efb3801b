#include "ui/CFrameLessBottom.h"

#include "online/CBLLAppUpdate.h"
#include "online/CQSrvProductInfo.h"
#include "online/SystemBrowser.h"
#include "ui/CFrameLessCaption.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQWebPanelLoader.h"
#include "ui/CQWidgetEx.h"
#include "ui/QUIWebEngineView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

CFrameLessBottom::CFrameLessBottom(QObject *pParent)
    : QObject(pParent)
{
    m_pLoader = new CQWebPanelLoader(this);
    connect(m_pLoader, &CQWebPanelLoader::sig_loadFinished, this, &CFrameLessBottom::sig_webPanelFinished);
}

void CFrameLessBottom::buildBar(QWidget *pBottom)
{
    auto *pLayout = new QHBoxLayout(pBottom);
    pLayout->setObjectName(QStringLiteral("horizontalLayout_2"));
    pLayout->setSpacing(0);
    pLayout->setContentsMargins(0, 0, 0, 0);

    pLayout->addSpacing(20);
    m_pBtnOfficeWeb = flatButton(pBottom, "btnOfficeWeb");
    m_pBtnOfficeWeb->setFixedSize(75, 20);
    pLayout->addWidget(m_pBtnOfficeWeb);
    pLayout->addSpacing(20);
    m_pBtnOnlineKeFu = flatButton(pBottom, "btnOnlineKeFu");
    m_pBtnOnlineKeFu->setFixedSize(75, 20);
    pLayout->addWidget(m_pBtnOnlineKeFu);
    pLayout->addSpacing(20);

    m_pWebLayout = new QWidget(pBottom);
    m_pWebLayout->setObjectName(QStringLiteral("uiWebLayout"));
    m_pWebLayout->installEventFilter(this);
    pLayout->addWidget(m_pWebLayout, 1);
    m_pAdMask = new QWidget(m_pWebLayout);
    m_pAdMask->setObjectName(QStringLiteral("ad_mask"));
    m_pAdMask->setAttribute(Qt::WA_StyledBackground);
    m_pAdMask->setGeometry(10, 0, 534, 40);

    pLayout->addSpacing(20);
    m_pBtnUpDate = flatButton(pBottom, "btnUpDate");
    m_pBtnUpDate->setMinimumSize(16, 0);
    m_pBtnUpDate->setMaximumWidth(16);
    m_pBtnUpDate->setFixedHeight(16);
    pLayout->addWidget(m_pBtnUpDate);
    pLayout->addSpacing(10);
    m_pLabVersion = new QLabel(pBottom);
    m_pLabVersion->setObjectName(QStringLiteral("labVersion"));
    pLayout->addWidget(m_pLabVersion);
    pLayout->addSpacing(15);

    connect(m_pBtnOfficeWeb, &QPushButton::clicked, this, &CFrameLessBottom::sltOfficeWeb);
    connect(m_pBtnOnlineKeFu, &QPushButton::clicked, this, &CFrameLessBottom::sltOnlineKeFu);
    connect(m_pBtnUpDate, &QPushButton::clicked, this, &CFrameLessBottom::sltAppUpdate);
}

void CFrameLessBottom::retranslate()
{
    m_pBtnOfficeWeb->setText(tr("Website", "OfficeWeb"));
    m_pBtnOfficeWeb->setAccessibleName(m_pBtnOfficeWeb->text());
    m_pBtnOnlineKeFu->setText(tr("Support", "OnLineKeFu"));
    m_pBtnOnlineKeFu->setAccessibleName(m_pBtnOnlineKeFu->text());
    m_pBtnUpDate->setToolTip(tr("A new version is available", "tipUpdate"));
    m_pBtnUpDate->setAccessibleName(m_pBtnUpDate->toolTip());
    m_pLabVersion->setText(tr("v%1", "labVersion").arg(CQSrvProductInfo::instance().currentVersion()));
    // The design's 85 pixels, or what the text needs in this font.
    m_pLabVersion->setFixedWidth(qMax(85, m_pLabVersion->sizeHint().width()));
}

void CFrameLessBottom::startWebPanel()
{
    // Without a screen to show pages on, the panel stays empty. Elsewhere the
    // web engine starts once the window has been drawn: its start takes a
    // while, and the window should not wait for it.
    if (CQWebPanelLoader::webPagesShown())
        m_bStartOnFirstPaint = true;
    else
        m_pLoader->start(nullptr, QUrl());
}

void CFrameLessBottom::loadWebPanel()
{
    m_pWebAdv = new QUIWebEngineView(m_pWebLayout);
    m_pWebAdv->setObjectName(QStringLiteral("webAdv"));
    m_pWebAdv->setGeometry(10, 0, m_pWebLayout->width() - 10, m_pWebLayout->height());
    m_pWebAdv->setContextMenuPolicy(Qt::NoContextMenu);
    m_pWebAdv->setFocusPolicy(Qt::NoFocus);
    m_pWebAdv->show();
    m_pAdMask->raise();
    m_pLoader->start(m_pWebAdv, QUrl(CQSrvProductInfo::instance().localPageAddress(QStringLiteral("panel"))));
}

void CFrameLessBottom::refreshUpdateButton()
{
    m_pBtnUpDate->setVisible(CBLLAppUpdate().newerVersionKnown());
}

void CFrameLessBottom::uncoverWebPanel()
{
    m_pAdMask->hide();
}

void CFrameLessBottom::closeWebPanel()
{
    if (m_pWebAdv)
        m_pWebAdv->close();
}

bool CFrameLessBottom::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    // The panel and its cover sit at (10, 0) and fill the rest of their place.
    if (pWatched == m_pWebLayout && pEvent->type() == QEvent::Paint && m_bStartOnFirstPaint) {
        m_bStartOnFirstPaint = false;
        QTimer::singleShot(0, this, &CFrameLessBottom::loadWebPanel);
    }
    if (pWatched == m_pWebLayout && pEvent->type() == QEvent::Resize) {
        const QSize stSize(m_pWebLayout->width() - 10, m_pWebLayout->height());
        m_pAdMask->resize(stSize);
        if (m_pWebAdv)
            m_pWebAdv->resize(stSize);
    }
    return QObject::eventFilter(pWatched, pEvent);
}

void CFrameLessBottom::sltOfficeWeb()
{
    if (m_pWebAdv)
        m_pWebAdv->show();
    const CQSrvProductInfo &info = CQSrvProductInfo::instance();
    QString szPage = info.productWebPage();
    if (szPage.isEmpty() && !info.makerSiteAddress().isEmpty())
        szPage = QUrl(info.makerSiteAddress()).resolved(QUrl(QStringLiteral("/mv"))).toString();
    if (!szPage.isEmpty()) {
        openInSystemBrowser(QUrl(szPage));
        return;
    }
    // No site configured: the product page of our resources.
    if (CFramelessWindow *pWindow = CFramelessWindow::instance())
        pWindow->caption()->showLocalPage(QStringLiteral("product"), m_pBtnOfficeWeb->text());
}

void CFrameLessBottom::sltOnlineKeFu()
{
    CQSrvProductInfo &info = CQSrvProductInfo::instance();
    if (info.openCustomerService(info.productName(), QStringLiteral("pc_button"), 0, info.makerSiteAddress()))
        return;
    if (CFramelessWindow *pWindow = CFramelessWindow::instance())
        pWindow->caption()->showLocalPage(QStringLiteral("feedback"), m_pBtnOnlineKeFu->text());
}

void CFrameLessBottom::sltAppUpdate()
{
    Q_EMIT sig_appUpdate();
    CBLLAppUpdate update;
    update.setRefreshFirst(true);
    const bool bStarted = update.check(true);
    CFramelessWindow *pWindow = CFramelessWindow::instance();
    if (bStarted && pWindow) {
        pWindow->closeWindow();
        return;
    }
    // A manual check may have learnt of a newer version (or of none).
    refreshUpdateButton();
}
