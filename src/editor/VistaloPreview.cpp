// The preview steps every album change goes through, and the editor's use
// of the player panel: play, pause, resume, seek, the cover picture and the
// end of a preview. The preview renderer (ImageViewer) makes the pictures
// and the sound feeder (AudioDecoder) the sound; both follow the player's
// clock, which this file starts, pauses and moves.

#include "album/AlbumProjectState.h"
#include "editor/ImageListItemModel.h"
#include "editor/ImageListView.h"
#include "editor/Vistalo.h"
#include "editor/VistaloForm.h"
#include "media/preview/AudioDecoder.h"
#include "media/preview/ImageViewer.h"
#include "media/recipes/AlbumGeometry.h"
#include "player/CQVideoPlay.h"
#include "ui/CQComboBox.h"

#include <QMutexLocker>

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
// Both reach a job that is still waiting to start, and no later one.
void Vistalo::haltPreviewWorkers()
{
    m_pViewer->abortPreview();
    m_pSound->stopSound();
}

// Pause step. A second pause leaves the clock where the first stopped it.
void Vistalo::pausePreview()
{
    m_pUi->divPlayer->pauseClock();
    m_pViewer->setPaused(true);
    m_pSound->pauseSound();
    m_pUi->divPlayer->showPlayButton();
}

// Resume step.
void Vistalo::resumePreview()
{
    m_pUi->divPlayer->resumeClock();
    m_pViewer->setPaused(false);
    m_pSound->resumeSound();
    m_pUi->divPlayer->showPauseButton();
}

// A pause the program makes (screen out, close and clear questions).
void Vistalo::pauseByProgram()
{
    if (m_iPlayerState == PlayerIdle)
        return;
    pausePreview();
    m_iPlayerState = PlayerPaused;
}

void Vistalo::updateRequest()
{
    pauseByProgram();
}

// Cover request: a new still picture at iPreviewStartPos.
void Vistalo::requestPreviewCover()
{
    m_pViewer->abortPreview();
    emit m_pViewer->sig_changePreviewCover();
}

// Seek step to iPositionUs on the album timeline.
void Vistalo::seekPreview(int64_t iPositionUs)
{
    AlbumProjectState &st = albumState();
    const int64_t iMs = av_rescale_q(iPositionUs, st.stGlobalTimeBase, st.stPlayerTimeBase);
    m_pUi->divPlayer->showPosition(iMs);
    m_pUi->divPlayer->restartClockAt(iMs);
    st.iPreviewStartPos = iPositionUs;
    m_pViewer->requestSeek();
    m_pSound->requestSeek();
}

// After a seek: a paused-by-slider preview plays on, an idle one shows
// the new cover.
void Vistalo::continuePreviewAfterSeek()
{
    if (m_iPlayerState == PlayerIdle) {
        requestPreviewCover();
    } else if (m_iPlayerState == PlayerSliderPaused) {
        enablePlayer(true);
        m_iPlayerState = PlayerPlaying;
    }
}

void Vistalo::enablePlayer(bool bPlay)
{
    if (!bPlay) {
        pausePreview();
        return;
    }
    if (m_iPlayerState == PlayerPaused || m_iPlayerState == PlayerSliderPaused) {
        resumePreview();
        return;
    }
    if (m_iPlayerState != PlayerIdle)
        return;
    // From the preview start position: the end of the selected material, or
    // 0 after a change of the album.
    AlbumProjectState &st = albumState();
    CQVideoPlay *pPlay = m_pUi->divPlayer;
    // A cover still being made is of no use now; its end is what the lock waits for.
    m_pViewer->abortPreview();
    QMutexLocker lockPreview(&st.mutexPreview);
    st.listImageSourceOrder = m_pUi->imageSourceList->imageModel()->paths();
    updateSelfAdaptiveRatio(m_pUi->comboVideoRatio->currentIndex());
    updateExportSize();
    // A display that ended is started again.
    startPlayerDisplay();
    emit m_pViewer->sig_previewVideo();
    pPlay->startClock();
    pPlay->startAudio(0);
    pPlay->startAudio(1);
    emit m_pSound->sig_preview();
    pPlay->showPauseButton();
}

void Vistalo::stopPlayer()
{
    m_pUi->divPlayer->stopClock();
    m_pUi->divPlayer->showPosition(0);
    m_pSound->stopSound();
    m_pUi->divPlayer->showPlayButton();
}

void Vistalo::playOrPause(bool bPlay)
{
    // The button says what the user wants; a preview already doing it stays.
    if (bPlay == (m_iPlayerState == PlayerPlaying))
        return;
    enablePlayer(bPlay);
    m_iPlayerState = bPlay ? PlayerPlaying : PlayerPaused;
}

void Vistalo::playerSliderPressed(double lfDurationRatio)
{
    Q_UNUSED(lfDurationRatio);
    if (m_iPlayerState != PlayerPlaying)
        return;
    pausePreview();
    m_iPlayerState = PlayerSliderPaused;
}

void Vistalo::playerSliderReleased(double lfDurationRatio)
{
    const AlbumProjectState &st = albumState();
    const int64_t iMs = int64_t(lfDurationRatio * double(m_pUi->divPlayer->totalDuration()));
    seekPreview(av_rescale_q(iMs, st.stPlayerTimeBase, st.stGlobalTimeBase));
    continuePreviewAfterSeek();
}

// The renderer has ended a preview, by itself or called off.
void Vistalo::previewFinished()
{
    CQVideoPlay *pPlay = m_pUi->divPlayer;
    stopPlayer();
    m_iPlayerState = PlayerIdle;
    // The cover at the end of the first material.
    ImageListView *pList = m_pUi->imageSourceList;
    if (pList->model()->rowCount() > 0) {
        const QModelIndex stFirst = pList->model()->index(0, 0);
        pList->setCurrentIndex(stFirst);
        m_szSelectedPath = stFirst.data(Qt::DisplayRole).toString();
        imageSourceSelected(stFirst);
    }
    pPlay->closeAudio(0);
    pPlay->closeAudio(1);
}

// The player's clock reached the album's end.
void Vistalo::previewTimeEnded()
{
    stopPreview();
}

// Another preview quality: the divisor changes once nothing reads it.
void Vistalo::previewQualityChanged()
{
    stopPreview();
    AlbumProjectState &st = albumState();
    QMutexLocker lockPreview(&st.mutexPreview);
    QMutexLocker lockAudio(&st.mutexAudio);
    st.iPreviewScale = m_pUi->divPlayer->previewScale();
    requestPreviewCover();
}

// The album's length on the player, in milliseconds.
void Vistalo::showAlbumLength()
{
    const AlbumProjectState &st = albumState();
    m_pUi->divPlayer->setTotalDuration(av_rescale_q(st.iTotalDuration, st.stGlobalTimeBase, st.stPlayerTimeBase));
    // Every change of the album's length comes here; the fit follows it
    // once the change is done and the album unlocked.
    if (st.bFitToMusic)
        QMetaObject::invokeMethod(this, &Vistalo::fitImageDurationToMusic, Qt::QueuedConnection);
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

// Editor teardown: the preview workers stop and their threads end
// (the destructor waits for them).
void Vistalo::shutDownPreviewWorkers()
{
    haltPreviewWorkers();
    emit m_pViewer->sig_close(0);
    emit m_pSound->sig_close(0);
    // A feeder waiting for room in the sound rings is let go.
    m_pUi->divPlayer->closeAudio(0);
    m_pUi->divPlayer->closeAudio(1);
}

// The player panel's own wiring; false leaves the editor without any.
bool Vistalo::connectPlayer()
{
    CQVideoPlay *pPlay = m_pUi->divPlayer;
    if (!pPlay->connectPlayerSignals())
        return false;
    connect(pPlay, &CQVideoPlay::vp_PlayOrPauseVideoSignal, this, &Vistalo::playOrPause);
    connect(pPlay, &CQVideoPlay::vp_cSliderPressSignal, this, &Vistalo::playerSliderPressed);
    connect(pPlay, &CQVideoPlay::vp_cSliderReleaseSignal, this, &Vistalo::playerSliderReleased);
    connect(pPlay, &CQVideoPlay::vp_timeLoopEndSignal, this, &Vistalo::previewTimeEnded);
    connect(pPlay, &CQVideoPlay::vp_preSetChange, this, &Vistalo::previewQualityChanged);
    connect(m_pViewer, &ImageViewer::sig_previewFinished, this, &Vistalo::previewFinished);
    return true;
}
