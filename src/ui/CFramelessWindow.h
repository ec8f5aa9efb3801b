#pragma once

#include "app/SingletonCls.h"
#include "ui/CQWidgetEx.h"

#include <QSize>

// The main window. It hosts the editor in its content area "uiMain", is the
// receiver of the start-up events and filters every event of the application
// so that start-up work runs inside the event loop.
class CFramelessWindow : public CQWidgetEx, public SingletonCls<CFramelessWindow>
{
    Q_OBJECT
public:
    static constexpr int kMinimumWidth = 902;
    static constexpr int kMinimumHeight = 600;

    explicit CFramelessWindow(QWidget *pParent = nullptr);
    ~CFramelessWindow() override;

    // Puts a widget into the content area.
    void addContentWidget(QWidget *pWidget);
    QWidget *contentArea() const { return m_pMain; }
    // Where the dimming layer of open dialogs goes.
    QWidget *shadowHost() { return this; }

    // The window's size for a screen whose available area is stAvailable,
    // before the minimum size applies.
    static QSize sizeForScreen(const QSize &stAvailable);

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;
    void showEvent(QShowEvent *pEvent) override;

private:
    QWidget *m_pFrame = nullptr;
    QWidget *m_pMain = nullptr;
    bool m_bUiInitialisedPosted = false;
};
