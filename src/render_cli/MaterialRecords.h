#pragma once

// The album records of pictora-render's materials.
//
// This is the one place pictora-render turns paths into album materials.
// Each file goes through the material decoder's single-file decode (the
// check the editor uses for a watermark picture): the same classification,
// measuring and error texts as an import, without filling the thumbnail
// store, whose tier pictures only the preview reads (and whose per-program
// database file parallel renders would share).

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Appends the files in szPaths to the album, in order, with the quarter
// turns given as (index, turns) pairs. The album's image duration must be set
// first. False with a reason in *pszError for the first file that is not a
// readable picture or video, is given twice, or does not decode; the album
// is then left partly filled.
bool appendMaterialFiles(const QStringList &szPaths, const QList<QPair<int, int>> &rotations, QString *pszError);
