// Responsiveness of the editor window while it imports: the real editor
// (Vistalo in the main window, offscreen) is given the files on the command
// line by a drop, goes on past the 4K warning, and decodes them. Prints one
// "key=value" line per figure:
//   longest_gap_ms      longest time the GUI thread's event loop did not run
//                       a 2 ms timer while the batch decoded
//   progress_steps      distinct values the progress dialog showed
//   progress_first_ms   when it first showed more than 0 (after the batch start)
//   batch_ms            batch decode, from its start to the strip
//   total_ms            from the drop to the strip (the warning answered at once)
//
//   bench_editor_import <data folder> <file>...

#include "album/AlbumProjectState.h"
#include "app/CQSrvProduct.h"
#include "editor/Vistalo.h"
#include "editor/VistaloForm.h"
#include "export_dialogs/ProgressDialog.h"
#include "import/ImageDecoder.h"
#include "online/CQSrvProductInfo.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQQuitDialog.h"

#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QPushButton>
#include <QSet>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <data folder> <file>...\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    CQSrvProductInfo::instance().setBaseFolder(args.at(1));
    const QStringList files = args.mid(2);

    CQSrvProduct services;
    CFramelessWindow window;
    Vistalo *pEditor = new Vistalo(&window);
    window.addContentWidget(pEditor);
    window.resize(902, 616);
    window.show();

    QElapsedTimer clock;
    qint64 iBatchStart = -1, iBatchEnd = -1, iFirstProgress = -1, iLongestGap = 0, iLastTick = -1;
    QSet<int> progressSeen;
    ImageDecoder *pDecoder = pEditor->imageDecoder();
    QObject::connect(pDecoder, &ImageDecoder::sig_batchDecode, [&]() { iBatchStart = clock.elapsed(); });
    QObject::connect(pDecoder, &ImageDecoder::sig_batchDecodeFinished, &app, [&]() {
        iBatchEnd = clock.elapsed();
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    }, Qt::QueuedConnection);

    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&]() {
        const qint64 iNow = clock.elapsed();
        if (CQQuitDialog *pWarning = qobject_cast<CQQuitDialog *>(QApplication::activeModalWidget()))
            pWarning->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();   // continue adding
        if (iBatchStart >= 0 && iBatchEnd < 0) {
            if (iLastTick >= iBatchStart)
                iLongestGap = qMax(iLongestGap, iNow - iLastTick);
            const int iProgress = pEditor->importProgressDialog()->progress();
            progressSeen.insert(iProgress);
            if (iProgress > 0 && iFirstProgress < 0)
                iFirstProgress = iNow - iBatchStart;
        }
        iLastTick = iNow;
    });
    ticker.start(2);

    QTimer::singleShot(200, [&]() {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString &szFile : files)
            urls << QUrl::fromLocalFile(szFile);
        mime.setUrls(urls);
        const QPoint stAt = pEditor->form()->divSource->geometry().center();
        clock.start();
        QDragEnterEvent enter(stAt, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pEditor, &enter);
        QDragMoveEvent move(stAt, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pEditor, &move);
        QDropEvent drop(stAt, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pEditor, &drop);
    });
    app.exec();

    const int iImported = albumState().mapImageSources.size();
    std::printf("files=%d\nimported=%d\n", int(files.size()), iImported);
    std::printf("longest_gap_ms=%lld\n", static_cast<long long>(iLongestGap));
    std::printf("progress_steps=%d\n", int(progressSeen.size()));
    std::printf("progress_first_ms=%lld\n", static_cast<long long>(iFirstProgress));
    std::printf("batch_ms=%lld\n", static_cast<long long>(iBatchEnd - iBatchStart));
    std::printf("total_ms=%lld\n", static_cast<long long>(iBatchEnd));
    delete pEditor;
    return iImported == files.size() ? 0 : 1;
}
