#pragma once

#include <QObject>
#include <QTimer>
#include <QUrl>

class QUIWebEngineView;

// Fills the bottom bar's web panel with a page from our resources and
// reports, exactly once, when loading finished: with success when the page
// loaded; with failure when it failed, when its renderer died first, when
// nothing came within kGiveUpMs, or when there is nothing to load (no view,
// as on a platform without a screen).
class CQWebPanelLoader : public QObject
{
    Q_OBJECT
public:
    static constexpr int kGiveUpMs = 15000;

    explicit CQWebPanelLoader(QObject *pParent = nullptr);

    // Whether this platform shows web pages at all (not the offscreen one).
    static bool webPagesShown();
    // Starts loading stUrl into pView (null: nothing to load).
    void start(QUIWebEngineView *pView, const QUrl &stUrl);
    bool hasFinished() const { return m_bFinished; }

Q_SIGNALS:
    void sig_loadFinished(bool bOk);

private:
    void finish(bool bOk);

    QTimer m_giveUp;
    bool m_bFinished = false;
};
