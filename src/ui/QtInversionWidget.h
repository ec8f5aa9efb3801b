#pragma once

#include "app/SingletonCls.h"

#include <QWidget>

// The main window's overlay: a transparent child covering the whole window,
// above everything else in it. Dialogs take it as their parent (they stay
// windows of their own) and the dimming layer is put into it. It lets the
// mouse through to the window below while nothing is shown in it.
class QtInversionWidget : public QWidget, public SingletonCls<QtInversionWidget>
{
    Q_OBJECT
public:
    explicit QtInversionWidget(QWidget *pParent);

protected:
    bool event(QEvent *pEvent) override;
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;
    // What is shown inside (the dimming layer) covers the whole overlay.
    void resizeEvent(QResizeEvent *pEvent) override;

private:
    void updateMouseTransparency();
};
