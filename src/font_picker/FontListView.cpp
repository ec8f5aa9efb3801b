#include "font_picker/FontListView.h"

#include <QStringListModel>

FontListView::FontListView(QWidget *pParent)
    : QListView(pParent)
    , m_pModel(new QStringListModel(this))
{
    setModel(m_pModel);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void FontListView::setItems(const QStringList &listItems)
{
    m_pModel->setStringList(listItems);
}

int FontListView::count() const
{
    return m_pModel->rowCount();
}

int FontListView::currentItem() const
{
    const QModelIndex stIndex = currentIndex();
    return stIndex.isValid() ? stIndex.row() : -1;
}

QString FontListView::currentText() const
{
    const int iRow = currentItem();
    return iRow >= 0 ? text(iRow) : QString();
}

void FontListView::setCurrentItem(int iRow)
{
    setCurrentIndex(m_pModel->index(iRow, 0));
}

QString FontListView::text(int iRow) const
{
    return m_pModel->data(m_pModel->index(iRow, 0), Qt::DisplayRole).toString();
}

void FontListView::currentChanged(const QModelIndex &stCurrent, const QModelIndex &stPrevious)
{
    QListView::currentChanged(stCurrent, stPrevious);
    if (stCurrent.isValid())
        Q_EMIT highlighted(stCurrent.row());
}
