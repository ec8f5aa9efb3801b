#pragma once

#include "media/ffmpeg/FFmpegPtr.h"

#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QString>

extern "C" {
#include <libavutil/pixfmt.h>
}

// Test media made in the test itself: byte by byte, for inputs the ffmpeg
// CLI cannot make (EXIF orientation tags, impossible PNG headers, damaged
// files), frames made with our own layer, and comparisons of pictures.
namespace testmedia {

// CRC-32 (ISO 3309, as used by PNG chunks and zip).
quint32 crc32(const QByteArray &data);

// A PNG whose IHDR claims iWidth x iHeight RGB pixels, followed by a tiny
// valid IDAT and IEND, all with correct CRCs.
QByteArray pngWithHeaderSize(quint32 iWidth, quint32 iHeight);

// jpeg with an EXIF APP1 segment holding only the "Orientation" tag
// (0x0112) set to iOrientation, in big-endian ("MM") or little-endian ("II")
// TIFF order. The segment goes right after SOI, or after a leading APP0
// (JFIF) segment when bAfterApp0 is set.
QByteArray withExifOrientation(const QByteArray &jpeg, int iOrientation, bool bBigEndian, bool bAfterApp0);

// The TIFF block of such an EXIF segment (starting "MM" or "II").
QByteArray exifTiffBlock(int iOrientation, bool bBigEndian);

// png with an eXIf chunk holding that TIFF block, right after IHDR.
QByteArray pngWithExifOrientation(const QByteArray &png, int iOrientation, bool bBigEndian);

QByteArray readFile(const QString &szPath);
bool writeFile(const QString &szPath, const QByteArray &data);

// True when each of the three colour channels differs by at most iTolerance.
bool colorNear(QRgb a, QRgb b, int iTolerance);

// Mean and largest channel difference between two images of one size (255
// when the sizes differ or an image is null).
double meanDifference(const QImage &a, const QImage &b);
int maxDifference(const QImage &a, const QImage &b);

// A w x h frame of one colour in eFormat (null on failure), and the frame of a QImage.
AVFramePtr colorFrame(int w, int h, const char *szColor, AVPixelFormat eFormat = AV_PIX_FMT_YUV420P);
AVFramePtr frameOf(const QImage &stImage);

} // namespace testmedia
