#include "export_dialogs/ExportTarget.h"

#include "album/AlbumProjectState.h"
#include "media/export/TemporaryOutput.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <climits>

#include <unistd.h>

bool isValidFileName(const QString &szName)
{
    if (szName.isEmpty())
        return false;
    for (const QChar c : szName) {
        if (c.unicode() < 32)
            return false;
    }
    for (const QChar c : szName) {
        if (QStringLiteral("/\\<>:\"|?*").contains(c))
            return false;
    }
    static const QSet<QString> s_setReserved = [] {
        QSet<QString> set{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"), QStringLiteral("NUL")};
        for (int i = 0; i <= 9; ++i) {
            set.insert(QStringLiteral("COM%1").arg(i));
            set.insert(QStringLiteral("LPT%1").arg(i));
        }
        return set;
    }();
    if (s_setReserved.contains(szName.toUpper()))
        return false;
    if (szName.endsWith(QLatin1Char(' ')))
        return false;
    return !isFileNameTooLong(szName);
}

bool isFileNameTooLong(const QString &szName)
{
    return szName.toUtf8().size() > kMaxFileNameBytes;
}

bool exportPathFits(const QString &szTarget)
{
    const std::string szUtf8 = szTarget.toUtf8().toStdString();
    return szUtf8.size() < PATH_MAX && temporaryOutputName(szUtf8, "000000").size() < PATH_MAX;
}

bool prepareExportFolder(const QString &szDir)
{
    if (szDir.isEmpty() || !QDir().mkpath(szDir) || !QFileInfo(szDir).isDir())
        return false;
    return ::access(QFile::encodeName(szDir).constData(), W_OK | X_OK) == 0;
}

ExportTargetState inspectExportTarget(const QString &szPath, const QStringList &listInputs)
{
    const QFileInfo info(szPath);
    if (!info.exists() && !info.isSymLink())
        return ExportTargetState::Free;
    const QString szCanonical = info.canonicalFilePath();
    for (const QString &szInput : listInputs) {
        if (!szCanonical.isEmpty() && QFileInfo(szInput).canonicalFilePath() == szCanonical)
            return ExportTargetState::Input;
    }
    if (info.isSymLink() || !info.isFile())
        return ExportTargetState::Taken;
    return ExportTargetState::File;
}

QStringList albumInputFiles(const AlbumProjectState &stState)
{
    QStringList list = stState.mapImageSources.keys();
    if (stState.iBackgroundMusicType == MusicCustom && !stState.szBackgroundMusicPath.isEmpty())
        list << stState.szBackgroundMusicPath;
    if (stState.iWatermarkType == WatermarkImage && !stState.szImageWatermarkPath.isEmpty())
        list << stState.szImageWatermarkPath;
    return list;
}

QString freeNumberedName(const QString &szBase, const std::function<QString(const QString &)> &fnTarget)
{
    for (int n = 1; n <= kMaxNumberedName; ++n) {
        const QString szName = QStringLiteral("%1(%2)").arg(szBase, QString::number(n));
        // Longer numbers only make longer names.
        if (!isValidFileName(szName))
            return QString();
        const QString szTarget = fnTarget(szName);
        if (!exportPathFits(szTarget))
            return QString();
        if (inspectExportTarget(szTarget, {}) == ExportTargetState::Free)
            return szName;
    }
    return QString();
}
