// The export on a real X server (Xvfb): the dialogs as a user sees them.
// Set PICTORA_SHOT_DIR to keep the screenshots.

#include "app/AppStartUp.h"
#include "app/CQSrvProduct.h"
#include "export_dialogs/ExportSettingDialog.h"
#include "export_dialogs/FailDialog.h"
#include "export_dialogs/SuccessDialog.h"
#include "ui/CFramelessWindow.h"

#include <QScreen>
#include <QtTest>

namespace {

QImage grabScreen(const QString &szName)
{
    QTest::qWait(200); // let the X server draw
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    const QString szDir = qEnvironmentVariable("PICTORA_SHOT_DIR");
    if (!szDir.isEmpty())
        image.save(szDir + '/' + szName + ".png");
    return image;
}

} // namespace

class TestX11Export : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        registerFontSubstitutions();
    }

    void dialogLooks()
    {
        CQSrvProduct services;
        CFramelessWindow window;
        window.setGeometry(300, 140, 1200, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *pSettings = new ExportSettingDialog(window.overlay());
        pSettings->show();
        QVERIFY(QTest::qWaitForWindowExposed(pSettings));
        grabScreen("settings");
        pSettings->close();
        auto *pSuccess = new SuccessDialog(window.overlay());
        pSuccess->show();
        QVERIFY(QTest::qWaitForWindowExposed(pSuccess));
        grabScreen("success");
        pSuccess->close();
        auto *pFail = new FailDialog(window.overlay());
        pFail->setErrorText("Operation interrupted(Interrupted system call)");
        pFail->show();
        QVERIFY(QTest::qWaitForWindowExposed(pFail));
        grabScreen("fail");
        pFail->close();
    }
};

QTEST_MAIN(TestX11Export)
#include "tst_x11_export.moc"
