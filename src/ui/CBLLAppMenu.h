#pragma once

#include "app/SingletonCls.h"

#include <QObject>

class QWidget;

// The application menu of the caption's menu button: open and save an
// album, help, update check, feedback and about. Built afresh for every
// opening. The album entries are the editor's: it listens to their signals.
class CBLLAppMenu : public QObject, public SingletonCls<CBLLAppMenu>
{
    Q_OBJECT
public:
    explicit CBLLAppMenu(QWidget *pMainWindow);

Q_SIGNALS:
    void sig_openAlbum();
    void sig_saveAlbum();

public Q_SLOTS:
    void sltAppMenu();
    void sltSoftHelp();
    void sltAboutUs();

private:
    QWidget *m_pMainWindow;
};
