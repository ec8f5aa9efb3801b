#pragma once

// Where an export may write: the rules for the file name, the numbered
// names proposed instead of a taken one, and what is at a target path.
// No widgets; the settings dialog and the editor build on it.

#include <QString>
#include <QStringList>

#include <functional>

struct AlbumProjectState;

// Longest accepted name in UTF-8 bytes: with the dot and the longest
// extension ("webm") it stays within the 255 bytes of a Linux file name.
constexpr int kMaxFileNameBytes = 250;
// Numbered names tried before giving up.
constexpr int kMaxNumberedName = 9999;

// False for an empty name, a control character (U+0000 to U+001F), one of
// / \ < > : " | ? *, a reserved device name as the whole name in any case
// (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9), a trailing space, or more
// than kMaxFileNameBytes bytes.
bool isValidFileName(const QString &szName);
// More than kMaxFileNameBytes bytes: refused, whatever else the name is.
bool isFileNameTooLong(const QString &szName);

// Whether the target and the temporary written beside it fit the system's path limit.
bool exportPathFits(const QString &szTarget);

// Creates the folder with every missing parent; true when it then is a
// folder this user may create files in.
bool prepareExportFolder(const QString &szDir);

// What is at a target path.
enum class ExportTargetState {
    Free,   // nothing: the export may write there
    File,   // a regular file, which the user may agree to overwrite
    Input,  // a file the album reads (a material, the music, the watermark)
    Taken,  // a folder, a link or any other entry that is not a regular file
};
// listInputs: the files the album reads, compared by their canonical paths.
ExportTargetState inspectExportTarget(const QString &szPath, const QStringList &listInputs);

// Every file the album reads while it is exported.
QStringList albumInputFiles(const AlbumProjectState &stState);

// The first "<base>(n)", n = 1, 2, ..., whose target (fnTarget of the
// name) is free, built as text and validated; empty when the names grow
// invalid (too long) or kMaxNumberedName is passed.
QString freeNumberedName(const QString &szBase, const std::function<QString(const QString &)> &fnTarget);
