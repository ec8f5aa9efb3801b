// QtWebProbe: brings the web engine up and starts loading a page, then ends
// with 0. Pictora runs it before it creates its own windows; a probe that
// crashes, hangs or ends otherwise tells it to switch to OpenGL ES.
#include "app/WebEngineSandbox.h"

#include <QApplication>
#include <QThread>
#include <QWebEngineView>

#include <cstdlib>
#include <exception>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // An exception nobody catches ends the probe with -1 (255 here).
    std::set_terminate([] { std::_Exit(-1); });
    // The launcher kills this group when the probe overruns its time, so
    // the web engine's helper processes do not outlive it.
    ::setpgid(0, 0);
    applyWebEngineSandboxRule();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    QApplication app(argc, argv);
    QWebEngineView view;   // never shown
    QThread worker;
    // The exit request travels through the main thread's queue: sent before
    // the event loop runs, it still ends that loop once it does.
    QObject::connect(
        &worker, &QThread::started, &worker,
        [&app] { QMetaObject::invokeMethod(&app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection); },
        Qt::DirectConnection);
    view.setHtml(QStringLiteral("<!DOCTYPE html><html><body>Pictora</body></html>"));
    worker.start();
    const int iResult = app.exec();
    worker.quit();
    worker.wait();
    return iResult;
}
