#pragma once

#include "import/ImageDecoder.h"

#include <QString>
#include <QStringList>

// Blocking import for tools without a window (the command-line renderer,
// benchmarks): the editor's import, start to end, in one call.

struct MaterialImportReport
{
    bool bFound4K = false;     // the check pass found a file of 4K or more
    int iSucceeded = 0;        // appended to the album
    int iFailed = 0;
    int iDuplicate = 0;
    int iTotal = 0;            // inputs after folder expansion
    ImageDecoder::Timings stTimings;
    int iDecodedFiles = 0;     // files whose pictures were decoded

    int filteredCount() const { return iFailed + iDuplicate; }
    // The editor's two-line warning about 4K files (translated), the lines
    // separated by a line break.
    static QString fourKWarning();
    // The editor's notice "%1 files that cannot be added or already exist in
    // the list have been filtered for you" (translated), or empty when
    // nothing was filtered.
    QString filteredMessage() const;
};

// The editor's start step for the thumbnail store: deletes the database
// file left by an earlier run and opens the store, on the calling thread.
// Runs once per process; later calls do nothing.
void startThumbnailStore();
// Whether startThumbnailStore() has run: readers that only look pictures up
// (the preview) leave the store alone before that.
bool thumbnailStoreStarted();

enum class ImportInput
{
    Files,          // paths as a file dialog gives them; folders are not searched
    Folders,        // folders, searched for materials recursively
    DroppedItems,   // files and folders mixed; folders are searched
};

// Imports the inputs the way the editor does: a decoder in a thread of its
// own, running flag set, inputs, check pass, then the batch decode whether or
// not a 4K file was found, each material appended to albumState() on the
// calling thread. Waits in a local event loop, so call it on a thread with
// an event dispatcher (the GUI thread) while nothing else changes the album.
// Starts the store (startThumbnailStore) when that has not happened yet.
// The album's settings (the image duration above all, see
// applyEditorDefaults()) are the caller's to set first.
// With bStoreTierPictures false the thumbnail store is neither started nor
// written: for tools that export and never preview.
MaterialImportReport importMaterials(const QStringList &inputs, ImportInput eKind = ImportInput::Files,
                                     bool bStoreTierPictures = true);
