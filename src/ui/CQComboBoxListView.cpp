#include "ui/CQComboBoxListView.h"

#include "ui/CQWidgetEx.h"

#include <QComboBox>
#include <QPainter>
#include <QPainterPath>
#include <QPaintEvent>
#include <QStyleOptionMenuItem>

namespace {

bool isSeparator(const QModelIndex &index)
{
    return index.data(Qt::AccessibleDescriptionRole).toString() == QLatin1String("separator");
}

} // namespace

CQComboBoxItemDelegate::CQComboBoxItemDelegate(QObject *pParent, QComboBox *pComboBox)
    : QItemDelegate(pParent)
    , m_pComboBox(pComboBox)
{
    const QPalette &stPalette = pComboBox->palette();
    look.stBorderColor = stPalette.color(QPalette::Text);
    look.stSelectionBackground = stPalette.color(QPalette::Highlight);
    look.stSelectionColor = stPalette.color(QPalette::HighlightedText);
}

QSize CQComboBoxItemDelegate::sizeHint(const QStyleOptionViewItem &stOption, const QModelIndex &index) const
{
    if (isSeparator(index))
        return QSize(look.iSeparatorOccupyHeight, look.iSeparatorOccupyHeight);
    QSize stSize = QItemDelegate::sizeHint(stOption, index);
    if (look.iItemHeight != -1)
        stSize.setHeight(look.iItemHeight);
    return stSize;
}

void CQComboBoxItemDelegate::paintSeparator(QPainter *pPainter, const QStyleOptionViewItem &stOption) const
{
    QRect stRect = stOption.rect;
    if (auto *pView = qobject_cast<const QAbstractItemView *>(stOption.widget))
        stRect.setWidth(pView->viewport()->width());
    if (look.iSeparatorWidth != 0 && look.iSeparatorHeight != 0) {
        pPainter->save();
        pPainter->setPen(QPen(look.stSeparatorColor, look.iSeparatorHeight));
        const qreal y = stRect.top() + stRect.height() / 2.0;
        pPainter->drawLine(QPointF(stRect.left(), y), QPointF(look.iSeparatorWidth, y));
        pPainter->restore();
        return;
    }
    QStyleOption stSeparator;
    stSeparator.rect = stRect;
    stSeparator.palette = stOption.palette;
    stSeparator.state = stOption.state;
    m_pComboBox->style()->drawPrimitive(QStyle::PE_IndicatorToolBarSeparator, &stSeparator, pPainter,
                                        m_pComboBox);
}

void CQComboBoxItemDelegate::paint(QPainter *pPainter, const QStyleOptionViewItem &stOption,
                                   const QModelIndex &index) const
{
    if (isSeparator(index)) {
        paintSeparator(pPainter, stOption);
        return;
    }
    pPainter->save();
    pPainter->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QRect stRect = stOption.rect;
    const bool bEnabled = (stOption.state & QStyle::State_Enabled) && (index.flags() & Qt::ItemIsEnabled);
    const bool bHovered = stOption.state & QStyle::State_MouseOver;
    const bool bCurrent = index.row() == m_pComboBox->currentIndex();

    if ((bHovered || bCurrent) && bEnabled) {
        pPainter->save();
        pPainter->setPen(look.iBorderWidth > 0 ? QPen(look.stBorderColor, look.iBorderWidth) : QPen(Qt::NoPen));
        QPainterPath stShape;
        stShape.addRoundedRect(stRect, look.lfBorderRadius, look.lfBorderRadius);
        pPainter->setClipPath(stShape);
        const QColor stFill = bHovered && !bCurrent && look.stHoverBackground.isValid() ? look.stHoverBackground
                                                                                         : look.stSelectionBackground;
        pPainter->setBrush(stFill.isValid() ? QBrush(stFill) : QBrush(Qt::NoBrush));
        pPainter->drawPath(stShape);
        pPainter->restore();
    }

    const QSize stIconSize = m_pComboBox->iconSize();
    auto iconRect = [&](int x) {
        return QRect(QPoint(x, stRect.top() + (stRect.height() - stIconSize.height()) / 2), stIconSize);
    };
    if (bCurrent && !look.stCheckedIcon.isNull()) {
        int x = 0;
        if (look.iCheckedIconPosition == CQComboBoxItemDelegate::LeftPosition)
            x = stRect.left() + 8;
        else if (look.iCheckedIconPosition == CQComboBoxItemDelegate::RightPosition)
            x = stRect.right() + 1 - stIconSize.width() - 8;
        look.stCheckedIcon.paint(pPainter, iconRect(x));
    }
    if (look.bSpecial && index.row() == index.model()->rowCount(index.parent()) - 1) {
        const QPixmap stInfo = resourcePixmap(QStringLiteral(":/theme_local/imgs/preview_describe_icon.png"), QSize(9, 9));
        pPainter->drawPixmap(QRect(stRect.right() + 1 - 8 - 9, stRect.top() + (stRect.height() - 9) / 2, 9, 9), stInfo);
    }

    int iTextLeft = stRect.left() + look.iLeftPadding;
    const QIcon stRowIcon = qvariant_cast<QIcon>(index.data(Qt::DecorationRole));
    if (!stRowIcon.isNull()) {
        const QRect stIcon = iconRect(stRect.left() + look.iLeftPadding);
        stRowIcon.paint(pPainter, stIcon);
        iTextLeft = stIcon.right() + 1 + 6;
    }
    const QString szText = index.data(Qt::DisplayRole).toString();
    if (!szText.isEmpty()) {
        QRect stTextRect = stRect;
        stTextRect.setLeft(iTextLeft);
        stTextRect.setRight(stRect.right() - look.iRightPadding);
        QColor stPen;
        if (!bEnabled)
            stPen = QColor(0x7f, 0x7f, 0x7f);
        else if (bCurrent)
            stPen = look.stSelectionColor;
        else if (bHovered)
            stPen = look.stHoverColor.isValid() ? look.stHoverColor : look.stSelectionColor;
        if (stPen.isValid())
            pPainter->setPen(stPen);
        else
            pPainter->setPen(stOption.palette.color(QPalette::Text));
        pPainter->setFont(stOption.font);
        const QString szShown = stOption.fontMetrics.elidedText(szText, look.eElideMode, stTextRect.width());
        pPainter->drawText(stTextRect, static_cast<int>(look.eAlignment), szShown);
    }
    pPainter->restore();
}

CQComboBoxListView::CQComboBoxListView(QComboBox *pComboBox)
    : QListView(pComboBox)
    , m_pComboBox(pComboBox)
    , m_pDelegate(new CQComboBoxItemDelegate(this, pComboBox))
{
    setItemDelegate(m_pDelegate);
}

void CQComboBoxListView::lookChanged()
{
    scheduleDelayedItemsLayout();
    viewport()->update();
}

void CQComboBoxListView::paintEvent(QPaintEvent *pEvent)
{
    QStyleOptionComboBox stCombo;
    stCombo.initFrom(m_pComboBox);
    if (m_pComboBox->style()->styleHint(QStyle::SH_ComboBox_Popup, &stCombo, m_pComboBox)) {
        QStyleOptionMenuItem stMenu;
        stMenu.initFrom(this);
        stMenu.palette = palette();
        stMenu.state = QStyle::State_None;
        stMenu.checkType = QStyleOptionMenuItem::NotCheckable;
        stMenu.menuRect = pEvent->rect();
        stMenu.maxIconWidth = 0;
        stMenu.tabWidth = 0;
        QPainter painter(viewport());
        style()->drawControl(QStyle::CE_MenuEmptyArea, &stMenu, &painter, this);
    }
    QListView::paintEvent(pEvent);
}

void CQComboBoxListView::resizeEvent(QResizeEvent *pEvent)
{
    resizeContents(viewport()->width(), contentsSize().height());
    QListView::resizeEvent(pEvent);
}

QStyleOptionViewItem CQComboBoxListView::viewOptions() const
{
    QStyleOptionViewItem stOption = QListView::viewOptions();
    stOption.showDecorationSelected = true;
    stOption.font = m_pComboBox->font();
    return stOption;
}
