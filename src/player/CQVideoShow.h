#pragma once

// The preview's display area. On X11 SDL draws the pictures into a native
// window inside it; wherever that is impossible (offscreen, Wayland, SDL's
// dummy driver, a failed embed) it paints the engine's pictures itself, in
// the same place and on the same background.

#include <QImage>
#include <QWidget>

#include <cstdint>

extern "C" {
#include <libavutil/rational.h>
}

class QLabel;
class CQNativeVideoSurface;
class VideoCtl;

class CQVideoShow : public QWidget
{
    Q_OBJECT
public:
    explicit CQVideoShow(QWidget *pParent = nullptr);
    // Ends an attached display first: SDL must not draw into a window that is gone.
    ~CQVideoShow() override;

    // Shows what pEngine's display loop presents from now on. Returns the
    // native window SDL should draw into, or 0 when the pictures are to be
    // painted here.
    uintptr_t attachDisplay(VideoCtl *pEngine);
    // The engine's display has stopped: back to the empty area.
    void detachDisplay();
    bool isEmbedded() const { return m_bEmbedded; }

public Q_SLOTS:
    void setEmbedded(bool bEmbedded);
    // The window around is dimmed (a dialog is open): the native display,
    // above the dimming layer, dims its picture too.
    void setDimmed(bool bDimmed);
    // The engine has a new picture for this widget to paint.
    void takePicture();

protected:
    void paintEvent(QPaintEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;

private:
    QLabel *m_pEmptyLabel = nullptr;
    CQNativeVideoSurface *m_pSurface = nullptr; // native window for SDL, created on X11 only
    VideoCtl *m_pEngine = nullptr;
    bool m_bEmbedded = false;
    bool m_bDimmed = false;
    QImage m_stPicture;
    AVRational m_stSampleAspect{0, 1};
};
