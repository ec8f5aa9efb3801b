#include "editor/ImageListItemDelegate.h"

#include "album/AlbumProjectState.h"
#include "editor/ImageListItemModel.h"
#include "editor/ImageListView.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kCardColor(0xD9, 0xD9, 0xD9);
const QColor kHoverShade(0x33, 0x33, 0x33, 0x7F);
const QColor kSelectionColor(0x5C, 0x46, 0xF4);
const QColor kDraggedShade(51, 51, 51, 127);
const QColor kDropMarker(254, 162, 244, 127);
const QColor kBadgeColor(0x5C, 0x46, 0xF4, 0xD8);
constexpr int kDropMarkerWidth = 10;

const QPixmap &buttonPixmap(const QString &szPath)
{
    // Four pictures, loaded once each.
    static QHash<QString, QPixmap> s_cache;
    auto it = s_cache.find(szPath);
    if (it == s_cache.end())
        it = s_cache.insert(szPath, QPixmap(szPath));
    return *it;
}

} // namespace

ImageListItemDelegate::ImageListItemDelegate(ImageListView *pView)
    : QStyledItemDelegate(pView)
    , m_pView(pView)
    , m_stVideoIcon(QStringLiteral(":/theme_local/imgs/videoType.png"))
    , m_stImageIcon(QStringLiteral(":/theme_local/imgs/imageType.png"))
{
}

QRect ImageListItemDelegate::cardRect(const QRect &stVisual)
{
    return QRect(stVisual.topLeft(), QSize(120, 80));
}

QRect ImageListItemDelegate::deleteButtonRect(const QRect &stCard)
{
    return QRect(stCard.x() + stCard.width() - kButtonSize - 4, stCard.y() + stCard.height() - kButtonSize - 4,
                 kButtonSize, kButtonSize);
}

QRect ImageListItemDelegate::rotateButtonRect(const QRect &stCard)
{
    return QRect(stCard.x() + stCard.width() - kButtonSize - kButtonSize - 8,
                 stCard.y() + stCard.height() - kButtonSize - 4, kButtonSize, kButtonSize);
}

void ImageListItemDelegate::paint(QPainter *pPainter, const QStyleOptionViewItem &stOption,
                                  const QModelIndex &stIndex) const
{
    if (!stIndex.isValid())
        return;
    const QRect r = cardRect(stOption.rect);
    const bool bHover = stOption.state & QStyle::State_MouseOver;
    const bool bSelected = stOption.state & QStyle::State_Selected;
    const bool bImage = stIndex.data(Qt::UserRole).toInt() == SourceImage;

    pPainter->save();
    pPainter->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath outline;
    outline.addRoundedRect(r, m_lfRadius, m_lfRadius);
    pPainter->setClipPath(outline);
    pPainter->setPen(Qt::NoPen);
    pPainter->fillRect(r, kCardColor);

    const QPixmap stThumb = stIndex.data(Qt::BackgroundRole).value<QBrush>().texture();
    if (!stThumb.isNull()) {
        const QSize stSize = stThumb.size() / stThumb.devicePixelRatio();
        pPainter->drawPixmap(r.x() + (r.width() - stSize.width()) / 2, r.y() + (r.height() - stSize.height()) / 2,
                             stThumb);
    }
    if (bHover)
        pPainter->fillRect(r, kHoverShade);
    if (bSelected && (!m_pView || m_pView->showSelectionBorder())) {
        // Centred on the outline: the outer half is clipped away.
        QPen pen(kSelectionColor, m_iBorderWidth, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
        pPainter->setPen(pen);
        pPainter->setBrush(Qt::NoBrush);
        pPainter->drawRoundedRect(r, m_lfRadius, m_lfRadius);
        pPainter->setPen(Qt::NoPen);
    }
    pPainter->drawPixmap(QRect(r.x() + 4, r.y() + 4, 16, 16), bImage ? m_stImageIcon : m_stVideoIcon);
    if (bImage)
        paintOwnDuration(pPainter, r, stIndex.data(ImageListItemModel::OwnDurationRole).toLongLong());

    if (bHover || bSelected) {
        const bool bHoveredRow = m_pView && m_pView->hoverRow() == stIndex.row();
        const bool bOverDelete = bHoveredRow && m_pView->isOverDeleteButton();
        pPainter->drawPixmap(deleteButtonRect(r),
                             buttonPixmap(bOverDelete ? QStringLiteral(":/theme_local/imgs/deleteImage-1.png")
                                                      : QStringLiteral(":/theme_local/imgs/deleteImage.png")));
        if (bImage) {
            const bool bOverRotate = bHoveredRow && m_pView->isOverRotateButton();
            pPainter->drawPixmap(rotateButtonRect(r),
                                 buttonPixmap(bOverRotate ? QStringLiteral(":/theme_local/imgs/transposeImage-1.png")
                                                          : QStringLiteral(":/theme_local/imgs/transposeImage.png")));
        }
    }
    // Only while the drag is over the strip: outside it nothing would drop.
    if (m_pView && m_pView->isDraggingInside() && m_pView->dragRow() == stIndex.row())
        pPainter->fillRect(r, kDraggedShade);
    pPainter->restore();

    paintDragMarks(pPainter, r, stIndex);
}

// A photo with a duration of its own says so in its lower left corner.
void ImageListItemDelegate::paintOwnDuration(QPainter *pPainter, const QRect &stCard, int64_t iDurationUs) const
{
    if (iDurationUs <= 0)
        return;
    const QString szText = ImageListItemModel::durationText(iDurationUs);
    QFont stFont = pPainter->font();
    stFont.setPixelSize(11);
    stFont.setBold(true);
    const QFontMetrics stMetrics(stFont);
    const QRect stBadge(stCard.x() + 4, stCard.bottom() - 4 - 16, stMetrics.horizontalAdvance(szText) + 10, 16);
    pPainter->save();
    pPainter->setPen(Qt::NoPen);
    pPainter->setBrush(kBadgeColor);
    pPainter->drawRoundedRect(stBadge, 3, 3);
    pPainter->setFont(stFont);
    pPainter->setPen(Qt::white);
    pPainter->drawText(stBadge, Qt::AlignCenter, szText);
    pPainter->restore();
}

void ImageListItemDelegate::paintDragMarks(QPainter *pPainter, const QRect &stCard, const QModelIndex &stIndex) const
{
    if (!m_pView || !m_pView->isDraggingInside() || m_pView->dropRow() < 0)
        return;
    const int iSpacing = m_pView->spacing();
    const int iDropRow = m_pView->dropRow();
    const int iLastRow = stIndex.model()->rowCount() - 1;
    int x = 0;
    if (iDropRow == stIndex.row())
        x = stCard.x() - iSpacing / 2 - kDropMarkerWidth / 2;   // the gap before this item
    else if (iDropRow > iLastRow && stIndex.row() == iLastRow)
        x = stCard.x() + stCard.width() + iSpacing / 2 - kDropMarkerWidth / 2;   // after the last
    else
        return;
    pPainter->save();
    pPainter->setRenderHint(QPainter::Antialiasing);
    pPainter->setPen(Qt::NoPen);
    pPainter->setBrush(kDropMarker);
    pPainter->drawRoundedRect(QRectF(x, stCard.y(), kDropMarkerWidth, stCard.height()), m_lfRadius, m_lfRadius);
    pPainter->restore();
}

QSize ImageListItemDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return m_stItemSize;
}

bool ImageListItemDelegate::editorEvent(QEvent *pEvent, QAbstractItemModel *pModel,
                                        const QStyleOptionViewItem &stOption, const QModelIndex &stIndex)
{
    if (pEvent->type() == QEvent::MouseButtonDblClick) {
        // Swallowed: a double click opens no editor and changes nothing.
        pModel->setData(stIndex, stIndex.data(Qt::UserRole), Qt::UserRole);
        return true;
    }
    return QStyledItemDelegate::editorEvent(pEvent, pModel, stOption, stIndex);
}
