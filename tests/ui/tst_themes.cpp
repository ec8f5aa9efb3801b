#include "app/AppStartUp.h"
#include "app/CQSrvProduct.h"
#include "app/ProgramFolders.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQDlgTipSimple.h"
#include "ui/CQQuitDialog.h"
#include "ui/CQThemeMgr.h"

#include <QDirIterator>
#include <QFontInfo>
#include <QImageReader>
#include <QMenu>
#include <QMovie>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

namespace {

QStringList g_listWarnings;

// Style sheets that do not parse, pictures that do not load: Qt only warns.
void collectWarnings(QtMsgType eType, const QMessageLogContext &, const QString &szMessage)
{
    if (eType != QtDebugMsg && eType != QtInfoMsg)
        g_listWarnings << szMessage;
}

QStringList resourceFiles(const QString &szFolder)
{
    QStringList list;
    QDirIterator it(szFolder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        list << it.next();
    return list;
}

} // namespace

class TestThemes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyNamedResourceLoads()
    {
        QFile list(QStringLiteral(PICTORA_SOURCE_DIR "/src/resources/resource_paths.txt"));
        QVERIFY(list.open(QIODevice::ReadOnly | QIODevice::Text));
        int iChecked = 0;
        while (!list.atEnd()) {
            const QString szLine = QString::fromUtf8(list.readLine()).trimmed();
            if (szLine.isEmpty() || szLine.startsWith('#'))
                continue;
            const QStringList parts = szLine.split(' ', Qt::SkipEmptyParts);
            const QString szPath = QStringLiteral(":/") + parts[0];
            QFile file(szPath);
            QVERIFY2(file.open(QIODevice::ReadOnly) && file.size() > 0, qPrintable(szPath));
            if (szPath.endsWith(".png") || szPath.endsWith(".gif")) {
                QImageReader reader(szPath);
                const QImage image = reader.read();
                QVERIFY2(!image.isNull(), qPrintable(szPath));
                if (parts.size() > 1)
                    QCOMPARE(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()), parts[1]);
            }
            if (szPath.endsWith(".gif")) {
                QMovie movie(szPath);
                QVERIFY(movie.isValid() && movie.frameCount() > 1);
            }
            ++iChecked;
        }
        QVERIFY(iChecked > 70);
    }

    void styleSheetsParseAndNameOnlyExistingPictures()
    {
        CQSrvProduct services;
        g_listWarnings.clear();
        const QtMessageHandler pPrevious = qInstallMessageHandler(collectWarnings);
        const QRegularExpression url(QStringLiteral("url\\(([^)]+)\\)"));
        QStringList listMissing;
        for (const QString &szTheme : {QStringLiteral(":/theme_default"), QStringLiteral(":/theme_dark")}) {
            for (const QString &szFile : resourceFiles(szTheme + "/qss")) {
                const QString szSheet = CQThemeMgr::readStyleSheet(szFile);
                for (auto it = url.globalMatch(szSheet); it.hasNext();) {
                    const QString szPicture = it.next().captured(1);
                    if (!QFile::exists(szPicture))
                        listMissing << szFile + ": " + szPicture;
                }
                // Parsing happens when a widget under the sheet is polished.
                QWidget host;
                host.setObjectName(QFileInfo(szFile).baseName());
                host.setStyleSheet(szSheet);
                QMenu menu(&host);
                menu.setObjectName(QStringLiteral("appMenu"));
                menu.addAction(QStringLiteral("About"));
                host.ensurePolished();
                menu.ensurePolished();
            }
        }
        // The real windows, with the built-in and the dark sheets.
        for (const QString &szTheme : {QString(), QStringLiteral("theme_dark")}) {
            CQThemeMgr::instance()->setCurrentTheme(szTheme);
            CFramelessWindow window;
            window.show();
            CQDlgTipSimple tip(window.overlay());
            tip.show();
            auto *pQuit = new CQQuitDialog(window.overlay());
            pQuit->show();
            QVERIFY(QTest::qWaitForWindowExposed(pQuit));
            window.grab();
            tip.grab();
            pQuit->close();
        }
        qInstallMessageHandler(pPrevious);
        QVERIFY2(listMissing.isEmpty(), qPrintable(listMissing.join('\n')));
        QVERIFY2(g_listWarnings.filter(QStringLiteral("parse")).isEmpty(), qPrintable(g_listWarnings.join('\n')));
    }

    void darkThemeFallsBackToTheDefault()
    {
        CQThemeMgr theme;
        theme.setCurrentTheme(QStringLiteral("theme_dark"));
        QCOMPARE(theme.resolveResource("qss/AppMenu.qss"), QStringLiteral(":/theme_dark/qss/AppMenu.qss"));
        QVERIFY(theme.lastLookupFound());
        QCOMPARE(theme.resolve("gif/loading_dotted_1.gif"), QStringLiteral(":/theme_dark/gif/loading_dotted_1.gif"));
        QCOMPARE(theme.resolve("imgs/caption/btn_min1.png"), QStringLiteral(":/theme_dark/imgs/caption/btn_min1.png"));
        QCOMPARE(theme.resolve("imgs/logo.png"), QStringLiteral(":/theme_default/imgs/logo.png"));
        QVERIFY(!theme.lastLookupFound());
        QVERIFY(QFile::exists(theme.resolve("imgs/logo.png")));
        QWidget menu;
        menu.setObjectName(QStringLiteral("AppMenu"));
        QVERIFY(theme.applyThemeStyle(&menu));
        QCOMPARE(menu.styleSheet(), CQThemeMgr::readStyleSheet(":/theme_dark/qss/AppMenu.qss"));
        menu.setObjectName(QStringLiteral("NoSuchSheet"));
        QVERIFY(!theme.applyThemeStyle(&menu));
    }

    void chineseTextsUseTheCjkFont()
    {
        registerFontSubstitutions();
        for (const char *pszFamily : {"Microsoft YaHei", "Microsoft Yahei", "Microsoft YaHei UI"})
            QCOMPARE(QFontInfo(QFont(QLatin1String(pszFamily))).family(), QStringLiteral("WenQuanYi Micro Hei"));
    }

    void translationsFollowTheInterfaceLanguage()
    {
        CQSrvProduct services;
        const QString szFolder = QStringLiteral(PICTORA_BIN_DIR "/translations");
        QCOMPARE(installTranslators(*qApp, {QStringLiteral("en-US"), QStringLiteral("zh-CN")}, szFolder), 0);
        {
            CFramelessWindow window; // English: real texts, no keys
            QCOMPARE(window.windowTitle(), QStringLiteral("Pictora"));
            QCOMPARE(window.findChild<QWidget *>("btnMini")->toolTip(), QStringLiteral("Minimize"));
        }
        // Installed, the program finds its catalogue under <prefix>/share/pictora
        // and Qt's in the system's Qt; in the build tree everything is beside it.
        QCOMPARE(programDataFolderOf(PICTORA_BIN_DIR), QStringLiteral(PICTORA_BIN_DIR));
        QCOMPARE(helperProgramFolderOf(PICTORA_BIN_DIR), QStringLiteral(PICTORA_BIN_DIR));
        QTemporaryDir prefix;
        QVERIFY(QDir().mkpath(prefix.filePath("usr/bin")) && QDir().mkpath(prefix.filePath("usr/share/pictora/translations")));
        QVERIFY(QFile::copy(szFolder + "/app_zh_CN.qm", prefix.filePath("usr/share/pictora/translations/app_zh_CN.qm")));
        QCOMPARE(helperProgramFolderOf(prefix.filePath("usr/bin")), prefix.filePath("usr/libexec/pictora"));
        const QString szInstalled = programDataFolderOf(prefix.filePath("usr/bin")) + "/translations";
        QCOMPARE(installTranslators(*qApp, {QStringLiteral("zh-CN"), QStringLiteral("en")}, szInstalled), 2);
        CFramelessWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Pictora 电子相册"));
        QCOMPARE(window.findChild<QWidget *>("btnMini")->toolTip(), QStringLiteral("最小化"));
        CQDlgTipSimple tip;
        QCOMPARE(tip.findChild<QWidget *>("btnOK")->property("text").toString(), QStringLiteral("确定"));
        // The export's failure texts, shown in its failure dialog, too.
        QCOMPARE(QCoreApplication::translate("MediaEncoder", "Create output file failed"), QStringLiteral("创建输出文件失败"));
        // Qt's own texts come from qt_zh_CN.qm and the catalogues it names.
        QVERIFY(!QFileInfo::exists(szInstalled + "/qt_zh_CN.qm"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    }

    void everySourceTextIsTranslated()
    {
        QDirIterator it(QStringLiteral(PICTORA_SOURCE_DIR "/src/resources/translations"), {"*_zh_CN.ts"});
        while (it.hasNext()) {
            QFile ts(it.next());
            QVERIFY(ts.open(QIODevice::ReadOnly));
            const QString szText = QString::fromUtf8(ts.readAll());
            QVERIFY2(!szText.contains("type=\"unfinished\""), qPrintable(ts.fileName()));
            QVERIFY2(!szText.contains("<translation></translation>"), qPrintable(ts.fileName()));
        }
    }
};

QTEST_MAIN(TestThemes)
#include "tst_themes.moc"
