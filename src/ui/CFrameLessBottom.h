#pragma once

#include <QObject>

class CQWebPanelLoader;
class QLabel;
class QPushButton;
class QUIWebEngineView;
class QWidget;

// The main window's 40-pixel bottom bar: the web-site and customer-service
// buttons, the web panel with its white cover, the update button (shown
// only while a newer version is known) and the version label.
class CFrameLessBottom : public QObject
{
    Q_OBJECT
public:
    explicit CFrameLessBottom(QObject *pParent = nullptr);

    // Builds the bar's widgets into pBottom and wires its buttons.
    void buildBar(QWidget *pBottom);
    void retranslate();
    // Starts filling the web panel (once the window is drawn);
    // sig_webPanelFinished follows once.
    void startWebPanel();
    // Shows the update button exactly while a newer version is known.
    void refreshUpdateButton();
    // Hides the white cover over the web panel.
    void uncoverWebPanel();
    // Closes the web panel's view (before the window closes).
    void closeWebPanel();

    QPushButton *updateButton() const { return m_pBtnUpDate; }
    QUIWebEngineView *webPanel() const { return m_pWebAdv; }

Q_SIGNALS:
    // The user asked for an update check.
    void sig_appUpdate();
    void sig_webPanelFinished(bool bOk);

public Q_SLOTS:
    void sltOfficeWeb();
    void sltOnlineKeFu();
    void sltAppUpdate();

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    void loadWebPanel();

    QPushButton *m_pBtnOfficeWeb = nullptr;
    QPushButton *m_pBtnOnlineKeFu = nullptr;
    QPushButton *m_pBtnUpDate = nullptr;
    QLabel *m_pLabVersion = nullptr;
    QWidget *m_pWebLayout = nullptr;
    QUIWebEngineView *m_pWebAdv = nullptr;
    QWidget *m_pAdMask = nullptr;
    CQWebPanelLoader *m_pLoader = nullptr;
    bool m_bStartOnFirstPaint = false;
};
