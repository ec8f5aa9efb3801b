#include "ui/CQUIPushButton.h"

#include <QPainter>
#include <QStyleOptionButton>

CQUIPushButton::CQUIPushButton(QWidget *pParent)
    : QPushButton(pParent)
{
}

void CQUIPushButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QStyleOptionButton stOption;
    initStyleOption(&stOption);
    style()->drawControl(QStyle::CE_PushButton, &stOption, &painter, this);
}
