#include "media/ffmpeg/ExifOrientation.h"

#include <QFile>
#include <QString>

#include <cstring>

namespace {

// A hostile file could claim any length; no header block we read is larger.
constexpr qint64 kMaxBlock = 1 << 20;

uint32_t read16(const uint8_t *p, bool bBigEndian)
{
    return bBigEndian ? (uint32_t(p[0]) << 8) | p[1] : (uint32_t(p[1]) << 8) | p[0];
}

uint32_t read32(const uint8_t *p, bool bBigEndian)
{
    return bBigEndian ? (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]
                      : (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

int fromJpeg(QFile &file)
{
    // Segments from SOI up to the start of the picture data.
    if (!file.seek(2))
        return 0;
    for (;;) {
        uint8_t marker[4];
        if (file.read(reinterpret_cast<char *>(marker), 4) != 4 || marker[0] != 0xFF)
            return 0;
        if (marker[1] == 0xDA || marker[1] == 0xD9) // start of scan, end of image
            return 0;
        const qint64 iLength = (qint64(marker[2]) << 8) | marker[3];
        if (iLength < 2)
            return 0;
        const qint64 iBody = iLength - 2;
        if (marker[1] == 0xE1 && iBody > 6 && iBody <= kMaxBlock) {
            const QByteArray body = file.read(iBody);
            if (body.size() != iBody)
                return 0;
            if (std::memcmp(body.constData(), "Exif\0\0", 6) == 0) {
                const int iOrientation = exifOrientationFromTiff(
                    reinterpret_cast<const uint8_t *>(body.constData()) + 6, static_cast<size_t>(iBody - 6));
                if (iOrientation)
                    return iOrientation;
            }
        } else if (!file.seek(file.pos() + iBody)) {
            return 0;
        }
    }
}

int fromPng(QFile &file)
{
    if (!file.seek(8))
        return 0;
    for (;;) {
        uint8_t header[8];
        if (file.read(reinterpret_cast<char *>(header), 8) != 8)
            return 0;
        const qint64 iLength = read32(header, true);
        if (std::memcmp(header + 4, "IEND", 4) == 0)
            return 0;
        if (std::memcmp(header + 4, "eXIf", 4) == 0) {
            if (iLength > kMaxBlock)
                return 0;
            const QByteArray body = file.read(iLength);
            if (body.size() != iLength)
                return 0;
            return exifOrientationFromTiff(reinterpret_cast<const uint8_t *>(body.constData()),
                                           static_cast<size_t>(iLength));
        }
        if (!file.seek(file.pos() + iLength + 4)) // data and CRC
            return 0;
    }
}

} // namespace

int exifOrientationFromTiff(const uint8_t *pData, size_t iSize)
{
    if (!pData || iSize < 8)
        return 0;
    bool bBigEndian;
    if (pData[0] == 'M' && pData[1] == 'M')
        bBigEndian = true;
    else if (pData[0] == 'I' && pData[1] == 'I')
        bBigEndian = false;
    else
        return 0;
    if (read16(pData + 2, bBigEndian) != 42)
        return 0;
    const size_t iIfd = read32(pData + 4, bBigEndian);
    if (iIfd > iSize || iSize - iIfd < 2)
        return 0;
    const size_t iEntries = read16(pData + iIfd, bBigEndian);
    if ((iSize - iIfd - 2) / 12 < iEntries)
        return 0;
    for (size_t i = 0; i < iEntries; ++i) {
        const uint8_t *pEntry = pData + iIfd + 2 + 12 * i;
        if (read16(pEntry, bBigEndian) != 0x0112)
            continue;
        const uint32_t iType = read16(pEntry + 2, bBigEndian);
        if (read32(pEntry + 4, bBigEndian) < 1)
            return 0;
        uint32_t iValue = 0;
        if (iType == 3) // SHORT
            iValue = read16(pEntry + 8, bBigEndian);
        else if (iType == 4) // LONG
            iValue = read32(pEntry + 8, bBigEndian);
        return iValue >= 1 && iValue <= 8 ? static_cast<int>(iValue) : 0;
    }
    return 0;
}

int readExifOrientation(const std::string &szPath)
{
    QFile file(QString::fromStdString(szPath));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    uint8_t signature[8];
    if (file.read(reinterpret_cast<char *>(signature), 8) != 8)
        return 0;
    if (signature[0] == 0xFF && signature[1] == 0xD8)
        return fromJpeg(file);
    if (std::memcmp(signature, "\x89PNG\r\n\x1a\n", 8) == 0)
        return fromPng(file);
    return 0;
}
