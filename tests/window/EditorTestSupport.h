#pragma once

// Helpers of the editor window's tests (header only: each test is its own program).

#include "app/CQSrvProduct.h"
#include "common/TestSupport.h"
#include "editor/ImageListItemDelegate.h"
#include "editor/ImageListView.h"
#include "editor/Vistalo.h"
#include "editor/VistaloForm.h"
#include "ui/CQDlgTipSimple.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQQuitDialog.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

#include <dirent.h>

namespace editortest {

// What the editor's tests keep: a folder of their own and the editor in the
// main window (openEditor), with the parts they reach most.
class EditorTestBase : public QObject
{
protected:
    QTemporaryDir m_dir;
    std::unique_ptr<CQSrvProduct> m_pServices;
    std::unique_ptr<CFramelessWindow> m_pWindow;
    std::unique_ptr<Vistalo> m_pEditor;

    QString path(const QString &szName) const { return QDir::cleanPath(m_dir.filePath(szName)); }
    VistaloForm *ui() const { return m_pEditor->form(); }
    ImageListView *strip() const { return ui()->imageSourceList; }
};

// The editor in the main window as the program builds them, shown; false
// when the window did not come up.
inline bool openEditor(std::unique_ptr<CQSrvProduct> &pServices, std::unique_ptr<CFramelessWindow> &pWindow,
                       std::unique_ptr<Vistalo> &pEditor)
{
    pServices = std::make_unique<CQSrvProduct>();
    pWindow = std::make_unique<CFramelessWindow>();
    pEditor = std::make_unique<Vistalo>(pWindow.get());
    pWindow->addContentWidget(pEditor.get());
    pWindow->resize(902, 616);
    pWindow->show();
    return QTest::qWaitForWindowExposed(pWindow.get());
}

// A picture of one colour with a mark, so that thumbnails differ.
inline bool writePicture(const QString &szPath, int w, int h, QColor stColor)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(stColor);
    for (int y = 0; y < h / 4; ++y)
        for (int x = 0; x < w / 4; ++x)
            image.setPixel(x, y, qRgb(255, 255, 255));
    return image.save(szPath);
}

// A 4-second clip of 160x120.
inline bool writeClip(const QString &szPath)
{
    return testsupport::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=4", "-c:v", "mpeg4", szPath});
}

// Answers the modal prompts (CQDlgTipSimple) that come up while it lives:
// confirms or cancels each, and remembers their texts.
class PromptAnswerer : public QObject
{
public:
    explicit PromptAnswerer(bool bConfirm) : m_bConfirm(bConfirm)
    {
        connect(&m_timer, &QTimer::timeout, this, [this]() {
            auto *pTip = qobject_cast<CQDlgTipSimple *>(QApplication::activeModalWidget());
            if (!pTip || !pTip->isVisible())
                return;
            texts.append(pTip->findChild<QLabel *>(QStringLiteral("uiTip"))->text());
            if (m_bConfirm)
                pTip->accept();
            else
                pTip->reject();
        });
        m_timer.start(10);
    }
    void setConfirm(bool bConfirm) { m_bConfirm = bConfirm; }
    QStringList texts;

private:
    bool m_bConfirm;
    QTimer m_timer;
};

// Drags urls over the editor to stPos (editor coordinates) and drops them
// there, as the window system delivers a drop from a file manager. True
// when the drop was taken.
inline bool dropUrls(Vistalo &editor, const QList<QUrl> &urls, QPoint stPos)
{
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(stPos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&editor, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(stPos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&editor, &move);
    if (!move.isAccepted()) {
        QDragLeaveEvent leave;
        QApplication::sendEvent(&editor, &leave);
        return false;
    }
    QDropEvent drop(stPos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&editor, &drop);
    return drop.isAccepted();
}

inline QPoint materialArea(Vistalo &editor)
{
    return editor.form()->divSource->geometry().center();
}

// The 4K warning on screen, or null.
inline CQQuitDialog *fourKWarning()
{
    return qobject_cast<CQQuitDialog *>(QApplication::activeModalWidget());
}

// Drops local files on the material area, goes on past a 4K warning, and
// waits for the import to end.
inline bool importFiles(Vistalo &editor, const QStringList &files, bool bWait = true)
{
    QList<QUrl> urls;
    for (const QString &szFile : files)
        urls.append(QUrl::fromLocalFile(szFile));
    if (!dropUrls(editor, urls, materialArea(editor)))
        return false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&answer]() {
        if (CQQuitDialog *pWarning = fourKWarning()) {
            answer.stop();
            QTest::mouseClick(pWarning->findChild<QPushButton *>(QStringLiteral("btnCancel")), Qt::LeftButton);
        }
    });
    answer.start(10);
    if (!bWait)
        return QTest::qWaitFor([&editor]() { return !fourKWarning(); }, 60000);
    return QTest::qWaitFor([&editor]() { return !editor.isImporting(); }, 60000);
}

// Centre of a button of a strip item, in viewport coordinates.
inline QPoint deleteButtonOf(ImageListView *pList, int iRow)
{
    return ImageListItemDelegate::deleteButtonRect(
               ImageListItemDelegate::cardRect(pList->visualRect(pList->model()->index(iRow, 0))))
        .center();
}

inline QPoint rotateButtonOf(ImageListView *pList, int iRow)
{
    return ImageListItemDelegate::rotateButtonRect(
               ImageListItemDelegate::cardRect(pList->visualRect(pList->model()->index(iRow, 0))))
        .center();
}

// Open descriptors of this process on szPath.
inline int openDescriptorsOn(const QString &szPath)
{
    int n = 0;
    if (DIR *pDir = opendir("/proc/self/fd")) {
        while (const dirent *pEntry = readdir(pDir)) {
            if (QFile::symLinkTarget(QStringLiteral("/proc/self/fd/") + QFile::decodeName(pEntry->d_name)) == szPath)
                ++n;
        }
        closedir(pDir);
    }
    return n;
}

} // namespace editortest
