#include "ui/QUIWebEngineView.h"

#include "app/WebEngineSandbox.h"
#include "online/CQSrvProductInfo.h"
#include "online/SystemBrowser.h"

#include <QChildEvent>
#include <QDir>
#include <QWebEngineProfile>
#include <QWheelEvent>

namespace {

// Takes the first address a new window would show to the system browser.
class ExternalLinkPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl &stUrl, NavigationType, bool) override
    {
        openInSystemBrowser(stUrl);
        deleteLater();
        return false;
    }
};

// The default profile, set up once before its first use.
QWebEngineProfile *pictoraProfile()
{
    static QWebEngineProfile *s_pProfile = [] {
        applyWebEngineSandboxRule();
        QWebEngineProfile *pProfile = QWebEngineProfile::defaultProfile();
        const QString szFolder = CQSrvProductInfo::instance().dataFolder();
        if (!szFolder.isEmpty()) {
            pProfile->setCachePath(szFolder);
            pProfile->setPersistentStoragePath(szFolder + QStringLiteral("/QtWebEngine/Default"));
        }
        pProfile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
        pProfile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
        return pProfile;
    }();
    return s_pProfile;
}

} // namespace

QUIWebEnginePage::QUIWebEnginePage(QObject *pParent)
    : QWebEnginePage(pictoraProfile(), pParent)
{
}

bool QUIWebEnginePage::sameOrigin(const QUrl &stA, const QUrl &stB)
{
    return stA.scheme() == stB.scheme() && stA.host() == stB.host() && stA.port() == stB.port();
}

bool QUIWebEnginePage::acceptNavigationRequest(const QUrl &stUrl, NavigationType eType, bool bMainFrame)
{
    if (!bMainFrame || stUrl == QUrl(QStringLiteral("about:blank"))
        || (m_stHome.isValid() && sameOrigin(stUrl, m_stHome)))
        return true;
    // Only a link the user clicked leaves us, and only for the browser.
    if (eType == NavigationTypeLinkClicked)
        openInSystemBrowser(stUrl);
    return false;
}

QWebEnginePage *QUIWebEnginePage::createWindow(WebWindowType)
{
    return new ExternalLinkPage(profile(), this);
}

QUIWebEngineView::QUIWebEngineView(QWidget *pParent)
    : QWebEngineView(pParent)
{
    m_pPage = new QUIWebEnginePage(this);
    setPage(m_pPage);
    setAcceptDrops(false);
}

void QUIWebEngineView::loadPage(const QUrl &stUrl)
{
    m_pPage->setHomeUrl(stUrl);
    load(stUrl);
}

bool QUIWebEngineView::event(QEvent *pEvent)
{
    // The engine draws into a child widget: its wheel events are watched.
    if (pEvent->type() == QEvent::ChildAdded)
        if (QObject *pChild = static_cast<QChildEvent *>(pEvent)->child(); pChild && pChild->isWidgetType())
            pChild->installEventFilter(this);
    return QWebEngineView::event(pEvent);
}

bool QUIWebEngineView::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    if (pEvent->type() == QEvent::Wheel && (static_cast<QWheelEvent *>(pEvent)->modifiers() & Qt::ControlModifier))
        return true;
    return QWebEngineView::eventFilter(pWatched, pEvent);
}
