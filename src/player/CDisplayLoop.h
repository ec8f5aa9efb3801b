#pragma once

// The display thread of the player: takes pictures from the picture ring and
// shows each one once. Where the display widget's native window can be
// embedded (X11), SDL draws into it; everywhere else (offscreen, Wayland,
// SDL's dummy driver, a failed embed) each picture is converted to an image
// that the widget paints with Qt. Every SDL video call happens on this thread.

#include "media/ffmpeg/FFmpegPtr.h"

#include <QImage>

#include <atomic>
#include <cstdint>
#include <functional>

extern "C" {
#include <libavutil/rational.h>
}

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
class FrameRing;
struct QueueSlot;

// Shared between the display thread and the thread that controls it.
struct DisplayControl
{
    std::atomic<bool> bRunning{false};
    std::atomic<bool> bRedraw{false};   // the area was exposed
    std::atomic<uint64_t> iPendingSize{0}; // a new size of the area in pixels, width << 32 | height; 0: none
    // ARGB laid over an embedded display while the window is dimmed; alpha 0: none.
    std::atomic<uint32_t> iDimming{0};
    // Pictures taken from the ring, pictures shown at least once, and
    // pictures replaced before they were ever shown.
    std::atomic<int64_t> iPictures{0};
    std::atomic<int64_t> iPresented{0};
    std::atomic<int64_t> iDropped{0};
};

class CDisplayLoop
{
public:
    using EmbeddedFn = std::function<void(bool bEmbedded)>;
    using PictureFn = std::function<void(const QImage &stPicture, AVRational stSampleAspect)>;

    // iNativeHandle 0 means: draw with Qt from the start.
    CDisplayLoop(FrameRing &stPictures, DisplayControl &stControl, uintptr_t iNativeHandle, EmbeddedFn fnEmbedded,
                 PictureFn fnPicture);
    ~CDisplayLoop();
    CDisplayLoop(const CDisplayLoop &) = delete;
    CDisplayLoop &operator=(const CDisplayLoop &) = delete;

    // Runs until stControl.bRunning is cleared; closes the ring at the end.
    void run();

private:
    bool createSdlDisplay();
    void destroySdlDisplay();
    void handleSdlEvents();
    bool applyPendingSize();
    // Draws the area once; false when the shared render lock was busy.
    bool presentSdl();
    void presentQt(QueueSlot &stSlot);
    bool uploadTexture(QueueSlot &stSlot);
    bool convertToBgra(const AVFrame *pFrame, uint8_t *pDst, int iDstStride);

    FrameRing &m_stPictures;
    DisplayControl &m_stControl;
    uintptr_t m_iNativeHandle = 0;
    EmbeddedFn m_fnEmbedded;
    PictureFn m_fnPicture;

    bool m_bVideoInitialised = false;
    SDL_Window *m_pWindow = nullptr;
    SDL_Renderer *m_pRenderer = nullptr;
    SDL_Texture *m_pTexture = nullptr;
    SwsContext *m_pScaler = nullptr;
    int m_iWidth = 0;
    int m_iHeight = 0;
};
