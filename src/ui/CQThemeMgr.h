#pragma once

#include "app/SingletonCls.h"

#include <QObject>
#include <QString>

class QWidget;

// Maps a relative resource name (imgs/..., gif/..., qss/...) to the file the
// current theme provides, falling back to the built-in default theme.
class CQThemeMgr : public QObject, public SingletonCls<CQThemeMgr>
{
    Q_OBJECT
public:
    explicit CQThemeMgr(QObject *pParent = nullptr) : QObject(pParent) {}

    QString currentTheme() const { return m_szCurrentTheme; }
    // The program selects no theme; tests and a future theme switch use this.
    void setCurrentTheme(const QString &szTheme) { m_szCurrentTheme = szTheme; }
    bool lastLookupFound() const { return m_bFound; }

    // Path of the file to use: the current theme's folder beside the program,
    // else resolveResource().
    QString resolve(const QString &szRelative);
    // Resource path of the file to use: the current theme's resource, else the
    // default theme's (unchecked).
    QString resolveResource(const QString &szRelative);
    // Replaces the widget's style sheet with "<theme>/qss/<objectName>.qss".
    bool applyThemeStyle(QWidget *pWidget);

    // The default theme's style sheet for an object name (its built-in look);
    // empty when there is none.
    static QString builtInStyleSheet(const QString &szObjectName);
    // A style sheet file read whole as UTF-8; empty when it cannot be read.
    static QString readStyleSheet(const QString &szPath);

private:
    QString m_szCurrentTheme;
    QString m_szDefaultTheme = QStringLiteral("theme_default");
    bool m_bFound = false;
};
