#pragma once

#include <QIcon>
#include <QItemDelegate>
#include <QListView>

class QComboBox;

// How the rows of a CQComboBox list look; set through the list view's
// properties.
struct CQComboBoxItemLook
{
    int iBorderWidth = 1;
    QColor stBorderColor;
    qreal lfBorderRadius = 0;
    int iItemHeight = -1;
    QColor stSelectionBackground;
    QColor stHoverBackground;
    QColor stSelectionColor;
    QColor stHoverColor;
    int iCheckedIconPosition = 1;
    QIcon stCheckedIcon;
    Qt::TextElideMode eElideMode = Qt::ElideNone;
    Qt::Alignment eAlignment = Qt::AlignLeft;
    int iLeftPadding = 0;
    int iRightPadding = 0;
    int iSeparatorWidth = 0;
    int iSeparatorHeight = 0;
    int iSeparatorOccupyHeight = 1;
    QColor stSeparatorColor{0, 0, 0};
    bool bSpecial = false;
};

// Draws the rows of a CQComboBox list.
class CQComboBoxItemDelegate : public QItemDelegate
{
    Q_OBJECT
public:
    enum Position { NonePosition = -1, LeftPosition = 0, RightPosition = 1 };
    Q_ENUM(Position)

    CQComboBoxItemDelegate(QObject *pParent, QComboBox *pComboBox);

    void paint(QPainter *pPainter, const QStyleOptionViewItem &stOption, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &stOption, const QModelIndex &index) const override;

    CQComboBoxItemLook look;

private:
    void paintSeparator(QPainter *pPainter, const QStyleOptionViewItem &stOption) const;

    QComboBox *m_pComboBox;
};

// The list of a CQComboBox; its properties are the style-sheet interface.
class CQComboBoxListView : public QListView
{
    Q_OBJECT
    Q_PROPERTY(int itemBorderWidth READ itemBorderWidth WRITE setItemBorderWidth)
    Q_PROPERTY(QColor itemBorderColor READ itemBorderColor WRITE setItemBorderColor)
    Q_PROPERTY(qreal itemBorderRadius READ itemBorderRadius WRITE setItemBorderRadius)
    Q_PROPERTY(int itemWidth READ itemWidth WRITE setItemWidth)
    Q_PROPERTY(int itemHeight READ itemHeight WRITE setItemHeight)
    Q_PROPERTY(QColor selectionBackgroudColor READ selectionBackgroudColor WRITE setSelectionBackgroudColor)
    Q_PROPERTY(QColor hoverBackgroudColor READ hoverBackgroudColor WRITE setHoverBackgroudColor)
    Q_PROPERTY(QColor selectionColor READ selectionColor WRITE setSelectionColor)
    Q_PROPERTY(QColor hoverColor READ hoverColor WRITE setHoverColor)
    Q_PROPERTY(CQComboBoxItemDelegate::Position checkedIconPosition READ checkedIconPosition WRITE
                   setCheckedIconPosition)
    Q_PROPERTY(QIcon checkedIcon READ checkedIcon WRITE setCheckedIcon)
    Q_PROPERTY(Qt::TextElideMode itemTextElideMode READ itemTextElideMode WRITE setItemTextElideMode)
    Q_PROPERTY(Qt::Alignment itemTextAlignment READ itemTextAlignment WRITE setItemTextAlignment)
    Q_PROPERTY(int itemContentLeftPadding READ itemContentLeftPadding WRITE setItemContentLeftPadding)
    Q_PROPERTY(int itemContentRightPadding READ itemContentRightPadding WRITE setItemContentRightPadding)
    Q_PROPERTY(int separatorWidth READ separatorWidth WRITE setSeparatorWidth)
    Q_PROPERTY(int separatorHeight READ separatorHeight WRITE setSeparatorHeight)
    Q_PROPERTY(int separatorOccupyHeight READ separatorOccupyHeight WRITE setSeparatorOccupyHeight)
    Q_PROPERTY(QColor separatorColor READ separatorColor WRITE setSeparatorColor)
    Q_PROPERTY(bool isSpecial READ isSpecial WRITE setIsSpecial)

public:
    explicit CQComboBoxListView(QComboBox *pComboBox);

    CQComboBoxItemDelegate *itemDelegate() const { return m_pDelegate; }

#define CQ_COMBO_LOOK(Type, Getter, Setter, Field)                                                                     \
    Type Getter() const { return Type(m_pDelegate->look.Field); }                                                      \
    void Setter(const Type &value) { m_pDelegate->look.Field = value; lookChanged(); }
    CQ_COMBO_LOOK(int, itemBorderWidth, setItemBorderWidth, iBorderWidth)
    CQ_COMBO_LOOK(QColor, itemBorderColor, setItemBorderColor, stBorderColor)
    CQ_COMBO_LOOK(qreal, itemBorderRadius, setItemBorderRadius, lfBorderRadius)
    CQ_COMBO_LOOK(int, itemHeight, setItemHeight, iItemHeight)
    CQ_COMBO_LOOK(QColor, selectionBackgroudColor, setSelectionBackgroudColor, stSelectionBackground)
    CQ_COMBO_LOOK(QColor, hoverBackgroudColor, setHoverBackgroudColor, stHoverBackground)
    CQ_COMBO_LOOK(QColor, selectionColor, setSelectionColor, stSelectionColor)
    CQ_COMBO_LOOK(QColor, hoverColor, setHoverColor, stHoverColor)
    CQ_COMBO_LOOK(QIcon, checkedIcon, setCheckedIcon, stCheckedIcon)
    CQ_COMBO_LOOK(Qt::TextElideMode, itemTextElideMode, setItemTextElideMode, eElideMode)
    CQ_COMBO_LOOK(Qt::Alignment, itemTextAlignment, setItemTextAlignment, eAlignment)
    CQ_COMBO_LOOK(int, itemContentLeftPadding, setItemContentLeftPadding, iLeftPadding)
    CQ_COMBO_LOOK(int, itemContentRightPadding, setItemContentRightPadding, iRightPadding)
    CQ_COMBO_LOOK(int, separatorWidth, setSeparatorWidth, iSeparatorWidth)
    CQ_COMBO_LOOK(int, separatorHeight, setSeparatorHeight, iSeparatorHeight)
    CQ_COMBO_LOOK(int, separatorOccupyHeight, setSeparatorOccupyHeight, iSeparatorOccupyHeight)
    CQ_COMBO_LOOK(QColor, separatorColor, setSeparatorColor, stSeparatorColor)
    CQ_COMBO_LOOK(bool, isSpecial, setIsSpecial, bSpecial)
#undef CQ_COMBO_LOOK

    CQComboBoxItemDelegate::Position checkedIconPosition() const
    {
        return static_cast<CQComboBoxItemDelegate::Position>(m_pDelegate->look.iCheckedIconPosition);
    }
    void setCheckedIconPosition(CQComboBoxItemDelegate::Position ePosition)
    {
        m_pDelegate->look.iCheckedIconPosition = ePosition;
        lookChanged();
    }
    int itemWidth() const { return width(); }
    void setItemWidth(int iWidth) { setFixedWidth(iWidth); }

protected:
    void paintEvent(QPaintEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;
    QStyleOptionViewItem viewOptions() const override;

private:
    // Row sizes depend on the look: lay the rows out again.
    void lookChanged();

    QComboBox *m_pComboBox;
    CQComboBoxItemDelegate *m_pDelegate;
};
