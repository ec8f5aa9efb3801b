#pragma once

// CPU time of threads and of the process, for the benchmarks' accounts of
// where the time went.

#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <ctime>

namespace bench {

// CPU time of this process's threads named szName, together, in ms; -1 when there is none.
inline double threadCpuMs(const char *szName)
{
    double lfSum = -1;
    for (const QString &szTask : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stComm("/proc/self/task/" + szTask + "/comm");
        if (!stComm.open(QIODevice::ReadOnly) || stComm.readAll().trimmed() != szName)
            continue;
        QFile stSched("/proc/self/task/" + szTask + "/schedstat");
        if (stSched.open(QIODevice::ReadOnly))
            lfSum = std::max(lfSum, 0.0) + stSched.readAll().split(' ').value(0).toDouble() / 1e6;
    }
    return lfSum;
}

inline double clockMs(clockid_t iClock)
{
    timespec stTime{};
    clock_gettime(iClock, &stTime);
    return stTime.tv_sec * 1e3 + stTime.tv_nsec / 1e6;
}

inline double ownThreadCpuMs()
{
    return clockMs(CLOCK_THREAD_CPUTIME_ID);
}

inline double processCpuMs()
{
    return clockMs(CLOCK_PROCESS_CPUTIME_ID);
}

} // namespace bench
