#pragma once

#include "app/SingletonCls.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QWidget>

// The dark translucent layer over the main window while a dialog is open.
class CQWidgetShadow : public QWidget
{
    Q_OBJECT
public:
    explicit CQWidgetShadow(QWidget *pParent = nullptr);

    // The layer's colour. Native child windows (the preview's display) lie
    // above the layer and dim what they draw with it themselves.
    static QColor dimmingColour();
};

// Shows the dimming layer (inside the main window's overlay) while any
// dialog is open: the dialog manager's dialogs, and the dialogs of other
// classes that call sltDlgPush() when shown and sltDlgPop() when hidden.
class CBLLUIShadowMgr : public QObject, public SingletonCls<CBLLUIShadowMgr>
{
    Q_OBJECT
public:
    explicit CBLLUIShadowMgr(QObject *pParent = nullptr);
    ~CBLLUIShadowMgr() override;

    // Connects to the dialog manager's push and pop signals.
    void initialize();
    CQWidgetShadow *shadow() const { return m_pShadow; }
    bool isDimming() const { return !m_pShadow.isNull(); }

Q_SIGNALS:
    // The layer came or went.
    void sigDimmingChanged(bool bDimming);

public Q_SLOTS:
    // A dialog outside the dialog manager was shown / hidden. Pushes are
    // counted, so the layer stays while any of those dialogs is open.
    void sltDlgPush();
    void sltDlgPop();

private Q_SLOTS:
    void showLayer();
    void removeLayerWhenIdle();

private:
    // The overlay owns the layer and may go first at teardown.
    QPointer<CQWidgetShadow> m_pShadow;
    int m_iDirectPushes = 0;
};

// The push of one dialog outside the dialog manager: at most one push per
// showing, so a hide followed by the dialog's destruction cannot pop twice.
class CQShadowPush
{
public:
    CQShadowPush() = default;
    CQShadowPush(const CQShadowPush &) = delete;
    CQShadowPush &operator=(const CQShadowPush &) = delete;
    ~CQShadowPush() { setDimmed(false); }

    void setDimmed(bool bDimmed);

private:
    bool m_bDimmed = false;
};
