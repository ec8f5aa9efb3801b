#include "album/MaterialTypes.h"

#include "album/AlbumProjectState.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

const QStringList &imageSuffixes()
{
    static const QStringList s_suffixes = {
        QStringLiteral("jpeg"), QStringLiteral("jpg"), QStringLiteral("png"),
    };
    return s_suffixes;
}

const QStringList &videoSuffixes()
{
    static const QStringList s_suffixes = {
        QStringLiteral("ifox"), QStringLiteral("mtv"),  QStringLiteral("ps"),   QStringLiteral("webm"),
        QStringLiteral("f4v"),  QStringLiteral("ogv"),  QStringLiteral("3gp"),  QStringLiteral("avi"),
        QStringLiteral("flv"),  QStringLiteral("gif"),  QStringLiteral("mkv"),  QStringLiteral("mov"),
        QStringLiteral("mp4"),  QStringLiteral("mpg"),  QStringLiteral("rmvb"), QStringLiteral("vob"),
        QStringLiteral("wmv"),  QStringLiteral("wtv"),  QStringLiteral("mpeg"), QStringLiteral("rm"),
        QStringLiteral("asf"),  QStringLiteral("m4v"),  QStringLiteral("ts"),   QStringLiteral("mts"),
        QStringLiteral("m2t"),  QStringLiteral("m2ts"), QStringLiteral("dv"),   QStringLiteral("mxf"),
        QStringLiteral("dat"),
    };
    return s_suffixes;
}

const QStringList &folderNameFilters()
{
    static const QStringList s_filters = [] {
        QStringList filters;
        for (const QString &szSuffix : imageSuffixes() + videoSuffixes())
            filters.append(QStringLiteral("*.") + szSuffix);
        return filters;
    }();
    return s_filters;
}

int classifyMaterial(const QString &szPath)
{
    const int iDot = szPath.lastIndexOf(QLatin1Char('.'));
    // A dot inside a folder name is no suffix.
    if (iDot < 0 || szPath.indexOf(QLatin1Char('/'), iDot) >= 0)
        return 0;
    const QString szSuffix = szPath.mid(iDot + 1).toLower();
    if (imageSuffixes().contains(szSuffix))
        return SourceImage;
    if (videoSuffixes().contains(szSuffix))
        return SourceVideo;
    return 0;
}

namespace {

void expandInto(const QString &szFolder, QStringList &result, QSet<QString> &visited)
{
    const QFileInfo stInfo(szFolder);
    if (!stInfo.isDir())
        return;
    const QString szCanonical = stInfo.canonicalFilePath();
    if (szCanonical.isEmpty() || visited.contains(szCanonical))
        return;
    visited.insert(szCanonical);

    const QDir dir(stInfo.absoluteFilePath());
    // Name filters match without regard to case unless told otherwise.
    const QFileInfoList files =
        dir.entryInfoList(folderNameFilters(), QDir::Files | QDir::Hidden, QDir::Unsorted);
    for (const QFileInfo &stFile : files)
        result.append(stFile.absoluteFilePath());
    const QFileInfoList subfolders =
        dir.entryInfoList(QStringList(), QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &stSub : subfolders)
        expandInto(stSub.absoluteFilePath(), result, visited);
}

} // namespace

QStringList expandFolder(const QString &szFolder)
{
    QStringList result;
    QSet<QString> visited;
    expandInto(szFolder, result, visited);
    return result;
}
