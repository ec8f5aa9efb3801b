// Start-up benchmark: how long the real program takes from its launch until
// its main window is mapped on the X server, against a bare Qt Widgets
// window started the same way (this program with --reference). Needs an X
// server (bench/bench_startup.sh runs it under xvfb-run). Prints
// "key=value" lines.
//
//   bench_startup <program> [runs]
//   bench_startup --reference          (the bare window; not for direct use)

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <vector>

using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr int kGiveUpMs = 30000;

QByteArray windowName(xcb_connection_t *pConn, xcb_window_t iWindow)
{
    const xcb_get_property_cookie_t stCookie =
        xcb_get_property(pConn, 0, iWindow, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
    xcb_get_property_reply_t *pReply = xcb_get_property_reply(pConn, stCookie, nullptr);
    if (!pReply)
        return QByteArray();
    const QByteArray name(static_cast<const char *>(xcb_get_property_value(pReply)),
                          xcb_get_property_value_length(pReply));
    free(pReply);
    return name;
}

// Milliseconds from starting the program until a top-level window named
// szTitle is mapped; -1 when none came. The program is ended afterwards.
double timeToWindow(xcb_connection_t *pConn, const QString &szProgram, const QStringList &args,
                    const QByteArray &szTitle)
{
    // A fresh data folder for every run: nothing cached from the last one.
    // Its own temporary folder too: the single-instance name lives there, and
    // another Pictora on the machine must not answer for this one.
    QTemporaryDir stHome;
    QProcessEnvironment stEnv = QProcessEnvironment::systemEnvironment();
    stEnv.insert(QStringLiteral("XDG_DATA_HOME"), stHome.path());
    stEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), stHome.path());
    stEnv.insert(QStringLiteral("TMPDIR"), stHome.path());
    QProcess stProcess;
    stProcess.setProcessEnvironment(stEnv);
    stProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    stProcess.setStandardOutputFile(QProcess::nullDevice());

    const SteadyClock::time_point stStart = SteadyClock::now();
    stProcess.start(szProgram, args);
    double lfMs = -1;
    pollfd stPoll{xcb_get_file_descriptor(pConn), POLLIN, 0};
    while (lfMs < 0) {
        const auto iElapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - stStart).count();
        if (iElapsed > kGiveUpMs || stProcess.state() == QProcess::NotRunning)
            break;
        xcb_generic_event_t *pEvent = xcb_poll_for_event(pConn);
        if (!pEvent) {
            poll(&stPoll, 1, 20);
            continue;
        }
        if ((pEvent->response_type & ~0x80) == XCB_MAP_NOTIFY) {
            const auto *pMap = reinterpret_cast<xcb_map_notify_event_t *>(pEvent);
            const double lfAt =
                std::chrono::duration<double, std::milli>(SteadyClock::now() - stStart).count();
            if (windowName(pConn, pMap->window) == szTitle)
                lfMs = lfAt;
        }
        free(pEvent);
    }
    stProcess.kill();
    stProcess.waitForFinished(5000);
    return lfMs;
}

struct Figures
{
    double lfMedian = -1;
    double lfBest = -1;
    double lfWorst = -1;
};

Figures summarise(std::vector<double> times)
{
    Figures st;
    times.erase(std::remove(times.begin(), times.end(), -1.0), times.end());
    if (times.empty())
        return st;
    std::sort(times.begin(), times.end());
    st.lfMedian = times[times.size() / 2];
    st.lfBest = times.front();
    st.lfWorst = times.back();
    return st;
}

void print(const char *pszKey, const Figures &st, size_t iRuns, size_t iShown)
{
    std::printf("%s.runs=%zu\n%s.shown=%zu\n", pszKey, iRuns, pszKey, iShown);
    std::printf("%s.median_ms=%.0f\n%s.best_ms=%.0f\n%s.worst_ms=%.0f\n", pszKey, st.lfMedian, pszKey, st.lfBest,
                pszKey, st.lfWorst);
}

int referenceWindow(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget stWindow;
    stWindow.setWindowTitle(QStringLiteral("startup-reference"));
    stWindow.resize(902, 616);
    stWindow.show();
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "--reference")
        return referenceWindow(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_startup <program> [runs]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString szProgram = QDir().absoluteFilePath(QString::fromLocal8Bit(argv[1]));
    const int iRuns = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    xcb_connection_t *pConn = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(pConn)) {
        std::fprintf(stderr, "bench_startup: no X server\n");
        return 2;
    }
    const xcb_screen_t *pScreen = xcb_setup_roots_iterator(xcb_get_setup(pConn)).data;
    const uint32_t iMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(pConn, pScreen->root, XCB_CW_EVENT_MASK, &iMask);
    xcb_flush(pConn);

    // One run of each first to warm the file cache; not counted.
    timeToWindow(pConn, szProgram, {}, "Pictora");
    timeToWindow(pConn, QCoreApplication::applicationFilePath(), {"--reference"}, "startup-reference");

    std::vector<double> program, reference;
    for (int i = 0; i < iRuns; ++i) {
        program.push_back(timeToWindow(pConn, szProgram, {}, "Pictora"));
        reference.push_back(timeToWindow(pConn, QCoreApplication::applicationFilePath(), {"--reference"},
                                         "startup-reference"));
    }
    const Figures stProgram = summarise(program);
    const Figures stReference = summarise(reference);
    print("pictora", stProgram, program.size(), size_t(std::count_if(program.begin(), program.end(),
                                                                      [](double v) { return v >= 0; })));
    print("reference", stReference, reference.size(),
          size_t(std::count_if(reference.begin(), reference.end(), [](double v) { return v >= 0; })));
    if (stProgram.lfMedian > 0 && stReference.lfMedian > 0)
        std::printf("ratio.pictora_vs_reference=%.2f\n", stProgram.lfMedian / stReference.lfMedian);
    xcb_disconnect(pConn);
    return stProgram.lfMedian > 0 ? 0 : 1;
}
