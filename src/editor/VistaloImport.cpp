// Adding materials: the file and folder dialogs, drag and drop, the check
// pass with its 4K warning, the batch decode with its progress, and the
// report of filtered files.

#include "album/AlbumProjectState.h"
#include "album/MaterialTypes.h"
#include "editor/ImageListItemModel.h"
#include "editor/ImageListView.h"
#include "editor/Vistalo.h"
#include "editor/VistaloForm.h"
#include "export_dialogs/ProgressDialog.h"
#include "import/ImageDecoder.h"
#include "import/MaterialImport.h"
#include "media/recipes/AlbumGeometry.h"
#include "online/CQSrvProductInfo.h"
#include "ui/CQComboBox.h"
#include "ui/CQDlgTipSimple.h"
#include "ui/CQQuitDialog.h"
#include "ui/CQWidgetEx.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QListView>
#include <QMimeData>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeView>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

QString desktopFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

// Files of the supported types, several at once (the platform's dialog where
// there is one).
QStringList chooseMaterialFiles(QWidget *pParent)
{
    const QString szFilter = QCoreApplication::translate("VistaloClass", "Supported Formats") + QStringLiteral("(%1)").arg(folderNameFilters().join(' '));
    return QFileDialog::getOpenFileNames(pParent, QStringLiteral("Pictora"), desktopFolder(), szFilter);
}

// Several folders at once: only Qt's own dialog lets its views select more
// than one folder.
QStringList chooseMaterialFolders(QWidget *pParent)
{
    QFileDialog dialog(pParent, QStringLiteral("Pictora"), desktopFolder());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    for (QAbstractItemView *pView : dialog.findChildren<QListView *>())
        pView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (QAbstractItemView *pView : dialog.findChildren<QTreeView *>())
        pView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    if (dialog.exec() != QDialog::Accepted)
        return QStringList();
    return dialog.selectedFiles();
}

} // namespace

void Vistalo::selectFiles()
{
    if (isImporting())
        return;
    QObject *pSender = sender();
    m_listChosenPaths.clear();
    m_listDroppedUrls.clear();
    if (pSender == m_pUi->btnAddFile || pSender == m_pUi->btnAddFile2) {
        m_listChosenPaths = chooseMaterialFiles(this);
        m_iImportSource = ImportFromFiles;
        prepareImportSources();
    } else if (pSender == m_pUi->btnAddDir || pSender == m_pUi->btnAddDir2) {
        m_listChosenPaths = chooseMaterialFolders(this);
        m_iImportSource = ImportFromFolders;
        prepareImportSourcesByDirs();
    }
}

void Vistalo::prepareImportSources()
{
    if (!m_listChosenPaths.isEmpty())
        startImport([this]() { emit m_pDecoder->sig_setFileList(m_listChosenPaths); });
}

void Vistalo::prepareImportSourcesByDirs()
{
    if (!m_listChosenPaths.isEmpty())
        startImport([this]() { emit m_pDecoder->sig_setFileDir(m_listChosenPaths); });
}

void Vistalo::prepareImportSourcesByDraged()
{
    if (!m_listDroppedUrls.isEmpty())
        startImport([this]() { emit m_pDecoder->sig_setFileList(m_listDroppedUrls); });
}

void Vistalo::importOpenedFiles(const QStringList &paths)
{
    if (paths.isEmpty() || isImporting())
        return;
    QList<QUrl> urls;
    for (const QString &szPath : paths)
        urls << QUrl::fromLocalFile(QFileInfo(szPath).absoluteFilePath());
    // An album file among them opens as the album.
    const QString szAlbum = albumFileAmong(urls);
    if (!szAlbum.isEmpty()) {
        openAlbumFile(szAlbum);
        return;
    }
    m_iImportSource = ImportFromDrop;
    m_listChosenPaths.clear();
    m_listDroppedUrls = urls;
    prepareImportSourcesByDraged();
}

bool Vistalo::startImport(const std::function<void()> &handInput)
{
    if (isImporting())
        return false;
    endImageTipForGood();
    stopPreview();
    {
        // Waits for a running cover render or sound preparation to end.
        AlbumEditLock lock;
    }
    m_eImportPhase = ImportPhase::Checking;
    m_bImportCancelled = false;
    m_pDecoder->setExpandFolders(m_iImportSource == ImportFromDrop);
    handInput();
    // Set here, before the job is queued, so that a cancel that comes
    // before the job starts is not undone by it.
    m_pDecoder->setRunning(true);
    emit m_pDecoder->sig_check();
    m_iShownImportProgress = -1;
    m_pImportProgress->setProgress(0);
    centerWidget(m_pImportProgress, window());
    m_pImportProgress->show();
    return true;
}

void Vistalo::checkSourceFinished(bool bShowTip)
{
    if (m_eImportPhase != ImportPhase::Checking)
        return;
    if (m_bImportCancelled) {
        // Closed during the check: nothing is decoded, an album being opened stays closed.
        m_eImportPhase = ImportPhase::Idle;
        m_pOpeningAlbum.reset();
        return;
    }
    if (!bShowTip || !CQSrvProductInfo::instance().fourKWarningShown())
        importImageHandle();
    else
        showFourKWarning();
}

void Vistalo::showFourKWarning()
{
    m_eImportPhase = ImportPhase::Warning;
    m_pImportProgress->hide();
    const QStringList lines = MaterialImportReport::fourKWarning().split(QLatin1Char('\n'));
    auto *pWarning = new CQQuitDialog(dialogParent());
    pWarning->setTitle(QCoreApplication::translate("VistaloClass", "Tips"));
    // Without a ";" after the rule: Qt refuses such a sheet whole.
    pWarning->setTexts(lines.value(0), lines.value(1),
                       QStringLiteral("#uiTip{color:#000000;font-family:'Microsoft Yahei';font-size:14px;"
                                      "font-weight:400;padding-right:25px;padding-left:25px}"),
                       QStringLiteral("#uiTip2{color:#000000;font-family:'Microsoft Yahei';font-size:14px;"
                                      "font-weight:400;padding-right:25px;padding-left:25px}"));
    pWarning->setLeftButtonText(QCoreApplication::translate("VistaloClass", "Continue adding", "continueAdding"));
    pWarning->setRightButtonText(QCoreApplication::translate("VistaloClass", "Cancel"));
    // Every 12-megapixel photo sets it off: the user may turn it off for good.
    pWarning->setCheckText(QCoreApplication::translate("VistaloClass", "Do not show this again"));
    pWarning->setFixedSize(325, 232);
    // Modal like the progress: nothing may start another import meanwhile.
    pWarning->setWindowModality(Qt::ApplicationModal);
    // The check box counts with either button: it is about the warning, not this import.
    const auto rememberChoice = [pWarning]() {
        if (pWarning->isChecked())
            CQSrvProductInfo::instance().setFourKWarningShown(false);
    };
    connect(pWarning, &CQQuitDialog::btnLeftSignal, this, [this, rememberChoice]() {
        rememberChoice();
        importImageHandle();
    });
    connect(pWarning, &CQQuitDialog::btnRightSignal, this, rememberChoice);
    // Cancel, the close button or Escape: the import does not happen.
    connect(pWarning, &QObject::destroyed, this, [this]() {
        if (m_eImportPhase == ImportPhase::Warning) {
            m_eImportPhase = ImportPhase::Idle;
            m_pOpeningAlbum.reset();
        }
    });
    centerWidget(pWarning, window());
    pWarning->show();
}

void Vistalo::importImageHandle()
{
    if (m_eImportPhase != ImportPhase::Checking && m_eImportPhase != ImportPhase::Warning)
        return;
    // The album being opened takes the place of this one before the decoder
    // looks at which paths the album already has.
    if (m_pOpeningAlbum)
        replaceAlbumForOpening();
    stopPlayerEngines();
    m_pDecoder->setRunning(true);
    m_pDecoder->setExpandFolders(m_iImportSource == ImportFromDrop);
    m_eImportPhase = ImportPhase::Decoding;
    emit m_pDecoder->sig_batchDecode();
    if (!m_pImportPollTimer->isActive())
        m_pImportPollTimer->start();
    m_pImportProgress->show();
}

void Vistalo::updateImportProgress()
{
    const int iTotal = m_pDecoder->totalCount();
    const qint64 iDone = qint64(m_pDecoder->succeededCount()) + m_pDecoder->failedCount() + m_pDecoder->duplicateCount();
    // Multiplied first: done / total in integers is 0 until the very end.
    const int iProgress = iTotal > 0 ? int(qBound<qint64>(0, iDone * 100 / iTotal, 100)) : 0;
    if (iProgress == m_iShownImportProgress)
        return;
    m_iShownImportProgress = iProgress;
    m_pImportProgress->setProgress(iProgress);
}

void Vistalo::cancelImport()
{
    if (m_eImportPhase != ImportPhase::Checking && m_eImportPhase != ImportPhase::Decoding)
        return;
    // The decoder stops at its next step; what it finished stays.
    m_bImportCancelled = true;
    m_pDecoder->setRunning(false);
}

void Vistalo::batchDecodeFinished()
{
    if (m_eImportPhase != ImportPhase::Decoding)
        return;
    m_pImportPollTimer->stop();
    m_eImportPhase = ImportPhase::Idle;
    m_pImportProgress->close();

    AlbumProjectState &st = albumState();
    const bool bOpenedAlbum = m_pOpeningAlbum != nullptr;
    const QStringList unopened = bOpenedAlbum ? finishAlbumOpening() : QStringList();
    ImageListView *pList = m_pUi->imageSourceList;
    if (pList->model()->rowCount() > 0) {
        enableAlbumControls(true);
        m_pUi->boxImageDuration->setValue(
            int(av_rescale_q(st.iImageDuration, st.stImageDurationTimeBase, AVRational{1, 1})));
        if (m_pUi->comboVideoRatio->currentIndex() == 0) {
            // The first material's ratio, turned when the user turned it.
            AlbumEditLock lock;
            updateSelfAdaptiveRatio(0);
            updateExportSize();
        }
        showMaterialPage(true);
        startPlayerDisplay();
        requestPreviewCover();
        const QModelIndex stFirst = pList->model()->index(0, 0);
        pList->setCurrentIndex(stFirst);
        m_szSelectedPath = stFirst.data(Qt::DisplayRole).toString();
    }
    showAlbumLength();
    const int iFiltered = m_pDecoder->failedCount() + m_pDecoder->duplicateCount();
    // An opened album names what it missed instead of counting it.
    if (bOpenedAlbum && !unopened.isEmpty())
        showUnopenedFiles(unopened);
    else if (!bOpenedAlbum && iFiltered >= 1)
        showFilteredMessage(iFiltered);
}

void Vistalo::showFilteredMessage(int iFiltered)
{
    MaterialImportReport stReport;
    stReport.iFailed = iFiltered;
    showNotice(stReport.filteredMessage());
}

void Vistalo::showNotice(const QString &szText)
{
    CQDlgTipSimple tip(dialogParent());
    tip.setTitle(QCoreApplication::translate("VistaloClass", "Tips"));
    tip.setTipText(szText);
    tip.setSingleButton();
    tip.exec();
}

void Vistalo::setDropHighlight(bool bOn)
{
    const QString szStyle = bOn ? QStringLiteral("background-color: #F7F6FE") : QString();
    m_pUi->pageAddImage->setStyleSheet(szStyle);
    m_pUi->imageSourceList->setStyleSheet(szStyle);
}

void Vistalo::dragEnterEvent(QDragEnterEvent *pEvent)
{
    if (isImporting() || !pEvent->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) {
        pEvent->ignore();
        return;
    }
    pEvent->setDropAction(Qt::CopyAction);
    pEvent->accept();
    setDropHighlight(true);
}

void Vistalo::dragMoveEvent(QDragMoveEvent *pEvent)
{
    // Only the material area takes materials; an album file opens from anywhere.
    if (pEvent->mimeData()->hasUrls()
        && (m_pUi->divSource->geometry().contains(pEvent->pos()) || !albumFileAmong(pEvent->mimeData()->urls()).isEmpty())) {
        pEvent->setDropAction(Qt::CopyAction);
        pEvent->accept();
    } else {
        pEvent->ignore();
    }
}

void Vistalo::dragLeaveEvent(QDragLeaveEvent *pEvent)
{
    setDropHighlight(false);
    QWidget::dragLeaveEvent(pEvent);
}

void Vistalo::dropEvent(QDropEvent *pEvent)
{
    setDropHighlight(false);
    const QString szAlbum = albumFileAmong(pEvent->mimeData()->urls());
    if (isImporting() || (szAlbum.isEmpty() && !m_pUi->divSource->geometry().contains(pEvent->pos()))) {
        pEvent->ignore();
        return;
    }
    pEvent->setDropAction(Qt::CopyAction);
    pEvent->accept();
    if (!szAlbum.isEmpty()) {
        // After the drop has ended: opening asks questions in loops of their own.
        QMetaObject::invokeMethod(this, [this, szAlbum]() { openAlbumFile(szAlbum); }, Qt::QueuedConnection);
        return;
    }
    m_iImportSource = ImportFromDrop;
    m_listChosenPaths.clear();
    m_listDroppedUrls = pEvent->mimeData()->urls();
    prepareImportSourcesByDraged();
}
