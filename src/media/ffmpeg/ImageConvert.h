#pragma once

// Conversions between decoded frames and Qt images.

#include <QImage>
#include <QPixmap>

extern "C" {
#include <libavutil/frame.h>
}

// The picture as a QImage::Format_ARGB32 image (converted through BGRA when
// the frame has another pixel format); a null image when the frame is not a
// picture or cannot be converted. The image owns its pixels.
QImage frameToImage(const AVFrame *pFrame);

// frameToImage as a pixmap; a null pixmap on failure. Needs a QGuiApplication.
QPixmap frameToPixmap(const AVFrame *pFrame);

// A new AV_PIX_FMT_BGRA frame with the image's pixels (converted to
// QImage::Format_ARGB32 first) and pts 0; null for a null image or when out
// of memory. The caller frees it (av_frame_free / AVFramePtr).
AVFrame *imageToFrame(const QImage &stImage);
