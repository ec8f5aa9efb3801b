#pragma once

// How pictora-render shows the progress of an export on standard error.

#include <QElapsedTimer>
#include <QString>

#include <cstdint>
#include <cstdio>

class RenderProgress
{
public:
    enum class Style {
        Terminal,   // one line redrawn in place (carriage returns), ended by a newline
        Lines,      // "progress N%" at every tenth, for logs and pipes
        Quiet,      // nothing
    };

    RenderProgress(Style eStyle, std::FILE *pOut);

    // Called for every frame written.
    void update(int64_t iFrames, int64_t iTotalFrames);
    // The export ended: a success shows 100 %; the terminal line gets its newline.
    void finish(bool bSucceeded);

    // The terminal line for iFrames of iTotalFrames after iElapsedMs.
    static QString terminalText(int64_t iFrames, int64_t iTotalFrames, int64_t iElapsedMs);

private:
    void draw(const QString &szText);

    Style m_eStyle;
    std::FILE *m_pOut;
    QElapsedTimer m_clock;
    int m_iShownPercent = -1;
    int64_t m_iShownAtMs = -1;
    int m_iShownWidth = 0;
    int64_t m_iTotalFrames = 0;
};
