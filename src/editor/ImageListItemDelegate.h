#pragma once

#include <QPixmap>
#include <QSize>
#include <QStyledItemDelegate>

#include <cstdint>

class ImageListView;

// Paints one material of the strip: its thumbnail on a grey card, the type
// icon, a photo's own duration, the hover shade and the selection border,
// the delete button and (images only) the rotate button, and the marks of a
// drag in progress.
class ImageListItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int kButtonSize = 18;

    explicit ImageListItemDelegate(ImageListView *pView);

    // The item's card: its visual rectangle at the item size.
    static QRect cardRect(const QRect &stVisual);
    // The two buttons of a card, in the bottom-right corner.
    static QRect deleteButtonRect(const QRect &stCard);
    static QRect rotateButtonRect(const QRect &stCard);

    void paint(QPainter *pPainter, const QStyleOptionViewItem &stOption, const QModelIndex &stIndex) const override;
    QSize sizeHint(const QStyleOptionViewItem &stOption, const QModelIndex &stIndex) const override;

protected:
    bool editorEvent(QEvent *pEvent, QAbstractItemModel *pModel, const QStyleOptionViewItem &stOption,
                     const QModelIndex &stIndex) override;

private:
    void paintDragMarks(QPainter *pPainter, const QRect &stCard, const QModelIndex &stIndex) const;
    void paintOwnDuration(QPainter *pPainter, const QRect &stCard, int64_t iDurationUs) const;

    ImageListView *m_pView;
    double m_lfRadius = 2.0;
    int m_iBorderWidth = 6;
    QSize m_stItemSize{120, 80};
    QPixmap m_stVideoIcon;
    QPixmap m_stImageIcon;
};
