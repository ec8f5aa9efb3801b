#include "player/CQVideoPlay.h"

#include "player/CQPrevTipDialog.h"
#include "player/CQSlider.h"
#include "player/CQVideoShow.h"
#include "player/VideoCtl.h"
#include "ui/CQComboBox.h"
#include "ui/CQThemeMgr.h"
#include "ui/CQWidgetEx.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

extern "C" {
#include <libavutil/frame.h>
}

namespace {

const char *const kContext = "CQVideoPlayClass";

// The selector's entries, in the order of kPreviewScales. Their texts are
// only shown: the entry's index says which quality it is.
const char *const kQualityTexts[] = {
    QT_TRANSLATE_NOOP("CQVideoPlayClass", "Full"),
    QT_TRANSLATE_NOOP("CQVideoPlayClass", "1/2"),
    QT_TRANSLATE_NOOP("CQVideoPlayClass", "1/4"),
    QT_TRANSLATE_NOOP("CQVideoPlayClass", "1/6"),
};

// Hands a frame to an engine; the caller's frame is let go in every case.
int handOver(VideoCtl *pEngine, int (VideoCtl::*fnPush)(AVFrame *), AVFrame *pFrame)
{
    if (!pFrame)
        return -1;
    const int iResult = pEngine ? (pEngine->*fnPush)(pFrame) : -1;
    av_frame_unref(pFrame);
    return iResult;
}

// Whole seconds of a position as a time of day; the time fields cannot show
// a day or more, so longer positions stop at 23:59:59.
QTime timeOfMs(int64_t iMs)
{
    const int iSeconds = std::clamp(int(float(double(iMs) / 1000.0)), 0, 24 * 3600 - 1);
    return QTime(iSeconds / 3600, iSeconds % 3600 / 60, iSeconds % 60);
}

QTimeEdit *makeTimeField(const char *szName, QWidget *pParent)
{
    auto *pEdit = new QTimeEdit(pParent);
    pEdit->setObjectName(QString::fromLatin1(szName));
    pEdit->setReadOnly(true);
    pEdit->setFrame(false);
    pEdit->setButtonSymbols(QAbstractSpinBox::NoButtons);
    pEdit->setCalendarPopup(false);
    pEdit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    pEdit->setTime(QTime(0, 0));
    // 60 pixels, or what "00:00:00" needs in the font at hand.
    pEdit->ensurePolished();
    pEdit->setFixedWidth(std::max(60, pEdit->sizeHint().width()));
    return pEdit;
}

} // namespace

constexpr int CQVideoPlay::kPreviewScales[];

CQVideoPlay::CQVideoPlay(QWidget *pParent) : QWidget(pParent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("CQVideoPlayClass"));
    setMinimumSize(462, 300);
    // Made here, on the GUI thread, before any producer asks for them.
    VideoCtl::instance(0);
    setStyleSheet(CQThemeMgr::builtInStyleSheet(QStringLiteral("CQVideoPlayClass")));
    buildUi();
    retranslateUi();
    setAttribute(Qt::WA_Hover);
    m_pHelp->setAttribute(Qt::WA_Hover);
    m_pHelp->installEventFilter(this);
    // From the keyboard the help spot toggles the help; leaving it closes it.
    connect(m_pHelp, &QPushButton::clicked, this, [this] { showTip(!m_pTip); });
    setPlayingLook(false);
}

CQVideoPlay::~CQVideoPlay()
{
    if (m_pTip)
        m_pTip->close();
    // Nothing may draw into the display area once it is gone.
    if (m_bDisplayRunning)
        stop(0);
}

void CQVideoPlay::buildUi()
{
    auto *pOuter = new QGridLayout(this);
    pOuter->setContentsMargins(0, 0, 0, 0);
    pOuter->setSpacing(0);
    auto *pFrame = new QWidget(this);
    pFrame->setObjectName(QStringLiteral("uiFrame"));
    pOuter->addWidget(pFrame, 0, 0);
    auto *pFrameLayout = new QVBoxLayout(pFrame);
    pFrameLayout->setContentsMargins(0, 0, 0, 0);
    pFrameLayout->setSpacing(0);

    auto *pTitle = new QWidget(pFrame);
    pTitle->setObjectName(QStringLiteral("titleUi"));
    auto *pTitleLayout = new QGridLayout(pTitle);
    pTitleLayout->setContentsMargins(0, 0, 0, 0);
    m_pShow = new CQVideoShow(pTitle);
    pTitleLayout->addWidget(m_pShow, 0, 0);
    pFrameLayout->addWidget(pTitle, 1);

    auto *pControls = new QWidget(pFrame);
    pControls->setObjectName(QStringLiteral("CtrlBarWid"));
    pControls->setFixedHeight(45);
    auto *pControlsLayout = new QVBoxLayout(pControls);
    pControlsLayout->setContentsMargins(0, 0, 0, 0);
    pControlsLayout->setSpacing(0);
    m_pSlider = new CQSlider(pControls);
    m_pSlider->setObjectName(QStringLiteral("PlaySlider"));
    m_pSlider->setMaximumHeight(12);
    m_pSlider->setCursor(Qt::PointingHandCursor);
    pControlsLayout->addWidget(m_pSlider);

    auto *pRow = new QWidget(pControls);
    pRow->setObjectName(QStringLiteral("ctrlbarWdiget"));
    auto *pRowLayout = new QHBoxLayout(pRow);
    pRowLayout->setContentsMargins(0, 0, 0, 0);
    pRowLayout->setSpacing(0);
    m_pPlayTime = makeTimeField("VideoPlayTimeEdit", pRow);
    pRowLayout->addWidget(m_pPlayTime);
    pRowLayout->addSpacing(10);

    m_pComboBox = new QWidget(pRow);
    m_pComboBox->setObjectName(QStringLiteral("divPreViewSet"));
    m_pComboBox->setFixedSize(76, 33);
    m_pQuality = new CQComboBox(m_pComboBox);
    m_pQuality->setObjectName(QStringLiteral("comboPreViewSet"));
    m_pQuality->setGeometry(0, 4, 76, 24);
    for (const char *szText : kQualityTexts)
        m_pQuality->addItem(QString::fromUtf8(szText));
    // Over the selector's arrow: the help spot.
    m_pHelp = new QPushButton(m_pComboBox);
    m_pHelp->setObjectName(QStringLiteral("transparentBtn"));
    m_pHelp->setGeometry(60, 4, 14, 24);
    m_pHelp->setFlat(true);
    pRowLayout->addWidget(m_pComboBox);
    pRowLayout->addStretch();

    m_pPlayPause = new QPushButton(pRow);
    m_pPlayPause->setObjectName(QStringLiteral("PlayOrPauseBtn"));
    m_pPlayPause->setFixedSize(24, 24);
    m_pPlayPause->setCheckable(true);
    m_pPlayPause->setCursor(Qt::PointingHandCursor);
    pRowLayout->addWidget(m_pPlayPause);
    pRowLayout->addStretch();
    pRowLayout->addSpacing(86);
    m_pTotalTime = makeTimeField("VideoTotalTimeEdit", pRow);
    m_pTotalTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pRowLayout->addWidget(m_pTotalTime);
    pControlsLayout->addWidget(pRow);
    pFrameLayout->addWidget(pControls);
}

void CQVideoPlay::retranslateUi()
{
    for (int i = 0; i < m_pQuality->count(); ++i)
        m_pQuality->setItemText(i, QCoreApplication::translate(kContext, kQualityTexts[i]));
    m_pQuality->setAccessibleName(QCoreApplication::translate("CQVideoPlayClass", "Preview quality"));
    m_pHelp->setAccessibleName(QCoreApplication::translate("CQVideoPlayClass", "Preview quality help"));
    m_pSlider->setAccessibleName(QCoreApplication::translate("CQVideoPlayClass", "Preview position"));
    m_pPlayTime->setAccessibleName(QCoreApplication::translate("CQVideoPlayClass", "Elapsed time"));
    m_pTotalTime->setAccessibleName(QCoreApplication::translate("CQVideoPlayClass", "Total time"));
    setPlayingLook(m_bPlaying);
}

bool CQVideoPlay::connectPlayerSignals()
{
    // Unique: a second call connects nothing twice (and reports false).
    const auto eUnique = Qt::UniqueConnection;
    bool bOk = connect(m_pSlider, &CQSlider::cSliderPressSignal, this, &CQVideoPlay::vp_cSliderPressSlots, eUnique);
    bOk = connect(m_pSlider, &CQSlider::cSliderMoveSignal, this, &CQVideoPlay::vp_cSliderMoveSlots, eUnique) && bOk;
    bOk = connect(m_pSlider, &CQSlider::cSliderReleaseSignal, this, &CQVideoPlay::vp_cSliderReleaseSlots, eUnique) &&
          bOk;
    bOk = connect(m_pPlayPause, &QPushButton::clicked, this, &CQVideoPlay::vp_VideoPlayOrPauseSlots, eUnique) && bOk;
    if (VideoCtl *pEngine = VideoCtl::instance(0))
        bOk = connect(pEngine, &VideoCtl::StopPlaySingle, this, &CQVideoPlay::vp_videoStopPlaySlots, eUnique) && bOk;
    bOk = connect(m_pQuality, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                  &CQVideoPlay::preViewSetChanged, eUnique) &&
          bOk;
    return bOk;
}

void CQVideoPlay::startDisplay()
{
    VideoCtl *pEngine = VideoCtl::instance(0);
    // A loop that ended by itself is started again.
    if (!pEngine || (m_bDisplayRunning && pEngine->isDisplayRunning()))
        return;
    pEngine->startDisplay(m_pShow->attachDisplay(pEngine));
    m_bDisplayRunning = true;
}

void CQVideoPlay::stop(int iIndex)
{
    if (VideoCtl *pEngine = VideoCtl::instance(iIndex))
        pEngine->stop();
    if (iIndex == 0) {
        m_bDisplayRunning = false;
        m_pShow->detachDisplay();
    }
    showPlayButton();
}

void CQVideoPlay::startAudio(int iIndex)
{
    if (VideoCtl *pEngine = VideoCtl::instance(iIndex))
        pEngine->startAudio();
}

void CQVideoPlay::closeAudio(int iIndex)
{
    if (VideoCtl *pEngine = VideoCtl::instance(iIndex))
        pEngine->closeAudio();
}

void CQVideoPlay::setTotalDuration(int64_t iMs)
{
    m_iTotalDuration = std::max<int64_t>(iMs, 0);
    m_pTotalTime->setTime(timeOfMs(m_iTotalDuration));
}

void CQVideoPlay::showPosition(int64_t iMs)
{
    if (m_iTotalDuration == 0 || m_bSliderPressed)
        return;
    const int64_t iShown = std::min(iMs, m_iTotalDuration);
    m_pPlayTime->setTime(timeOfMs(iShown));
    m_pSlider->setValue(int(std::clamp(double(iShown) / double(m_iTotalDuration), 0.0, 1.0) * 1000));
}

void CQVideoPlay::startClock()
{
    if (!m_pTimer) {
        m_pTimer = new QTimer(this);
        m_pTimer->setInterval(30);
        connect(m_pTimer, &QTimer::timeout, this, &CQVideoPlay::on_timeout);
    }
    m_stClock.start();
    m_pTimer->start();
}

void CQVideoPlay::pauseClock()
{
    m_stClock.pause();
    pauseSound(true);
}

void CQVideoPlay::resumeClock()
{
    pauseSound(false);
    m_stClock.resume();
}

void CQVideoPlay::restartClockAt(int64_t iMs)
{
    m_stClock.restartAt(iMs);
    // The sound waiting to play belongs to where the clock was.
    dropAudio(0);
    dropAudio(1);
}

void CQVideoPlay::resetPosition()
{
    restartClockAt(0);
    showPosition(0);
}

void CQVideoPlay::stopClock()
{
    m_stClock.stop();
    stopTimer();
}

void CQVideoPlay::stopTimer()
{
    delete m_pTimer;
    m_pTimer = nullptr;
}

void CQVideoPlay::showPlayButton()
{
    setPlayingLook(false);
}

void CQVideoPlay::showPauseButton()
{
    setPlayingLook(true);
}

void CQVideoPlay::setPlayingLook(bool bPlaying)
{
    m_bPlaying = bPlaying;
    m_pPlayPause->setChecked(bPlaying);
    setStyleProperty(m_pPlayPause, QStringLiteral("qstyle"), bPlaying ? QStringLiteral("pause") : QStringLiteral("play"));
    m_pPlayPause->setAccessibleName(bPlaying ? QCoreApplication::translate("CQVideoPlayClass", "Pause")
                                             : QCoreApplication::translate("CQVideoPlayClass", "Play"));
}

int64_t CQVideoPlay::position() const
{
    return m_stClock.position();
}

int CQVideoPlay::pushVideoFrame(AVFrame *pFrame)
{
    return handOver(VideoCtl::instance(0), &VideoCtl::pushVideoFrame, pFrame);
}

int CQVideoPlay::pushAudioFrame(AVFrame *pFrame, int iIndex)
{
    return handOver(VideoCtl::instance(iIndex), &VideoCtl::pushAudioFrame, pFrame);
}

bool CQVideoPlay::soundBacklog(int iIndex, SoundBacklog *pBacklog) const
{
    const VideoCtl *pEngine = VideoCtl::instance(iIndex);
    return pEngine && pEngine->soundBacklog(pBacklog);
}

void CQVideoPlay::dropAudio(int iIndex)
{
    if (VideoCtl *pEngine = VideoCtl::instance(iIndex))
        pEngine->dropQueuedAudio();
}

void CQVideoPlay::pauseSound(bool bPause)
{
    for (int iIndex : {0, 1}) {
        if (VideoCtl *pEngine = VideoCtl::instance(iIndex))
            pEngine->pauseAudio(bPause);
    }
}

void CQVideoPlay::vp_cSliderPressSlots(double perc)
{
    m_bSliderPressed.exchange(true);
    Q_EMIT vp_cSliderPressSignal(perc);
}

void CQVideoPlay::vp_cSliderMoveSlots(double perc)
{
    m_pPlayTime->setTime(timeOfMs(int64_t(perc * double(m_iTotalDuration))));
    Q_EMIT vp_cSliderMoveSignal(perc);
}

void CQVideoPlay::vp_cSliderReleaseSlots(double perc)
{
    m_bSliderPressed.exchange(false);
    m_pPlayTime->setTime(timeOfMs(int64_t(perc * double(m_iTotalDuration))));
    Q_EMIT vp_cSliderReleaseSignal(perc);
}

void CQVideoPlay::vp_VideoPlayOrPauseSlots()
{
    setPlayingLook(!m_bPlaying);
    Q_EMIT vp_PlayOrPauseVideoSignal(m_bPlaying);
}

void CQVideoPlay::vp_videoStopPlaySlots()
{
    m_bDisplayRunning = false;
    m_pShow->detachDisplay();
    if (!m_bSliderPressed) {
        m_pPlayTime->setTime(QTime(0, 0));
        m_pSlider->setValue(0);
    }
    showPlayButton();
    Q_EMIT vp_videoStopPlaySignal();
}

void CQVideoPlay::on_timeout()
{
    if (m_stClock.isPaused() || m_bSliderPressed)
        return;
    const int64_t iPosition = m_stClock.position();
    showPosition(iPosition);
    if (iPosition >= m_iTotalDuration) {
        m_stClock.stop();
        stopTimer();
        Q_EMIT vp_timeLoopEndSignal();
    }
}

void CQVideoPlay::preViewSetChanged(int iIndex)
{
    if (iIndex < 0 || iIndex >= int(std::size(kPreviewScales)))
        return;
    // The album's divisor is the editor's to write, once the preview that
    // reads it has stopped.
    Q_EMIT vp_preSetChange();
}

int CQVideoPlay::previewScale() const
{
    const int iIndex = m_pQuality->currentIndex();
    return iIndex >= 0 && iIndex < int(std::size(kPreviewScales)) ? kPreviewScales[iIndex] : 1;
}

void CQVideoPlay::showTip(bool bShow)
{
    if (bShow && !m_pTip && m_pHelp->isEnabled()) {
        setStyleProperty(m_pComboBox, QStringLiteral("qstyle"), QStringLiteral("hover"));
        m_pTip = new CQPrevTipDialog(window());
        // Its pointer reaches up to the help spot; it stays on the screen.
        QRect stPlace(m_pQuality->mapToGlobal(QPoint(0, 0)) + QPoint(-150, 23), m_pTip->size());
        if (const QScreen *pScreen = screen()) {
            const QRect stScreen = pScreen->availableGeometry();
            stPlace.moveLeft(std::clamp(stPlace.left(), stScreen.left(), stScreen.right() - stPlace.width()));
        }
        m_pTip->move(stPlace.topLeft());
        m_pTip->show();
    } else if (!bShow && m_pTip) {
        setStyleProperty(m_pComboBox, QStringLiteral("qstyle"), QString());
        m_pTip->close();
        m_pTip = nullptr;
    }
}

bool CQVideoPlay::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    if (pWatched == m_pHelp && (pEvent->type() == QEvent::HoverEnter || pEvent->type() == QEvent::HoverLeave)) {
        showTip(pEvent->type() == QEvent::HoverEnter);
        pEvent->accept();
        return true;
    }
    if (pWatched == m_pHelp && pEvent->type() == QEvent::FocusOut)
        showTip(false);
    return QWidget::eventFilter(pWatched, pEvent);
}

void CQVideoPlay::changeEvent(QEvent *pEvent)
{
    if (pEvent->type() == QEvent::LanguageChange)
        retranslateUi();
    QWidget::changeEvent(pEvent);
}
