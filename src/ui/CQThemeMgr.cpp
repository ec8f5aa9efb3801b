#include "ui/CQThemeMgr.h"

#include "app/ProgramFolders.h"

#include <QFile>
#include <QWidget>

namespace {

bool canOpen(const QString &szPath)
{
    QFile file(szPath);
    return file.open(QIODevice::ReadOnly);
}

void clearStyleSheets(QWidget *pWidget)
{
    pWidget->setStyleSheet(QString());
    const auto children = pWidget->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *pChild : children)
        clearStyleSheets(pChild);
}

} // namespace

QString CQThemeMgr::resolve(const QString &szRelative)
{
    if (!m_szCurrentTheme.isEmpty() && !szRelative.isEmpty()) {
        const QString szPath = QStringLiteral("%1/%2/%3")
                                   .arg(programDataFolder(), m_szCurrentTheme, szRelative);
        if (canOpen(szPath)) {
            m_bFound = true;
            return szPath;
        }
    }
    m_bFound = false;
    return resolveResource(szRelative);
}

QString CQThemeMgr::resolveResource(const QString &szRelative)
{
    if (!m_szCurrentTheme.isEmpty() && !szRelative.isEmpty()) {
        const QString szPath = QStringLiteral(":/%1/%2").arg(m_szCurrentTheme, szRelative);
        if (canOpen(szPath)) {
            m_bFound = true;
            return szPath;
        }
    }
    m_bFound = false;
    return QStringLiteral(":/%1/%2").arg(m_szDefaultTheme, szRelative);
}

QString CQThemeMgr::readStyleSheet(const QString &szPath)
{
    QFile file(szPath);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QString CQThemeMgr::builtInStyleSheet(const QString &szObjectName)
{
    return readStyleSheet(QStringLiteral(":/theme_default/qss/%1.qss").arg(szObjectName));
}

bool CQThemeMgr::applyThemeStyle(QWidget *pWidget)
{
    if (m_szCurrentTheme.isEmpty() || !pWidget || pWidget->objectName().isEmpty())
        return false;
    const QString szName = QStringLiteral("%1/qss/%2.qss").arg(m_szCurrentTheme, pWidget->objectName());
    QFile file(QStringLiteral("%1/%2").arg(programDataFolder(), szName));
    if (!file.open(QIODevice::ReadOnly)) {
        file.setFileName(QStringLiteral(":/%1").arg(szName));
        if (!file.open(QIODevice::ReadOnly))
            return false;
    }
    const QByteArray data = file.readAll();
    if (data.isEmpty())
        return false;
    clearStyleSheets(pWidget);
    pWidget->setStyleSheet(QString::fromUtf8(data));
    return true;
}
