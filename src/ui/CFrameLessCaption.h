#pragma once

#include "ui/CBLLAppMenu.h"

#include <QObject>
#include <QPointer>

class CQDlgWebViewKV;
class CQJSBase;
class QPushButton;
class QWidget;

// Connects the caption's menu button to the application menu and keeps the
// one web dialog the program shows at a time.
class CFrameLessCaption : public QObject
{
    Q_OBJECT
public:
    explicit CFrameLessCaption(QWidget *pMainWindow);

    void connectMenuButton(QPushButton *pButton);
    CBLLAppMenu *appMenu() { return &m_appMenu; }

    // The web dialog, created when none is open. While one is open the user
    // is told so and nothing is returned.
    CQDlgWebViewKV *webDialog();
    // Shows pBridge's page in the web dialog and waits for it; the dialog
    // takes the bridge. Returns the dialog's result (-1: refused).
    int showWebPage(CQJSBase *pBridge);
    // One of our own pages ("help", "product", "feedback") in the web dialog.
    int showLocalPage(const QString &szPage, const QString &szTitle);

private:
    QWidget *m_pMainWindow;
    CBLLAppMenu m_appMenu;
    QPointer<CQDlgWebViewKV> m_pWebDialog;
};
