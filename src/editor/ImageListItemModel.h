#pragma once

#include <QStandardItemModel>

#include <cstdint>

// The rows of the material strip, one per material in album order. The
// display text of a row is the material's absolute path (how the editor
// finds it); Qt::UserRole holds the source type, Qt::UserRole + 1 the
// rotation, OwnDurationRole a photo's own duration (microseconds, 0 or
// unset when it follows the album). The decoder appends the rows, the
// editor removes them.
class ImageListItemModel : public QStandardItemModel
{
    Q_OBJECT
public:
    static constexpr int OwnDurationRole = Qt::UserRole + 2;

    explicit ImageListItemModel(QObject *pParent = nullptr);

    // "5 s" for a duration in microseconds (tenths where it has them).
    static QString durationText(int64_t iDurationUs);

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
