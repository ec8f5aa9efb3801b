// The web dialog on a real X server with the real web engine: loading box,
// failure panel, the about page in both languages, its bridge and where its
// links may go. Set PICTORA_SHOT_DIR to keep the screenshots.
#include "app/CQSrvProduct.h"
#include "app/WebEngineProbe.h"
#include "common/TestHttpServer.h"
#include "common/TestSupport.h"
#include "online/CQDlgWebViewKV.h"
#include "online/CQJSAboutUs.h"
#include "ui/CFrameLessCaption.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQDlgTipSimple.h"
#include "ui/QUIWebEngineView.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {

// The value of a script expression in the dialog's page.
QVariant evaluate(CQDlgWebViewKV &dialog, const QString &szScript)
{
    QVariant stResult;
    bool bDone = false;
    dialog.webView()->page()->runJavaScript(szScript, [&](const QVariant &v) {
        stResult = v;
        bDone = true;
    });
    if (!QTest::qWaitFor([&] { return bDone; }, 30000))
        qWarning("no answer from the page to: %s", qPrintable(szScript));
    return stResult;
}

// Opens pBridge's page in a dialog of its own and waits until it shows.
std::unique_ptr<CQDlgWebViewKV> openLoaded(CQJSBase *pBridge, QWidget *pParent)
{
    auto pDialog = std::make_unique<CQDlgWebViewKV>(pParent);
    pBridge->bind(pDialog.get());
    pDialog->setBridge(pBridge);
    pDialog->open();
    return pDialog;
}

class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void record(const QUrl &stUrl) { urls << stUrl; }
};

} // namespace

class TestX11WebDialog : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    std::unique_ptr<CQSrvProduct> m_pServices;
    std::unique_ptr<CFramelessWindow> m_pWindow;

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_tmp.path()));
        m_pServices = std::make_unique<CQSrvProduct>();
        m_pWindow = std::make_unique<CFramelessWindow>();
        m_pWindow->setGeometry(200, 100, 1100, 760);
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    }

    void cleanupTestCase()
    {
        m_pWindow.reset();
        m_pServices.reset();
    }

    void failedLoadShowsTheRefreshPanel()
    {
        const QString szDead = QStringLiteral("http://127.0.0.1:%1/").arg(testsupport::closedPort());
        auto pDialog = openLoaded(new CQJSPage(szDead, QStringLiteral("Nowhere")), m_pWindow->overlay());
        QCOMPARE(pDialog->size(), QSize(160, 160));
        auto *pError = pDialog->findChild<QWidget *>("uiErrorFrame");
        QTRY_VERIFY_WITH_TIMEOUT(pError->isVisible(), 30000);
        QCOMPARE(pDialog->size(), QSize(448, 308));
        QVERIFY(pDialog->findChild<QWidget *>("uiTitle")->isVisible());
        QVERIFY(!pDialog->webView()->isVisible());
        QCOMPARE(pDialog->findChild<QLabel *>("uiError")->text(),
                 QStringLiteral("The page failed to load. Please refresh."));
        testsupport::grabScreen(QStringLiteral("webdialog_failed"));

        // Refresh goes back to the loading box and fails again.
        QTest::mouseClick(pDialog->findChild<QPushButton *>("uiErrorRefresh"), Qt::LeftButton);
        QCOMPARE(pDialog->size(), QSize(160, 160));
        QTRY_VERIFY_WITH_TIMEOUT(pError->isVisible(), 30000);
    }

    void aboutPageClosesWithItsCodeAndKeepsItsLinks()
    {
        QPointer<CQJSBase> pBridge = new CQJSAboutUs;
        auto pDialog = openLoaded(pBridge, m_pWindow->overlay());
        QCOMPARE(pBridge->parent(), pDialog.get());
        QTRY_VERIFY_WITH_TIMEOUT(pDialog->webView()->isVisible(), 30000);
        QVERIFY(!pDialog->findChild<QWidget *>("uiTitle")->isVisible());
        QTRY_COMPARE(evaluate(*pDialog, "document.querySelector('.version').textContent").toString(),
                     QStringLiteral("2.3.0"));
        // The dialog takes the page's width and stays within the screen.
        QTRY_COMPARE(pDialog->webView()->width(), 520);
        QVERIFY(m_pWindow->screen()->availableGeometry().contains(pDialog->geometry()));
        testsupport::grabScreen(QStringLiteral("about_en"));

        // The page sees the bridge's two slots and its signal, nothing else
        // of ours.
        evaluate(*pDialog, "new QWebChannel(qt.webChannelTransport,"
                           " ch => window.bridgeKeys = Object.keys(ch.objects.pcClient).join(',')); 1");
        QString szKeys;
        QTRY_VERIFY_WITH_TIMEOUT(!(szKeys = evaluate(*pDialog, "window.bridgeKeys || ''").toString()).isEmpty(), 30000);
        const QStringList keys = szKeys.split(',');
        for (const char *pszOurs : {"sltWebClose", "sltClientCallInstallJS", "sigClientCallInstallJS"})
            QVERIFY2(keys.contains(pszOurs), pszOurs);
        for (const char *pszHidden : {"pageAddress", "title", "bridgeObjectName", "showTitle", "bind", "cornerRadius"})
            QVERIFY2(!keys.contains(pszHidden), pszHidden);
        // A link to another origin goes to the browser, never into the dialog.
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler("https", &recorder, "record");
        evaluate(*pDialog, "var a = document.createElement('a'); a.href = 'https://example.org/elsewhere';"
                           "document.body.appendChild(a); a.click(); 1");
        QTRY_COMPARE(recorder.urls, QList<QUrl>{QUrl("https://example.org/elsewhere")});
        QDesktopServices::unsetUrlHandler("https");
        QCOMPARE(pDialog->webView()->url().scheme(), QStringLiteral("qrc"));

        QSignalSpy spyFinished(pDialog.get(), &QDialog::finished);
        evaluate(*pDialog, "closePage(3); 1");
        QTRY_COMPARE(spyFinished.count(), 1);
        QCOMPARE(spyFinished.first().first().toInt(), 3);
        pDialog.reset();
        QVERIFY(!pBridge);   // went with its dialog
    }

    void aboutFromTheMenuInChineseAndOneDialogAtATime()
    {
        QTranslator translator;
        QVERIFY(translator.load(testsupport::binDir() + "/translations/app_zh_CN.qm"));
        QCoreApplication::installTranslator(&translator);

        // While the about dialog is open, a second one is refused with a tip.
        bool bRefused = false;
        QTimer::singleShot(0, this, [&] {
            CFrameLessCaption *pCaption = m_pWindow->caption();
            QPointer<CQDlgWebViewKV> pDialog;
            QTRY_VERIFY_WITH_TIMEOUT((pDialog = qobject_cast<CQDlgWebViewKV *>(QApplication::activeModalWidget())),
                                     30000);
            QTRY_VERIFY_WITH_TIMEOUT(pDialog->webView()->isVisible(), 30000);
            QTRY_COMPARE(evaluate(*pDialog, "document.documentElement.lang").toString(), QStringLiteral("zh-CN"));
            testsupport::grabScreen(QStringLiteral("about_zh"));
            QTimer::singleShot(0, this, [&] {
                auto *pTip = qobject_cast<CQDlgTipSimple *>(QApplication::activeModalWidget());
                QVERIFY(pTip);
                QCOMPARE(pTip->findChild<QLabel *>("uiTip")->text(), QStringLiteral("网页窗口正在使用中。"));
                pTip->accept();
            });
            bRefused = !pCaption->webDialog();
            // The page's OK button ends the dialog with 1.
            evaluate(*pDialog, "document.getElementById('ok').click(); 1");
        });
        QCOMPARE(m_pWindow->caption()->showWebPage(new CQJSAboutUs), 1);
        QVERIFY(bRefused);
        QCoreApplication::removeTranslator(&translator);
    }

    void theRealProbeStartsTheEngine()
    {
        // Judged by its exit, not by how fast this machine is.
        QVERIFY(runWebProbe(testsupport::binDir() + "/QtWebProbe", 60000));
    }
};

QTEST_MAIN(TestX11WebDialog)
#include "tst_x11_webdialog.moc"
