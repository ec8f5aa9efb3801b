#pragma once

// The preview's clock in milliseconds. The player panel moves its slider
// from it; producers read it from their threads to know which frame is due.
// The position is computed from a monotonic timer whenever it is read, so
// neither timer jitter nor changes of the wall clock move it.

#include <QElapsedTimer>

#include <cstdint>
#include <mutex>

class CPreviewClock
{
public:
    // Starts counting from the current position.
    void start();
    // Holds the position; a paused clock stays as it is.
    void pause();
    // Counts on from where the clock was paused; only a paused clock resumes.
    void resume();
    // Jumps to iMs; a counting clock counts on from there, a paused one stays there.
    void restartAt(int64_t iMs);
    // Stops counting and goes back to 0.
    void stop();

    int64_t position() const;
    bool isPaused() const;

private:
    enum class State { Stopped, Counting, Paused };
    int64_t positionLocked() const;

    mutable std::mutex m_mutex;
    QElapsedTimer m_stTimer;
    State m_eState = State::Stopped;
    int64_t m_iOffset = 0;   // position when the timer was last restarted
    int64_t m_iPosition = 0; // position while not counting
};
