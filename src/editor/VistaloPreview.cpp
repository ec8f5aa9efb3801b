// The preview steps every album change goes through, and the editor's use
// of the player panel. The preview renderer (ImageViewer) and the sound
// feeder (AudioDecoder) are not there yet: each step does what it can
// without them, and each marks where they come in.

#include "editor/AlbumProjectState.h"
#include "editor/Vistalo.h"
#include "editor/VistaloForm.h"
#include "player/CQVideoPlay.h"

extern "C" {
#include <libavutil/mathematics.h>
}

// Stop-preview step: abandon the running render, stop the sound, start
// the next preview from 0.
void Vistalo::stopPreview()
{
    haltPreviewWorkers();
    albumState().iPreviewStartPos = 0;
    m_pUi->divPlayer->resetPosition();
}

// Abandon the running render and stop the sound, keeping the position.
void Vistalo::haltPreviewWorkers()
{
    // Preview renderer: set its abort flag when it is active.
    // Sound feeder: stopSound.
}

// Pause step.
void Vistalo::pausePreview()
{
    m_pUi->divPlayer->pauseClock();
    // Renderer: paused flag when active. Sound feeder: pauseSound.
    m_pUi->divPlayer->showPlayButton();
}

// A pause the program makes (screen out, close and clear questions).
void Vistalo::pauseByProgram()
{
    if (m_iPlayerState == PlayerIdle)
        return;
    pausePreview();
    m_iPlayerState = PlayerPaused;
}

// Cover request: a new still picture at iPreviewStartPos.
void Vistalo::requestPreviewCover()
{
    // Renderer: set its abort flag when active, emit sig_changePreviewCover.
}

// Seek step to iPositionUs on the album timeline.
void Vistalo::seekPreview(int64_t iPositionUs)
{
    AlbumProjectState &st = albumState();
    const int64_t iMs = av_rescale_q(iPositionUs, st.stGlobalTimeBase, st.stPlayerTimeBase);
    m_pUi->divPlayer->showPosition(iMs);
    m_pUi->divPlayer->restartClockAt(iMs);
    st.iPreviewStartPos = iPositionUs;
    // Renderer: seek-requested flag when active; sound feeder: both seek
    // requests when active.
}

// After a seek: a paused-by-slider preview plays on, an idle one shows
// the new cover.
void Vistalo::continuePreviewAfterSeek()
{
    if (m_iPlayerState == PlayerIdle)
        requestPreviewCover();
    // PlayerSliderPaused: enablePlayer(true), state PlayerPlaying.
}

// The album's length on the player, in milliseconds.
void Vistalo::showAlbumLength()
{
    const AlbumProjectState &st = albumState();
    m_pUi->divPlayer->setTotalDuration(av_rescale_q(st.iTotalDuration, st.stGlobalTimeBase, st.stPlayerTimeBase));
}

void Vistalo::startPlayerDisplay()
{
    m_pUi->divPlayer->startDisplay();
}

// Both player engines (pictures and sound) stop.
void Vistalo::stopPlayerEngines()
{
    m_pUi->divPlayer->stop(0);
    m_pUi->divPlayer->stop(1);
}

// Editor teardown: the preview workers stop and end their threads.
void Vistalo::shutDownPreviewWorkers()
{
    // Renderer: abort flag, sig_close(0). Sound feeder: stopSound, sig_close(0).
    m_pUi->divPlayer->closeAudio(0);
    m_pUi->divPlayer->closeAudio(1);
    // Then wait for both threads.
}

// The player panel's own wiring; false leaves the editor without any.
bool Vistalo::connectPlayer()
{
    if (!m_pUi->divPlayer->connectPlayerSignals())
        return false;
    // Its play/pause, slider, loop-end and quality signals go to the
    // preview slots here.
    return true;
}
