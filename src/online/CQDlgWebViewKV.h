#pragma once

#include "online/CQJSBase.h"
#include "ui/CQDialogEx.h"

#include <QPointer>
#include <QSizeF>

class QLabel;
class QMovie;
class QPushButton;
class QUIWebEngineView;
class QVBoxLayout;
class QWebChannel;

// The frameless dialog that shows one web page (the about page, our other
// pages, configured pages of the maker's site): a 160x160 loading box while
// the page loads, then the page at its content's size (within the screen),
// or a 448x308 failure panel with a refresh button. A script bridge reaches
// the page through a web channel.
class CQDlgWebViewKV : public CQDialogEx
{
    Q_OBJECT
public:
    static constexpr int kLoadingSide = 160;
    static constexpr int kFailedWidth = 448;
    static constexpr int kFailedHeight = 308;

    explicit CQDlgWebViewKV(QWidget *pParent = nullptr);
    ~CQDlgWebViewKV() override;

    // Takes the bridge (the dialog becomes its parent): the page's address,
    // title and title flag, and its registration in the web channel.
    void setBridge(CQJSBase *pBridge);
    CQJSBase *bridge() const { return m_pBridge; }
    QUIWebEngineView *webView() const { return m_pWebView; }

    void done(int iResult) override;

public Q_SLOTS:
    void sltLoadFinished(bool blOK);
    void sltContentsSizeChanged(const QSizeF &size);
    void on_btnClose_pressed();
    void on_uiErrorRefresh_pressed();
    // Runs script text in the page.
    void runScript(const QString &szCode);

protected:
    void resizeEvent(QResizeEvent *pEvent) override;
    void paintEvent(QPaintEvent *pEvent) override;
    void changeEvent(QEvent *pEvent) override;

private:
    void buildUi();
    void retranslateUi();
    void enterLoadingState();
    void loadAddress();
    // Sizes the dialog so that the view shows the content, within the screen.
    void fitToContent();
    void centreOverParent();

    QVBoxLayout *m_pOuterLayout = nullptr;
    QWidget *m_pFrame = nullptr;
    QWidget *m_pTitle = nullptr;
    QLabel *m_pTitleLabel = nullptr;
    QPushButton *m_pBtnClose = nullptr;
    QWidget *m_pLine = nullptr;
    QWidget *m_pLoading = nullptr;
    QLabel *m_pGif = nullptr;
    QLabel *m_pLoadingTip = nullptr;
    QWidget *m_pErrorFrame = nullptr;
    QLabel *m_pError = nullptr;
    QPushButton *m_pBtnRefresh = nullptr;
    QUIWebEngineView *m_pWebView = nullptr;

    QWebChannel *m_pChannel = nullptr;
    QPointer<CQJSBase> m_pBridge;
    QString m_szAddress;
    bool m_bFirstLoadSeen = false;
    QMovie *m_pMovie = nullptr;
    QString m_szTitle;
    bool m_bShowTitle = true;
    bool m_bLoaded = false;
    QSizeF m_stContentSize;
};
