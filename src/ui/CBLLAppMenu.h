#pragma once

#include "app/SingletonCls.h"

#include <QObject>

class QWidget;

// The application menu of the caption's menu button: help, update check,
// feedback and about. Built afresh for every opening.
class CBLLAppMenu : public QObject, public SingletonCls<CBLLAppMenu>
{
    Q_OBJECT
public:
    explicit CBLLAppMenu(QWidget *pMainWindow);

public Q_SLOTS:
    void sltAppMenu();
    void sltSoftHelp();
    void sltAboutUs();

private:
    QWidget *m_pMainWindow;
};
