#pragma once

#include <QListView>
#include <QStringList>

class QStringListModel;

// One of the three lists of the font dialog (families, styles, sizes): a
// read-only list of strings that reports the row that becomes current.
class FontListView : public QListView
{
    Q_OBJECT
public:
    explicit FontListView(QWidget *pParent = nullptr);

    void setItems(const QStringList &listItems);
    int count() const;
    // -1 when no item is current.
    int currentItem() const;
    // Empty when no item is current.
    QString currentText() const;
    void setCurrentItem(int iRow);
    QString text(int iRow) const;

Q_SIGNALS:
    // The row of the new current item; only for valid items.
    void highlighted(int iRow);

protected:
    void currentChanged(const QModelIndex &stCurrent, const QModelIndex &stPrevious) override;

private:
    QStringListModel *m_pModel = nullptr;
};
