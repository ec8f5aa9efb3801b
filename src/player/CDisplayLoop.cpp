#include "player/CDisplayLoop.h"

#include "player/FrameRing.h"
#include "player/Letterbox.h"
#include "player/SdlSubsystems.h"

#include <QColor>

#include <SDL2/SDL.h>

#include <pthread.h>

#include <cstring>
#include <mutex>
#include <thread>

extern "C" {
#include <libavutil/log.h>
}

namespace {

// Shared by every display; tried, never waited for.
std::mutex s_renderLock;

// How long an idle display sleeps. A new picture, an expose, a resize or
// stop wakes it at once; the timeout only keeps SDL's event queue drained.
constexpr std::chrono::milliseconds kIdleWait(100);

} // namespace

CDisplayLoop::CDisplayLoop(FrameRing &stPictures, DisplayControl &stControl, uintptr_t iNativeHandle,
                           EmbeddedFn fnEmbedded, PictureFn fnPicture)
    : m_stPictures(stPictures),
      m_stControl(stControl),
      m_iNativeHandle(iNativeHandle),
      m_fnEmbedded(std::move(fnEmbedded)),
      m_fnPicture(std::move(fnPicture))
{
}

CDisplayLoop::~CDisplayLoop()
{
    destroySdlDisplay();
    sws_freeContext(m_pScaler);
}

void CDisplayLoop::run()
{
    pthread_setname_np(pthread_self(), "pictora-display");
    const bool bEmbedded = m_iNativeHandle && createSdlDisplay();
    if (!bEmbedded)
        destroySdlDisplay();
    m_fnEmbedded(bEmbedded);

    // An embedded area starts with the background colour.
    bool bRedraw = bEmbedded;
    while (m_stControl.bRunning) {
        if (bEmbedded) {
            handleSdlEvents();
            bRedraw = applyPendingSize() || bRedraw;
        }
        bRedraw = m_stControl.bRedraw.exchange(false) || bRedraw;
        if (m_stPictures.remaining() > 0) {
            if (m_stPictures.hasShown() && !m_stPictures.current().bPresented)
                ++m_stControl.iDropped;
            m_stPictures.advance();
            ++m_stControl.iPictures;
            bRedraw = true;
        }
        if (bRedraw && bEmbedded) {
            bRedraw = !presentSdl();
        } else if (bRedraw) {
            if (m_stPictures.hasShown() && !m_stPictures.current().bPresented)
                presentQt(m_stPictures.current());
            bRedraw = false;
        }
        // Nothing to draw: sleep until a picture, an expose or stop.
        if (!bRedraw)
            m_stPictures.waitForFrame(kIdleWait);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_stPictures.close();
    destroySdlDisplay();
}

bool CDisplayLoop::createSdlDisplay()
{
    // Qt runs on X11 whenever a native handle comes here; SDL must too.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    if (!initSdlSubsystem(SDL_INIT_VIDEO)) {
        av_log(nullptr, AV_LOG_WARNING, "SDL video: %s\n", SDL_GetError());
        return false;
    }
    m_bVideoInitialised = true;
    const char *szDriver = SDL_GetCurrentVideoDriver();
    if (!szDriver || std::strcmp(szDriver, "x11") != 0)
        return false;
    SDL_EventState(SDL_SYSWMEVENT, SDL_IGNORE);
    SDL_EventState(SDL_USEREVENT, SDL_IGNORE);

    m_pWindow = SDL_CreateWindowFrom(reinterpret_cast<const void *>(m_iNativeHandle));
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    if (m_pWindow) {
        SDL_GetWindowSize(m_pWindow, &m_iWidth, &m_iHeight);
        m_pRenderer = SDL_CreateRenderer(m_pWindow, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
        if (!m_pRenderer) {
            av_log(nullptr, AV_LOG_WARNING, "Failed to initialize a hardware accelerated renderer: %s\n",
                   SDL_GetError());
            m_pRenderer = SDL_CreateRenderer(m_pWindow, -1, 0);
        }
        SDL_RendererInfo stInfo;
        if (m_pRenderer && SDL_GetRendererInfo(m_pRenderer, &stInfo) == 0)
            av_log(nullptr, AV_LOG_VERBOSE, "Initialized %s renderer.\n", stInfo.name);
    }
    if (!m_pWindow || !m_pRenderer) {
        av_log(nullptr, AV_LOG_FATAL, "SDL: could not set video mode - exiting\n");
        return false;
    }
    return true;
}

void CDisplayLoop::destroySdlDisplay()
{
    if (m_pTexture)
        SDL_DestroyTexture(m_pTexture);
    if (m_pRenderer)
        SDL_DestroyRenderer(m_pRenderer);
    // A window made from a foreign handle leaves the widget's window alone.
    if (m_pWindow)
        SDL_DestroyWindow(m_pWindow);
    m_pTexture = nullptr;
    m_pRenderer = nullptr;
    m_pWindow = nullptr;
    if (m_bVideoInitialised)
        quitSdlSubsystem(SDL_INIT_VIDEO);
    m_bVideoInitialised = false;
}

void CDisplayLoop::handleSdlEvents()
{
    SDL_PumpEvents();
    SDL_Event stEvent;
    while (SDL_PollEvent(&stEvent)) {
        // SDL_QUIT (SDL's last window closed, say) is left alone: the
        // display ends when the player stops it, never by itself.
        if (stEvent.type == SDL_WINDOWEVENT) {
            if (stEvent.window.event == SDL_WINDOWEVENT_RESIZED ||
                stEvent.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                m_iWidth = stEvent.window.data1;
                m_iHeight = stEvent.window.data2;
                m_stControl.bRedraw = true;
            } else if (stEvent.window.event == SDL_WINDOWEVENT_EXPOSED) {
                m_stControl.bRedraw = true;
            }
        }
    }
}

bool CDisplayLoop::applyPendingSize()
{
    // SDL hears nothing about a foreign window's size: the widget tells us.
    const uint64_t iSize = m_stControl.iPendingSize.exchange(0);
    const int iWidth = int(iSize >> 32);
    const int iHeight = int(iSize & 0xffffffffu);
    if (iWidth <= 0 || iHeight <= 0 || (iWidth == m_iWidth && iHeight == m_iHeight))
        return false;
    SDL_SetWindowSize(m_pWindow, iWidth, iHeight);
    m_iWidth = iWidth;
    m_iHeight = iHeight;
    return true;
}

bool CDisplayLoop::presentSdl()
{
    std::unique_lock<std::mutex> lock(s_renderLock, std::try_to_lock);
    if (!lock.owns_lock())
        return false;
    const QColor stBackground = displayBackgroundColor();
    SDL_SetRenderDrawColor(m_pRenderer, Uint8(stBackground.red()), Uint8(stBackground.green()),
                           Uint8(stBackground.blue()), 255);
    SDL_RenderClear(m_pRenderer);
    QueueSlot *pSlot = m_stPictures.hasShown() ? &m_stPictures.current() : nullptr;
    if (pSlot && uploadTexture(*pSlot)) {
        const QRect stRect =
            letterboxRect(pSlot->iWidth, pSlot->iHeight, pSlot->stSampleAspect, m_iWidth, m_iHeight);
        const SDL_Rect stDst{stRect.x(), stRect.y(), stRect.width(), stRect.height()};
        SDL_RenderCopyEx(m_pRenderer, m_pTexture, nullptr, &stDst, 0, nullptr,
                         pSlot->bFlipVertical ? SDL_FLIP_VERTICAL : SDL_FLIP_NONE);
    }
    // SDL's window lies above the dimming layer of the Qt window: it dims itself.
    const QColor stDimming = QColor::fromRgba(m_stControl.iDimming.load());
    if (stDimming.alpha() > 0) {
        SDL_SetRenderDrawBlendMode(m_pRenderer, SDL_BLENDMODE_BLEND);
        SDL_SetRenderDrawColor(m_pRenderer, Uint8(stDimming.red()), Uint8(stDimming.green()),
                               Uint8(stDimming.blue()), Uint8(stDimming.alpha()));
        SDL_RenderFillRect(m_pRenderer, nullptr);
        SDL_SetRenderDrawBlendMode(m_pRenderer, SDL_BLENDMODE_NONE);
    }
    SDL_RenderPresent(m_pRenderer);
    if (pSlot && !pSlot->bPresented) {
        pSlot->bPresented = true;
        ++m_stControl.iPresented;
    }
    return true;
}

bool CDisplayLoop::uploadTexture(QueueSlot &stSlot)
{
    if (stSlot.bUploaded)
        return m_pTexture != nullptr;
    const AVFrame *pFrame = stSlot.pFrame.get();
    const bool bYuv = pFrame->format == AV_PIX_FMT_YUV420P;
    const Uint32 iFormat = bYuv ? SDL_PIXELFORMAT_YV12 : SDL_PIXELFORMAT_ARGB8888;
    Uint32 iTextureFormat = 0;
    int iTextureWidth = 0, iTextureHeight = 0;
    if (!m_pTexture || SDL_QueryTexture(m_pTexture, &iTextureFormat, nullptr, &iTextureWidth, &iTextureHeight) < 0 ||
        iTextureFormat != iFormat || iTextureWidth != pFrame->width || iTextureHeight != pFrame->height) {
        if (m_pTexture)
            SDL_DestroyTexture(m_pTexture);
        m_pTexture =
            SDL_CreateTexture(m_pRenderer, iFormat, SDL_TEXTUREACCESS_STREAMING, pFrame->width, pFrame->height);
        if (!m_pTexture)
            return false;
        SDL_SetTextureBlendMode(m_pTexture, SDL_BLENDMODE_NONE);
    }

    if (bYuv) {
        if (pFrame->linesize[0] < 0 || pFrame->linesize[1] < 0 || pFrame->linesize[2] < 0) {
            av_log(nullptr, AV_LOG_ERROR, "Negative linesize is not supported for YUV.\n");
            return false;
        }
        if (SDL_UpdateYUVTexture(m_pTexture, nullptr, pFrame->data[0], pFrame->linesize[0], pFrame->data[1],
                                 pFrame->linesize[1], pFrame->data[2], pFrame->linesize[2]) < 0)
            return false;
    } else if (pFrame->format == AV_PIX_FMT_BGRA) {
        // A bottom-up picture is uploaded as stored and flipped when drawn.
        const int iStride = pFrame->linesize[0];
        const uint8_t *pFirst = iStride < 0 ? pFrame->data[0] + ptrdiff_t(iStride) * (pFrame->height - 1)
                                            : pFrame->data[0];
        if (SDL_UpdateTexture(m_pTexture, nullptr, pFirst, iStride < 0 ? -iStride : iStride) < 0)
            return false;
    } else {
        void *pPixels = nullptr;
        int iPitch = 0;
        if (SDL_LockTexture(m_pTexture, nullptr, &pPixels, &iPitch) < 0)
            return false;
        const bool bConverted = convertToBgra(pFrame, static_cast<uint8_t *>(pPixels), iPitch);
        SDL_UnlockTexture(m_pTexture);
        if (!bConverted)
            return false;
        // The converter reads a bottom-up picture upright already.
        stSlot.bFlipVertical = false;
    }
    stSlot.bUploaded = true;
    return true;
}

bool CDisplayLoop::convertToBgra(const AVFrame *pFrame, uint8_t *pDst, int iDstStride)
{
    m_pScaler = sws_getCachedContext(m_pScaler, pFrame->width, pFrame->height, AVPixelFormat(pFrame->format),
                                     pFrame->width, pFrame->height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr,
                                     nullptr);
    if (!m_pScaler) {
        av_log(nullptr, AV_LOG_FATAL, "Cannot initialize the conversion context\n");
        return false;
    }
    uint8_t *const pDstPlanes[4] = {pDst, nullptr, nullptr, nullptr};
    const int pDstStrides[4] = {iDstStride, 0, 0, 0};
    return sws_scale(m_pScaler, pFrame->data, pFrame->linesize, 0, pFrame->height, pDstPlanes, pDstStrides) > 0;
}

void CDisplayLoop::presentQt(QueueSlot &stSlot)
{
    const AVFrame *pFrame = stSlot.pFrame.get();
    QImage stPicture(pFrame->width, pFrame->height, QImage::Format_ARGB32);
    if (stPicture.isNull() || !convertToBgra(pFrame, stPicture.bits(), int(stPicture.bytesPerLine())))
        return;
    m_fnPicture(stPicture, stSlot.stSampleAspect);
    stSlot.bPresented = true;
    ++m_stControl.iPresented;
}
