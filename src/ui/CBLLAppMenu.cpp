#include "ui/CBLLAppMenu.h"

#include "online/CQJSAboutUs.h"
#include "online/CQSrvProductInfo.h"
#include "online/SystemBrowser.h"
#include "ui/CFrameLessBottom.h"
#include "ui/CFrameLessCaption.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQThemeMgr.h"
#include "ui/CQWidgetEx.h"

#include <QCursor>
#include <QMenu>
#include <QPushButton>
#include <QUrl>

CBLLAppMenu::CBLLAppMenu(QWidget *pMainWindow)
    : QObject(pMainWindow)
    , m_pMainWindow(pMainWindow)
{
}

void CBLLAppMenu::sltAppMenu()
{
    CQThemeMgr *pTheme = CQThemeMgr::instance();
    const QString szStyle = pTheme ? CQThemeMgr::readStyleSheet(pTheme->resolve(QStringLiteral("qss/AppMenu.qss")))
                                   : CQThemeMgr::builtInStyleSheet(QStringLiteral("AppMenu"));

    auto *pMenu = new QMenu(m_pMainWindow);
    pMenu->setObjectName(QStringLiteral("appMenu"));
    pMenu->setAccessibleName(tr("Menu", "appMenu"));
    pMenu->setWindowFlags(pMenu->windowFlags() | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    // Rounded corners only where the window can be see-through.
    if (windowTranslucencyAvailable())
        pMenu->setAttribute(Qt::WA_TranslucentBackground);
    else
        pMenu->setProperty("qstyle", QStringLiteral("square"));
    pMenu->setStyleSheet(szStyle);

    CFramelessWindow *pWindow = CFramelessWindow::instance();
    CFrameLessBottom *pBottom = pWindow ? pWindow->bottomBar() : nullptr;
    QAction *pOpen = pMenu->addAction(tr("Open album..."));
    pOpen->setShortcut(QKeySequence::Open);
    QAction *pSave = pMenu->addAction(tr("Save album..."));
    pSave->setShortcut(QKeySequence::Save);
    pMenu->addSeparator();
    QAction *pHelp = pMenu->addAction(tr("Help", "SoftHelp"));
    QAction *pUpdate = pMenu->addAction(tr("Check for updates", "UpdateCheck"));
    QAction *pFeedback = pMenu->addAction(tr("Feedback", "FeedBack"));
    QAction *pAbout = pMenu->addAction(tr("About", "AboutUs"));
    // Each entry runs once the menu is gone, from the window's own events.
    connect(pOpen, &QAction::triggered, this, &CBLLAppMenu::sig_openAlbum, Qt::QueuedConnection);
    connect(pSave, &QAction::triggered, this, &CBLLAppMenu::sig_saveAlbum, Qt::QueuedConnection);
    connect(pHelp, &QAction::triggered, this, &CBLLAppMenu::sltSoftHelp, Qt::QueuedConnection);
    connect(pAbout, &QAction::triggered, this, &CBLLAppMenu::sltAboutUs, Qt::QueuedConnection);
    if (pBottom) {
        connect(pUpdate, &QAction::triggered, pBottom, &CFrameLessBottom::sltAppUpdate, Qt::QueuedConnection);
        connect(pFeedback, &QAction::triggered, pBottom, &CFrameLessBottom::sltOnlineKeFu, Qt::QueuedConnection);
    }

    QPoint stAt;
    if (auto *pButton = qobject_cast<QPushButton *>(sender()))
        stAt = pButton->mapToGlobal(QPoint(0, pButton->height())) + QPoint(0, 10);
    else
        stAt = QCursor::pos() + QPoint(-pMenu->sizeHint().width() / 2, 20);
    pMenu->exec(stAt);
    delete pMenu;   // with its actions
}

void CBLLAppMenu::sltSoftHelp()
{
    const QString szSite = CQSrvProductInfo::instance().makerSiteAddress();
    if (!szSite.isEmpty()) {
        openInSystemBrowser(QUrl(szSite).resolved(QUrl(QStringLiteral("/mv/jiaocheng"))));
        return;
    }
    if (CFramelessWindow *pWindow = CFramelessWindow::instance())
        pWindow->caption()->showLocalPage(QStringLiteral("help"), tr("Help", "SoftHelp"));
}

void CBLLAppMenu::sltAboutUs()
{
    if (CFramelessWindow *pWindow = CFramelessWindow::instance())
        pWindow->caption()->showWebPage(new CQJSAboutUs);
}
