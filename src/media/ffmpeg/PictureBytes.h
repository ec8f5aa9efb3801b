#pragma once

// A picture packed into a few bytes and unpacked again, for pictures kept
// aside and read back later (the thumbnail store's tier pictures).
//
// Opaque pictures become JPEG: full-range YUV with the picture's own chroma
// subsampling (4:2:0, 4:2:2, else 4:4:4), the finest quantiser and the
// standard Huffman tables. A photo takes about two bits a pixel instead of
// the 32 of raw BGRA and comes back at well over 45 dB PSNR. Pictures with
// alpha become PNG and come back exactly.

#include <QByteArray>

extern "C" {
#include <libavutil/frame.h>
}

// pPicture packed; empty on failure, with the code in *pError (optional).
QByteArray packPicture(const AVFrame *pPicture, int *pError = nullptr);

// Whether bytes look like packPicture()'s (a JPEG or PNG signature).
bool isPackedPicture(const QByteArray &bytes);

// Bytes of packPicture() as a picture in pDst (a JPEG in YUVJ, a PNG in its
// RGB or grey format with alpha). pDst is only written on success.
int unpackPicture(const QByteArray &bytes, AVFrame *pDst);
