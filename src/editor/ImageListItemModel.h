#pragma once

#include <QStandardItemModel>

// The rows of the material strip, one per material in album order. The
// display text of a row is the material's absolute path (how the editor
// finds it); Qt::UserRole holds the source type, Qt::UserRole + 1 the
// rotation. The decoder appends the rows, the editor removes them.
class ImageListItemModel : public QStandardItemModel
{
    Q_OBJECT
public:
    explicit ImageListItemModel(QObject *pParent = nullptr);

    // The base data plus every valid value of Qt::UserRole .. Qt::UserRole + 9,
    // so a row moved by drag and drop keeps its type and rotation.
    QMap<int, QVariant> itemData(const QModelIndex &stIndex) const override;
    // Assistive technology and tool tips get the file name; the path stays
    // the display text.
    QVariant data(const QModelIndex &stIndex, int iRole = Qt::DisplayRole) const override;

    // Row holding szFilePath, or -1.
    int rowOf(const QString &szFilePath) const;
    // Display texts of all rows, top to bottom.
    QStringList paths() const;
};
