#pragma once

// Helpers of the settings column's tests (header only: each test is its own program).

#include "EditorTestSupport.h"

#include "album/AlbumProjectState.h"
#include "app/CQSrvProduct.h"
#include "common/ModalTestSupport.h"
#include "font_picker/FontDialog.h"
#include "ui/CFramelessWindow.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QRadioButton>

#include <functional>

namespace settingstest {

using testsupport::whenModalUp;

// The editor in the main window with the services it needs, shown at stGeometry.
struct EditorUnderTest
{
    CQSrvProduct services;
    CFramelessWindow window;
    Vistalo editor{&window};
    explicit EditorUnderTest(const QRect &stGeometry)
    {
        window.addContentWidget(&editor);
        window.setGeometry(stGeometry);
        window.show();
    }
};

// Answers the file dialogs that come up while it lives with the next path of
// its list (an empty path cancels), and counts them.
class FileDialogAnswerer : public QObject
{
public:
    explicit FileDialogAnswerer(QStringList listAnswers) : m_listAnswers(std::move(listAnswers))
    {
        connect(&m_timer, &QTimer::timeout, this, [this]() {
            // Qt's dialog may say "File not found" when it is answered before
            // it has looked at its folder (seen on a loaded machine): close the
            // message and give the same answer again, a few times at most.
            if (auto *pBox = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                qWarning("file dialog answerer: message \"%s\"", qPrintable(pBox->text()));
                if (QWidget *pDialog = pBox->parentWidget())
                    pDialog->setProperty(kAnswered, false);
                pBox->reject();
                if (++m_iRetries <= 5 && !m_szLastAnswer.isEmpty()) {
                    m_listAnswers.prepend(m_szLastAnswer);
                    --iShown;
                }
                return;
            }
            auto *pDialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!pDialog || !pDialog->isVisible() || pDialog->property(kAnswered).toBool())
                return;
            pDialog->setProperty(kAnswered, true);
            ++iShown;
            const QString szAnswer = m_listAnswers.isEmpty() ? QString() : m_listAnswers.takeFirst();
            m_szLastAnswer = szAnswer;
            if (szAnswer.isEmpty()) {
                pDialog->reject();
                return;
            }
            pDialog->selectFile(szAnswer);
            // Queued: the dialog's own message ("File not found") runs a modal
            // loop inside accept(), and this timer must be free to answer it.
            QMetaObject::invokeMethod(pDialog, "accept", Qt::QueuedConnection);
        });
        m_timer.start(10);
    }
    int iShown = 0;

private:
    static constexpr const char *kAnswered = "answeredByTest";
    QStringList m_listAnswers;
    QString m_szLastAnswer;
    int m_iRetries = 0;
    QTimer m_timer;
};

// Answers the watermark question (a modal CQQuitDialog) with one of its
// buttons; notes whether the album was locked while it was asked.
inline void answerQuestionWith(const char *pszButton, QString *pszAsked, bool *pbLocked)
{
    whenModalUp<CQQuitDialog>([pszButton, pszAsked, pbLocked](CQQuitDialog *pQuestion) {
        // A cover render may hold the lock for a moment; the asking thread must not.
        *pbLocked = !albumState().mutexPreview.tryLock(10000);
        if (!*pbLocked)
            albumState().mutexPreview.unlock();
        *pszAsked = pQuestion->findChild<QLabel *>("labAppTilte")->text() + '|'
            + pQuestion->findChild<QLabel *>("uiTip")->text();
        QTest::mouseClick(pQuestion->findChild<QPushButton *>(pszButton), Qt::LeftButton);
    });
}

// A click near the left edge, where a radio button or check box has its mark.
inline void click(QAbstractButton *pButton)
{
    QTest::mouseClick(pButton, Qt::LeftButton, {}, QPoint(4, pButton->height() / 2));
}

// The watermark handler is queued: it has run when this returns.
inline void chooseWatermark(QRadioButton *pRadio)
{
    click(pRadio);
    QCoreApplication::processEvents();
}

// Opens the font dialog from the panel, lets fnChoose change it, confirms it.
inline void chooseFont(Vistalo &editor, const std::function<void(FontDialog *)> &fnChoose)
{
    whenModalUp<FontDialog>([fnChoose](FontDialog *pDialog) {
        fnChoose(pDialog);
        pDialog->accept();
    });
    click(editor.form()->btnFontStyle);
}

} // namespace settingstest
