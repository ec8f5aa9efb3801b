// The settings column and the two combos of the top bar. Every change
// follows one envelope: stop the preview, write the album under
// AlbumEditLock, ask for a new cover. Questions and file dialogs are asked
// before the lock is taken, or after it is let go: a nested event loop
// must never run while the renderers wait for the album.

#include "album/AlbumProjectState.h"
#include "editor/ImageWatermarkHelpDialog.h"
#include "editor/Vistalo.h"
#include "editor/VistaloForm.h"
#include "font_picker/FontDialog.h"
#include "import/ImageDecoder.h"
#include "media/ffmpeg/MusicProbe.h"
#include "media/recipes/AlbumGeometry.h"
#include "player/CQVideoPlay.h"
#include "ui/CQComboBox.h"
#include "ui/CQQuitDialog.h"
#include "ui/CQToast.h"
#include "ui/CQUIPushButton.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QHoverEvent>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyle>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

// Holds the file a setting names open while it belongs to the album; one
// that cannot be opened is forgotten and its label asks for a file again.
void holdSettingFile(QString &szPath, FILE *&pFile, QLabel *pLabel, const QString &szAskAgain)
{
    if (szPath.isEmpty() || pFile)
        return;
    pFile = openHeldFile(szPath);
    if (!pFile) {
        szPath.clear();
        pLabel->setText(szAskAgain);
    }
}

QString chooseFile(QWidget *pParent, const QString &szFilter)
{
    return QFileDialog::getOpenFileName(pParent, QStringLiteral("Pictora"),
                                        QStandardPaths::writableLocation(QStandardPaths::DesktopLocation), szFilter);
}

// The file name, cut at the right to what the label can show.
void showFileName(QLabel *pLabel, const QString &szPath)
{
    const QMargins stMargins = pLabel->contentsMargins();
    const int iWidth = pLabel->width() - stMargins.left() - stMargins.right();
    pLabel->setText(pLabel->fontMetrics().elidedText(QFileInfo(szPath).fileName(), Qt::ElideRight, iWidth));
}

// Families are the same when the system draws them with the same font
// (a Windows family name and the font standing in for it).
bool sameFamily(const QFont &a, const QFont &b)
{
    return a.family() == b.family() || QFontInfo(a).family() == QFontInfo(b).family();
}

bool isJpegOrPng(const QString &szPath)
{
    const QByteArray szFormat = QImageReader::imageFormat(szPath);
    return szFormat == "jpeg" || szFormat == "png";
}

// The widget's own style: under a style sheet that is the one that reads
// dynamic properties.
void repolish(QWidget *pWidget)
{
    pWidget->style()->unpolish(pWidget);
    pWidget->style()->polish(pWidget);
}

} // namespace

void Vistalo::connectSettings()
{
    VistaloForm *ui = m_pUi;
    connect(ui->boxImageDuration, QOverload<int>::of(&QSpinBox::valueChanged), this, &Vistalo::imageDurationChanged);
    connect(ui->btnAddBackgroundMusic, &QAbstractButton::clicked, this, &Vistalo::addBackgroundMusic);
    connect(m_pMusicGroup, &QButtonGroup::idToggled, this, &Vistalo::backgroundMusicTypeChanged);
    connect(m_pAudioTrackGroup, &QButtonGroup::idToggled, this, [this](int iId, bool bChecked) {
        if (bChecked)
            audioTrackStatusChanged(iId);
    });
    connect(ui->btnFontStyle, &QAbstractButton::clicked, this, &Vistalo::selectFontStyle);
    connect(m_pPositionGroup, &QButtonGroup::idToggled, this, &Vistalo::watermarkPosChanged);
    connect(ui->editWatermarkText, &QLineEdit::editingFinished, this, &Vistalo::textWatermarkChanged);
    connect(ui->editWatermarkText, &QLineEdit::editingFinished, this, [ui]() {
        ui->editWatermarkText->clearFocus();
        ui->editWatermarkText->setProperty("editing", false);
        repolish(ui->editWatermarkText);
    });
    connect(ui->btnAddImageWatermark, &QAbstractButton::clicked, this, &Vistalo::addImageWatermark);
    connect(this, &Vistalo::sig_imageWatermarkChanged, this, &Vistalo::imageWatermarkChanged);
    // Queued: a cancelled switch selects the previous type again from inside the handler.
    connect(m_pWatermarkGroup, &QButtonGroup::idToggled, this, &Vistalo::watermarkTypeChanged, Qt::QueuedConnection);
    connect(m_pMotionGroup, &QButtonGroup::idToggled, this, &Vistalo::motionChanged);
    connect(m_pFramingGroup, &QButtonGroup::idToggled, this, &Vistalo::framingChanged);
    connect(ui->checkFitToMusic, &QCheckBox::toggled, this, &Vistalo::fitToMusicToggled);
    connect(ui->comboVideoRatio, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int iIndex) { videoRatioChanged(m_pUi->comboVideoRatio->itemText(iIndex)); });
    connect(ui->comboVideoHeight, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int iIndex) { videoExportResolutionChanged(m_pUi->comboVideoHeight->itemText(iIndex)); });
    changeImageDurationComboBoxStyle();
}

void Vistalo::imageDurationChanged(int iVal)
{
    if (iVal > m_iLongestImageDuration || iVal < m_iShortestImageDuration) {
        // Calls this handler again with the bound.
        m_pUi->boxImageDuration->setValue(qBound(m_iShortestImageDuration, iVal, m_iLongestImageDuration));
        return;
    }
    changeImageDurationComboBoxStyle();
    if (m_szSelectedPath.isEmpty())
        return;
    stopPreview();
    AlbumEditLock lock;
    setImageDurationSeconds(iVal);
    showAlbumLength();
}

void Vistalo::changeImageDurationComboBoxStyle()
{
    QSpinBox *pBox = m_pUi->boxImageDuration;
    pBox->setProperty("isMaximum", pBox->value() >= m_iLongestImageDuration);
    pBox->setProperty("isMinimum", pBox->value() <= m_iShortestImageDuration);
    repolish(pBox);
}

void Vistalo::backgroundMusicTypeChanged(int iType, bool bChecked)
{
    if (!bChecked)
        return;
    stopPreview();
    AlbumEditLock lock;
    AlbumProjectState &st = albumState();
    if (iType == MusicNone) {
        st.iBackgroundMusicType = MusicNone;
        showMusicLayout(false);
    } else if (iType == MusicCustom) {
        st.iBackgroundMusicType = MusicCustom;
        showMusicLayout(true);
        if (st.szBackgroundMusicPath.isEmpty()) {
            lock.unlock();
            addBackgroundMusic();
        }
    }
}

// Call with the album locked.
void Vistalo::showMusicLayout(bool bCustom)
{
    AlbumProjectState &st = albumState();
    m_pUi->divBackgroundMusic->setFixedHeight(bCustom ? 50 : 20);
    m_pUi->divBackgroundOperate->setVisible(bCustom);
    m_pUi->divBackgroundOperate->setCurrentWidget(bCustom ? m_pUi->pageCustomMusic : m_pUi->pageNoMusic);
    m_pUi->divFitToMusic->setVisible(bCustom);
    // Queued: the album is locked here, and the fit goes through the duration box.
    QMetaObject::invokeMethod(this, &Vistalo::fitImageDurationToMusic, Qt::QueuedConnection);
    if (!bCustom) {
        closeHeldFile(st.pBackgroundMusicFile);
        return;
    }
    holdSettingFile(st.szBackgroundMusicPath, st.pBackgroundMusicFile, m_pUi->labelBackgroundMusicName,
                    QCoreApplication::translate("VistaloClass", "Please select background music file"));
}

void Vistalo::addBackgroundMusic()
{
    const QString szFile = chooseFile(this, QCoreApplication::translate("VistaloClass", "MP3 File(*.mp3)"));
    if (szFile.isEmpty())
        return;
    // The sound feeder stops before the devices it writes to close.
    stopPreview();
    m_pUi->divPlayer->closeAudio(0);
    m_pUi->divPlayer->closeAudio(1);
    int64_t iDurationUs = 0;
    const int iProbe = probeMp3Music(QFile::encodeName(szFile).toStdString(), &iDurationUs);
    AlbumEditLock lock;
    requestPreviewCover();
    if (iProbe < 0) {
        auto *pToast = new CQToast(this);
        pToast->showToast(QCoreApplication::translate("VistaloClass", "Failed to add background music, because of the abnormal audio"), 3000, false);
        return;
    }
    AlbumProjectState &st = albumState();
    showFileName(m_pUi->labelBackgroundMusicName, szFile);
    st.szBackgroundMusicPath = szFile;
    st.iBackgroundMusicDuration = iDurationUs;
    closeHeldFile(st.pBackgroundMusicFile);
    st.pBackgroundMusicFile = openHeldFile(szFile);
    lock.unlock();
    fitImageDurationToMusic();
}

void Vistalo::fitToMusicToggled(bool bOn)
{
    {
        AlbumEditLock lock;
        albumState().bFitToMusic = bOn;
    }
    fitImageDurationToMusic();
}

void Vistalo::fitImageDurationToMusic()
{
    const AlbumProjectState &st = albumState();
    const bool bFitting = st.bFitToMusic && st.iBackgroundMusicType == MusicCustom
                          && !st.szBackgroundMusicPath.isEmpty() && st.iBackgroundMusicDuration > 0;
    // The box shows the fitted value; typing another would be undone at the next change.
    m_pUi->boxImageDuration->setEnabled(!bFitting);
    if (!bFitting || m_szSelectedPath.isEmpty())
        return;
    // Read without the lock: only this thread writes the album's lengths.
    m_pUi->boxImageDuration->setValue(imageSecondsForMusic(st.iBackgroundMusicDuration));
}

void Vistalo::changePictureChoice(int AlbumProjectState::*pChoice, int iValue)
{
    stopPreview();
    AlbumEditLock lock;
    albumState().*pChoice = iValue;
    requestPreviewCover();
}

void Vistalo::motionChanged(int iMotion, bool bChecked)
{
    if (bChecked)
        changePictureChoice(&AlbumProjectState::iMotion, iMotion);
}

void Vistalo::framingChanged(int iFraming, bool bChecked)
{
    if (bChecked)
        changePictureChoice(&AlbumProjectState::iFraming, iFraming);
}

void Vistalo::audioTrackStatusChanged(int iId)
{
    stopPreview();
    AlbumEditLock lock;
    albumState().iKeepAudioTrack = iId;
}

void Vistalo::watermarkTypeChanged(int iType, bool bChecked)
{
    if (!bChecked)
        return;
    if (m_bWatermarkRevert) {
        // The previous type selected again after a cancelled switch.
        m_bWatermarkRevert = false;
        return;
    }
    const AlbumProjectState &st = albumState();
    const int iCurrent = st.iWatermarkType;
    const bool bHasContent = (iCurrent == WatermarkText && !st.szWatermarkText.isEmpty())
        || (iCurrent == WatermarkImage && !st.szImageWatermarkPath.isEmpty());
    if (iCurrent != WatermarkNone && iType != iCurrent && bHasContent && !confirmWatermarkSwitch()) {
        m_bWatermarkRevert = true;
        if (QAbstractButton *pCurrent = m_pWatermarkGroup->button(iCurrent))
            pCurrent->setChecked(true);
        return;
    }
    applyWatermarkType(iType);
}

bool Vistalo::confirmWatermarkSwitch()
{
    // Asked before the album is locked; the answer comes from a nested event loop.
    auto *pQuestion = new CQQuitDialog(dialogParent());
    pQuestion->setTitle(QCoreApplication::translate("VistaloClass", "Tips"));
    pQuestion->setTexts(QCoreApplication::translate("VistaloClass", "After switching the watermark type, the original watermark will be replaced."),
                        QCoreApplication::translate("VistaloClass", "Whether to continue?"));
    pQuestion->setRightButtonText(QCoreApplication::translate("VistaloClass", "OK"));
    pQuestion->setLeftButtonText(QCoreApplication::translate("VistaloClass", "Cancel"));
    bool bContinue = false;
    connect(pQuestion, &CQQuitDialog::btnRightSignal, this, [&bContinue]() { bContinue = true; });
    pQuestion->exec();
    return bContinue;
}

// The panel of the watermark type; for an image, its picture held open
// (forgotten when it cannot be). Call with the album locked.
void Vistalo::showWatermarkLayout(int iType)
{
    AlbumProjectState &st = albumState();
    m_pUi->divWatermarkOperate->setVisible(iType != WatermarkNone);
    m_pUi->divWatermarkPos->setVisible(iType != WatermarkNone);
    m_pUi->divWatermarkOperate->setCurrentWidget(iType == WatermarkImage ? m_pUi->pageImageWatermark
                                                                         : m_pUi->pageTextWatermark);
    if (iType != WatermarkImage) {
        closeHeldFile(st.pImageWatermarkFile);
        return;
    }
    holdSettingFile(st.szImageWatermarkPath, st.pImageWatermarkFile, m_pUi->labelImageWatermarkName,
                    QCoreApplication::translate("VistaloClass", "Please select image watermark"));
}

void Vistalo::applyWatermarkType(int iType)
{
    stopPreview();
    AlbumEditLock lock;
    AlbumProjectState &st = albumState();
    switch (iType) {
    case WatermarkNone:
    case WatermarkText:
        st.iWatermarkType = iType;
        showWatermarkLayout(iType);
        requestPreviewCover();
        break;
    case WatermarkImage:
        st.iWatermarkType = WatermarkImage;
        showWatermarkLayout(iType);
        if (!st.szImageWatermarkPath.isEmpty()) {
            requestPreviewCover();
        } else {
            lock.unlock();
            addImageWatermark();
        }
        break;
    default:
        break;
    }
}

void Vistalo::textWatermarkChanged()
{
    stopPreview();
    AlbumEditLock lock;
    albumState().szWatermarkText = m_pUi->editWatermarkText->text();
    requestPreviewCover();
}

void Vistalo::addImageWatermark()
{
    const QString szFile = chooseFile(
        this, QCoreApplication::translate("VistaloClass", "JPEG And PNG Files(*.jpg *.jpeg *.png);;JPEG Files(*.jpg *.jpeg);;PNG Files(*.png)"));
    if (szFile.isEmpty())
        return;
    m_pDecoder->setRunning(true, ImageDecoder::Job::SingleFile);
    // One answer per request: whichever comes first takes both connections away.
    auto pConnections = std::make_shared<QList<QMetaObject::Connection>>();
    auto fnDone = [this, pConnections, szFile](bool bUsable) {
        if (pConnections->isEmpty())
            return;
        for (const QMetaObject::Connection &stConnection : *pConnections)
            disconnect(stConnection);
        pConnections->clear();
        // Its own stop state: an import started meanwhile goes on.
        m_pDecoder->setRunning(false, ImageDecoder::Job::SingleFile);
        // The decoder reads clips too, and any picture it can decode.
        if (!bUsable || !isJpegOrPng(szFile)) {
            auto *pToast = new CQToast(this);
            pToast->showToast(QCoreApplication::translate("VistaloClass", "Failed to add watermark, because of the abnormal picture"), 3000, false);
            return;
        }
        emit sig_imageWatermarkChanged(szFile);
        showFileName(m_pUi->labelImageWatermarkName, szFile);
    };
    *pConnections << connect(m_pDecoder, &ImageDecoder::sig_decoded, this,
                             [fnDone, szFile](QString szDecoded, QPixmap, AVRational, QSize, int iSourceType) {
                                 if (szDecoded == szFile)
                                     fnDone(iSourceType == SourceImage);
                             });
    *pConnections << connect(m_pDecoder, &ImageDecoder::sig_decodeFailed, this, [fnDone, szFile](QString szFailed) {
        if (szFailed == szFile)
            fnDone(false);
    });
    emit m_pDecoder->sig_decode(szFile, true);
}

void Vistalo::imageWatermarkChanged(QString szFilePath)
{
    stopPreview();
    AlbumEditLock lock;
    AlbumProjectState &st = albumState();
    st.szImageWatermarkPath = szFilePath;
    closeHeldFile(st.pImageWatermarkFile);
    st.pImageWatermarkFile = openHeldFile(szFilePath);
    requestPreviewCover();
}

void Vistalo::selectFontStyle()
{
    AlbumProjectState &st = albumState();
    FontDialog dialog(this);
    dialog.setCurrentFont(st.stWatermarkFont);
    dialog.setCurrentColor(st.stWatermarkColor);
    dialog.setCurrentTransparency(st.lfWatermarkTransparency);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QFont stChosen = dialog.selectedFont();
    const int iPixelSize = watermarkPixelSize(stChosen, st.stWatermarkFont.pixelSize());
    if (m_bFontFollowsTier
        && (!sameFamily(stChosen, st.stWatermarkFont) || st.stWatermarkFont.pixelSize() != iPixelSize))
        m_bFontFollowsTier = false;
    if (iPixelSize > 0)
        stChosen.setPixelSize(iPixelSize);
    stopPreview();
    AlbumEditLock lock;
    st.stWatermarkFont = stChosen;
    st.stWatermarkColor = dialog.selectedColor();
    st.lfWatermarkTransparency = dialog.selectedTransparency();
    requestPreviewCover();
}

void Vistalo::watermarkPosChanged(int iPos, bool bChecked)
{
    if (bChecked)
        changePictureChoice(&AlbumProjectState::iWatermarkPos, iPos);
}

void Vistalo::videoRatioChanged(QString szRatio)
{
    stopPreview();
    AlbumEditLock lock;
    AlbumProjectState &st = albumState();
    st.bSelfAdaptiveRatio = !ratioFromString(szRatio, &st.stVideoRatio);
    if (st.bSelfAdaptiveRatio)
        updateSelfAdaptiveRatio(0);
    updateExportSize();
    requestPreviewCover();
}

void Vistalo::videoExportResolutionChanged(QString szResolution)
{
    stopPreview();
    AlbumEditLock lock;
    AlbumProjectState &st = albumState();
    st.szExportResolution = szResolution;
    m_stTierFont.setPixelSize(watermarkFontPixelSize(szResolution));
    if (m_bFontFollowsTier)
        st.stWatermarkFont = m_stTierFont;
    updateExportSize();
    requestPreviewCover();
}

QStringList Vistalo::showAlbumSettings()
{
    AlbumProjectState &st = albumState();
    VistaloForm *ui = m_pUi;
    // The handlers would write the album again, ask questions, open dialogs.
    const QSignalBlocker blockers[] = {QSignalBlocker(ui->boxImageDuration), QSignalBlocker(m_pMusicGroup),
                                       QSignalBlocker(m_pAudioTrackGroup),   QSignalBlocker(m_pWatermarkGroup),
                                       QSignalBlocker(m_pPositionGroup),     QSignalBlocker(ui->editWatermarkText),
                                       QSignalBlocker(ui->comboVideoRatio),  QSignalBlocker(ui->comboVideoHeight),
                                       QSignalBlocker(m_pMotionGroup),       QSignalBlocker(m_pFramingGroup),
                                       QSignalBlocker(ui->checkFitToMusic)};
    Q_UNUSED(blockers);
    QStringList unopened;
    const QString szMusic = st.szBackgroundMusicPath;
    const QString szPicture = st.szImageWatermarkPath;

    ui->boxImageDuration->setValue(int(av_rescale_q(st.iImageDuration, st.stImageDurationTimeBase, AVRational{1, 1})));
    changeImageDurationComboBoxStyle();
    m_pMusicGroup->button(st.iBackgroundMusicType)->setChecked(true);
    showMusicLayout(st.iBackgroundMusicType == MusicCustom);
    if (st.szBackgroundMusicPath.isEmpty())
        ui->labelBackgroundMusicName->setText(QCoreApplication::translate("VistaloClass", "Please select background music file"));
    else
        showFileName(ui->labelBackgroundMusicName, st.szBackgroundMusicPath);
    m_pAudioTrackGroup->button(st.iKeepAudioTrack)->setChecked(true);
    // Fitting to the music needs its length.
    st.iBackgroundMusicDuration = 0;
    if (st.iBackgroundMusicType == MusicCustom && !st.szBackgroundMusicPath.isEmpty()
        && probeMp3Music(QFile::encodeName(st.szBackgroundMusicPath).toStdString(), &st.iBackgroundMusicDuration) < 0)
        st.iBackgroundMusicDuration = 0;
    ui->checkFitToMusic->setChecked(st.bFitToMusic);
    m_pMotionGroup->button(st.iMotion)->setChecked(true);
    m_pFramingGroup->button(st.iFraming)->setChecked(true);

    m_pWatermarkGroup->button(st.iWatermarkType)->setChecked(true);
    showWatermarkLayout(st.iWatermarkType);
    ui->editWatermarkText->setText(st.szWatermarkText);
    if (st.szImageWatermarkPath.isEmpty())
        ui->labelImageWatermarkName->setText(QCoreApplication::translate("VistaloClass", "Please select image watermark"));
    else
        showFileName(ui->labelImageWatermarkName, st.szImageWatermarkPath);
    m_pPositionGroup->button(st.iWatermarkPos)->setChecked(true);
    // Files a setting uses that did not open were forgotten above.
    if (st.szBackgroundMusicPath != szMusic)
        unopened << szMusic;
    if (st.szImageWatermarkPath != szPicture)
        unopened << szPicture;

    ui->comboVideoRatio->setCurrentIndex(st.bSelfAdaptiveRatio ? 0 : ui->comboVideoRatio->findText(
                                             QStringLiteral("%1:%2").arg(st.stVideoRatio.num).arg(st.stVideoRatio.den)));
    ui->comboVideoHeight->setCurrentIndex(ui->comboVideoHeight->findText(st.szExportResolution));
    // The font follows the tier again while it is the tier's own.
    m_stTierFont.setPixelSize(watermarkFontPixelSize(st.szExportResolution));
    m_bFontFollowsTier = sameFamily(st.stWatermarkFont, m_stTierFont)
                         && st.stWatermarkFont.pixelSize() == m_stTierFont.pixelSize();
    return unopened;
}

// Hovering the image-watermark help button shows the recommended size.
bool Vistalo::settingsEventFilter(QObject *pWatched, QEvent *pEvent)
{
    if (pEvent->type() == QEvent::Resize) {
        // A file name is cut to the label's width: cut it again when that changes.
        const AlbumProjectState &st = albumState();
        if (pWatched == m_pUi->labelBackgroundMusicName && !st.szBackgroundMusicPath.isEmpty())
            showFileName(m_pUi->labelBackgroundMusicName, st.szBackgroundMusicPath);
        else if (pWatched == m_pUi->labelImageWatermarkName && !st.szImageWatermarkPath.isEmpty())
            showFileName(m_pUi->labelImageWatermarkName, st.szImageWatermarkPath);
        return false;
    }
    QPushButton *pHelp = m_pUi->btnImageWartermarkHelp;
    if (pWatched != pHelp)
        return false;
    if (pEvent->type() == QEvent::HoverEnter && pHelp->isEnabled()) {
        pHelp->setStyleSheet(QStringLiteral("border-image: url(:/theme_local/imgs/watermarkHelp-1.png)"));
        if (!m_pWatermarkHelp) {
            m_pWatermarkHelp = new ImageWatermarkHelpDialog(this);
            m_pWatermarkHelp->setAttribute(Qt::WA_DeleteOnClose);
            m_pWatermarkHelp->resize(256, 68);
            m_pWatermarkHelp->setText(QCoreApplication::translate("VistaloClass", 
                "To ensure the clarity of the watermark, the recommended upload size of the image is 1274 x 418"));
            // The bubble's pointer (226 px from its left) under the cursor.
            const QPoint stAt = pHelp->mapTo(this, static_cast<QHoverEvent *>(pEvent)->pos());
            m_pWatermarkHelp->move(stAt + QPoint(-226, 12));
            m_pWatermarkHelp->show();
            m_pWatermarkHelp->raise();
        }
        return true;
    }
    if (pEvent->type() == QEvent::HoverLeave) {
        pHelp->setStyleSheet(QStringLiteral("border-image: url(:/theme_local/imgs/watermarkHelp.png)"));
        if (m_pWatermarkHelp)
            m_pWatermarkHelp->close();
        m_pWatermarkHelp = nullptr;
        return true;
    }
    return false;
}
