// The export flow: the settings dialog, the target, the renderer run behind
// a modal progress dialog, and the result dialogs.

#include "album/AlbumProjectState.h"
#include "editor/ImageListItemModel.h"
#include "editor/ImageListView.h"
#include "editor/Vistalo.h"
#include "editor/VistaloForm.h"
#include "export_dialogs/ExportSettingDialog.h"
#include "export_dialogs/ExportTarget.h"
#include "export_dialogs/FailDialog.h"
#include "export_dialogs/FileManagerReveal.h"
#include "export_dialogs/ProgressDialog.h"
#include "export_dialogs/SuccessDialog.h"
#include "media/export/MediaEncoder.h"
#include "media/recipes/AlbumGeometry.h"
#include "online/DataUpload.h"
#include "ui/CQComboBox.h"
#include "ui/CQUIPushButton.h"


void Vistalo::connectExport()
{
    connect(m_pUi->btnExport, &QAbstractButton::clicked, this, &Vistalo::prepareExport);
    // Once for the editor's life: every export gets one progress and one result.
    connect(m_pEncoder, &MediaEncoder::sig_exportProgress, this, &Vistalo::exportProgressed);
    connect(m_pEncoder, &MediaEncoder::sig_succeeded, this, &Vistalo::exportSucceeded);
    connect(m_pEncoder, &MediaEncoder::sig_exportFail, this, &Vistalo::exportFailed);
}

void Vistalo::prepareExport()
{
    stopPreview();
    exportSetting();
}

void Vistalo::exportSetting()
{
    // One settings dialog at a time: a second request brings it forward.
    if (m_pExportSettings) {
        m_pExportSettings->show();
        m_pExportSettings->raise();
        m_pExportSettings->activateWindow();
        return;
    }
    m_pExportSettings = new ExportSettingDialog(dialogParent());
    bindExportSettingsToAlbum(m_pExportSettings);
    connect(m_pExportSettings, &ExportSettingDialog::sig_exportRequest, this, &Vistalo::confirmExportTarget);
    m_pExportSettings->show();
}

void Vistalo::confirmExportTarget()
{
    ExportSettingDialog *pDialog = m_pExportSettings;
    if (!pDialog)
        return;
    const ExportSettingDialog::TargetDecision eDecision = pDialog->confirmTarget(albumInputFiles(albumState()));
    if (eDecision != ExportSettingDialog::TargetDecision::Export
        && eDecision != ExportSettingDialog::TargetDecision::ExportOver)
        return;
    m_bExportReplaces = eDecision == ExportSettingDialog::TargetDecision::ExportOver;
    DataUpload::instance().reportExport(DataUpload::exportRecord(
        albumState(), m_pUi->comboVideoRatio->currentText(), m_pUi->comboVideoHeight->currentText(),
        pDialog->frameRateText(), pDialog->videoBitRateText(), pDialog->audioBitRateText(), pDialog->sampleRateText()));
    pDialog->close();
    exportVideo();
}

void Vistalo::exportVideo()
{
    // One export at a time: the renderer has one export context.
    if (m_pExportProgress)
        return;
    // A preview may have been started while the settings were open; the
    // renderer reads the album without locks from here to its end.
    stopPreview();
    m_pExportProgress = ProgressDialog::createForExport(dialogParent());
    connect(m_pExportProgress, &ProgressDialog::sig_cancelRequested, this,
            [this] { m_pEncoder->runningFlag().store(false); });

    AlbumProjectState &st = albumState();
    {
        // A preview render that has not noticed its abort yet still reads the album.
        AlbumEditLock lock;
        st.listImageSourceOrder = m_pUi->imageSourceList->imageModel()->paths();
        updateSelfAdaptiveRatio(m_pUi->comboVideoRatio->currentIndex());
        updateExportSize();
    }
    m_szExportTarget = exportOutputPath(st);
    // Replacing is allowed for this export only, and only when the user chose it.
    m_pEncoder->setReplaceExisting(m_bExportReplaces);
    m_bExportReplaces = false;
    emit m_pEncoder->sig_exportVideo();
    m_pExportProgress->show();
}

void Vistalo::exportProgressed(int iVal)
{
    if (m_pExportProgress)
        m_pExportProgress->setProgress(iVal);
}

void Vistalo::endExportProgress()
{
    if (!m_pExportProgress)
        return;
    m_pExportProgress->hide();
    m_pExportProgress->deleteLater();
    m_pExportProgress = nullptr;
}

void Vistalo::exportSucceeded()
{
    endExportProgress();
    auto *pSuccess = new SuccessDialog(dialogParent());
    // The file written, whatever the settings say by the time of the click.
    pSuccess->setExportedFile(m_szExportTarget);
    connect(pSuccess, &SuccessDialog::sig_explorerFolderRequest, pSuccess,
            [pSuccess] { showFileInFileManager(pSuccess->exportedFile()); });
    pSuccess->show();
}

void Vistalo::exportFailed(const QString &szError)
{
    m_szLastExportError = szError;
    endExportProgress();
    auto *pFail = new FailDialog(dialogParent());
    pFail->setErrorText(szError);
    pFail->show();
}
