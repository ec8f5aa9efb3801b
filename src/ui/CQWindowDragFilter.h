#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

// Moves a frameless window while the left button is held on it: on the
// window itself or on a child that leaves the press to it (labels, panels).
// It installs itself on the window and passes every event on.
class CQWindowDragFilter : public QObject
{
    Q_OBJECT
public:
    explicit CQWindowDragFilter(QWidget *pWindow);

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    QWidget *m_pWindow;
    bool m_bDragging = false;
    QPoint m_stPressGlobal;
    QPoint m_stPressWindowPos;
};
