#include "media/recipes/TransitionPainter.h"

#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

// Every formula below is xfade's own, operation for operation and in the
// same float and double types, so that the results are the same to the
// last bit (a float rounded once more would move pixels by one level).

namespace recipes {

namespace {

float clipFloat(float a, float lo, float hi)
{
    return a < lo ? lo : (a > hi ? hi : a);
}

float mix(float a, float b, float m)
{
    return a * m + b * (1.f - m);
}

float smoothstep(float edge0, float edge1, float x)
{
    const float t = clipFloat((x - edge0) / (edge1 - edge0), 0.f, 1.f);
    return t * t * (3.f - 2.f * t);
}

uint8_t toSample(float f)
{
    return static_cast<uint8_t>(f);
}

const uint8_t *row(const uint8_t *p, int iStride, int y)
{
    return p + static_cast<ptrdiff_t>(y) * iStride;
}

uint8_t *row(uint8_t *p, int iStride, int y)
{
    return p + static_cast<ptrdiff_t>(y) * iStride;
}

// A float per pixel of a plane of one size, depending only on the position;
// made once and shared by every transition of that shape and size.
enum class Shape { Angle, Distance };

struct PositionTable
{
    Shape eShape;
    int iWidth;
    int iHeight;
    std::vector<float> values;
};

std::shared_ptr<const PositionTable> makePositionTable(Shape eShape, int w, int h)
{
    auto pTable = std::make_shared<PositionTable>(PositionTable{eShape, w, h, {}});
    pTable->values.resize(static_cast<size_t>(w) * h);
    const float z = hypotf(w / 2, h / 2);
    float *pValue = pTable->values.data();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            *pValue++ = eShape == Shape::Angle ? atan2f(x - w / 2, y - h / 2) : hypotf(x - w / 2, y - h / 2) / z;
    return pTable;
}

// The table of that shape and size while any painter holds it: the luma
// and chroma planes of every frame of a transition share two of them, and
// none outlives its transition.
std::shared_ptr<const PositionTable> positionTable(Shape eShape, int w, int h)
{
    static QMutex s_mutex;
    static std::vector<std::weak_ptr<const PositionTable>> s_tables;
    QMutexLocker locker(&s_mutex);
    s_tables.erase(std::remove_if(s_tables.begin(), s_tables.end(),
                                  [](const std::weak_ptr<const PositionTable> &p) { return p.expired(); }),
                   s_tables.end());
    for (const auto &pWeak : s_tables) {
        std::shared_ptr<const PositionTable> pTable = pWeak.lock();
        if (pTable && pTable->eShape == eShape && pTable->iWidth == w && pTable->iHeight == h)
            return pTable;
    }
    std::shared_ptr<const PositionTable> pTable = makePositionTable(eShape, w, h);
    s_tables.push_back(pTable);
    return pTable;
}

// out = f(from, to) for every pair of samples, read from a table of all
// 65536 pairs: for blends whose weights are the same all over the frame.
class PairTable
{
public:
    // Refills the table when the key (what f depends on besides the pair) changed.
    template <typename Fn>
    void prepare(float lfKey, int iKey, Fn fn)
    {
        if (m_bValid && lfKey == m_lfKey && iKey == m_iKey)
            return;
        m_values.resize(65536);
        for (int a = 0; a < 256; ++a)
            for (int b = 0; b < 256; ++b)
                m_values[static_cast<size_t>(a << 8 | b)] = fn(a, b);
        m_lfKey = lfKey;
        m_iKey = iKey;
        m_bValid = true;
    }
    uint8_t operator()(uint8_t a, uint8_t b) const { return m_values[static_cast<size_t>(a << 8 | b)]; }

private:
    std::vector<uint8_t> m_values;
    float m_lfKey = 0;
    int m_iKey = -1;
    bool m_bValid = false;
};

// Blends with a weight per pixel: out = mix(first, second, t). A weight of
// 0 or 1 gives one of the samples exactly (a product with 1 or 0 changes
// nothing), which spares the arithmetic outside the edge of a shape.
inline uint8_t weighted(uint8_t first, uint8_t second, float t)
{
    if (t <= 0.f)
        return second;
    if (t >= 1.f)
        return first;
    return toSample(mix(first, second, t));
}

// Rows copied from one picture or the other.
void copyRow(const TransitionPlane &st, int y, bool bTo, int iSourceRow)
{
    const uint8_t *pSource = bTo ? row(st.pTo, st.iToStride, iSourceRow) : row(st.pFrom, st.iFromStride, iSourceRow);
    std::memcpy(row(st.pOut, st.iOutStride, y), pSource, static_cast<size_t>(st.iWidth));
}

// fadeblack, fadewhite.
class FadeThroughPainter : public TransitionPainter
{
public:
    explicit FadeThroughPainter(bool bWhite) : m_bWhite(bWhite) {}
    void prepare(const TransitionPlane &st, float p) override
    {
        const int bg = m_bWhite ? st.iWhite : st.iBlack;
        const float phase = 0.2f;
        const float s1 = smoothstep(1.f - phase, 1.f, p);
        const float s2 = smoothstep(phase, 1.f, p);
        // Luma and chroma fade through different levels: a table for each.
        if (m_iFirstBg < 0)
            m_iFirstBg = bg;
        m_pTable = bg == m_iFirstBg ? &m_first : &m_second;
        m_pTable->prepare(p, bg, [&](int a, int b) { return toSample(mix(mix(a, bg, s1), mix(bg, b, s2), p)); });
    }
    void paintRows(const TransitionPlane &st, float, int y0, int y1) const override
    {
        for (int y = y0; y < y1; ++y) {
            const uint8_t *a = row(st.pFrom, st.iFromStride, y);
            const uint8_t *b = row(st.pTo, st.iToStride, y);
            uint8_t *d = row(st.pOut, st.iOutStride, y);
            for (int x = 0; x < st.iWidth; ++x)
                d[x] = (*m_pTable)(a[x], b[x]);
        }
    }

private:
    bool m_bWhite;
    int m_iFirstBg = -1;
    PairTable m_first, m_second;
    PairTable *m_pTable = nullptr;
};

// wipeleft, wiperight, wipeup, wipedown.
class WipePainter : public TransitionPainter
{
public:
    enum class Direction { Left, Right, Up, Down };
    explicit WipePainter(Direction e) : m_e(e) {}
    void paintRows(const TransitionPlane &st, float p, int y0, int y1) const override
    {
        const int w = st.iWidth, h = st.iHeight;
        switch (m_e) {
        case Direction::Left:
        case Direction::Right: {
            const int z = m_e == Direction::Left ? static_cast<int>(w * p) : static_cast<int>(w * (1.f - p));
            // x > z shows the second picture for wipeleft, the first for wiperight.
            const bool bRightIsTo = m_e == Direction::Left;
            const int iSplit = std::clamp(z + 1, 0, w);
            for (int y = y0; y < y1; ++y) {
                uint8_t *d = row(st.pOut, st.iOutStride, y);
                const uint8_t *a = row(st.pFrom, st.iFromStride, y);
                const uint8_t *b = row(st.pTo, st.iToStride, y);
                std::memcpy(d, bRightIsTo ? a : b, static_cast<size_t>(iSplit));
                std::memcpy(d + iSplit, (bRightIsTo ? b : a) + iSplit, static_cast<size_t>(w - iSplit));
            }
            break;
        }
        case Direction::Up:
        case Direction::Down: {
            const int z = m_e == Direction::Up ? static_cast<int>(h * p) : static_cast<int>(h * (1.f - p));
            for (int y = y0; y < y1; ++y)
                copyRow(st, y, (y > z) == (m_e == Direction::Up), y);
            break;
        }
        }
    }

private:
    Direction m_e;
};

// slideleft, slideright, slidedown: the source index wraps as xfade's does.
class SlidePainter : public TransitionPainter
{
public:
    enum class Direction { Left, Right, Down };
    explicit SlidePainter(Direction e) : m_e(e) {}
    void paintRows(const TransitionPlane &st, float p, int y0, int y1) const override
    {
        const int w = st.iWidth, h = st.iHeight;
        if (m_e == Direction::Down) {
            const int z = static_cast<int>(p * h);
            for (int y = y0; y < y1; ++y) {
                const int zy = z + y;
                const int zz = zy % h + h * (zy < 0);
                copyRow(st, y, zy >= 0 && zy < h, zz);
            }
            return;
        }
        const int z = m_e == Direction::Left ? static_cast<int>(-p * w) : static_cast<int>(p * w);
        if (z < -w || z > w)
            return;   // progress is within [0, 1]: cannot happen
        for (int y = y0; y < y1; ++y) {
            uint8_t *d = row(st.pOut, st.iOutStride, y);
            const uint8_t *a = row(st.pFrom, st.iFromStride, y);
            const uint8_t *b = row(st.pTo, st.iToStride, y);
            // Sample x comes from z + x: of the second picture inside it,
            // of the first one wrapped around outside.
            if (z <= 0) {
                // At z = -w xfade wraps sample 0 to one past the row's end
                // and shows whatever lies there (the last row's lies past
                // the picture): the first picture's own sample here.
                std::memcpy(d, a + z + w, static_cast<size_t>(-z));
                std::memcpy(d - z, b, static_cast<size_t>(w + z));
            } else {
                std::memcpy(d, b + z, static_cast<size_t>(w - z));
                std::memcpy(d + w - z, a, static_cast<size_t>(z));
            }
        }
    }

private:
    Direction m_e;
};

// rectcrop.
class RectCropPainter : public TransitionPainter
{
public:
    void paintRows(const TransitionPlane &st, float p, int y0, int y1) const override
    {
        const int w = st.iWidth, h = st.iHeight;
        const int zh = static_cast<int>(fabsf(p - 0.5f) * h);
        const int zw = static_cast<int>(fabsf(p - 0.5f) * w);
        const bool bTo = p < 0.5f;
        // |x - w / 2| < zw: the columns between these two.
        const int x0 = std::clamp(w / 2 - zw + 1, 0, w);
        const int x1 = std::clamp(w / 2 + zw, x0, w);
        for (int y = y0; y < y1; ++y) {
            uint8_t *d = row(st.pOut, st.iOutStride, y);
            if (std::abs(y - h / 2) >= zh) {
                std::memset(d, st.iBlack, static_cast<size_t>(w));
                continue;
            }
            const uint8_t *v = bTo ? row(st.pTo, st.iToStride, y) : row(st.pFrom, st.iFromStride, y);
            std::memset(d, st.iBlack, static_cast<size_t>(x0));
            std::memcpy(d + x0, v + x0, static_cast<size_t>(x1 - x0));
            std::memset(d + x1, st.iBlack, static_cast<size_t>(w - x1));
        }
    }
};

// The smooth edges: a weight that depends on the position (and the
// progress), blending the second picture over the first.
class EdgePainter : public TransitionPainter
{
public:
    enum class Edge { Left, Right, Up, Down, VertOpen, VertClose, HorzClose, Radial, CircleOpen, CircleClose };
    explicit EdgePainter(Edge e) : m_e(e) {}
    void prepare(const TransitionPlane &st, float p) override
    {
        if (byColumn()) {
            m_weights.resize(static_cast<size_t>(st.iWidth));
            for (int x = 0; x < st.iWidth; ++x)
                m_weights[static_cast<size_t>(x)] = smoothstep(0.f, 1.f, axisSmooth(x, st.iWidth, p));
        } else if (byPixel()) {
            // Held for every plane size of the frame, luma and chroma.
            const auto it = std::find_if(m_tables.cbegin(), m_tables.cend(), [&st](const auto &pTable) {
                return pTable->iWidth == st.iWidth && pTable->iHeight == st.iHeight;
            });
            if (it != m_tables.cend()) {
                m_pTable = it->get();
            } else {
                m_tables.push_back(
                    positionTable(m_e == Edge::Radial ? Shape::Angle : Shape::Distance, st.iWidth, st.iHeight));
                m_pTable = m_tables.back().get();
            }
        }
    }
    void paintRows(const TransitionPlane &st, float p, int y0, int y1) const override
    {
        if (byColumn())
            paintByColumn(st, y0, y1);
        else if (byPixel())
            paintByPixel(st, p, y0, y1);
        else
            paintByRow(st, p, y0, y1);
    }

private:
    bool byColumn() const
    {
        return m_e == Edge::Left || m_e == Edge::Right || m_e == Edge::VertOpen || m_e == Edge::VertClose;
    }
    bool byPixel() const { return m_e == Edge::Radial || m_e == Edge::CircleOpen || m_e == Edge::CircleClose; }

    // Where sample i of iLength along the axis the edge moves on stands
    // against the edge: the same formulas for columns and for rows.
    float axisSmooth(int i, int iLength, float p) const
    {
        const float n = iLength;
        const float n2 = iLength / 2.0;
        switch (m_e) {
        case Edge::Left:
        case Edge::Up: return 1.f + i / n - p * 2.f;
        case Edge::Right:
        case Edge::Down: return 1.f + (n - 1 - i) / n - p * 2.f;
        case Edge::VertOpen: return 2.f - fabsf((i - n2) / n2) - p * 2.f;
        default: return 1.f + fabsf((i - n2) / n2) - p * 2.f;
        }
    }

    void paintByColumn(const TransitionPlane &st, int y0, int y1) const
    {
        for (int y = y0; y < y1; ++y) {
            const uint8_t *a = row(st.pFrom, st.iFromStride, y);
            const uint8_t *b = row(st.pTo, st.iToStride, y);
            uint8_t *d = row(st.pOut, st.iOutStride, y);
            for (int x = 0; x < st.iWidth; ++x)
                d[x] = weighted(b[x], a[x], m_weights[static_cast<size_t>(x)]);
        }
    }

    void paintByRow(const TransitionPlane &st, float p, int y0, int y1) const
    {
        for (int y = y0; y < y1; ++y) {
            const float t = smoothstep(0.f, 1.f, axisSmooth(y, st.iHeight, p));
            if (t == 0.f || t == 1.f) {
                copyRow(st, y, t == 1.f, y);
                continue;
            }
            const uint8_t *a = row(st.pFrom, st.iFromStride, y);
            const uint8_t *b = row(st.pTo, st.iToStride, y);
            uint8_t *d = row(st.pOut, st.iOutStride, y);
            for (int x = 0; x < st.iWidth; ++x)
                d[x] = weighted(b[x], a[x], t);
        }
    }

    void paintByPixel(const TransitionPlane &st, float p, int y0, int y1) const
    {
        const bool bRadial = m_e == Edge::Radial;
        // The radial sweep subtracts in double, as xfade's expression does.
        const double lfSweep = (p - 0.5f) * (M_PI * 2.5f);
        const float lfRing = m_e == Edge::CircleOpen ? (p - 0.5f) * 3.f : (1.f - p - 0.5f) * 3.f;
        const bool bOpen = m_e == Edge::CircleOpen;
        const float *pValue = m_pTable->values.data() + static_cast<size_t>(y0) * st.iWidth;
        for (int y = y0; y < y1; ++y) {
            const uint8_t *a = row(st.pFrom, st.iFromStride, y);
            const uint8_t *b = row(st.pTo, st.iToStride, y);
            uint8_t *d = row(st.pOut, st.iOutStride, y);
            for (int x = 0; x < st.iWidth; ++x, ++pValue) {
                const float smooth = bRadial ? static_cast<float>(*pValue - lfSweep) : *pValue + lfRing;
                const float t = smoothstep(0.f, 1.f, smooth);
                d[x] = bOpen ? weighted(a[x], b[x], t) : weighted(b[x], a[x], t);
            }
        }
    }

    Edge m_e;
    std::vector<float> m_weights;
    std::vector<std::shared_ptr<const PositionTable>> m_tables;
    const PositionTable *m_pTable = nullptr;   // the current plane's
};

// pixelize: both pictures sampled in blocks that grow to the middle and
// shrink again, blended at the progress.
class PixelizePainter : public TransitionPainter
{
public:
    void prepare(const TransitionPlane &st, float p) override
    {
        const int w = st.iWidth;
        const float dist = distance(p);
        const float sqx = 2.f * dist * std::min(w, st.iHeight) / 20.f;
        m_columns.resize(static_cast<size_t>(w));
        for (int x = 0; x < w; ++x) {
            const float lfBlock = (floorf(x / sqx) + .5f) * sqx;
            m_columns[static_cast<size_t>(x)] = dist > 0.f ? static_cast<int>(lfBlock > w - 1 ? w - 1 : lfBlock) : x;
        }
        m_table.prepare(p, 0, [p](int a, int b) { return toSample(mix(a, b, p)); });
    }
    void paintRows(const TransitionPlane &st, float p, int y0, int y1) const override
    {
        const int w = st.iWidth, h = st.iHeight;
        const float dist = distance(p);
        const float sqy = 2.f * dist * std::min(w, h) / 20.f;
        for (int y = y0; y < y1; ++y) {
            const float lfBlock = (floorf(y / sqy) + .5f) * sqy;
            const int sy = dist > 0.f ? static_cast<int>(lfBlock > h - 1 ? h - 1 : lfBlock) : y;
            const uint8_t *a = row(st.pFrom, st.iFromStride, sy);
            const uint8_t *b = row(st.pTo, st.iToStride, sy);
            uint8_t *dst = row(st.pOut, st.iOutStride, y);
            for (int x = 0; x < w; ++x) {
                const int sx = m_columns[static_cast<size_t>(x)];
                dst[x] = m_table(a[sx], b[sx]);
            }
        }
    }

private:
    // The block size's share of the picture: largest in the middle.
    static float distance(float p)
    {
        const float d = fminf(p, 1.f - p);
        return ceilf(d * 50.f) / 50.f;
    }

    std::vector<int> m_columns;
    PairTable m_table;
};

// zoomin: the first picture grows from the middle while the second fades in.
class ZoomInPainter : public TransitionPainter
{
public:
    void prepare(const TransitionPlane &st, float p) override
    {
        const float w = st.iWidth;
        const float zf = smoothstep(0.5f, 1.f, p);
        const float lfFade = smoothstep(0.f, 0.5f, p);
        m_columns.resize(static_cast<size_t>(st.iWidth));
        for (int x = 0; x < st.iWidth; ++x) {
            const float u = 0.5f + ((x / w - 0.5f) * zf);
            m_columns[static_cast<size_t>(x)] = static_cast<int>(ceilf(u * (w - 1)));
        }
        m_table.prepare(lfFade, 0, [lfFade](int zv, int b) { return toSample(mix(zv, b, lfFade)); });
    }
    void paintRows(const TransitionPlane &st, float p, int y0, int y1) const override
    {
        const float h = st.iHeight;
        const float zf = smoothstep(0.5f, 1.f, p);
        for (int y = y0; y < y1; ++y) {
            const float v = 0.5f + ((y / h - 0.5f) * zf);
            const int iv = static_cast<int>(ceilf(v * (h - 1)));
            const uint8_t *a = row(st.pFrom, st.iFromStride, iv);
            const uint8_t *b = row(st.pTo, st.iToStride, y);
            uint8_t *d = row(st.pOut, st.iOutStride, y);
            for (int x = 0; x < st.iWidth; ++x)
                d[x] = m_table(a[m_columns[static_cast<size_t>(x)]], b[x]);
        }
    }

private:
    std::vector<int> m_columns;
    PairTable m_table;
};

// hblur: both pictures blurred along the rows, more towards the middle.
class HBlurPainter : public TransitionPainter
{
public:
    void paintRows(const TransitionPlane &st, float p, int y0, int y1) const override
    {
        const int w = st.iWidth;
        const float prog = p <= 0.5f ? p * 2.f : (1.f - p) * 2.f;
        const int size = static_cast<int>(1 + (w / 2) * prog);
        for (int y = y0; y < y1; ++y) {
            const uint8_t *a = row(st.pFrom, st.iFromStride, y);
            const uint8_t *b = row(st.pTo, st.iToStride, y);
            uint8_t *d = row(st.pOut, st.iOutStride, y);
            float sum0 = 0.f, sum1 = 0.f;
            float cnt = size;
            for (int x = 0; x < size; ++x) {
                sum0 += a[x];
                sum1 += b[x];
            }
            for (int x = 0; x < w; ++x) {
                d[x] = toSample(mix(sum0 / cnt, sum1 / cnt, p));
                if (x + size < w) {
                    sum0 += a[x + size] - a[x];
                    sum1 += b[x + size] - b[x];
                } else {
                    sum0 -= a[x];
                    sum1 -= b[x];
                    cnt--;
                }
            }
        }
    }
};

} // namespace

void TransitionPainter::paint(const TransitionPlane &stPlane, float lfProgress)
{
    prepare(stPlane, lfProgress);
    paintRows(stPlane, lfProgress, 0, stPlane.iHeight);
}

float TransitionPainter::progress(int64_t iFrame, int64_t iFrames)
{
    return clipFloat(1.f - (static_cast<float>(iFrame) / static_cast<float>(iFrames)), 0.f, 1.f);
}

std::unique_ptr<TransitionPainter> TransitionPainter::create(const char *szName)
{
    using Maker = std::function<std::unique_ptr<TransitionPainter>()>;
    const auto edge = [](EdgePainter::Edge e) { return [e] { return std::make_unique<EdgePainter>(e); }; };
    const auto wipe = [](WipePainter::Direction e) { return [e] { return std::make_unique<WipePainter>(e); }; };
    const auto slide = [](SlidePainter::Direction e) { return [e] { return std::make_unique<SlidePainter>(e); }; };
    const std::pair<const char *, Maker> makers[] = {
        {"fadeblack", [] { return std::make_unique<FadeThroughPainter>(false); }},
        {"fadewhite", [] { return std::make_unique<FadeThroughPainter>(true); }},
        {"rectcrop", [] { return std::make_unique<RectCropPainter>(); }},
        {"radial", edge(EdgePainter::Edge::Radial)},
        {"hblur", [] { return std::make_unique<HBlurPainter>(); }},
        {"pixelize", [] { return std::make_unique<PixelizePainter>(); }},
        {"zoomin", [] { return std::make_unique<ZoomInPainter>(); }},
        {"slidedown", slide(SlidePainter::Direction::Down)},
        {"slideleft", slide(SlidePainter::Direction::Left)},
        {"slideright", slide(SlidePainter::Direction::Right)},
        {"wipeup", wipe(WipePainter::Direction::Up)},
        {"wipedown", wipe(WipePainter::Direction::Down)},
        {"wipeleft", wipe(WipePainter::Direction::Left)},
        {"wiperight", wipe(WipePainter::Direction::Right)},
        {"smoothup", edge(EdgePainter::Edge::Up)},
        {"smoothdown", edge(EdgePainter::Edge::Down)},
        {"smoothleft", edge(EdgePainter::Edge::Left)},
        {"smoothright", edge(EdgePainter::Edge::Right)},
        {"circleclose", edge(EdgePainter::Edge::CircleClose)},
        {"circleopen", edge(EdgePainter::Edge::CircleOpen)},
        {"vertclose", edge(EdgePainter::Edge::VertClose)},
        {"vertopen", edge(EdgePainter::Edge::VertOpen)},
        {"horzclose", edge(EdgePainter::Edge::HorzClose)},
    };
    for (const auto &maker : makers) {
        if (szName && std::strcmp(szName, maker.first) == 0)
            return maker.second();
    }
    return nullptr;
}

} // namespace recipes
