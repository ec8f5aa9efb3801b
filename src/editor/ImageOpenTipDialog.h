#pragma once

#include <QWidget>

class QLabel;

// The bubble "Please add materials first~" over the empty material area: a
// frameless, see-through child widget with one word-wrapped label filling it.
// The editor sizes, places and animates it.
class ImageOpenTipDialog : public QWidget
{
    Q_OBJECT
public:
    explicit ImageOpenTipDialog(QWidget *pParent = nullptr);

    void setText(const QString &szText);
    QString text() const;
    // At least iWidth, wider when the text needs it on one line.
    int widthFor(int iWidth) const;

private:
    QLabel *m_pLabel = nullptr;
};
