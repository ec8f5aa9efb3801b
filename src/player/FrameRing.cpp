#include "player/FrameRing.h"

#include <algorithm>

FrameRing::FrameRing(int iCapacity, bool bKeepLast)
    : m_iCapacity(std::clamp(iCapacity, 1, kMaxCapacity)), m_bKeepLast(bKeepLast)
{
    m_bValid = true;
    for (int i = 0; i < m_iCapacity; ++i) {
        m_slots[i].pFrame = makeFramePtr();
        m_bValid = m_bValid && m_slots[i].pFrame;
    }
}

int FrameRing::push(AVFrame *pFrame, int64_t iWeight)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait(lock, [this] { return !m_bOpen || m_iCount < m_iCapacity; });
    if (!m_bOpen || !m_bValid)
        return -1;
    QueueSlot &stSlot = m_slots[m_iWrite];
    stSlot.iWidth = pFrame->width;
    stSlot.iHeight = pFrame->height;
    stSlot.iFormat = pFrame->format;
    stSlot.stSampleAspect = pFrame->sample_aspect_ratio;
    stSlot.bUploaded = false;
    stSlot.bPresented = false;
    stSlot.bFlipVertical = pFrame->linesize[0] < 0;
    stSlot.iWeight = iWeight;
    m_iRemainingWeight += iWeight;
    av_frame_unref(stSlot.pFrame.get());
    av_frame_move_ref(stSlot.pFrame.get(), pFrame);
    m_iWrite = (m_iWrite + 1) % m_iCapacity;
    ++m_iCount;
    m_cond.notify_all();
    return 0;
}

void FrameRing::open()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bOpen = true;
}

void FrameRing::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bOpen = false;
    m_cond.notify_all();
}

bool FrameRing::isOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bOpen;
}

void FrameRing::flush()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = 0; i < m_iCapacity; ++i)
        if (m_slots[i].pFrame)
            av_frame_unref(m_slots[i].pFrame.get());
    m_iRead = m_iWrite = m_iCount = 0;
    m_iRemainingWeight = 0;
    m_bShown = false;
    m_cond.notify_all();
}

int FrameRing::remaining() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_iCount - (m_bShown ? 1 : 0);
}

int64_t FrameRing::remainingWeight() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_iRemainingWeight;
}

bool FrameRing::hasShown() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bShown;
}

QueueSlot &FrameRing::next()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_slots[(m_iRead + (m_bShown ? 1 : 0)) % m_iCapacity];
}

void FrameRing::advance()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_iCount - (m_bShown ? 1 : 0) == 0)
        return; // nothing new: a shown frame stays until another one arrives
    m_iRemainingWeight -= m_slots[(m_iRead + (m_bShown ? 1 : 0)) % m_iCapacity].iWeight;
    if (m_bKeepLast && !m_bShown) {
        m_bShown = true;
        return;
    }
    av_frame_unref(m_slots[m_iRead].pFrame.get());
    m_iRead = (m_iRead + 1) % m_iCapacity;
    --m_iCount;
    m_cond.notify_all();
}

bool FrameRing::waitForFrame(std::chrono::milliseconds stTimeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait_for(lock, stTimeout, [this] { return m_bWakeConsumer || m_iCount - (m_bShown ? 1 : 0) > 0; });
    m_bWakeConsumer = false;
    return m_iCount - (m_bShown ? 1 : 0) > 0;
}

void FrameRing::wakeConsumer()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bWakeConsumer = true;
    m_cond.notify_all();
}
