#pragma once

#include <QColor>
#include <QPointF>
#include <QWidget>

class QLayout;
class QPixmap;
class QPushButton;

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
// Moves a window up so that its bottom edge stays within its screen's
// available area, then right so that its left edge does.
void keepOnScreen(QWidget *pWindow);
// A flat push button drawn by style sheets, with the pointing-hand cursor;
// the keyboard reaches it with Tab.
QPushButton *flatButton(QWidget *pParent, const char *pszName);
// Sets a dynamic property and re-polishes so that style-sheet selectors on it apply.
bool setStyleProperty(QWidget *pWidget, const QString &szName, const QString &szValue);

// A tool tip that shows szText as it is: Qt renders a tip that looks like
// markup ("<b>x</b>.jpg") as rich text, so paths and error texts go through here.
QString plainToolTip(const QString &szText);

// Whether top-level windows can be see-through: a compositing manager runs
// (always on Wayland). Without one, translucent pixels of a window show black.
bool windowTranslucencyAvailable();

// Frames a dialog drawn by style sheets: with a compositor the dialog is
// translucent with a drop shadow in the pOuter margin of iShadowMargin; without
// one it is opaque, its frame square (the frame's "qstyle" becomes "square")
// and the margin goes (a fixed size shrinks by it). Returns whether the
// translucent look applies.
bool setUpDialogFrame(QWidget *pDialog, QWidget *pFrame, QLayout *pOuter, int iShadowMargin);

// A resource picture at its logical size for the screen's density (the
// "@2x" file on high-density screens).
QPixmap resourcePixmap(const QString &szPath, const QSize &stLogicalSize);
