#include "render_cli/RenderProgress.h"

#include <algorithm>

namespace {

// Redraws at most this often; the percentage changing always redraws.
constexpr int64_t kRedrawMs = 200;

QString clockText(int64_t iMs)
{
    const int64_t iSeconds = iMs / 1000;
    if (iSeconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(iSeconds / 3600)
            .arg(iSeconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(iSeconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(iSeconds / 60).arg(iSeconds % 60, 2, 10, QLatin1Char('0'));
}

int percentOf(int64_t iFrames, int64_t iTotal)
{
    return iTotal > 0 ? static_cast<int>(std::min<int64_t>(100, iFrames * 100 / iTotal)) : 100;
}

} // namespace

RenderProgress::RenderProgress(Style eStyle, std::FILE *pOut) : m_eStyle(eStyle), m_pOut(pOut)
{
    m_clock.start();
}

QString RenderProgress::terminalText(int64_t iFrames, int64_t iTotalFrames, int64_t iElapsedMs)
{
    // The time left is only guessed once a few frames show the pace.
    const QString szLeft = iFrames > 0 && iFrames < iTotalFrames && iElapsedMs > 0
                               ? clockText(iElapsedMs * (iTotalFrames - iFrames) / iFrames)
                               : (iFrames >= iTotalFrames ? clockText(0) : QStringLiteral("-:--"));
    return QStringLiteral("%1%  frame %2/%3  elapsed %4  left %5")
        .arg(percentOf(iFrames, iTotalFrames), 3)
        .arg(iFrames)
        .arg(iTotalFrames)
        .arg(clockText(iElapsedMs), szLeft);
}

void RenderProgress::update(int64_t iFrames, int64_t iTotalFrames)
{
    m_iTotalFrames = iTotalFrames;
    const int iPercent = percentOf(iFrames, iTotalFrames);
    switch (m_eStyle) {
    case Style::Quiet:
        return;
    case Style::Lines:
        if (m_iShownPercent < 0 || iPercent / 10 != m_iShownPercent / 10)
            std::fprintf(m_pOut, "progress %d%%\n", iPercent);
        m_iShownPercent = iPercent;
        return;
    case Style::Terminal: {
        const int64_t iNowMs = m_clock.elapsed();
        if (iPercent == m_iShownPercent && m_iShownAtMs >= 0 && iNowMs - m_iShownAtMs < kRedrawMs
            && iFrames < iTotalFrames)
            return;
        m_iShownPercent = iPercent;
        m_iShownAtMs = iNowMs;
        draw(terminalText(iFrames, iTotalFrames, iNowMs));
        return;
    }
    }
}

void RenderProgress::draw(const QString &szText)
{
    // Spaces wipe what a longer line before left behind.
    const int iPad = std::max(0, m_iShownWidth - static_cast<int>(szText.size()));
    std::fprintf(m_pOut, "\r%s%*s", szText.toLocal8Bit().constData(), iPad, "");
    std::fflush(m_pOut);
    m_iShownWidth = static_cast<int>(szText.size());
}

void RenderProgress::finish(bool bSucceeded)
{
    if (bSucceeded && m_iShownPercent < 100) {
        m_iShownAtMs = -1;
        update(m_iTotalFrames, m_iTotalFrames);
    }
    if (m_eStyle == Style::Terminal && m_iShownWidth > 0) {
        std::fputc('\n', m_pOut);
        m_iShownWidth = 0;
    }
}
