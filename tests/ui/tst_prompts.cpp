#include "app/CQSrvProduct.h"
#include "ui/CBLLUIShadowMgr.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQDlgTipSimple.h"
#include "ui/CQQuitDialog.h"
#include "ui/CQToast.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// Runs the prompt and, once it shows, lets fnAnswer answer it.
int answer(CQDlgTipSimple &prompt, const std::function<void()> &fnAnswer)
{
    QTimer::singleShot(0, &prompt, fnAnswer);
    QTimer stuck; // an answer that misses must not hang the test
    stuck.setSingleShot(true);
    QObject::connect(&stuck, &QTimer::timeout, &prompt, [&] { prompt.done(-1); });
    stuck.start(5000);
    return prompt.exec();
}

void click(QWidget *pDialog, const char *pszButton)
{
    auto *pButton = pDialog->findChild<QPushButton *>(pszButton);
    QVERIFY(pButton && pButton->isVisible());
    QTest::mouseClick(pButton, Qt::LeftButton);
}

} // namespace

class TestPrompts : public QObject
{
    Q_OBJECT

private:
    CQSrvProduct *m_pServices = nullptr;
    CFramelessWindow *m_pWindow = nullptr;

    QWidget *dimmingLayer() const { return CBLLUIShadowMgr::instance()->shadow(); }

private Q_SLOTS:
    void init()
    {
        m_pServices = new CQSrvProduct;
        m_pWindow = new CFramelessWindow;
        m_pWindow->setGeometry(200, 150, 1000, 700);
        m_pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
    }
    void cleanup()
    {
        delete m_pWindow;
        delete m_pServices;
    }

    void tipReturnsWhatTheUserChose()
    {
        CQDlgTipSimple prompt(m_pWindow->overlay());
        prompt.setTitle(QStringLiteral("Tips"));
        prompt.setTipText(QStringLiteral("Delete it?"));
        QCOMPARE(prompt.windowTitle(), QStringLiteral("Tips"));
        QCOMPARE(answer(prompt, [&] { click(&prompt, "btnOK"); }), 1);
        QCOMPARE(answer(prompt, [&] { click(&prompt, "btnCancel"); }), 0);
        QCOMPARE(answer(prompt, [&] { click(&prompt, "btnClose"); }), 0);
        QCOMPARE(answer(prompt, [&] { QTest::keyClick(&prompt, Qt::Key_Escape); }), 0);
        CQDlgTipSimple fresh(m_pWindow->overlay()); // Return takes the default button
        QCOMPARE(answer(fresh, [&] { QTest::keyClick(&fresh, Qt::Key_Return); }), 1);
        prompt.setSingleButton();
        QCOMPARE(answer(prompt, [&] {
            QVERIFY(!prompt.findChild<QPushButton *>("btnCancel")->isVisible());
            click(&prompt, "btnOK_2");
        }), 1);
        QCOMPARE(answer(prompt, [&] { click(&prompt, "btnClose"); }), 0);
        // Centred on the main window; every button named and keyboard-reachable.
        QVERIFY((prompt.geometry().center() - m_pWindow->geometry().center()).manhattanLength() <= 2);
        for (QPushButton *pButton : prompt.findChildren<QPushButton *>()) {
            QVERIFY(pButton->focusPolicy() & Qt::TabFocus);
            QVERIFY(!QAccessible::queryAccessibleInterface(pButton)->text(QAccessible::Name).isEmpty());
        }
    }

    void dimmingLayerStaysWhileAnyPromptIsOpen()
    {
        QVERIFY(!dimmingLayer());
        auto *pQuit = new CQQuitDialog(m_pWindow->overlay());
        QPointer<CQQuitDialog> pGuard(pQuit);
        QSignalSpy spyRight(pQuit, &CQQuitDialog::btnRightSignal);
        QSignalSpy spyLeft(pQuit, &CQQuitDialog::btnLeftSignal);
        pQuit->show();
        QVERIFY(dimmingLayer());
        QCOMPARE(dimmingLayer()->geometry(), m_pWindow->rect());
        QCOMPARE(dimmingLayer()->parentWidget(), m_pWindow->overlay());

        // A tip over the quit dialog, then closed: the quit dialog still dims.
        CQDlgTipSimple tip(m_pWindow->overlay());
        QCOMPARE(answer(tip, [&] {
            QVERIFY(dimmingLayer());
            click(&tip, "btnCancel");
        }), 0);
        QVERIFY(dimmingLayer());

        click(pQuit, "btnOK");
        QCOMPARE(spyRight.count(), 1);
        QCOMPARE(spyLeft.count(), 0);
        QVERIFY(!dimmingLayer());
        QTRY_VERIFY(pGuard.isNull()); // deleted once closed

        // The other way round: the quit dialog over an open tip.
        CQDlgTipSimple lower(m_pWindow->overlay());
        lower.show();
        auto *pUpper = new CQQuitDialog(m_pWindow->overlay());
        pUpper->show();
        pUpper->close();
        QVERIFY(dimmingLayer());
        lower.close();
        QVERIFY(!dimmingLayer());
    }

    void toastFadesFitsAndKeepsTheKeyboard()
    {
        auto *pParent = new QWidget(m_pWindow->contentArea());
        pParent->setGeometry(30, 70, 600, 300);
        auto *pEdit = new QLineEdit(pParent);
        pParent->show();
        m_pWindow->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_pWindow));
        pEdit->setFocus();

        QElapsedTimer stShown;
        stShown.start();
        QPointer<CQToast> pToast = new CQToast(pParent);
        pToast->showToast(QStringLiteral("Saved"), 600, true);
        QCOMPARE(pToast->alpha(), 255);
        QCOMPARE(pToast->width(), 256);
        // Placed from the parent's top-left on the screen (a child, not a window).
        const QPoint stOrigin = pParent->mapToGlobal(QPoint(0, 0));
        QCOMPARE(pToast->pos(), QPoint(stOrigin.x() + (600 - 256) / 2, stOrigin.y() + 58));
        // Typing goes on in the field; the toast takes no focus.
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
        QCOMPARE(pEdit->text(), QStringLiteral("abc"));
        QVERIFY(!QApplication::activePopupWidget());
        QCOMPARE(QApplication::activeWindow(), m_pWindow);
        // It fades while it shows (never brighter again, half gone at some
        // point) and closes no earlier than its duration. Only lower bounds
        // on time, so a busy machine cannot fail this.
        int iLastAlpha = 255;
        int iLowestAlpha = 255;
        while (pToast) {
            QVERIFY(pToast->alpha() <= iLastAlpha);
            iLastAlpha = pToast->alpha();
            iLowestAlpha = qMin(iLowestAlpha, iLastAlpha);
            QTest::qWait(20);
            if (!pToast)
                QVERIFY2(stShown.elapsed() >= 570, qPrintable(QString::number(stShown.elapsed())));
            QVERIFY2(stShown.elapsed() < 5000, "the toast never closed");
        }
        QVERIFY2(iLowestAlpha < 128, qPrintable(QString::number(iLowestAlpha)));

        // A longer text widens the toast by what it lacks, centred again.
        const QString szLong = QStringLiteral("The file name may not contain any of \\ / : * ? \" < > |");
        stShown.restart();
        pToast = new CQToast(pParent);
        pToast->showToast(szLong, -1, false);
        auto *pText = pToast->findChild<QLabel *>("labelText");
        const int iNeeded = pText->fontMetrics().horizontalAdvance(szLong);
        QVERIFY(iNeeded > 122);
        QCOMPARE(pToast->width(), 256 + iNeeded - 122);
        QVERIFY(pText->width() >= iNeeded);
        QCOMPARE(pToast->x(), stOrigin.x() + (600 - pToast->width()) / 2);
        QCOMPARE(pToast->alpha(), 255);
        // A negative duration shows it for one second (a coarse timer may
        // fire up to 5 % early).
        QTRY_VERIFY_WITH_TIMEOUT(pToast.isNull(), 5000);
        QVERIFY2(stShown.elapsed() >= 950, qPrintable(QString::number(stShown.elapsed())));
    }
};

QTEST_MAIN(TestPrompts)
#include "tst_prompts.moc"
