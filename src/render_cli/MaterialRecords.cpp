#include "render_cli/MaterialRecords.h"

#include "album/AlbumProjectState.h"
#include "import/MaterialImport.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardItemModel>

bool appendMaterialFiles(const QStringList &szPaths, const QList<QPair<int, int>> &rotations, QString *pszError,
                         QStringList *pWarnings)
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

    for (const auto &stRotation : rotations) {
        if (stRotation.first < 0 || stRotation.first >= szPaths.size())
            continue;
        const QString szPath = QDir::cleanPath(QFileInfo(szPaths.at(stRotation.first)).absoluteFilePath());
        auto it = st.mapImageSources.find(szPath);
        if (it == st.mapImageSources.end()) {
            pWarnings->append(QStringLiteral("--rotate %1: material %1 was not added, its rotation is ignored")
                                  .arg(stRotation.first));
            continue;
        }
        it->iRotation = stRotation.second;
    }

    if (st.listImageSourceOrder.isEmpty()) {
        *pszError = QStringLiteral("none of the %1 materials could be added").arg(szPaths.size());
        return false;
    }
    return true;
}
