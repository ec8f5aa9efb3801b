#include "ui/CQWebPanelLoader.h"

#include "ui/QUIWebEngineView.h"

#include <QGuiApplication>

CQWebPanelLoader::CQWebPanelLoader(QObject *pParent)
    : QObject(pParent)
{
    m_giveUp.setSingleShot(true);
    m_giveUp.setInterval(kGiveUpMs);
    connect(&m_giveUp, &QTimer::timeout, this, [this] { finish(false); });
}

bool CQWebPanelLoader::webPagesShown()
{
    const QString szPlatform = QGuiApplication::platformName();
    return szPlatform != QLatin1String("offscreen") && szPlatform != QLatin1String("minimal");
}

void CQWebPanelLoader::start(QUIWebEngineView *pView, const QUrl &stUrl)
{
    if (!pView) {
        // Nothing to load: the start-up work waits for this notice all the same.
        QMetaObject::invokeMethod(this, [this] { finish(false); }, Qt::QueuedConnection);
        return;
    }
    connect(pView, &QWebEngineView::loadFinished, this, &CQWebPanelLoader::finish);
    connect(pView, &QWebEngineView::renderProcessTerminated, this, [this] { finish(false); });
    m_giveUp.start();
    pView->loadPage(stUrl);
}

void CQWebPanelLoader::finish(bool bOk)
{
    if (m_bFinished)
        return;
    m_bFinished = true;
    m_giveUp.stop();
    Q_EMIT sig_loadFinished(bOk);
}
