// Player benchmark: pictures pushed at 25 fps into the real engine, the way
// the preview renderer paces them, with SDL embedded into a widget, then
// with the Qt-drawn display, against a bare SDL loop that uploads and
// presents the same pictures with nothing around it. Needs an X server
// (bench/bench_player.sh runs it under xvfb-run). Prints "key=value" lines.
//
//   bench_player [seconds] [width] [height]

#include "BenchCpu.h"
#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/ImageConvert.h"
#include "player/CQVideoShow.h"
#include "player/Letterbox.h"
#include "player/SdlSubsystems.h"
#include "player/VideoCtl.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTimer>

#include <SDL2/SDL.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

using SteadyClock = std::chrono::steady_clock;

using bench::ownThreadCpuMs;
using bench::processCpuMs;
using bench::threadCpuMs;

namespace {

constexpr int kFps = 25;

// Runs the GUI's events for iMs.
void spin(int iMs)
{
    QEventLoop stLoop;
    QTimer::singleShot(iMs, &stLoop, &QEventLoop::quit);
    stLoop.exec();
}

// kFps different YUV 4:2:0 pictures: a gradient with a bar that moves.
std::vector<AVFramePtr> makePictures(int w, int h)
{
    std::vector<AVFramePtr> stPictures;
    for (int i = 0; i < kFps; ++i) {
        QImage stImage(w, h, QImage::Format_ARGB32);
        QPainter painter(&stImage);
        QLinearGradient stGradient(0, 0, w, h);
        stGradient.setColorAt(0, QColor(30, 60, 200));
        stGradient.setColorAt(1, QColor(230, 140, 40));
        painter.fillRect(stImage.rect(), stGradient);
        painter.fillRect(QRect(i * w / kFps, 0, w / kFps, h), Qt::white);
        painter.end();
        AVFramePtr pBgra(imageToFrame(stImage));
        AVFramePtr pYuv = makeFramePtr();
        if (!pBgra || convertPixelFormat(pBgra.get(), pYuv.get(), AV_PIX_FMT_YUV420P) < 0)
            return {};
        stPictures.push_back(std::move(pYuv));
    }
    return stPictures;
}

// Calls fnShow(picture) every 40 ms for iCount pictures, on this thread.
template <typename ShowFn>
void paced(const std::vector<AVFramePtr> &stPictures, int iCount, ShowFn fnShow)
{
    const SteadyClock::time_point stStart = SteadyClock::now();
    for (int i = 0; i < iCount; ++i) {
        std::this_thread::sleep_until(stStart + std::chrono::milliseconds(1000 / kFps) * i);
        fnShow(stPictures[size_t(i) % stPictures.size()].get());
    }
}

void print(const char *szMode, const char *szKey, double lfValue)
{
    std::printf("%s.%s=%.2f\n", szMode, szKey, lfValue);
}

// The engine with SDL embedded (bQtDrawn false) or the Qt-drawn display.
void runEngine(CQVideoShow *pShow, const std::vector<AVFramePtr> &stPictures, int iSeconds, bool bQtDrawn)
{
    const char *szMode = bQtDrawn ? "qt_drawn" : "embedded";
    if (bQtDrawn)
        qputenv("SDL_VIDEODRIVER", "dummy");
    VideoCtl *pCtl = VideoCtl::instance(0);
    pCtl->startDisplay(pShow->attachDisplay(pCtl));
    spin(500);
    qunsetenv("SDL_VIDEODRIVER");
    if (pShow->isEmbedded() == bQtDrawn)
        std::fprintf(stderr, "%s: the display did not come up as asked\n", szMode);

    const VideoCtl::DisplayCounters stBefore = pCtl->displayCounters();
    const double lfDisplayBefore = threadCpuMs("pictora-display");
    const double lfGuiBefore = ownThreadCpuMs();
    const double lfProcessBefore = processCpuMs();
    const int iCount = iSeconds * kFps;
    std::atomic<int> iRefused{0};
    std::atomic<bool> bDone{false};
    const SteadyClock::time_point stStart = SteadyClock::now();
    std::thread stProducer([&] {
        paced(stPictures, iCount, [&](const AVFrame *pPicture) {
            AVFramePtr pCopy(av_frame_clone(pPicture));
            iRefused += pCtl->pushVideoFrame(pCopy.get()) < 0;
        });
        bDone = true;
    });
    while (!bDone)
        spin(20);
    stProducer.join();
    // The pictures span the pushes plus the last picture's 40 ms.
    const double lfSeconds =
        std::chrono::duration<double>(SteadyClock::now() - stStart).count() + 1.0 / kFps;
    spin(200);
    const VideoCtl::DisplayCounters stAfter = pCtl->displayCounters();
    const double lfDisplayMs = threadCpuMs("pictora-display") - lfDisplayBefore;
    const double lfGuiMs = ownThreadCpuMs() - lfGuiBefore;
    const double lfProcessMs = processCpuMs() - lfProcessBefore;

    // Idle: the last picture stays on screen, nothing new comes.
    const double lfIdleBefore = threadCpuMs("pictora-display");
    spin(iSeconds * 500);
    const double lfIdleMs = threadCpuMs("pictora-display") - lfIdleBefore;

    const int64_t iPresented = stAfter.iPresented - stBefore.iPresented;
    print(szMode, "pushed", iCount);
    print(szMode, "presented_fps", iPresented / lfSeconds);
    print(szMode, "dropped", double(stAfter.iDropped - stBefore.iDropped + (iCount - iPresented)));
    print(szMode, "refused", iRefused);
    print(szMode, "display_cpu_pct", 100 * lfDisplayMs / (lfSeconds * 1000));
    print(szMode, "display_cpu_ms_per_picture", lfDisplayMs / std::max<int64_t>(iPresented, 1));
    print(szMode, "gui_cpu_pct", 100 * lfGuiMs / (lfSeconds * 1000));
    print(szMode, "process_cpu_pct", 100 * lfProcessMs / (lfSeconds * 1000));
    print(szMode, "idle_display_cpu_pct", 100 * lfIdleMs / (iSeconds * 500));
    pCtl->stop();
    pShow->detachDisplay();
}

// The reference: one thread that uploads and presents each picture itself.
void runBareSdl(QWidget *pNative, const std::vector<AVFramePtr> &stPictures, int iSeconds)
{
    const uintptr_t iHandle = uintptr_t(pNative->winId());
    const int iWidth = pNative->width(), iHeight = pNative->height();
    double lfCpuMs = -1;
    double lfProcessMs = -1;
    int iPresented = 0;
    const SteadyClock::time_point stStart = SteadyClock::now();
    std::thread stThread([&] {
        if (!initSdlSubsystem(SDL_INIT_VIDEO))
            return;
        SDL_Window *pWindow = SDL_CreateWindowFrom(reinterpret_cast<const void *>(iHandle));
        SDL_Renderer *pRenderer = pWindow ? SDL_CreateRenderer(pWindow, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC) : nullptr;
        const AVFrame *pFirst = stPictures.front().get();
        SDL_Texture *pTexture = pRenderer ? SDL_CreateTexture(pRenderer, SDL_PIXELFORMAT_YV12, SDL_TEXTUREACCESS_STREAMING, pFirst->width, pFirst->height) : nullptr;
        if (pTexture) {
            const QRect stRect = letterboxRect(pFirst->width, pFirst->height, {1, 1}, iWidth, iHeight);
            const SDL_Rect stDst{stRect.x(), stRect.y(), stRect.width(), stRect.height()};
            const double lfBefore = ownThreadCpuMs();
            const double lfProcessBefore = processCpuMs();
            paced(stPictures, iSeconds * kFps, [&](const AVFrame *p) {
                SDL_UpdateYUVTexture(pTexture, nullptr, p->data[0], p->linesize[0], p->data[1], p->linesize[1], p->data[2], p->linesize[2]);
                SDL_SetRenderDrawColor(pRenderer, 47, 47, 47, 255);
                SDL_RenderClear(pRenderer);
                SDL_RenderCopy(pRenderer, pTexture, nullptr, &stDst);
                SDL_RenderPresent(pRenderer);
                ++iPresented;
            });
            lfCpuMs = ownThreadCpuMs() - lfBefore;
            lfProcessMs = processCpuMs() - lfProcessBefore;
            SDL_DestroyTexture(pTexture);
        }
        if (pRenderer)
            SDL_DestroyRenderer(pRenderer);
        if (pWindow)
            SDL_DestroyWindow(pWindow);
        quitSdlSubsystem(SDL_INIT_VIDEO);
    });
    while (SteadyClock::now() - stStart < std::chrono::seconds(iSeconds))
        spin(20);
    stThread.join();
    const double lfSeconds = std::chrono::duration<double>(SteadyClock::now() - stStart).count();
    print("bare_sdl", "presented_fps", iPresented / lfSeconds);
    print("bare_sdl", "cpu_pct", 100 * lfCpuMs / (lfSeconds * 1000));
    print("bare_sdl", "cpu_ms_per_picture", lfCpuMs / std::max(iPresented, 1));
    print("bare_sdl", "process_cpu_pct", 100 * lfProcessMs / (lfSeconds * 1000));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "bench_player needs an X server (run bench/bench_player.sh)\n");
        return 2;
    }
    const int iSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int iWidth = argc > 2 ? std::atoi(argv[2]) : 1920;
    const int iHeight = argc > 3 ? std::atoi(argv[3]) : 1080;
    const std::vector<AVFramePtr> stPictures = makePictures(iWidth, iHeight);
    if (stPictures.empty())
        return 1;

    QWidget stWindow;
    stWindow.resize(820, 470);
    auto *pShow = new CQVideoShow(&stWindow);
    pShow->setGeometry(10, 10, 800, 450);
    auto *pBare = new QWidget(&stWindow);
    pBare->setAttribute(Qt::WA_NativeWindow);
    pBare->setAttribute(Qt::WA_DontCreateNativeAncestors);
    pBare->setUpdatesEnabled(false);
    pBare->setGeometry(pShow->geometry());
    pBare->hide();
    stWindow.show();
    spin(500);

    std::printf("pictures=%dx%d\nfps=%d\nseconds=%d\n", iWidth, iHeight, kFps, iSeconds);
    runEngine(pShow, stPictures, iSeconds, false);
    runEngine(pShow, stPictures, iSeconds, true);
    pBare->show();
    pBare->raise();
    spin(300);
    runBareSdl(pBare, stPictures, iSeconds);
    return 0;
}
