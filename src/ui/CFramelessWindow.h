#pragma once

#include "app/SingletonCls.h"
#include "ui/CQWidgetEx.h"
#include "ui/QtInversionWidget.h"

#include <QRect>
#include <QSize>

class CFrameLessBottom;
class CFrameLessCaption;
class CQUIWindowDragger;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

// Holds the adapted window and the size its layout was designed for.
struct CQWindowAdaptor
{
    QWidget *pAdaptedWindow = nullptr;
    QSize stDesignSize;
};

// The main window: frameless, with its own caption (icon, name, menu,
// minimise, maximise/restore, close) and bottom bar, resizable by a band
// along its edges. It hosts the editor in "uiMain", carries the overlay that
// parents dialogs, receives the start-up events, and asks before closing:
// every close request, also from the window system, becomes signal_close()
// until closeWindow() is called.
class CFramelessWindow : public CQWidgetEx, public SingletonCls<CFramelessWindow>, public CQWindowAdaptor
{
    Q_OBJECT
public:
    static constexpr int kMinimumWidth = 902;
    static constexpr int kMinimumHeight = 600;
    static constexpr int kBorderWidth = 10;

    explicit CFramelessWindow(QWidget *pParent = nullptr);
    ~CFramelessWindow() override;

    // Puts a widget into the content area.
    void addContentWidget(QWidget *pWidget);
    QWidget *contentArea() const { return m_pMain; }
    // Parent of dialogs and of the dimming layer.
    QtInversionWidget *overlay() const { return m_pOverlay; }
    // Closes the window for good (the editor has agreed).
    void closeWindow();
    // The caption's menu and web dialog, and the bottom bar.
    CFrameLessCaption *caption() const { return m_pCaption; }
    CFrameLessBottom *bottomBar() const { return m_pBottomBar; }

    // The window's last settled geometry in the normal state, also when the
    // window manager maximised it; the normal size to go back to.
    QRect savedNormalGeometry() const { return m_stNormalGeometry; }
    bool readjustAfterScreenChange() const { return m_bReadjustAfterScreenChange; }
    // Leaves the maximised state with the normal frame.
    void showNormalFrame();

    // The window's size for a screen whose available area is stAvailable,
    // before the minimum size applies.
    static QSize sizeForScreen(const QSize &stAvailable);
    // Which edges of a window at stGeometry a point at stGlobal grabs, for a
    // band of iBorder pixels; the corners first.
    static Qt::Edges edgesAt(const QRect &stGeometry, const QPoint &stGlobal, int iBorder);
    static Qt::CursorShape cursorForEdges(Qt::Edges edges);
    // The geometry after dragging the grabbed edges of stStart to stGlobal,
    // kept within the size limits with the opposite edges in place.
    static QRect resizedGeometry(const QRect &stStart, const QPoint &stGlobal, Qt::Edges edges,
                                 const QSize &stMinimum, const QSize &stMaximum);

Q_SIGNALS:
    // The user asked to close the window.
    void signal_close();
    // The system is about to suspend.
    void signal_screenOut();

public Q_SLOTS:
    void on_applicationStateChanged(Qt::ApplicationState eState);
    void on_btnMini_clicked();
    void on_btnMax_clicked();
    void on_btnClose_clicked();
    void on_uiTitleBar_doubleClicked();
    void sltDpiChangeHandle(const QRect &stRect);
    void sltAdjustDpiHandle();
    // logind's PrepareForSleep: true before a suspend, false after resume.
    void sltPrepareForSleep(bool bSuspending);
    // The bottom bar's web panel finished loading: the start-up work may run.
    void sltAdvFinished(bool isOK);

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;
    void mousePressEvent(QMouseEvent *pEvent) override;
    void mouseReleaseEvent(QMouseEvent *pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent *pEvent) override;
    void moveEvent(QMoveEvent *pEvent) override;
    void resizeEvent(QResizeEvent *pEvent) override;
    void changeEvent(QEvent *pEvent) override;
    void closeEvent(QCloseEvent *pEvent) override;
    // Border resize on a mouse move: true when it resized the window.
    virtual bool borderResizeMouseMove(const QPoint &stGlobal);

private:
    void buildUi();
    void retranslateUi();
    void watchScreen(QScreen *pScreen);
    void setFrameStyle(bool bNormal);
    void setMaxButtonShowsMaximise(bool bMaximise);
    void toggleMaximise();
    // Notes the geometry once the window system's notices have settled: a
    // window manager's maximise may tell the new size before the new state.
    void noteNormalGeometrySoon();
    // Starts a press at stGlobal: true when it grabbed an edge.
    bool pressAt(const QPoint &stGlobal);
    void releasePress();
    void setWindowCursor(Qt::CursorShape eShape);

    QRect m_stNormalGeometry{0, 0, kMinimumWidth, kMinimumHeight};
    bool m_bNormalGeometryNoteDue = false;
    bool m_bReadjustAfterScreenChange = true;
    QRect m_stStartGeometry;
    quint8 m_iNormalMargin = 1;
    quint8 m_iBorderWidth = kBorderWidth;
    bool m_bPressed = false;
    Qt::Edges m_grabbedEdges;
    bool m_bCloseApproved = false;

    QVBoxLayout *m_pFrameLayout = nullptr;
    QWidget *m_pFrame = nullptr;
    CQUIWindowDragger *m_pTitleBar = nullptr;
    QLabel *m_pAppIcon = nullptr;
    QLabel *m_pAppName = nullptr;
    QPushButton *m_pBtnAppMenu = nullptr;
    QPushButton *m_pBtnMini = nullptr;
    QPushButton *m_pBtnMax = nullptr;
    QPushButton *m_pBtnClose = nullptr;
    QWidget *m_pMain = nullptr;
    QWidget *m_pBottom = nullptr;
    QtInversionWidget *m_pOverlay = nullptr;
    CFrameLessCaption *m_pCaption = nullptr;
    CFrameLessBottom *m_pBottomBar = nullptr;
};
