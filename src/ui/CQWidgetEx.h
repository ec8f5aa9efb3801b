#pragma once

#include <QColor>
#include <QPointF>
#include <QWidget>

class CQWidgetEx : public QWidget
{
    Q_OBJECT
public:
    explicit CQWidgetEx(QWidget *pParent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags())
        : QWidget(pParent, flags) {}
};

// Gives the widget a drop-shadow graphics effect.
void addDropShadow(QWidget *pWidget, const QPointF &stOffset, const QColor &stColor, qreal lfBlurRadius);
// Centres pWidget on pReference, or on the screen that holds the main
// window's centre when pReference is null. False for a null widget.
bool centerWidget(QWidget *pWidget, QWidget *pReference = nullptr);
// Sets a dynamic property and re-polishes so that style-sheet selectors on it apply.
bool setStyleProperty(QWidget *pWidget, const QString &szName, const QString &szValue);
