// pictora-render: the export of Pictora from the command line, for scripts,
// batches and benchmarks. It fills the album state from its arguments, runs
// MediaEncoder in a thread of its own as the editor does, and reports on stderr:
// a redrawn progress line on a terminal, plain lines otherwise.

#include "album/AlbumFile.h"
#include "album/AlbumFonts.h"
#include "album/AlbumProjectState.h"
#include "media/export/MediaEncoder.h"
#include "render_cli/RenderArguments.h"
#include "render_cli/RenderProgress.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QThread>

#include <atomic>
#include <csignal>
#include <cstdio>

#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

namespace {

// Written by the signal handler; both are lock-free, so storing into them is async-signal-safe.
std::atomic<std::atomic<bool> *> g_pRunning{nullptr};
volatile std::sig_atomic_t g_iSignal = 0;
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<std::atomic<bool> *>::is_always_lock_free,
              "the running flag must be usable from a signal handler");

extern "C" void onStopSignal(int iSignal)
{
    g_iSignal = iSignal;
    if (std::atomic<bool> *pRunning = g_pRunning.load())
        pRunning->store(false);
}

void installStopHandlers()
{
    struct sigaction stAction = {};
    stAction.sa_handler = onStopSignal;
    sigemptyset(&stAction.sa_mask);
    stAction.sa_flags = SA_RESTART;
    sigaction(SIGINT, &stAction, nullptr);
    sigaction(SIGTERM, &stAction, nullptr);
}

void printStats(const ExportStats &stStats)
{
    const double lfTotal = stStats.lfTotalSeconds;
    std::fprintf(stderr, "time total %.3f s, %lld frames, %.1f frames/s\n", lfTotal,
                 static_cast<long long>(stStats.iVideoFrames), lfTotal > 0 ? stStats.iVideoFrames / lfTotal : 0.0);
    static const ExportPhase kOrder[] = {ExportPhase::VideoEncode, ExportPhase::Prepare, ExportPhase::Transition,
                                         ExportPhase::Motion,      ExportPhase::Watermark, ExportPhase::Audio,
                                         ExportPhase::Mux,         ExportPhase::Other};
    for (ExportPhase ePhase : kOrder) {
        const double lf = stStats.seconds(ePhase);
        std::fprintf(stderr, "time %-18s %9.3f s %5.1f %%\n", exportPhaseName(ePhase), lf,
                     lfTotal > 0 ? 100.0 * lf / lfTotal : 0.0);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // The text watermark needs fonts, hence a QGuiApplication; without a
    // display it runs on the offscreen platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // The watermark's text in the font the editor draws it with.
    registerFontSubstitutions();
    QCoreApplication::setApplicationName(QStringLiteral("pictora-render"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PICTORA_VERSION));
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    // Encoder statistics and conversion notes would drown the progress lines.
    av_log_set_level(AV_LOG_ERROR);
    registerAlbumMetaTypes();

    RenderArguments args;
    QString szText;
    switch (parseRenderArguments(QCoreApplication::arguments(), &args, &szText)) {
    case ParseResult::Help:
        std::fputs(szText.toLocal8Bit().constData(), stdout);
        return 0;
    case ParseResult::Error:
        std::fprintf(stderr, "pictora-render: %s\nTry 'pictora-render --help'.\n", szText.toLocal8Bit().constData());
        return 2;
    case ParseResult::Ok:
        break;
    }
    QStringList warnings;
    const bool bApplied = applyRenderArguments(args, &szText, &warnings);
    for (const QString &szWarning : qAsConst(warnings))
        std::fprintf(stderr, "pictora-render: %s\n", szWarning.toLocal8Bit().constData());
    if (!bApplied) {
        std::fprintf(stderr, "pictora-render: %s\n", szText.toLocal8Bit().constData());
        clearAlbum();
        return 1;
    }
    if (!args.szSaveAlbum.isEmpty()) {
        const bool bSaved = saveAlbumFile(args.szSaveAlbum, &szText);
        if (bSaved)
            std::printf("%s\n", QFileInfo(args.szSaveAlbum).absoluteFilePath().toLocal8Bit().constData());
        else
            std::fprintf(stderr, "pictora-render: %s\n", szText.toLocal8Bit().constData());
        // Rendering is asked for with --output.
        if (!bSaved || args.szOutputName.isEmpty()) {
            clearAlbum();
            return bSaved ? 0 : 1;
        }
    }

    QThread thread;
    auto *pEncoder = new MediaEncoder;
    pEncoder->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, pEncoder, &QObject::deleteLater);
    thread.start();

    const RenderProgress::Style eStyle = args.bQuiet ? RenderProgress::Style::Quiet
                                         : isatty(STDERR_FILENO) ? RenderProgress::Style::Terminal
                                                                 : RenderProgress::Style::Lines;
    RenderProgress progress(eStyle, stderr);
    QObject::connect(pEncoder, &MediaEncoder::sig_exportFrames, &app,
                     [&](qint64 iEncoded, qint64 iTotal) { progress.update(iEncoded, iTotal); });
    ExportStats stStats;
    QObject::connect(pEncoder, &MediaEncoder::sig_succeeded, &app, [&] {
        stStats = pEncoder->lastExportStats();
        progress.finish(true);
        std::printf("%s\n", exportOutputPath(albumState()).toLocal8Bit().constData());
        app.exit(0);
    });
    QObject::connect(pEncoder, &MediaEncoder::sig_exportFail, &app, [&](const QString &szError) {
        stStats = pEncoder->lastExportStats();
        progress.finish(false);
        std::fprintf(stderr, "pictora-render: %s\n", szError.toLocal8Bit().constData());
        app.exit(g_iSignal ? 128 + g_iSignal : 1);
    });

    g_pRunning.store(&pEncoder->runningFlag());
    installStopHandlers();
    Q_EMIT pEncoder->sig_exportVideo();
    // A signal that came before the request armed the flag again stays a cancel.
    if (g_iSignal)
        pEncoder->runningFlag().store(false);
    const int iExit = app.exec();

    if (args.bStats)
        printStats(stStats);
    // Stop the handler from touching the renderer once it is gone.
    g_pRunning.store(nullptr);
    Q_EMIT pEncoder->sig_close(0);
    thread.wait();
    clearAlbum();
    return iExit;
}
