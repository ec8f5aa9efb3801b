#include "editor/ImageListItemModel.h"

#include "ui/CQWidgetEx.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

ImageListItemModel::ImageListItemModel(QObject *pParent)
    : QStandardItemModel(pParent)
{
}

QMap<int, QVariant> ImageListItemModel::itemData(const QModelIndex &stIndex) const
{
    QMap<int, QVariant> roles = QStandardItemModel::itemData(stIndex);
    for (int iRole = Qt::UserRole; iRole <= Qt::UserRole + 9; ++iRole) {
        const QVariant value = QStandardItemModel::data(stIndex, iRole);
        if (value.isValid())
            roles.insert(iRole, value);
    }
    return roles;
}

QVariant ImageListItemModel::data(const QModelIndex &stIndex, int iRole) const
{
    if (iRole == Qt::AccessibleTextRole || iRole == Qt::ToolTipRole) {
        const QString szPath = QStandardItemModel::data(stIndex, Qt::DisplayRole).toString();
        if (szPath.isEmpty())
            return QVariant();
        if (iRole == Qt::AccessibleTextRole) {
            const qlonglong iOwn = QStandardItemModel::data(stIndex, OwnDurationRole).toLongLong();
            return iOwn > 0 ? QStringLiteral("%1, %2").arg(QFileInfo(szPath).fileName(), durationText(iOwn))
                            : QFileInfo(szPath).fileName();
        }
        return plainToolTip(QDir::toNativeSeparators(szPath));
    }
    return QStandardItemModel::data(stIndex, iRole);
}

QString ImageListItemModel::durationText(int64_t iDurationUs)
{
    const double lfSeconds = double(iDurationUs) / 1e6;
    return tr("%1 s").arg(QLocale().toString(lfSeconds, 'g', lfSeconds < 10 ? 2 : 3));
}

int ImageListItemModel::rowOf(const QString &szFilePath) const
{
    for (int iRow = 0; iRow < rowCount(); ++iRow) {
        if (QStandardItemModel::data(index(iRow, 0), Qt::DisplayRole).toString() == szFilePath)
            return iRow;
    }
    return -1;
}

QStringList ImageListItemModel::paths() const
{
    QStringList list;
    list.reserve(rowCount());
    for (int iRow = 0; iRow < rowCount(); ++iRow)
        list.append(QStandardItemModel::data(index(iRow, 0), Qt::DisplayRole).toString());
    return list;
}
