#include "player/CPreviewClock.h"

void CPreviewClock::start()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_iOffset = m_iPosition = positionLocked();
    m_stTimer.restart();
    m_eState = State::Counting;
}

void CPreviewClock::pause()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_eState != State::Counting)
        return;
    m_iPosition = positionLocked();
    m_eState = State::Paused;
}

void CPreviewClock::resume()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_eState != State::Paused)
        return;
    m_iOffset = m_iPosition;
    m_stTimer.restart();
    m_eState = State::Counting;
}

void CPreviewClock::restartAt(int64_t iMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_iOffset = m_iPosition = iMs;
    m_stTimer.restart();
}

void CPreviewClock::stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_iOffset = m_iPosition = 0;
    m_eState = State::Stopped;
}

int64_t CPreviewClock::position() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return positionLocked();
}

int64_t CPreviewClock::positionLocked() const
{
    return m_eState == State::Counting ? m_iOffset + m_stTimer.elapsed() : m_iPosition;
}

bool CPreviewClock::isPaused() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_eState == State::Paused;
}
