// What the user does to the materials in the strip: select, reorder,
// rotate, delete one, clear all.

#include "album/AlbumProjectState.h"
#include "editor/ImageListItemModel.h"
#include "editor/ImageListView.h"
#include "editor/Vistalo.h"
#include "editor/VistaloForm.h"
#include "import/CQSql.h"
#include "media/ffmpeg/SizeMath.h"
#include "media/recipes/AlbumGeometry.h"
#include "media/recipes/AlbumTimeline.h"
#include "ui/CQComboBox.h"
#include "ui/CQDlgTipSimple.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSpinBox>
#include <QTransform>

extern "C" {
#include <libavutil/mathematics.h>
}

void Vistalo::imageSourceSelected(QModelIndex stIndex)
{
    if (!stIndex.isValid())
        return;
    seekPreview(materialEndPosition(stIndex.row()));
    continuePreviewAfterSeek();
}

void Vistalo::dragedImageSources(QString stFilePath, int iOldIndex, int iNewIndex)
{
    Q_UNUSED(stFilePath);
    Q_UNUSED(iOldIndex);
    stopPreview();
    AlbumProjectState &st = albumState();
    {
        AlbumEditLock lock;
        // The strip has moved the row; the album follows it. The transitions
        // stay where they are: they belong to the gaps, not to the materials.
        st.listImageSourceOrder = m_pUi->imageSourceList->imageModel()->paths();
        updateSelfAdaptiveRatio(m_pUi->comboVideoRatio->currentIndex());
        updateExportSize();
    }
    if (m_iPlayerState == PlayerIdle) {
        seekPreview(materialEndPosition(iNewIndex));
        requestPreviewCover();
    }
}

void Vistalo::showRotatedThumbnail(int iRow, const QPixmap &stPixmap, int64_t iRotation)
{
    QStandardItem *pItem = m_pUi->imageSourceList->imageModel()->item(iRow);
    if (!pItem || stPixmap.isNull())
        return;
    const QPixmap stTurned = stPixmap.transformed(QTransform().rotate(90.0 * double(iRotation)),
                                                  Qt::SmoothTransformation);
    const QSize stFit = fitSize(stTurned.width(), stTurned.height(), 120, 80);
    pItem->setBackground(QBrush(stTurned.scaled(stFit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    pItem->setData(static_cast<qlonglong>(iRotation), Qt::UserRole + 1);
}

void Vistalo::transposeSource(QString szFilePath, int iIndex)
{
    Q_UNUSED(iIndex);
    AlbumProjectState &st = albumState();
    // Found by its path: a row number handed around may be stale.
    const int iRow = m_pUi->imageSourceList->imageModel()->rowOf(szFilePath);
    if (iRow < 0 || !st.mapImageSources.contains(szFilePath))
        return;
    haltPreviewWorkers();
    {
        AlbumEditLock lock;
        ImageSource &stSource = st.mapImageSources[szFilePath];
        stSource.iRotation = (stSource.iRotation + 1) % 4;
        showRotatedThumbnail(iRow, stSource.stPixmap, stSource.iRotation);
        if (iRow == 0) {
            updateSelfAdaptiveRatio(m_pUi->comboVideoRatio->currentIndex());
            updateExportSize();
        }
    }
    imageSourceSelected(m_pUi->imageSourceList->model()->index(iRow, 0));
}

void Vistalo::prepareSourceDuration(QString szFilePath, int iIndex)
{
    Q_UNUSED(iIndex);
    const AlbumProjectState &st = albumState();
    const auto it = st.mapImageSources.constFind(szFilePath);
    if (it == st.mapImageSources.constEnd() || it->iSourceType != SourceImage)
        return;
    pauseByProgram();
    const int iAlbumSeconds = int(av_rescale_q(st.iImageDuration, st.stImageDurationTimeBase, AVRational{1, 1}));
    // 0, shown as the album's duration, lets the photo follow the album again.
    auto *pBox = new QSpinBox;
    pBox->setRange(0, m_iLongestImageDuration);
    pBox->setSpecialValueText(QCoreApplication::translate("VistaloClass", "album (%1 s)").arg(iAlbumSeconds));
    pBox->setSuffix(QCoreApplication::translate("VistaloClass", " s"));
    pBox->setValue(int((it->iOwnDuration + 500000) / 1000000));
    pBox->setAccessibleName(QCoreApplication::translate("VistaloClass", "Duration"));
    CQDlgTipSimple tip(dialogParent());
    tip.setTitle(QCoreApplication::translate("VistaloClass", "Duration"));
    tip.setTipText(QCoreApplication::translate("VistaloClass", "How many seconds does \"%1\" stay on screen?")
                       .arg(QFileInfo(szFilePath).fileName()));
    tip.addContentWidget(pBox);
    pBox->setFocus();
    pBox->selectAll();
    if (tip.exec() == QDialog::Accepted)
        setSourceDuration(szFilePath, int64_t(pBox->value()) * 1000000);
}

void Vistalo::setSourceDuration(const QString &szFilePath, int64_t iDurationUs)
{
    const int iRow = m_pUi->imageSourceList->imageModel()->rowOf(szFilePath);
    if (iRow < 0)
        return;
    stopPreview();
    {
        AlbumEditLock lock;
        if (!setMaterialOwnDuration(szFilePath, iDurationUs))
            return;
        m_pUi->imageSourceList->imageModel()->item(iRow)->setData(
            static_cast<qlonglong>(albumState().mapImageSources.constFind(szFilePath)->iOwnDuration),
            ImageListItemModel::OwnDurationRole);
    }
    showAlbumLength();
    // Where the photo now ends, as after a click on it.
    const QModelIndex stIndex = m_pUi->imageSourceList->model()->index(iRow, 0);
    m_pUi->imageSourceList->setCurrentIndex(stIndex);
    imageSourceSelected(stIndex);
}

bool Vistalo::confirm(const QString &szQuestion)
{
    CQDlgTipSimple tip(dialogParent());
    tip.setTitle(QCoreApplication::translate("VistaloClass", "Tips"));
    tip.setTipText(szQuestion);
    tip.setOkText(QCoreApplication::translate("VistaloClass", "Yes"));
    tip.setCancelText(QCoreApplication::translate("VistaloClass", "Cancel"));
    return tip.exec() == QDialog::Accepted;
}

void Vistalo::prepareDeleteSource(QString szFilePath, int iIndex)
{
    Q_UNUSED(iIndex);
    ImageListView *pList = m_pUi->imageSourceList;
    const int iRow = pList->imageModel()->rowOf(szFilePath);
    if (iRow < 0)
        return;
    // The user sees which material the question is about.
    const QModelIndex stIndex = pList->model()->index(iRow, 0);
    pList->setCurrentIndex(stIndex);
    imageSourceSelected(stIndex);
    if (confirm(QCoreApplication::translate("VistaloClass", "Do you want to delete this material?")))
        deleteSource(szFilePath, iRow);
}

void Vistalo::deleteSource(QString szFilePath, int iIndex)
{
    Q_UNUSED(iIndex);
    AlbumProjectState &st = albumState();
    ImageListItemModel *pModel = m_pUi->imageSourceList->imageModel();
    // By path: the row and the order entry are whatever holds it now.
    const int iRow = pModel->rowOf(szFilePath);
    if (iRow < 0 && !st.mapImageSources.contains(szFilePath))
        return;
    stopPreview();
    {
        AlbumEditLock lock;
        if (iRow >= 0)
            pModel->removeRow(iRow);
        auto it = st.mapImageSources.find(szFilePath);
        if (it != st.mapImageSources.end()) {
            closeHeldFile(it->pFile);
            // In microseconds, whatever the clip's own time base.
            st.iTotalDuration -= materialDuration(*it);
            if (it->iSourceType == SourceVideo)
                --st.iVideoSourceCount;
            st.mapImageSources.erase(it);
            st.listImageSourceOrder.removeAll(szFilePath);
            CQSql::instance().deleteImages(QString::fromLatin1(CQSql::kTableName),
                                           QString::fromLatin1(CQSql::kColumnPath), szFilePath);
            if (!st.listTransitions.isEmpty()) {
                const TransitionSegment &stLast = st.listTransitions.last();
                st.iTotalDuration -= av_rescale_q(stLast.iDuration, stLast.stTimeBase, st.stGlobalTimeBase);
                st.listTransitions.removeLast();
            }
        }
    }
    const QModelIndex stCurrent = m_pUi->imageSourceList->currentIndex();
    if (!stCurrent.isValid()) {
        m_szSelectedPath.clear();
        m_pUi->boxImageDuration->setValue(0);
        if (pModel->rowCount() == 0)
            showEmptyAlbum();
    }
    showAlbumLength();
    if (stCurrent.isValid())
        imageSourceSelected(stCurrent);
}

void Vistalo::showEmptyAlbum()
{
    enableAlbumControls(false);
    stopPlayerEngines();
    showMaterialPage(false);
}

void Vistalo::prepareClearAllSources()
{
    pauseByProgram();
    if (confirm(QCoreApplication::translate("VistaloClass", "Do you want to delete all materials?")))
        clearAllSources();
}

void Vistalo::clearAllSources()
{
    stopPreview();
    {
        AlbumEditLock lock;
        // Rows, records with their open files, order, transitions, totals;
        // the image duration goes back to 3 s, the settings stay.
        clearAlbum();
        CQSql::instance().clearTable(QString::fromLatin1(CQSql::kTableName));
    }
    m_szSelectedPath.clear();
    m_pUi->boxImageDuration->setValue(0);
    showAlbumLength();
    showEmptyAlbum();
}
