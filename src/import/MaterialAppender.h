#pragma once

#include "import/ImageDecoder.h"

#include <QObject>

// Appends the materials a decoder finishes to the album (albumState() and its
// list model), on the thread this object lives in: the thread that owns the
// list model. The decoder's records arrive queued, in the order it finished
// them, and ahead of its sig_batchDecodeFinished at any receiver on this
// thread that gets it queued (as every receiver does while the decoder runs
// in a thread of its own), so the album holds the whole batch, in input
// order, by then.
//
// Each append holds mutexPreview and then mutexAudio, as every album write
// does (the list model's row signals are emitted under them;
// sig_materialAppended after they are released).
//
// A record whose path is already in the album (the album was changed while
// the batch ran) is refused: its file is closed and the batch counts move it
// from succeeded to duplicates.
class MaterialAppender : public QObject
{
    Q_OBJECT
public:
    // Attaches to pDecoder (may be null) with a queued connection. Create it
    // on the list model's thread.
    explicit MaterialAppender(ImageDecoder *pDecoder = nullptr, QObject *pParent = nullptr);

    // Receives pDecoder's records too; attaching the same decoder again changes nothing.
    void attach(ImageDecoder *pDecoder);

    // Materials appended and refused since construction.
    int appendedCount() const { return m_iAppended; }
    int refusedCount() const { return m_iRefused; }

Q_SIGNALS:
    // After the record is in the album.
    void sig_materialAppended(QString szFilePath);

public Q_SLOTS:
    void appendDecoded(DecodedMaterial stMaterial);

private:
    int m_iAppended = 0;
    int m_iRefused = 0;
};
