#pragma once

// The editor's preview player panel: the display area, the seek slider, the
// elapsed and total time, the play/pause button and the preview-quality
// selector. It owns the preview clock, which producers read to know which
// frame is due, and hands their frames to the engine (CPreviewOutput).
// What play, pause, seek and the end of a preview mean is the editor's.

#include "media/preview/CPreviewOutput.h"
#include "player/CPreviewClock.h"

#include <QPointer>
#include <QWidget>

#include <atomic>
#include <cstdint>

class CQComboBox;
class CQPrevTipDialog;
class CQSlider;
class CQVideoShow;
class QPushButton;
class QTimeEdit;
class QTimer;

class CQVideoPlay : public QWidget, public CPreviewOutput
{
    Q_OBJECT
public:
    explicit CQVideoPlay(QWidget *pParent = nullptr);
    ~CQVideoPlay() override;

    // The panel's own connections (slider, button, engine, quality); true when all were made.
    bool connectPlayerSignals();

    void startDisplay();
    void stop(int iIndex);
    void startAudio(int iIndex);
    void closeAudio(int iIndex);
    bool isDisplayRunning() const { return m_bDisplayRunning; }

    void setTotalDuration(int64_t iMs);
    int64_t totalDuration() const { return m_iTotalDuration; }
    void showPosition(int64_t iMs);

    void startClock();
    // The clock and both sound outputs stand and go on together.
    void pauseClock();
    void resumeClock();
    // Jumps the clock; the sound waiting to play is dropped.
    void restartClockAt(int64_t iMs);
    void resetPosition();
    void stopClock();

    void showPlayButton();
    void showPauseButton();

    // CPreviewOutput, for producer threads.
    int64_t position() const override;
    int pushVideoFrame(AVFrame *pFrame) override;
    int pushAudioFrame(AVFrame *pFrame, int iIndex) override;
    bool soundBacklog(int iIndex, SoundBacklog *pBacklog) const override;
    void dropAudio(int iIndex) override;

    // Preview quality divisor of each entry of the selector.
    static constexpr int kPreviewScales[] = {1, 2, 4, 6};
    // The divisor of the selector's current entry.
    int previewScale() const;

Q_SIGNALS:
    void vp_cSliderPressSignal(double perc);
    void vp_cSliderMoveSignal(double perc);
    void vp_cSliderReleaseSignal(double perc);
    void vp_PlayOrPauseVideoSignal(bool flag);
    void vp_videoStopPlaySignal();
    void vp_timeLoopEndSignal();
    void vp_preSetChange();

public Q_SLOTS:
    void vp_cSliderPressSlots(double perc);
    void vp_cSliderMoveSlots(double perc);
    void vp_cSliderReleaseSlots(double perc);
    void vp_VideoPlayOrPauseSlots();
    void vp_videoStopPlaySlots();
    void on_timeout();
    // The selector's entry iIndex was chosen: vp_preSetChange, after which
    // the editor stops the preview and sets the album's divisor to previewScale().
    void preViewSetChanged(int iIndex);

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;
    void changeEvent(QEvent *pEvent) override;

private:
    void buildUi();
    void retranslateUi();
    void setPlayingLook(bool bPlaying);
    void showTip(bool bShow);
    void stopTimer();
    void pauseSound(bool bPause);

    CQVideoShow *m_pShow = nullptr;
    CQSlider *m_pSlider = nullptr;
    QTimeEdit *m_pPlayTime = nullptr;
    QTimeEdit *m_pTotalTime = nullptr;
    QWidget *m_pComboBox = nullptr; // the box around the selector, styled on hover
    CQComboBox *m_pQuality = nullptr;
    QPushButton *m_pHelp = nullptr;
    QPushButton *m_pPlayPause = nullptr;
    QPointer<CQPrevTipDialog> m_pTip;
    QTimer *m_pTimer = nullptr;

    CPreviewClock m_stClock;
    bool m_bDisplayRunning = false;
    int64_t m_iTotalDuration = 0;
    std::atomic<bool> m_bSliderPressed{false};
    bool m_bPlaying = false;
};
