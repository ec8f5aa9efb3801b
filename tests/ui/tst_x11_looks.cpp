// The main window, a prompt and a toast on a real X server (Xvfb, no
// compositor): what a user sees. Set PICTORA_SHOT_DIR to keep screenshots.
#include "app/AppStartUp.h"
#include "common/TestSupport.h"
#include "app/CQSrvProduct.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQDlgTipSimple.h"
#include "ui/CQToast.h"

#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QVBoxLayout>
#include <QtTest>

namespace {

using testsupport::grabScreen;


// The colour at a point given in the screen's logical pixels.
QRgb pixelAt(const QImage &image, QPoint stAt)
{
    return image.pixel(stAt * image.devicePixelRatio());
}

int grey(const QImage &image, QPoint stAt)
{
    return qGray(pixelAt(image, stAt));
}

} // namespace

class TestX11Looks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        registerFontSubstitutions();
    }

    void promptDimsTheWindowAndToastLeavesTheKeyboard()
    {
        CQSrvProduct services;
        CFramelessWindow window;
        auto *pContent = new QWidget;
        auto *pLayout = new QVBoxLayout(pContent);
        pLayout->setContentsMargins(40, 40, 40, 40);
        pLayout->addWidget(new QLabel(QStringLiteral("Watermark text")));
        auto *pEdit = new QLineEdit;
        pLayout->addWidget(pEdit);
        pLayout->addStretch(1);
        window.addContentWidget(pContent);
        window.setGeometry(300, 140, 1200, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        pEdit->setFocus();
        const QPoint stProbe = window.geometry().topLeft() + QPoint(200, 600);
        const int iBefore = grey(grabScreen(QStringLiteral("window")), stProbe);
        QVERIFY2(iBefore > 240, qPrintable(QString::number(iBefore)));

        CQDlgTipSimple prompt(window.overlay());
        prompt.setTitle(QStringLiteral("Tips"));
        prompt.setTipText(QStringLiteral("Delete the 3 selected materials from the album?"));
        prompt.open();
        QVERIFY(QTest::qWaitForWindowExposed(&prompt));
        const QImage withPrompt = grabScreen(QStringLiteral("prompt"));
        // The window is dimmed by the layer (dark grey at 136/255), not black.
        const int iDimmed = grey(withPrompt, stProbe);
        QVERIFY2(qAbs(iDimmed - 146) <= 12, qPrintable(QString::number(iDimmed)));
        // The prompt is centred on the window; its corner is never black (a
        // translucent window without a compositor would be).
        QVERIFY((prompt.geometry().center() - window.geometry().center()).manhattanLength() <= 2);
        QVERIFY(grey(withPrompt, prompt.geometry().topLeft() + QPoint(1, 1)) > 100);
        QVERIFY(grey(withPrompt, prompt.geometry().center() - QPoint(0, 30)) > 240);
        prompt.reject();
        QTRY_VERIFY(grey(grabScreen(QStringLiteral("after")), stProbe) > 240);

        // The toast shows under the content's top without taking the keyboard.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        pEdit->setFocus();
        auto *pToast = new CQToast(pContent);
        pToast->showToast(QStringLiteral("Invalid file name!"), 2000, true);
        QVERIFY(QTest::qWaitForWindowExposed(pToast));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
        QCOMPARE(pEdit->text(), QStringLiteral("abc"));
        QCOMPARE(QGuiApplication::focusWindow(), window.windowHandle());
        QCOMPARE(pToast->y(), pContent->mapToGlobal(QPoint(0, 0)).y() + 58);
        const QImage withToast = grabScreen(QStringLiteral("toast"));
        const QPoint stToastFill = pToast->geometry().topLeft() + QPoint(20, 23);
        QVERIFY(qRed(pixelAt(withToast, stToastFill)) > 240 && qGreen(pixelAt(withToast, stToastFill)) > 200);
    }
};

QTEST_MAIN(TestX11Looks)
#include "tst_x11_looks.moc"
