#pragma once

#include <QString>
#include <QStringList>

// The file types the album accepts and the rule that tells images from
// videos. Shared by the decoder, the file and folder dialogs and drag and drop.

// "jpeg", "jpg", "png".
const QStringList &imageSuffixes();
// The 29 container suffixes taken as video; "gif" is one of them.
const QStringList &videoSuffixes();
// "*.<suffix>" for the image suffixes, then the video suffixes (32 patterns).
const QStringList &folderNameFilters();

// SourceImage (1) or SourceVideo (2) by the suffix of the file name (the text
// after the last dot, any case); 0 for anything else. Only the name counts.
int classifyMaterial(const QString &szPath);

// The files of a folder that match folderNameFilters(), hidden ones
// included, in the order the file system lists them, followed by the
// expansion of each subfolder (hidden ones too) in the same order. Absolute
// paths. Empty when szFolder is not a folder. A folder reached twice through
// symbolic links is listed once, so link loops end.
QStringList expandFolder(const QString &szFolder);
