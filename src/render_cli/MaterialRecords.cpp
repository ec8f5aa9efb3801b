#include "render_cli/MaterialRecords.h"

#include "album/AlbumProjectState.h"
#include "import/MaterialImport.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardItemModel>

#include <cmath>

bool appendMaterialFiles(const QStringList &szPaths, QString *pszError, QStringList *pWarnings)
{
    AlbumProjectState &st = albumState();
    // The import appends model rows as the editor's strip has them.
    QStandardItemModel model;
    QStandardItemModel *pPreviousModel = st.pImageListModel;
    st.pImageListModel = &model;
    const MaterialImportReport stReport = importMaterials(szPaths, ImportInput::Files, false);
    st.pImageListModel = pPreviousModel;

    if (stReport.bFound4K)
        pWarnings->append(MaterialImportReport::fourKWarning());
    if (stReport.filteredCount() > 0)
        pWarnings->append(stReport.filteredMessage());
    if (st.listImageSourceOrder.isEmpty()) {
        *pszError = QStringLiteral("none of the %1 materials could be added").arg(szPaths.size());
        return false;
    }
    return true;
}

void overrideMaterials(const QStringList &szPaths, const QList<QPair<int, int>> &rotations,
                       const QList<QPair<int, double>> &durations, QStringList *pWarnings)
{
    AlbumProjectState &st = albumState();
    // The record of material iIndex, or null with a note naming szOption.
    const auto recordOf = [&](int iIndex, const char *szOption) -> ImageSource * {
        const QString szPath = iIndex >= 0 && iIndex < szPaths.size()
                                   ? QDir::cleanPath(QFileInfo(szPaths.at(iIndex)).absoluteFilePath())
                                   : QString();
        auto it = st.mapImageSources.find(szPath);
        if (it != st.mapImageSources.end())
            return &it.value();
        pWarnings->append(QStringLiteral("--%1 %2: material %2 was not added, this is ignored").arg(szOption).arg(iIndex));
        return nullptr;
    };
    for (const auto &stRotation : rotations) {
        if (ImageSource *pSource = recordOf(stRotation.first, "rotate"))
            pSource->iRotation = stRotation.second;
    }
    for (const auto &stDuration : durations) {
        ImageSource *pSource = recordOf(stDuration.first, "photo-duration");
        if (pSource && !setMaterialOwnDuration(pSource->szFilePath, std::llround(stDuration.second * 1e6)))
            pWarnings->append(QStringLiteral("--photo-duration %1: material %1 is a clip, which keeps its own length")
                                  .arg(stDuration.first));
    }
}
