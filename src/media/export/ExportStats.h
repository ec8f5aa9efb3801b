#pragma once

// Where the time of an export goes. The export thread switches the clock to
// the phase it enters; each phase's time is counted once, never also in the
// phase around it. Two steady_clock reads per switch: cheap enough to stay on.

#include <array>
#include <chrono>
#include <cstdint>

enum class ExportPhase : int {
    Other = 0,      // set-up, loops, progress
    Prepare,        // decoding, turning and fitting pictures; the watermark
    Transition,     // xfade graphs
    Watermark,      // the overlay per frame
    VideoEncode,    // inside the video encoder
    Audio,          // mixer, FIFO and audio encoder
    Mux,            // header, packets, trailer, closing and moving the file
    Motion,         // the moving photos' frames
    Count
};

const char *exportPhaseName(ExportPhase ePhase);

struct ExportStats
{
    std::array<double, static_cast<int>(ExportPhase::Count)> lfSeconds{};
    double lfTotalSeconds = 0;
    int64_t iVideoFrames = 0;

    double seconds(ExportPhase ePhase) const { return lfSeconds[static_cast<int>(ePhase)]; }
};

class PhaseClock
{
public:
    using Clock = std::chrono::steady_clock;

    void start()
    {
        m_stats = ExportStats();
        m_eCurrent = ExportPhase::Other;
        m_tStart = m_tSince = Clock::now();
    }
    // Counts the time since the last switch to the current phase and enters ePhase.
    ExportPhase enter(ExportPhase ePhase)
    {
        const Clock::time_point tNow = Clock::now();
        m_stats.lfSeconds[static_cast<int>(m_eCurrent)] += std::chrono::duration<double>(tNow - m_tSince).count();
        m_tSince = tNow;
        const ExportPhase ePrevious = m_eCurrent;
        m_eCurrent = ePhase;
        return ePrevious;
    }
    ExportStats finish(int64_t iVideoFrames)
    {
        enter(ExportPhase::Other);
        m_stats.lfTotalSeconds = std::chrono::duration<double>(m_tSince - m_tStart).count();
        m_stats.iVideoFrames = iVideoFrames;
        return m_stats;
    }

private:
    ExportStats m_stats;
    ExportPhase m_eCurrent = ExportPhase::Other;
    Clock::time_point m_tStart;
    Clock::time_point m_tSince;
};

// Enters a phase for the lifetime of the object and returns to the previous one.
class ScopedPhase
{
public:
    ScopedPhase(PhaseClock &clock, ExportPhase ePhase) : m_clock(clock), m_ePrevious(clock.enter(ePhase)) {}
    ~ScopedPhase() { m_clock.enter(m_ePrevious); }
    ScopedPhase(const ScopedPhase &) = delete;
    ScopedPhase &operator=(const ScopedPhase &) = delete;

private:
    PhaseClock &m_clock;
    ExportPhase m_ePrevious;
};
