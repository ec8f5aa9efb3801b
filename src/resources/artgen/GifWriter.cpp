#include "GifWriter.h"

#include <QFile>
#include <QHash>

#include <algorithm>

namespace art {

namespace {

constexpr int kMinCodeSize = 8;
constexpr int kMaxCode = 4095;

// GIF's LZW variant: variable code width from 9 to 12 bits, codes packed
// least significant bit first into blocks of at most 255 bytes.
class LzwEncoder
{
public:
    explicit LzwEncoder(QByteArray &out) : m_out(out) {}

    void encode(const QByteArray &indices)
    {
        reset();
        put(m_iClear);
        if (indices.isEmpty()) {
            finish(-1);
            return;
        }
        int iCurrent = static_cast<uchar>(indices[0]);
        for (int i = 1; i < indices.size(); ++i) {
            const int iPixel = static_cast<uchar>(indices[i]);
            const int iKey = (iCurrent << 8) | iPixel;
            const auto it = m_dictionary.constFind(iKey);
            if (it != m_dictionary.constEnd()) {
                iCurrent = it.value();
                continue;
            }
            put(iCurrent);
            iCurrent = iPixel;
            if (m_iNext >= kMaxCode) {
                put(m_iClear);
                reset();
            } else {
                m_dictionary.insert(iKey, m_iNext++);
            }
        }
        finish(iCurrent);
    }

private:
    void reset()
    {
        m_dictionary.clear();
        m_iNext = m_iClear + 2;
        m_iCodeSize = kMinCodeSize + 1;
        m_iLimit = 1 << m_iCodeSize;
    }

    void put(int iCode)
    {
        m_iBits |= static_cast<quint32>(iCode) << m_iBitCount;
        m_iBitCount += m_iCodeSize;
        while (m_iBitCount >= 8) {
            pushByte(static_cast<char>(m_iBits & 0xff));
            m_iBits >>= 8;
            m_iBitCount -= 8;
        }
        if (m_iNext >= m_iLimit && m_iCodeSize < 12)
            m_iLimit = 1 << ++m_iCodeSize;
    }

    void finish(int iLast)
    {
        if (iLast >= 0)
            put(iLast);
        put(m_iClear + 1);
        if (m_iBitCount > 0)
            pushByte(static_cast<char>(m_iBits & 0xff));
        m_iBits = 0;
        m_iBitCount = 0;
        flushBlock();
        m_out.append('\0');
    }

    void pushByte(char cByte)
    {
        m_block.append(cByte);
        if (m_block.size() == 255)
            flushBlock();
    }

    void flushBlock()
    {
        if (m_block.isEmpty())
            return;
        m_out.append(static_cast<char>(m_block.size()));
        m_out.append(m_block);
        m_block.clear();
    }

    QByteArray &m_out;
    QByteArray m_block;
    QHash<int, int> m_dictionary;
    const int m_iClear = 1 << kMinCodeSize;
    int m_iNext = 0;
    int m_iCodeSize = 0;
    int m_iLimit = 0;
    quint32 m_iBits = 0;
    int m_iBitCount = 0;
};

void putWord(QByteArray &out, int iValue)
{
    out.append(static_cast<char>(iValue & 0xff));
    out.append(static_cast<char>((iValue >> 8) & 0xff));
}

int distance(QRgb a, QRgb b)
{
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

QVector<QRgb> buildPalette(const std::vector<QImage> &listFrames)
{
    QHash<QRgb, int> counts;
    for (const QImage &frame : listFrames)
        for (int y = 0; y < frame.height(); ++y) {
            const QRgb *pLine = reinterpret_cast<const QRgb *>(frame.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x)
                ++counts[pLine[x] | 0xff000000u];
        }
    QVector<QPair<int, QRgb>> sorted;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it)
        sorted.append({it.value(), it.key()});
    std::sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    QVector<QRgb> palette;
    for (int i = 0; i < sorted.size() && i < 256; ++i)
        palette.append(sorted[i].second);
    while (palette.size() < 256)
        palette.append(0xff000000u);
    return palette;
}

} // namespace

bool writeGif(const QString &szPath, const std::vector<QImage> &listFrames, int iDelayMs, QString *pszError)
{
    if (listFrames.empty()) {
        *pszError = QStringLiteral("no frames");
        return false;
    }
    std::vector<QImage> frames;
    for (const QImage &frame : listFrames)
        frames.push_back(frame.convertToFormat(QImage::Format_RGB32));
    const int w = frames.front().width(), h = frames.front().height();
    const QVector<QRgb> palette = buildPalette(frames);
    QHash<QRgb, int> indexOf;
    for (int i = palette.size() - 1; i >= 0; --i)
        indexOf.insert(palette[i], i);

    QByteArray out("GIF89a");
    putWord(out, w);
    putWord(out, h);
    out.append(static_cast<char>(0xf7)); // global table of 256 colours
    out.append('\0');
    out.append('\0');
    for (QRgb rgb : palette) {
        out.append(static_cast<char>(qRed(rgb)));
        out.append(static_cast<char>(qGreen(rgb)));
        out.append(static_cast<char>(qBlue(rgb)));
    }
    out.append("\x21\xff\x0bNETSCAPE2.0\x03\x01", 16);
    putWord(out, 0); // loop for ever
    out.append('\0');

    LzwEncoder encoder(out);
    for (const QImage &frame : frames) {
        if (frame.size() != QSize(w, h)) {
            *pszError = QStringLiteral("frames differ in size");
            return false;
        }
        out.append("\x21\xf9\x04\x04", 4); // keep the previous frame, no transparency
        putWord(out, (iDelayMs + 5) / 10);
        out.append('\0');
        out.append('\0');
        out.append('\x2c');
        putWord(out, 0);
        putWord(out, 0);
        putWord(out, w);
        putWord(out, h);
        out.append('\0');
        out.append(static_cast<char>(kMinCodeSize));
        QByteArray indices;
        indices.reserve(w * h);
        for (int y = 0; y < h; ++y) {
            const QRgb *pLine = reinterpret_cast<const QRgb *>(frame.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                const QRgb rgb = pLine[x] | 0xff000000u;
                auto it = indexOf.constFind(rgb);
                if (it == indexOf.constEnd()) {
                    int iBest = 0;
                    for (int i = 1; i < palette.size(); ++i)
                        if (distance(palette[i], rgb) < distance(palette[iBest], rgb))
                            iBest = i;
                    it = indexOf.insert(rgb, iBest);
                }
                indices.append(static_cast<char>(it.value()));
            }
        }
        encoder.encode(indices);
    }
    out.append('\x3b');

    QFile file(szPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size()) {
        *pszError = file.errorString();
        return false;
    }
    return true;
}

} // namespace art
