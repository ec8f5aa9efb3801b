#include "editor/Vistalo.h"

#include "album/AlbumProjectState.h"
#include "editor/ImageListItemModel.h"
#include "editor/ImageListView.h"
#include "editor/ImageOpenTipDialog.h"
#include "editor/VistaloForm.h"
#include "export_dialogs/ProgressDialog.h"
#include "import/ImageDecoder.h"
#include "import/MaterialAppender.h"
#include "import/MaterialImport.h"
#include "media/export/MediaEncoder.h"
#include "media/preview/AudioDecoder.h"
#include "media/preview/ImageViewer.h"
#include "player/CQVideoPlay.h"
#include "ui/CBLLAppMenu.h"
#include "ui/CFrameLessBottom.h"
#include "ui/CFrameLessCaption.h"
#include "ui/CFramelessWindow.h"
#include "ui/CQComboBox.h"
#include "ui/CQQuitDialog.h"
#include "ui/CQThemeMgr.h"
#include "ui/CQUIPushButton.h"
#include "ui/CQWidgetEx.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QToolTip>

namespace {

// Starts pWorker in a thread of its own. When the thread ends the worker is
// deleted, and the worker's end deletes the thread.
QThread *startWorkerThread(QObject *pWorker)
{
    auto *pThread = new QThread;
    pWorker->moveToThread(pThread);
    QObject::connect(pThread, &QThread::finished, pWorker, &QObject::deleteLater);
    QObject::connect(pWorker, &QObject::destroyed, pThread, &QObject::deleteLater);
    pThread->start(QThread::InheritPriority);
    return pThread;
}

// Waits for a worker's thread to end and takes what is left of both.
// pWorker was taken before the worker was told to close: by now it may
// be gone.
void joinWorkerThread(QThread *pThread, const QPointer<QObject> &pWorker)
{
    if (!pThread)
        return;
    pThread->wait();
    // The thread's end normally deleted the worker already.
    delete pWorker.data();
    delete pThread;
}

} // namespace

Vistalo::Vistalo(QWidget *pParent)
    : QWidget(pParent)
{
    // The player's display becomes a native window. Its ancestors follow,
    // but their siblings must stay drawn by Qt: a native copy of the main
    // window's overlay would lie over the whole window and take every click.
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    // 1. A fresh store for this run.
    startThumbnailStore();
    // 2. The form.
    m_pUi = new VistaloForm;
    m_pUi->setupUi(this);
    setStyleSheet(CQThemeMgr::builtInStyleSheet(objectName()));
    if (CQThemeMgr *pTheme = CQThemeMgr::instance())
        pTheme->applyThemeStyle(this);
    // 3. Types that travel between threads.
    registerAlbumMetaTypes();

    // 4. The tip bubble's timer, the import's progress dialog and poll timer.
    m_pTipTimer = new QTimer(this);
    m_pTipTimer->setInterval(80);
    m_pImportProgress = new ProgressDialog(dialogParent());
    m_pImportProgress->setAttribute(Qt::WA_DeleteOnClose, false);
    // It keeps the editor still while an import runs: a second import must
    // not replace the decoder's input half-way.
    m_pImportProgress->setWindowModality(Qt::ApplicationModal);
    m_pImportProgress->setPrefixText(QCoreApplication::translate("VistaloClass", "importing material... "));
    m_pImportProgress->setBackgroundImage(QStringLiteral(":/theme_local/imgs/dlg_import_images.png"));
    m_pImportPollTimer = new QTimer(this);
    m_pImportPollTimer->setInterval(1);

    // 5. Workers.
    createWorkers();

    // 6.
    setAcceptDrops(true);

    // 7. The album's defaults.
    applyEditorDefaults();
    AlbumProjectState &st = albumState();
    st.pImageListModel = m_pUi->imageSourceList->imageModel();
    st.pVideoPlay = m_pUi->divPlayer;
    m_stTierFont = QFont(QStringLiteral("Microsoft YaHei UI"));
    m_stTierFont.setPixelSize(watermarkFontPixelSize(st.szExportResolution));
    st.stWatermarkFont = m_stTierFont;

    setUpForm();

    // 11. Without a working player the window shows but does nothing.
    if (!connectPlayer())
        return;
    m_iPlayerState = PlayerIdle;
    enableAlbumControls(false);
    m_pUi->divBackgroundOperate->hide();
    connectForm();
}

Vistalo::~Vistalo()
{
    // Every worker stops and its thread ends before the album goes: a
    // worker still reading the album would read freed records.
    const QPointer<QObject> pViewer(m_pViewer);
    const QPointer<QObject> pSound(m_pSound);
    shutDownPreviewWorkers();
    const QPointer<QObject> pEncoder(m_pEncoder);
    const QPointer<QObject> pDecoder(m_pDecoder);
    m_pEncoder->runningFlag().store(false);
    emit m_pEncoder->sig_close(0);
    m_pDecoder->stopAll();
    emit m_pDecoder->sig_close(0);
    joinWorkerThread(m_pEncoderThread, pEncoder);
    joinWorkerThread(m_pDecoderThread, pDecoder);
    joinWorkerThread(m_pViewerThread, pViewer);
    joinWorkerThread(m_pSoundThread, pSound);
    // Records still queued for the appender close their files with it.
    delete m_pAppender;

    AlbumProjectState &st = albumState();
    {
        AlbumEditLock lock;
        stopPlayerEngines();
        clearAlbum();
        st.pVideoPlay = nullptr;
        // The model goes with the strip.
        st.pImageListModel = nullptr;
    }
    delete m_pImportProgress.data();
    delete m_pUi;
}

void Vistalo::createWorkers()
{
    // In this order: encoder, preview renderer, decoder, sound feeder.
    m_pEncoder = new MediaEncoder;
    m_pEncoderThread = startWorkerThread(m_pEncoder);
    m_pViewer = new ImageViewer;
    m_pViewerThread = startWorkerThread(m_pViewer);
    m_pDecoder = new ImageDecoder;
    // Records of the decoder are appended on this thread.
    m_pAppender = new MaterialAppender(m_pDecoder);
    m_pDecoderThread = startWorkerThread(m_pDecoder);
    m_pSound = new AudioDecoder;
    m_pSoundThread = startWorkerThread(m_pSound);
}

void Vistalo::setUpForm()
{
    // 8. Hover and the events the editor watches.
    setAttribute(Qt::WA_Hover);
    m_pUi->btnImageWartermarkHelp->setAttribute(Qt::WA_Hover);
    m_pUi->btnImageWartermarkHelp->installEventFilter(this);
    installEventFilter(this);

    // 9. The four groups and their first choices.
    m_pPositionGroup = new QButtonGroup(this);
    const QList<QCheckBox *> positions = {
        m_pUi->checkWatermarkPosLeftTop,    m_pUi->checkWatermarkPosTop,    m_pUi->checkWatermarkPosRightTop,
        m_pUi->checkWatermarkPosLeft,       m_pUi->checkWatermarkPosCenter, m_pUi->checkWatermarkPosRight,
        m_pUi->checkWatermarkPosLeftBottom, m_pUi->checkWatermarkPosBottom, m_pUi->checkWatermarkPosRightBottom};
    for (int i = 0; i < positions.size(); ++i)
        m_pPositionGroup->addButton(positions.at(i), 1 << i);
    m_pMusicGroup = new QButtonGroup(this);
    m_pMusicGroup->addButton(m_pUi->radioNoMusic, MusicNone);
    m_pMusicGroup->addButton(m_pUi->ratioCustomMusic, MusicCustom);
    m_pAudioTrackGroup = new QButtonGroup(this);
    m_pAudioTrackGroup->addButton(m_pUi->radioNotKeepAudioTrack, 0);
    m_pAudioTrackGroup->addButton(m_pUi->radioKeepAudioTrack, 1);
    m_pWatermarkGroup = new QButtonGroup(this);
    m_pWatermarkGroup->addButton(m_pUi->radioNoWatermark, WatermarkNone);
    m_pWatermarkGroup->addButton(m_pUi->radioTextWatermark, WatermarkText);
    m_pWatermarkGroup->addButton(m_pUi->radioImageWatermark, WatermarkImage);
    m_pMotionGroup = new QButtonGroup(this);
    m_pMotionGroup->addButton(m_pUi->radioMotionNone, MotionNone);
    m_pMotionGroup->addButton(m_pUi->radioMotionGentle, MotionGentle);
    m_pFramingGroup = new QButtonGroup(this);
    m_pFramingGroup->addButton(m_pUi->radioFramingFit, FramingFit);
    m_pFramingGroup->addButton(m_pUi->radioFramingFill, FramingFill);
    m_pFramingGroup->addButton(m_pUi->radioFramingBlur, FramingBlur);
    m_pUi->radioMotionNone->setChecked(true);
    m_pUi->radioFramingFit->setChecked(true);
    m_pUi->divFitToMusic->hide();
    m_pUi->radioNoMusic->setChecked(true);
    m_pUi->radioKeepAudioTrack->setChecked(true);
    m_pUi->radioNoWatermark->setChecked(true);
    m_pUi->checkWatermarkPosLeftTop->setChecked(true);

    // 10.
    for (QWidget *p : {static_cast<QWidget *>(m_pUi->editWatermarkText), static_cast<QWidget *>(m_pUi->btnExport),
                       static_cast<QWidget *>(m_pUi->boxImageDuration),
                       static_cast<QWidget *>(m_pUi->labelImageWatermarkName),
                       static_cast<QWidget *>(m_pUi->labelBackgroundMusicName)})
        p->installEventFilter(this);
    m_pUi->divBackgroundOperate->setCurrentWidget(m_pUi->pageNoMusic);
    m_pUi->divWatermarkOperate->hide();
    m_pUi->divWatermarkPos->hide();
    showMaterialPage(false);
    m_pUi->comboVideoRatio->setCurrentIndex(1);
    m_pUi->comboVideoHeight->setCurrentIndex(2);
    m_pUi->imageSourceList->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_pUi->btnImageWartermarkHelp->setStyleSheet(
        QStringLiteral("border-image: url(:/theme_local/imgs/watermarkHelp.png)"));
}

void Vistalo::connectForm()
{
    connect(m_pDecoder, &ImageDecoder::sig_checkFinished, this, &Vistalo::checkSourceFinished);
    connect(m_pDecoder, &ImageDecoder::sig_batchDecodeFinished, this, &Vistalo::batchDecodeFinished);
    connect(m_pImportProgress, &QDialog::finished, this, &Vistalo::cancelImport);
    connect(m_pImportPollTimer, &QTimer::timeout, this, &Vistalo::updateImportProgress, Qt::QueuedConnection);
    connect(m_pTipTimer, &QTimer::timeout, this, &Vistalo::updateImageTipDialogPos);

    for (QAbstractButton *p : {m_pUi->btnAddFile, m_pUi->btnAddFile2, m_pUi->btnAddDir, m_pUi->btnAddDir2})
        connect(p, &QAbstractButton::clicked, this, &Vistalo::selectFiles);
    connect(m_pUi->btnClear, &QAbstractButton::clicked, this, &Vistalo::prepareClearAllSources);
    ImageListView *pList = m_pUi->imageSourceList;
    connect(pList, &ImageListView::sig_itemClicked, this, &Vistalo::imageSourceSelected);
    connect(pList, &ImageListView::sig_deleteItem, this, &Vistalo::prepareDeleteSource);
    connect(pList, &ImageListView::sig_transposeItem, this, &Vistalo::transposeSource);
    connect(pList, &ImageListView::sig_itemDraged, this, &Vistalo::dragedImageSources);
    connect(pList, &ImageListView::sig_durationItem, this, &Vistalo::prepareSourceDuration);
    // Album files: the shortcuts anywhere in the window, the entries in its menu.
    new QShortcut(QKeySequence::Open, this, this, &Vistalo::openAlbum, Qt::WindowShortcut);
    new QShortcut(QKeySequence::Save, this, this, &Vistalo::saveAlbum, Qt::WindowShortcut);

    // The settings column, the combos and the export button wire themselves.
    connectSettings();
    connectExport();
    // The player's signals are wired by connectPlayer() (VistaloPreview.cpp).
    if (CFramelessWindow *pWindow = CFramelessWindow::instance()) {
        connect(pWindow, &CFramelessWindow::signal_close, this, &Vistalo::closeRequest);
        connect(pWindow, &CFramelessWindow::signal_screenOut, this, &Vistalo::pauseByProgram);
        connect(pWindow->bottomBar(), &CFrameLessBottom::sig_appUpdate, this, &Vistalo::updateRequest);
        connect(pWindow->caption()->appMenu(), &CBLLAppMenu::sig_openAlbum, this, &Vistalo::openAlbum);
        connect(pWindow->caption()->appMenu(), &CBLLAppMenu::sig_saveAlbum, this, &Vistalo::saveAlbum);
    }
}

QWidget *Vistalo::dialogParent() const
{
    if (CFramelessWindow *pWindow = CFramelessWindow::instance())
        return pWindow->overlay();
    return const_cast<Vistalo *>(this);
}

void Vistalo::enableAlbumControls(bool bEnabled)
{
    for (QWidget *p : {static_cast<QWidget *>(m_pUi->btnImageWartermarkHelp),
                       static_cast<QWidget *>(m_pUi->divSetting), static_cast<QWidget *>(m_pUi->btnExport),
                       static_cast<QWidget *>(m_pUi->comboVideoRatio), static_cast<QWidget *>(m_pUi->comboVideoHeight),
                       static_cast<QWidget *>(m_pUi->divPlayer)})
        p->setEnabled(bEnabled);
}

void Vistalo::showMaterialPage(bool bStrip)
{
    m_pUi->divImageSourceOperate->setCurrentIndex(bStrip ? 1 : 0);
}

bool Vistalo::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    if (settingsEventFilter(pWatched, pEvent))
        return true;
    switch (pEvent->type()) {
    case QEvent::MouseButtonPress: {
        // A press elsewhere ends typing in the duration box and the watermark text.
        if (pWatched != m_pUi->boxImageDuration && m_pUi->boxImageDuration->hasFocus())
            m_pUi->boxImageDuration->clearFocus();
        QLineEdit *pEdit = m_pUi->editWatermarkText;
        const bool bEditing = pWatched == pEdit;
        if (!bEditing && pEdit->hasFocus())
            pEdit->clearFocus();
        if (pEdit->property("editing").toBool() != bEditing) {
            pEdit->setProperty("editing", bEditing);
            pEdit->style()->unpolish(pEdit);
            pEdit->style()->polish(pEdit);
        }
        break;
    }
    case QEvent::ToolTip: {
        const AlbumProjectState &st = albumState();
        QString szPath;
        if (pWatched == m_pUi->labelBackgroundMusicName)
            szPath = st.szBackgroundMusicPath;
        else if (pWatched == m_pUi->labelImageWatermarkName)
            szPath = st.szImageWatermarkPath;
        else
            break;
        if (!szPath.isEmpty()) {
            QToolTip::showText(static_cast<QHelpEvent *>(pEvent)->globalPos(),
                               plainToolTip(QFileInfo(szPath).fileName()), static_cast<QWidget *>(pWatched));
        }
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

void Vistalo::paintEvent(QPaintEvent *pEvent)
{
    QWidget::paintEvent(pEvent);
    if (m_bTipEnabled && !m_pTip)
        showImageTipDialog();
}

void Vistalo::showImageTipDialog()
{
    if (!m_pTip) {
        m_pTip = new ImageOpenTipDialog(this);
        m_pTip->setText(QCoreApplication::translate("VistaloClass", "Please add materials first~"));
    }
    updateImageTipDialogPos();
    m_pTip->show();
    m_pTip->raise();
    m_pTipTimer->start();
}

void Vistalo::updateImageTipDialogPos()
{
    if (!m_pTip)
        return;
    // Bobs between its rest position and 10 pixels above it.
    if (m_iTipOffset != 0 && qAbs(m_iTipOffset) != m_iTipAmplitude) {
        m_iTipOffset += m_iTipStep;
    } else {
        m_iTipStep = -m_iTipStep;
        m_iTipOffset += m_iTipStep;
    }
    const QRect stSource = m_pUi->divSource->geometry();
    // The text decides the width where it is longer than the bubble.
    m_pTip->setGeometry(stSource.x() + stSource.width() / 2 - 20, stSource.y() + m_iTipOffset - 14,
                        m_pTip->widthFor(126), 35);
}

void Vistalo::endImageTipForGood()
{
    m_bTipEnabled = false;
    m_pTipTimer->stop();
    if (m_pTip) {
        m_pTip->hide();
        m_pTip->deleteLater();
        m_pTip = nullptr;
    }
}

void Vistalo::closeRequest()
{
    const AlbumProjectState &st = albumState();
    if (st.mapImageSources.isEmpty() && m_pUi->imageSourceList->model()->rowCount() == 0) {
        approveClose();
        return;
    }
    pauseByProgram();
    if (m_pQuitDialog && m_pQuitDialog->isVisible()) {
        m_pQuitDialog->activateWindow();
        return;
    }
    m_pQuitDialog = new CQQuitDialog(dialogParent());
    m_pQuitDialog->setTitle(QCoreApplication::translate("VistaloClass", "Tips"));
    m_pQuitDialog->setTexts(
        QCoreApplication::translate("VistaloClass", "Editing electronic photo album, do you want to exit the software?"),
        QCoreApplication::translate("VistaloClass", "Exit will not save the file"));
    m_pQuitDialog->setRightButtonText(QCoreApplication::translate("VistaloClass", "ok"));
    m_pQuitDialog->setLeftButtonText(QCoreApplication::translate("VistaloClass", "Cancel"));
    connect(m_pQuitDialog, &CQQuitDialog::btnRightSignal, this, &Vistalo::approveClose);
    m_pQuitDialog->show();
}

void Vistalo::approveClose()
{
    if (CFramelessWindow *pWindow = CFramelessWindow::instance())
        pWindow->closeWindow();
    else
        window()->close();
}
