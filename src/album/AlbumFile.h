#pragma once

// Album files (".pictora"): the album written out as UTF-8 JSON on the
// user's request and read back. The format (README.md, "Album files"):
//
//   { "format": "pictora-album", "version": 1,
//     "settings": { "<key>": value, ... },
//     "materials": [ { "path": "...", "turns": 0..3, "duration": seconds }, ... ],
//     "transitions": [ "<xfade transition>", ... ] }
//
// Paths inside the album file's folder are written relative to it, others
// absolute; read back, a relative path starts at the album file's folder.
// Paths are taken as they are: nothing in them is expanded or unescaped.
//
// Reading never touches the album: a file that cannot be read or is no
// album of a version this program knows is refused with a message, and
// only a checked AlbumDocument is ever applied.

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// The version this program writes; files of a later version are refused.
constexpr int kAlbumFormatVersion = 1;

// One material as the file names it.
struct AlbumFileMaterial
{
    QString szPath;               // absolute
    int64_t iRotation = 0;        // quarter turns clockwise
    int64_t iOwnDuration = 0;     // microseconds; 0 when the photo follows the album
};

// A checked album file.
struct AlbumDocument
{
    QString szFolder;             // the album file's folder; relative paths start there
    QJsonObject stSettings;       // checked: every key it holds is one the album takes
    QList<AlbumFileMaterial> materials;   // in album order, each path once
    QStringList transitions;      // between neighbours, in order

    QStringList materialPaths() const;
};

// "pictora"
QString albumFileSuffix();
// True for a name ending in ".pictora" (any case).
bool isAlbumFileName(const QString &szPath);

// Reads and checks szPath. False with a message for the user in *pszError.
bool readAlbumFile(const QString &szPath, AlbumDocument *pDocument, QString *pszError);
// The same over the file's bytes; szFolder is the album file's folder.
bool parseAlbumFile(const QByteArray &text, const QString &szFolder, AlbumDocument *pDocument, QString *pszError);

// The album as albumState() holds it, as the file at szPath would hold it.
QByteArray albumFileText(const QString &szPath);
// Writes the album to szPath atomically: a temporary file in the same
// folder, flushed to the disk, then renamed over szPath. A failure leaves
// the file that was there as it was. False with a message in *pszError.
bool saveAlbumFile(const QString &szPath, QString *pszError);

// Puts the document's settings in place of the album's: every setting the
// file does not name takes its default (resetAlbumSettings()). Held files
// are closed; opening them, the self-adapting ratio and the export size are
// the caller's. Call with AlbumEditLock held.
void applyAlbumSettings(const AlbumDocument &stDocument);
// Once the materials are in the album (the import leaves out those it
// cannot add): gives each its turns and own duration and the gaps their
// transitions, and brings the total up to date. A gap whose transition the
// file does not name keeps the one it has. Call with AlbumEditLock held.
void applyAlbumMaterials(const AlbumDocument &stDocument);
