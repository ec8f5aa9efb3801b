#include "common/TestMedia.h"

#include "media/ffmpeg/FrameOps.h"
#include "media/ffmpeg/ImageConvert.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cstdlib>

namespace testmedia {

quint32 crc32(const QByteArray &data)
{
    quint32 iCrc = 0xFFFFFFFFu;
    for (const char c : data) {
        iCrc ^= static_cast<quint8>(c);
        for (int k = 0; k < 8; ++k)
            iCrc = (iCrc & 1u) ? (iCrc >> 1) ^ 0xEDB88320u : iCrc >> 1;
    }
    return ~iCrc;
}

namespace {

QByteArray be32(quint32 v)
{
    QByteArray out(4, '\0');
    qToBigEndian(v, reinterpret_cast<uchar *>(out.data()));
    return out;
}

QByteArray pngChunk(const char *szType, const QByteArray &payload)
{
    const QByteArray typed = QByteArray(szType, 4) + payload;
    return be32(static_cast<quint32>(payload.size())) + typed + be32(crc32(typed));
}

// 16- and 32-bit values in the TIFF byte order of the EXIF block.
QByteArray tiff16(quint16 v, bool bBigEndian)
{
    QByteArray out(2, '\0');
    if (bBigEndian)
        qToBigEndian(v, reinterpret_cast<uchar *>(out.data()));
    else
        qToLittleEndian(v, reinterpret_cast<uchar *>(out.data()));
    return out;
}

QByteArray tiff32(quint32 v, bool bBigEndian)
{
    QByteArray out(4, '\0');
    if (bBigEndian)
        qToBigEndian(v, reinterpret_cast<uchar *>(out.data()));
    else
        qToLittleEndian(v, reinterpret_cast<uchar *>(out.data()));
    return out;
}

} // namespace

QByteArray pngWithHeaderSize(quint32 iWidth, quint32 iHeight)
{
    QByteArray ihdr = be32(iWidth) + be32(iHeight);
    ihdr.append(char(8)); // bit depth
    ihdr.append(char(2)); // colour type RGB
    ihdr.append(char(0)); // compression
    ihdr.append(char(0)); // filter
    ihdr.append(char(0)); // interlace
    // qCompress gives a 4-byte length and then a zlib stream.
    const QByteArray idat = qCompress(QByteArray(64, '\0')).mid(4);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", idat)
           + pngChunk("IEND", QByteArray());
}

QByteArray exifTiffBlock(int iOrientation, bool bBigEndian)
{
    QByteArray tiff = bBigEndian ? QByteArray("MM") : QByteArray("II");
    tiff += tiff16(42, bBigEndian);
    tiff += tiff32(8, bBigEndian);          // IFD0 right after the header
    tiff += tiff16(1, bBigEndian);          // one entry
    tiff += tiff16(0x0112, bBigEndian);     // Orientation
    tiff += tiff16(3, bBigEndian);          // SHORT
    tiff += tiff32(1, bBigEndian);          // count
    tiff += tiff16(static_cast<quint16>(iOrientation), bBigEndian);
    tiff += QByteArray(2, '\0');            // value field padding
    tiff += tiff32(0, bBigEndian);          // no next IFD
    return tiff;
}

QByteArray withExifOrientation(const QByteArray &jpeg, int iOrientation, bool bBigEndian, bool bAfterApp0)
{
    const QByteArray tiff = exifTiffBlock(iOrientation, bBigEndian);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    segment += static_cast<char>(((payload.size() + 2) >> 8) & 0xFF);
    segment += static_cast<char>((payload.size() + 2) & 0xFF);
    segment += payload;

    int iInsert = 2; // after SOI
    if (bAfterApp0 && jpeg.size() > 6 && static_cast<quint8>(jpeg[2]) == 0xFF && static_cast<quint8>(jpeg[3]) == 0xE0) {
        const int iLength = (static_cast<quint8>(jpeg[4]) << 8) | static_cast<quint8>(jpeg[5]);
        iInsert = 4 + iLength;
    }
    QByteArray out = jpeg;
    out.insert(iInsert, segment);
    return out;
}

QByteArray pngWithExifOrientation(const QByteArray &png, int iOrientation, bool bBigEndian)
{
    // After the signature (8 bytes) and IHDR (25 bytes), before the picture data.
    QByteArray out = png;
    out.insert(33, pngChunk("eXIf", exifTiffBlock(iOrientation, bBigEndian)));
    return out;
}

QByteArray readFile(const QString &szPath)
{
    QFile file(szPath);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeFile(const QString &szPath, const QByteArray &data)
{
    QFile file(szPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(data) == data.size();
}

bool colorNear(QRgb a, QRgb b, int iTolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= iTolerance && std::abs(qGreen(a) - qGreen(b)) <= iTolerance
           && std::abs(qBlue(a) - qBlue(b)) <= iTolerance;
}

double meanDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 255.0;
    double lfSum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb pa = a.pixel(x, y), pb = b.pixel(x, y);
            lfSum += std::abs(qRed(pa) - qRed(pb)) + std::abs(qGreen(pa) - qGreen(pb)) + std::abs(qBlue(pa) - qBlue(pb));
        }
    }
    return lfSum / (3.0 * a.width() * a.height());
}

int maxDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 255;
    int iMax = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb pa = a.pixel(x, y), pb = b.pixel(x, y);
            iMax = std::max({iMax, std::abs(qRed(pa) - qRed(pb)), std::abs(qGreen(pa) - qGreen(pb)),
                             std::abs(qBlue(pa) - qBlue(pb))});
        }
    }
    return iMax;
}

AVFramePtr colorFrame(int w, int h, const char *szColor, AVPixelFormat eFormat)
{
    AVFramePtr pFrame = makeFramePtr();
    if (pFrame && makeColorFrame(pFrame.get(), w, h, eFormat, szColor) < 0)
        pFrame.reset();
    return pFrame;
}

AVFramePtr frameOf(const QImage &stImage)
{
    return AVFramePtr(imageToFrame(stImage));
}

} // namespace testmedia
