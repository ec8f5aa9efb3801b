#include "app/AppStartUp.h"
#include "app/WebEngineProbe.h"
#include "app/CQAppSingle.h"
#include "app/CQSrvProduct.h"
#include "app/ProgramFolders.h"
#include "editor/Vistalo.h"
#include "online/CDumpCatchHookup.h"
#include "online/SystemMessageBox.h"
#include "ui/CFramelessWindow.h"

#include <QDir>
#include <QLocale>
#include <QScreen>

#include <memory>

int main(int argc, char *argv[])
{
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);

    chooseWindowPlatform();
    // Before any application object: the web engine's sandbox rule and, where
    // its desktop OpenGL is known to fail, a trial run in the probe program.
    prepareWebEngine();
    CQAppSingle app(argc, argv);

    // A crash from here on starts the reporter beside us; unhooked when main
    // returns, after everything below it and before the application object.
    CDumpCatchHookup crashCatch(showSystemMessageBox);

    QDir::setCurrent(QCoreApplication::applicationDirPath());
    if (app.isAlreadyRunning())
        return 1;

    app.setStyleSheet(QStringLiteral("*{outline:0px;}"));

    int iResult = 0;
    {
        CQSrvProduct services;

        installTranslators(app, QLocale::system().uiLanguages(), programDataFolder() + QStringLiteral("/translations"));
        registerFontSubstitutions();

        auto pMainWindow = std::make_unique<CFramelessWindow>();
        // The editor answers the window's close requests (its quit question).
        auto pEditor = std::make_unique<Vistalo>(pMainWindow.get());
        app.setMainWindow(pMainWindow.get());
        QObject::connect(&app, &CQAppSingle::sig_filesOpened, pEditor.get(), &Vistalo::importOpenedFiles);
        pMainWindow->addContentWidget(pEditor.get());

        pMainWindow->show();
        if (QScreen *pScreen = pMainWindow->screen()) {
            const QSize stSize = CFramelessWindow::sizeForScreen(pScreen->availableGeometry().size());
            pMainWindow->resize(stSize.expandedTo(pMainWindow->minimumSize()));
        }

        // Files the program was started with (the desktop's "Open with"),
        // once the event loop runs; Qt has taken its own options out.
        const QStringList openedFiles = QCoreApplication::arguments().mid(1);
        if (!openedFiles.isEmpty()) {
            Vistalo *pOpener = pEditor.get();
            QMetaObject::invokeMethod(
                pOpener, [pOpener, openedFiles] { pOpener->importOpenedFiles(openedFiles); }, Qt::QueuedConnection);
        }

        iResult = app.exec();

        // Teardown: the editor (its workers stop first), the main window, then the services.
        app.setMainWindow(nullptr);
        pEditor.reset();
        pMainWindow.reset();
    }
    return iResult;
}
