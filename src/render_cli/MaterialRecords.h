#pragma once

// The album records of pictora-render's materials.
//
// This is the one place pictora-render turns paths into album materials, and
// it does so exactly as the editor's import: the check pass (4K warning),
// then the batch decode, which skips files that cannot be added or are given
// twice and goes on with the rest. Only the thumbnail store is left out: its
// tier pictures serve the preview, which a render never shows.

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Appends the files in szPaths to the album, in order. The album's image
// duration must be set first. *pWarnings receives what the editor would tell
// the user (the 4K warning, the count of filtered files). False with a
// reason in *pszError only when no material could be added.
bool appendMaterialFiles(const QStringList &szPaths, QString *pszError, QStringList *pWarnings);

// Gives the materials quarter turns and photos durations of their own, as
// (index into szPaths, turns) and (index, seconds) pairs; what names a file
// that was not added, or a duration for a clip, is noted in *pWarnings.
void overrideMaterials(const QStringList &szPaths, const QList<QPair<int, int>> &rotations,
                       const QList<QPair<int, double>> &durations, QStringList *pWarnings);
