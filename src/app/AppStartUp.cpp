#include "app/AppStartUp.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

void chooseWindowPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

int installTranslators(QCoreApplication &app, const QStringList &uiLanguages, const QString &szFolder)
{
    if (uiLanguages.isEmpty() || !uiLanguages.first().startsWith(QLatin1String("zh")))
        return 0;
    int iInstalled = 0;
    for (const char *pszFile : {"app_zh_CN.qm", "qt_zh_CN.qm"}) {
        // Installed whether or not the file loaded, as the program always did.
        auto *pTranslator = new QTranslator(&app);
        QString szPath = szFolder + QLatin1Char('/') + QLatin1String(pszFile);
        // An installed Pictora leaves Qt's own catalogue to the system's Qt.
        if (!QFileInfo::exists(szPath) && qstrcmp(pszFile, "qt_zh_CN.qm") == 0)
            szPath = QLibraryInfo::location(QLibraryInfo::TranslationsPath) + QLatin1Char('/') + QLatin1String(pszFile);
        pTranslator->load(szPath);
        QCoreApplication::installTranslator(pTranslator);
        ++iInstalled;
    }
    return iInstalled;
}
