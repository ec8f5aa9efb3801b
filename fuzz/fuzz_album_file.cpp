// The album file reader. An accepted album names at least one material,
// each by a clean absolute path once, with turns from 0 to 3 and a
// duration of its own up to 60 s; a refused one always says why.
#include "FuzzSupport.h"
#include "album/AlbumFile.h"

#include <QDir>
#include <QSet>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzsupport::startQuietApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t iSize)
{
    const QByteArray text(reinterpret_cast<const char *>(pData), static_cast<int>(iSize));
    AlbumDocument stDocument;
    QString szError;
    if (!parseAlbumFile(text, QStringLiteral("/albums/holiday"), &stDocument, &szError)) {
        if (szError.isEmpty())
            fuzzsupport::fail("an album refused without a reason");
        return 0;
    }
    if (stDocument.materials.isEmpty())
        fuzzsupport::fail("an album accepted without materials");
    QSet<QString> seen;
    for (const AlbumFileMaterial &stMaterial : stDocument.materials) {
        if (!QDir::isAbsolutePath(stMaterial.szPath) || QDir::cleanPath(stMaterial.szPath) != stMaterial.szPath)
            fuzzsupport::fail("a material path that is not clean and absolute");
        if (seen.contains(stMaterial.szPath))
            fuzzsupport::fail("a material named twice");
        seen.insert(stMaterial.szPath);
        if (stMaterial.iRotation < 0 || stMaterial.iRotation > 3)
            fuzzsupport::fail("turns out of range");
        if (stMaterial.iOwnDuration < 0 || stMaterial.iOwnDuration > 60000000)
            fuzzsupport::fail("a duration out of range");
    }
    return 0;
}
