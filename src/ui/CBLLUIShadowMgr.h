#pragma once

#include "app/SingletonCls.h"

#include <QObject>
#include <QWidget>

// The dark translucent layer over the main window while a dialog is open.
class CQWidgetShadow : public QWidget
{
    Q_OBJECT
public:
    explicit CQWidgetShadow(QWidget *pParent = nullptr);
};

// Shows the dimming layer when the first dialog opens and removes it when
// the last one closes.
class CBLLUIShadowMgr : public QObject, public SingletonCls<CBLLUIShadowMgr>
{
    Q_OBJECT
public:
    explicit CBLLUIShadowMgr(QObject *pParent = nullptr);
    ~CBLLUIShadowMgr() override;

    // Connects to the dialog manager's push and pop signals.
    void initialize();
    CQWidgetShadow *shadow() const { return m_pShadow; }

public Q_SLOTS:
    void sltDlgPush();
    void sltDlgPop();

private:
    CQWidgetShadow *m_pShadow = nullptr;
};
