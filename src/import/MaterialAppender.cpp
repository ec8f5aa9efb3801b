#include "import/MaterialAppender.h"

#include <QPixmap>

MaterialAppender::MaterialAppender(ImageDecoder *pDecoder, QObject *pParent)
    : QObject(pParent)
{
    attach(pDecoder);
}

void MaterialAppender::attach(ImageDecoder *pDecoder)
{
    if (!pDecoder)
        return;
    // Queued even while both live on one thread, so records always arrive
    // in the same order relative to the end of the batch; unique, so a second
    // attach cannot deliver every record twice.
    connect(pDecoder, &ImageDecoder::sig_materialDecoded, this, &MaterialAppender::appendDecoded,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
}

void MaterialAppender::appendDecoded(DecodedMaterial stMaterial)
{
    ImageSource &stSource = stMaterial.stSource;
    {
        // Like every album write: a cover render or the sound preparation
        // may be reading the album in another thread.
        AlbumProjectState &st = albumState();
        AlbumEditLock lock;
        if (st.mapImageSources.contains(stSource.szFilePath)) {
            // Only the batch the record came from has it among its successes.
            ImportCounts *pCounts = stMaterial.pCounts.data();
            if (pCounts && pCounts->iBatch.load() == stMaterial.iBatch) {
                pCounts->iSucceeded.fetch_sub(1);
                pCounts->iDuplicate.fetch_add(1);
            }
            ++m_iRefused;
            return;   // the held file closes with its last reference
        }
        stSource.stPixmap = QPixmap::fromImage(stMaterial.stThumbnail);
        stSource.pFile = stMaterial.pHeldFile ? stMaterial.pHeldFile->take() : nullptr;
        appendMaterial(stSource);
    }
    ++m_iAppended;
    emit sig_materialAppended(stSource.szFilePath);
}
