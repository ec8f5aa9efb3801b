#include "app/ProgramFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The installation prefix of a program folder (its bin or helper folder),
// or empty when the folder is not part of an installed tree.
QString installPrefixOf(const QString &szProgramFolder)
{
    const QString szFolder = QDir::cleanPath(szProgramFolder);
    for (const char *pszSub : {PICTORA_INSTALL_BINDIR, PICTORA_INSTALL_HELPERDIR}) {
        const QString szSuffix = QLatin1Char('/') + QLatin1String(pszSub);
        if (!szFolder.endsWith(szSuffix))
            continue;
        const QString szPrefix = szFolder.left(szFolder.size() - szSuffix.size());
        // The build tree has a bin folder too, but no data folder beside it.
        if (QFileInfo(szPrefix + QLatin1Char('/') + QLatin1String(PICTORA_INSTALL_DATADIR)).isDir())
            return szPrefix.isEmpty() ? QStringLiteral("/") : szPrefix;
    }
    return QString();
}

QString inPrefix(const QString &szPrefix, const char *pszSub)
{
    return QDir::cleanPath(szPrefix + QLatin1Char('/') + QLatin1String(pszSub));
}

// From /proc/self/exe rather than the application object, so that it also
// answers before that exists (the web-engine probe runs first).
QString programFolder()
{
    static const QString s_szFolder =
        QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    return s_szFolder;
}

} // namespace

QString programDataFolderOf(const QString &szProgramFolder)
{
    const QString szPrefix = installPrefixOf(szProgramFolder);
    return szPrefix.isEmpty() ? QDir::cleanPath(szProgramFolder) : inPrefix(szPrefix, PICTORA_INSTALL_DATADIR);
}

QString helperProgramFolderOf(const QString &szProgramFolder)
{
    const QString szPrefix = installPrefixOf(szProgramFolder);
    return szPrefix.isEmpty() ? QDir::cleanPath(szProgramFolder) : inPrefix(szPrefix, PICTORA_INSTALL_HELPERDIR);
}

QString programDataFolder()
{
    return programDataFolderOf(programFolder());
}

QString helperProgramFolder()
{
    return helperProgramFolderOf(programFolder());
}
