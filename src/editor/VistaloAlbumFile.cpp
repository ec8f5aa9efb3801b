// Album files: the album saved to a ".pictora" file on request, and such a
// file opened again. Opening reads and checks the whole file first (a
// refused file leaves the album as it is), asks before the album in the
// window goes, and brings the materials in through the normal import, so
// that its progress, its 4K warning and its cancel hold here too. The album
// is replaced only when the decode starts: a cancelled 4K warning keeps it.

#include "album/AlbumFile.h"
#include "album/AlbumProjectState.h"
#include "editor/ImageListItemModel.h"
#include "editor/ImageListView.h"
#include "editor/Vistalo.h"
#include "editor/VistaloForm.h"
#include "import/CQSql.h"
#include "import/ImageDecoder.h"
#include "media/recipes/AlbumGeometry.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString albumFilter()
{
    return QCoreApplication::translate("VistaloClass", "Pictora albums (*.pictora)");
}

// At most a few names, then how many more: the notice has room for a handful.
QString namedFiles(const QStringList &paths)
{
    constexpr int kNamed = 5;
    QStringList names;
    for (int i = 0; i < paths.size() && i < kNamed; ++i)
        names << QFileInfo(paths.at(i)).fileName();
    QString szText = names.join(QLatin1Char('\n'));
    if (paths.size() > kNamed)
        szText += QLatin1Char('\n') + QCoreApplication::translate("VistaloClass", "and %1 more").arg(paths.size() - kNamed);
    return szText;
}

} // namespace

void Vistalo::openAlbum()
{
    if (isImporting())
        return;
    pauseByProgram();
    const QString szStart = m_szAlbumFile.isEmpty()
                                ? QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)
                                : QFileInfo(m_szAlbumFile).absolutePath();
    const QString szFile = QFileDialog::getOpenFileName(this, QStringLiteral("Pictora"), szStart, albumFilter());
    if (!szFile.isEmpty())
        openAlbumFile(szFile);
}

bool Vistalo::openAlbumFile(const QString &szPath)
{
    if (isImporting())
        return false;
    auto pDocument = std::make_unique<AlbumDocument>();
    QString szError;
    if (!readAlbumFile(szPath, pDocument.get(), &szError)) {
        showNotice(QCoreApplication::translate("VistaloClass", "\"%1\" cannot be opened as an album.").arg(QFileInfo(szPath).fileName()) + QLatin1Char('\n')
                   + szError);
        return false;
    }
    if (m_pUi->imageSourceList->model()->rowCount() > 0) {
        pauseByProgram();
        if (!confirm(QCoreApplication::translate("VistaloClass", "The album being edited will be replaced by \"%1\". Do you want to open it?")
                         .arg(QFileInfo(szPath).fileName())))
            return false;
    }
    m_szAlbumFile = QFileInfo(szPath).absoluteFilePath();
    m_iImportSource = ImportFromFiles;
    m_listChosenPaths = pDocument->materialPaths();
    m_listDroppedUrls.clear();
    m_pOpeningAlbum = std::move(pDocument);
    if (startImport([this]() { emit m_pDecoder->sig_setFileList(m_listChosenPaths); }))
        return true;
    m_pOpeningAlbum.reset();
    return false;
}

void Vistalo::replaceAlbumForOpening()
{
    stopPreview();
    {
        AlbumEditLock lock;
        clearAlbum();
        CQSql::instance().clearTable(QString::fromLatin1(CQSql::kTableName));
        applyAlbumSettings(*m_pOpeningAlbum);
        m_listUnopenedFiles = showAlbumSettings();
        // The cover is made at the opened album's size; a ratio that follows
        // the first material is worked out when the materials are in.
        updateExportSize();
    }
    m_szSelectedPath.clear();
    showAlbumLength();
    showEmptyAlbum();
}

QStringList Vistalo::finishAlbumOpening()
{
    const std::unique_ptr<AlbumDocument> pDocument = std::move(m_pOpeningAlbum);
    AlbumProjectState &st = albumState();
    ImageListItemModel *pModel = m_pUi->imageSourceList->imageModel();
    {
        AlbumEditLock lock;
        applyAlbumMaterials(*pDocument);
        for (int iRow = 0; iRow < pModel->rowCount(); ++iRow) {
            const auto it = st.mapImageSources.constFind(pModel->item(iRow)->text());
            if (it == st.mapImageSources.constEnd())
                continue;
            if (it->iRotation != 0)
                showRotatedThumbnail(iRow, it->stPixmap, it->iRotation);
            pModel->item(iRow)->setData(static_cast<qlonglong>(it->iOwnDuration), ImageListItemModel::OwnDurationRole);
        }
    }
    // A cancelled import leaves out what it did not reach: that is no missing file.
    QStringList unopened = m_listUnopenedFiles;
    m_listUnopenedFiles.clear();
    if (!m_bImportCancelled) {
        for (const QString &szPath : pDocument->materialPaths()) {
            if (!st.mapImageSources.contains(szPath))
                unopened << szPath;
        }
    }
    return unopened;
}

void Vistalo::showUnopenedFiles(const QStringList &paths)
{
    showNotice(QCoreApplication::translate("VistaloClass", "These files of the album could not be opened; the rest of the album is open:")
               + QLatin1Char('\n') + namedFiles(paths));
}

void Vistalo::saveAlbum()
{
    if (isImporting())
        return;
    if (m_pUi->imageSourceList->model()->rowCount() == 0) {
        showNotice(QCoreApplication::translate("VistaloClass", "The album is empty: add materials before saving it."));
        return;
    }
    pauseByProgram();
    // By default beside the first material, where the album can move with its photos.
    QString szSuggested = m_szAlbumFile;
    if (szSuggested.isEmpty()) {
        const QFileInfo stFirst(m_pUi->imageSourceList->imageModel()->paths().value(0));
        szSuggested = stFirst.absolutePath() + QLatin1Char('/') + stFirst.absoluteDir().dirName() + QLatin1Char('.')
                      + albumFileSuffix();
    }
    QFileDialog dialog(this, QStringLiteral("Pictora"), QFileInfo(szSuggested).absolutePath(), albumFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(albumFileSuffix());
    dialog.selectFile(QFileInfo(szSuggested).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    QString szFile = dialog.selectedFiles().first();
    // Another suffix would hide it from the open dialog and from drops.
    if (!isAlbumFileName(szFile)) {
        szFile += QLatin1Char('.') + albumFileSuffix();
        if (QFileInfo::exists(szFile)
            && !confirm(QCoreApplication::translate("VistaloClass", "\"%1\" already exists. Do you want to replace it?").arg(QFileInfo(szFile).fileName())))
            return;
    }
    writeAlbumFile(szFile);
}

bool Vistalo::writeAlbumFile(const QString &szPath)
{
    {
        // The strip's order, as the export takes it.
        AlbumEditLock lock;
        albumState().listImageSourceOrder = m_pUi->imageSourceList->imageModel()->paths();
    }
    QString szError;
    if (!saveAlbumFile(szPath, &szError)) {
        showNotice(QCoreApplication::translate("VistaloClass", "The album was not saved.") + QLatin1Char('\n') + szError);
        return false;
    }
    m_szAlbumFile = QFileInfo(szPath).absoluteFilePath();
    return true;
}

QString Vistalo::albumFileAmong(const QList<QUrl> &urls)
{
    for (const QUrl &stUrl : urls) {
        if (stUrl.isLocalFile() && isAlbumFileName(stUrl.toLocalFile()))
            return stUrl.toLocalFile();
    }
    return QString();
}
