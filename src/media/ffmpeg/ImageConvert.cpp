#include "media/ffmpeg/ImageConvert.h"

#include "media/ffmpeg/FFmpegPtr.h"
#include "media/ffmpeg/FrameOps.h"

#include <QtEndian>

#include <cstring>

// QImage::Format_ARGB32 keeps each pixel as a native 32-bit 0xAARRGGBB,
// which is the byte order B, G, R, A of AV_PIX_FMT_BGRA on little-endian
// machines only.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "ARGB32 <-> BGRA mapping assumes a little-endian machine");

QImage frameToImage(const AVFrame *pFrame)
{
    if (!pFrame || pFrame->width < 1 || pFrame->height < 1)
        return QImage();
    const AVFrame *pBgra = pFrame;
    AVFramePtr pConverted;
    if (pFrame->format != AV_PIX_FMT_BGRA) {
        pConverted = makeFramePtr();
        if (!pConverted || convertPixelFormat(pFrame, pConverted.get(), AV_PIX_FMT_BGRA) < 0)
            return QImage();
        pBgra = pConverted.get();
    } else if (!pFrame->data[0] || (pFrame->nb_samples > 0 && pFrame->ch_layout.nb_channels > 0)) {
        return QImage();
    }
    // Copied row by row: frame rows may be padded, or stored bottom-up with
    // a negative line size after a vertical flip.
    QImage stImage(pBgra->width, pBgra->height, QImage::Format_ARGB32);
    if (stImage.isNull())
        return QImage();
    const size_t iRowBytes = static_cast<size_t>(pBgra->width) * 4;
    for (int y = 0; y < pBgra->height; ++y)
        std::memcpy(stImage.scanLine(y), pBgra->data[0] + static_cast<ptrdiff_t>(y) * pBgra->linesize[0], iRowBytes);
    return stImage;
}

QPixmap frameToPixmap(const AVFrame *pFrame)
{
    QPixmap stPixmap;
    const QImage stImage = frameToImage(pFrame);
    if (!stImage.isNull())
        stPixmap.convertFromImage(stImage);
    return stPixmap;
}

AVFrame *imageToFrame(const QImage &stImage)
{
    if (stImage.isNull())
        return nullptr;
    const QImage stArgb = stImage.convertToFormat(QImage::Format_ARGB32);
    if (stArgb.isNull())
        return nullptr;
    AVFramePtr pFrame = makeFramePtr();
    if (!pFrame)
        return nullptr;
    pFrame->width = stArgb.width();
    pFrame->height = stArgb.height();
    pFrame->format = AV_PIX_FMT_BGRA;
    if (av_frame_get_buffer(pFrame.get(), 0) < 0)
        return nullptr;
    // Row by row: the frame's rows may be padded beyond the image's.
    const size_t iRowBytes = static_cast<size_t>(stArgb.width()) * 4;
    for (int y = 0; y < stArgb.height(); ++y)
        std::memcpy(pFrame->data[0] + static_cast<ptrdiff_t>(y) * pFrame->linesize[0], stArgb.constScanLine(y),
                    iRowBytes);
    pFrame->pts = 0;
    return pFrame.release();
}
