#pragma once

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

// The page of our web views. Navigation stays within the origin of the page
// it was sent to (scheme, host and port); a link the user follows elsewhere
// opens in the system browser, anything else leaving the origin is refused,
// and a request for a new window hands its address to the browser too.
class QUIWebEnginePage : public QWebEnginePage
{
    Q_OBJECT
public:
    explicit QUIWebEnginePage(QObject *pParent = nullptr);

    // The page whose origin navigation keeps to.
    void setHomeUrl(const QUrl &stUrl) { m_stHome = stUrl; }
    static bool sameOrigin(const QUrl &stA, const QUrl &stB);

protected:
    bool acceptNavigationRequest(const QUrl &stUrl, NavigationType eType, bool bMainFrame) override;
    QWebEnginePage *createWindow(WebWindowType eType) override;

private:
    QUrl m_stHome;
};

// The web view of the bottom panel and of the web dialog. Its profile keeps
// cache, storage and cookies in Pictora's per-user data folder; it takes no
// drops, and Ctrl with the mouse wheel does not zoom the page.
class QUIWebEngineView : public QWebEngineView
{
    Q_OBJECT
public:
    explicit QUIWebEngineView(QWidget *pParent = nullptr);

    QUIWebEnginePage *restrictedPage() const { return m_pPage; }
    // Loads szAddress, keeping navigation within its origin.
    void loadPage(const QUrl &stUrl);

protected:
    bool event(QEvent *pEvent) override;
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    QUIWebEnginePage *m_pPage = nullptr;
};
