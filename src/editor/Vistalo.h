#pragma once

// The editor: the one content widget of the main window. It holds the form
// (VistaloForm), owns the workers in their threads and turns what the user
// does into changes of the album (albumState()) and requests to the workers.
//
// Its code is split by concern, one file each:
//   Vistalo.cpp           construction, wiring, window events, closing
//   VistaloImport.cpp     adding materials: dialogs, drops, check, decode, progress
//   VistaloMaterials.cpp  select, delete, clear, rotate, reorder
//   VistaloPreview.cpp    the preview steps (stop, pause, seek, cover) and the player
//   VistaloSettings.cpp   the settings column and the top-bar combos
//   VistaloExport.cpp     the export flow
//   VistaloAlbumFile.cpp  saving the album to a file and opening one

#include <QFont>
#include <QList>
#include <QModelIndex>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

#include "album/AlbumFile.h"
#include "editor/ImageOpenTipDialog.h"
#include "export_dialogs/ProgressDialog.h"
#include "ui/CQQuitDialog.h"

struct AlbumProjectState;
class AudioDecoder;
class ExportSettingDialog;
class ImageDecoder;
class ImageViewer;
class ImageWatermarkHelpDialog;
class MaterialAppender;
class MediaEncoder;
class QButtonGroup;
class QThread;
class QTimer;
class VistaloForm;

class Vistalo : public QWidget
{
    Q_OBJECT
public:
    // Player states.
    enum : int { PlayerPlaying = 1, PlayerPaused = 2, PlayerSliderPaused = 3, PlayerIdle = 4 };
    // Where the materials of an import come from.
    enum : int { ImportFromFiles = 0, ImportFromFolders = 1, ImportFromDrop = 2 };

    explicit Vistalo(QWidget *pParent = nullptr);
    ~Vistalo() override;

    VistaloForm *form() const { return m_pUi; }
    ImageDecoder *imageDecoder() const { return m_pDecoder; }
    ImageViewer *previewRenderer() const { return m_pViewer; }
    AudioDecoder *soundFeeder() const { return m_pSound; }
    MediaEncoder *mediaEncoder() const { return m_pEncoder; }
    ProgressDialog *importProgressDialog() const { return m_pImportProgress; }
    ImageOpenTipDialog *imageTipDialog() const { return m_pTip; }
    int playerState() const { return m_iPlayerState; }
    QString selectedPath() const { return m_szSelectedPath; }
    // True from the start of an import until its end (or its cancel).
    bool isImporting() const { return m_eImportPhase != ImportPhase::Idle; }

Q_SIGNALS:
    void sig_imageWatermarkChanged(QString szFilePath);

public Q_SLOTS:
    // Import (VistaloImport.cpp).
    void selectFiles();
    void prepareImportSources();
    void prepareImportSourcesByDirs();
    void prepareImportSourcesByDraged();
    void checkSourceFinished(bool bShowTip);
    void importImageHandle();
    void batchDecodeFinished();
    // Files and folders handed to the program (its command line, the
    // desktop's "Open with"): imported as a drop of them would be. Ignored
    // while another import runs.
    void importOpenedFiles(const QStringList &paths);

    // Materials (VistaloMaterials.cpp).
    void imageSourceSelected(QModelIndex stIndex);
    void dragedImageSources(QString stFilePath, int iOldIndex, int iNewIndex);
    void prepareClearAllSources();
    void clearAllSources();
    void prepareDeleteSource(QString szFilePath, int iIndex);
    void deleteSource(QString szFilePath, int iIndex);
    void transposeSource(QString szFilePath, int iIndex);
    // Asks how long a photo stays on screen, then sets it.
    void prepareSourceDuration(QString szFilePath, int iIndex);
    // A photo's own duration in microseconds; 0 makes it follow the album's.
    void setSourceDuration(const QString &szFilePath, int64_t iDurationUs);

    // Settings column (VistaloSettings.cpp).
    void imageDurationChanged(int iVal);
    void changeImageDurationComboBoxStyle();
    void backgroundMusicTypeChanged(int iType, bool bChecked = true);
    void addBackgroundMusic();
    void audioTrackStatusChanged(int iKeep);
    void watermarkTypeChanged(int iType, bool bChecked = true);
    void textWatermarkChanged();
    void addImageWatermark();
    void imageWatermarkChanged(QString szFilePath);
    void selectFontStyle();
    void watermarkPosChanged(int iPos, bool bChecked = true);
    void videoRatioChanged(QString szRatio);
    void motionChanged(int iMotion, bool bChecked = true);
    void framingChanged(int iFraming, bool bChecked = true);
    void fitToMusicToggled(bool bOn);
    void videoExportResolutionChanged(QString szResolution);

    // Preview (VistaloPreview.cpp).
    // Play from the preview start position (idle), resume (paused) or pause.
    void enablePlayer(bool bPlay);
    void stopPlayer();
    // The player's play/pause button.
    void playOrPause(bool bPlay);
    void playerSliderPressed(double lfDurationRatio);
    void playerSliderReleased(double lfDurationRatio);
    // The preview renderer ended a playing preview.
    void previewFinished();
    void previewTimeEnded();
    void previewQualityChanged();
    // The bottom bar's update request.
    void updateRequest();

    // Album files (VistaloAlbumFile.cpp).
    // The menu entries and Ctrl+O, Ctrl+S: ask for the file first.
    void openAlbum();
    void saveAlbum();
    // Opens the album file szPath in place of the album (asking first when
    // the album is not empty): its settings, then its materials through the
    // import. False when the file is refused or the user says no.
    bool openAlbumFile(const QString &szPath);
    // Writes the album to szPath; false (the user told) when that fails.
    bool writeAlbumFile(const QString &szPath);
    // The album file last opened or saved, or empty.
    QString albumFilePath() const { return m_szAlbumFile; }

    // Export (VistaloExport.cpp).
    void prepareExport();
    void exportSetting();
    void exportVideo();

    // Window (Vistalo.cpp).
    void closeRequest();
    void showImageTipDialog();
    void updateImageTipDialogPos();

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;
    void dragEnterEvent(QDragEnterEvent *pEvent) override;
    void dragLeaveEvent(QDragLeaveEvent *pEvent) override;
    void dragMoveEvent(QDragMoveEvent *pEvent) override;
    void dropEvent(QDropEvent *pEvent) override;
    void paintEvent(QPaintEvent *pEvent) override;

private:
    enum class ImportPhase { Idle, Checking, Warning, Decoding };

    // Construction (Vistalo.cpp).
    void createWorkers();
    void setUpForm();
    void connectForm();
    // The controls that need materials: settings, export, combos, player.
    void enableAlbumControls(bool bEnabled);
    // Material area page 0 (add buttons) or 1 (strip).
    void showMaterialPage(bool bStrip);
    void endImageTipForGood();
    QWidget *dialogParent() const;
    void approveClose();

    // Import (VistaloImport.cpp).
    // The common start of an import; handInput gives the decoder its input.
    bool startImport(const std::function<void()> &handInput);
    void updateImportProgress();
    void cancelImport();
    void showFourKWarning();
    void showFilteredMessage(int iFiltered);
    void setDropHighlight(bool bOn);
    // A single-button notice.
    void showNotice(const QString &szText);

    // Album files (VistaloAlbumFile.cpp).
    // When the decode of an opened album starts: the album goes, the file's settings come.
    void replaceAlbumForOpening();
    // When it ends: turns, durations, transitions. Returns the files that did not open.
    QStringList finishAlbumOpening();
    void showUnopenedFiles(const QStringList &paths);
    // The first album file among the paths, or empty.
    static QString albumFileAmong(const QList<QUrl> &urls);

    // Materials (VistaloMaterials.cpp).
    // Turns the thumbnail of row iRow by the record's rotation.
    void showRotatedThumbnail(int iRow, const QPixmap &stPixmap, int64_t iRotation);
    // Back to the empty album's look after the last material went.
    void showEmptyAlbum();
    // Asks a Yes/Cancel question; true for Yes.
    bool confirm(const QString &szQuestion);

    // Export (VistaloExport.cpp).
    // The export button and the renderer's reports, wired once.
    void connectExport();
    void confirmExportTarget();
    void exportProgressed(int iVal);
    void exportSucceeded();
    void exportFailed(const QString &szError);
    // The progress dialog goes at the export's end.
    void endExportProgress();

    // Preview steps (VistaloPreview.cpp).
    void stopPreview();
    void pausePreview();
    void resumePreview();
    void pauseByProgram();
    void haltPreviewWorkers();
    void requestPreviewCover();
    void seekPreview(int64_t iPositionUs);
    void continuePreviewAfterSeek();
    void showAlbumLength();
    void startPlayerDisplay();
    void stopPlayerEngines();
    void shutDownPreviewWorkers();
    bool connectPlayer();

    // Settings column (VistaloSettings.cpp).
    void connectSettings();
    // Call with the album locked.
    void showMusicLayout(bool bCustom);
    // One of the album's choices of what its pictures look like, changed
    // in the usual envelope (stop, lock, write, new cover).
    void changePictureChoice(int AlbumProjectState::*pChoice, int iValue);
    // Sets the duration box to the image duration that fits the music,
    // when that is asked for; call with the album unlocked.
    void fitImageDurationToMusic();
    // Shows the album's settings in the form without running their
    // handlers, opening the music and picture the settings use; call with
    // the album locked. Returns the files that could not be opened.
    QStringList showAlbumSettings();
    void showWatermarkLayout(int iType);
    // Asks before a watermark with content is replaced; true to go on.
    bool confirmWatermarkSwitch();
    void applyWatermarkType(int iType);
    // Events of the settings widgets the editor watches; true when consumed.
    bool settingsEventFilter(QObject *pWatched, QEvent *pEvent);

    VistaloForm *m_pUi = nullptr;
    QButtonGroup *m_pPositionGroup = nullptr;
    QButtonGroup *m_pMusicGroup = nullptr;
    QButtonGroup *m_pAudioTrackGroup = nullptr;
    QButtonGroup *m_pWatermarkGroup = nullptr;
    QButtonGroup *m_pMotionGroup = nullptr;
    QButtonGroup *m_pFramingGroup = nullptr;
    int m_iLongestImageDuration = 60;
    int m_iShortestImageDuration = 1;

    QPointer<ProgressDialog> m_pImportProgress;
    QTimer *m_pImportPollTimer = nullptr;
    int m_iImportSource = ImportFromFiles;
    QList<QString> m_listChosenPaths;
    QList<QUrl> m_listDroppedUrls;
    ImportPhase m_eImportPhase = ImportPhase::Idle;
    bool m_bImportCancelled = false;
    int m_iShownImportProgress = -1;
    // The album file whose materials the running import brings, and the
    // files its settings name that did not open.
    std::unique_ptr<AlbumDocument> m_pOpeningAlbum;
    QStringList m_listUnopenedFiles;
    QString m_szAlbumFile;

    MediaEncoder *m_pEncoder = nullptr;
    QThread *m_pEncoderThread = nullptr;
    QString m_szLastExportError;
    QPointer<ExportSettingDialog> m_pExportSettings;
    QPointer<ProgressDialog> m_pExportProgress;
    // The file the running export writes, and whether it may replace one there.
    QString m_szExportTarget;
    bool m_bExportReplaces = false;
    ImageDecoder *m_pDecoder = nullptr;
    QThread *m_pDecoderThread = nullptr;
    MaterialAppender *m_pAppender = nullptr;
    ImageViewer *m_pViewer = nullptr;
    QThread *m_pViewerThread = nullptr;
    AudioDecoder *m_pSound = nullptr;
    QThread *m_pSoundThread = nullptr;

    bool m_bFontFollowsTier = true;
    QFont m_stTierFont;
    QString m_szSelectedPath;
    int m_iPlayerState = PlayerIdle;

    QPointer<ImageOpenTipDialog> m_pTip;
    QTimer *m_pTipTimer = nullptr;
    bool m_bTipEnabled = true;
    int m_iTipAmplitude = 10;
    int m_iTipOffset = 0;
    int m_iTipStep = 1;

    QPointer<CQQuitDialog> m_pQuitDialog;
    // Set between a cancelled watermark switch and the call it causes.
    bool m_bWatermarkRevert = false;
    QPointer<ImageWatermarkHelpDialog> m_pWatermarkHelp;
};
