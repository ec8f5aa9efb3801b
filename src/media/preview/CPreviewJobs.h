#pragma once

// Which of a worker's jobs the owner has called off. A job is asked for in
// the owner's thread (when it emits the job's signal) and runs later in the
// worker's; calling off covers every job asked for until then, also one
// still waiting in the queue, and none asked for afterwards. A job started
// without being asked for (its slot called directly) counts as asked for
// when it starts.

#include <atomic>
#include <cstdint>

class CPreviewJobs
{
public:
    // Owner's thread, at the request.
    void requested() { m_iRequested.fetch_add(1); }
    // Worker's thread, as a job starts: its number.
    int64_t started()
    {
        const int64_t iJob = m_iStarted.fetch_add(1) + 1;
        raise(m_iRequested, iJob);
        return iJob;
    }
    // Any thread: calls off every job asked for so far.
    void cancelAll() { raise(m_iCancelled, m_iRequested.load()); }
    bool isCancelled(int64_t iJob) const { return iJob <= m_iCancelled.load(); }

private:
    static void raise(std::atomic<int64_t> &iValue, int64_t iAtLeast)
    {
        int64_t iNow = iValue.load();
        while (iNow < iAtLeast && !iValue.compare_exchange_weak(iNow, iAtLeast)) {
        }
    }

    std::atomic<int64_t> m_iRequested{0};
    std::atomic<int64_t> m_iStarted{0};
    std::atomic<int64_t> m_iCancelled{0};
};
