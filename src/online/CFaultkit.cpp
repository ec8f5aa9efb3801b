#include "online/CFaultkit.h"

#include <QByteArray>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <new>

#include <dlfcn.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

// Everything the handler touches is static and prepared before any crash.
namespace {

constexpr int kCaughtSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kSignalCount = int(sizeof kCaughtSignals / sizeof kCaughtSignals[0]);
constexpr size_t kSignalStackSize = 64 * 1024;

alignas(64) char s_altStack[kSignalStackSize];
struct sigaction s_previousActions[kSignalCount];
std::mutex s_setupMutex;
bool s_bInstalled = false;
std::atomic<bool> s_bLoaded{false};
std::atomic<CDumpCatchObserverBase *> s_pObserver{nullptr};
std::atomic<long> s_iHandlingThread{0};

char s_szReporterPath[4096];
char s_szProgramName[256];
char s_szDescription[1024];
char s_szProgramOption[] = "--program";
char s_szDescriptionOption[] = "--description";
char *s_argv[] = {s_szReporterPath, s_szProgramOption, s_szProgramName, s_szDescriptionOption, s_szDescription,
                  nullptr};

static_assert(std::atomic<long>::is_always_lock_free, "the handler needs lock-free atomics");
static_assert(std::atomic<CDumpCatchObserverBase *>::is_always_lock_free, "the handler needs lock-free atomics");

// Appends to a fixed buffer without allocating; cuts what does not fit.
class StaticText
{
public:
    StaticText(char *pBuffer, size_t iCapacity) : m_pBuffer(pBuffer), m_iCapacity(iCapacity) { m_pBuffer[0] = '\0'; }

    StaticText &add(const char *sz)
    {
        while (*sz && m_iLength + 1 < m_iCapacity)
            m_pBuffer[m_iLength++] = *sz++;
        m_pBuffer[m_iLength] = '\0';
        return *this;
    }
    StaticText &addNumber(unsigned long iValue, unsigned iBase)
    {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = "0123456789abcdef"[iValue % iBase];
            iValue /= iBase;
        } while (iValue && n < int(sizeof digits));
        char reversed[sizeof digits + 1];
        for (int i = 0; i < n; ++i)
            reversed[i] = digits[n - 1 - i];
        reversed[n] = '\0';
        return add(reversed);
    }
    StaticText &addDecimal(long iValue)
    {
        if (iValue < 0)
            add("-");
        return addNumber(iValue < 0 ? 0UL - static_cast<unsigned long>(iValue) : static_cast<unsigned long>(iValue),
                         10);
    }
    size_t length() const { return m_iLength; }

private:
    char *m_pBuffer;
    size_t m_iCapacity;
    size_t m_iLength = 0;
};

const char *signalName(int iSignal)
{
    switch (iSignal) {
    case SIGSEGV: return "SIGSEGV (segmentation fault)";
    case SIGBUS: return "SIGBUS (bus error)";
    case SIGFPE: return "SIGFPE (arithmetic exception)";
    case SIGILL: return "SIGILL (illegal instruction)";
    case SIGABRT: return "SIGABRT (abort)";
    default: return "signal";
    }
}

size_t describeCrash(int iSignal, const siginfo_t *pInfo, long iThread)
{
    StaticText text(s_szDescription, sizeof s_szDescription);
    text.add(signalName(iSignal)).add(", signal ").addDecimal(iSignal);
    if (pInfo) {
        text.add(", code ").addDecimal(pInfo->si_code);
        if (pInfo->si_code > 0)   // a fault of the processor, not a sent signal
            text.add(", address 0x").addNumber(reinterpret_cast<unsigned long>(pInfo->si_addr), 16);
    }
    text.add(", in ").add(s_szProgramName).add(" " PICTORA_VERSION ", pid ").addDecimal(long(getpid()));
    text.add(", thread ").addDecimal(iThread);
    return text.length();
}

void writeAll(int iFd, const char *pData, size_t iLength)
{
    while (iLength > 0) {
        const ssize_t iWritten = write(iFd, pData, iLength);
        if (iWritten < 0 && errno == EINTR)
            continue;
        if (iWritten <= 0)
            return;
        pData += iWritten;
        iLength -= size_t(iWritten);
    }
}

// Starts the reporter. vfork runs no fork handlers and takes no locks, and
// the parent goes on only once the child has replaced itself; the child
// clears its signal mask (inherited from the handler) and leaves our session,
// so that nothing sent to the crashed program's group ends it.
void startReporter()
{
    const pid_t iChild = vfork();
    if (iChild == 0) {
        sigset_t stNone;
        sigemptyset(&stNone);
        sigprocmask(SIG_SETMASK, &stNone, nullptr);
        setsid();
        execve(s_szReporterPath, s_argv, environ);
        _exit(127);
    }
}

// Gives the signal its previous action back and lets it strike again. A
// fault of the processor comes back by itself when the handler returns (the
// core dump then shows the faulting frame); a sent signal (kill, raise,
// abort) is raised once more.
void strikeAgain(int iSignal, const siginfo_t *pInfo)
{
    for (int i = 0; i < kSignalCount; ++i) {
        if (kCaughtSignals[i] == iSignal)
            sigaction(iSignal, &s_previousActions[i], nullptr);
    }
    if (pInfo && pInfo->si_code > 0)
        return;
    sigset_t stSet;
    sigemptyset(&stSet);
    sigaddset(&stSet, iSignal);
    sigprocmask(SIG_UNBLOCK, &stSet, nullptr);
    raise(iSignal);
}

void onFatalSignal(int iSignal, siginfo_t *pInfo, void *)
{
    const long iSelf = syscall(SYS_gettid);
    long iHandling = 0;
    if (!s_iHandlingThread.compare_exchange_strong(iHandling, iSelf)) {
        // Another thread crashed first: it reports and ends the process.
        if (iHandling != iSelf) {
            for (;;)
                pause();
        }
        strikeAgain(iSignal, pInfo);   // the handler itself failed
        return;
    }
    const size_t iLength = describeCrash(iSignal, pInfo, iSelf);
    writeAll(STDERR_FILENO, s_szDescription, iLength);
    writeAll(STDERR_FILENO, "\n", 1);
    if (s_pObserver.load() && s_bLoaded.load())
        startReporter();
    strikeAgain(iSignal, pInfo);
}

// Threads started after install() get an alternate signal stack of their
// own, so that a stack overflow on a worker reaches the handler too.
// pthread_create is interposed for the whole process (Qt's, SDL's and the
// standard library's threads start through it). The sanitizers intercept
// it and give every thread a signal stack themselves.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define PICTORA_SANITIZED 1
#endif
#endif
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && !defined(PICTORA_SANITIZED)
#define PICTORA_THREAD_SIGNAL_STACKS 1

std::atomic<bool> s_bThreadStacks{false};

struct ThreadStart
{
    void *(*pfnStart)(void *);
    void *pArg;
};

// The calling thread's alternate stack while it lives; nothing when the
// thread has one already.
class ThreadSignalStack
{
public:
    ThreadSignalStack()
    {
        stack_t stCurrent{};
        if (sigaltstack(nullptr, &stCurrent) != 0 || !(stCurrent.ss_flags & SS_DISABLE))
            return;
        const long iMinimum = sysconf(_SC_SIGSTKSZ);
        m_iSize = iMinimum > 0 && size_t(iMinimum) > kSignalStackSize ? size_t(iMinimum) : kSignalStackSize;
        void *pStack = mmap(nullptr, m_iSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (pStack == MAP_FAILED)
            return;
        stack_t stOurs{};
        stOurs.ss_sp = pStack;
        stOurs.ss_size = m_iSize;
        if (sigaltstack(&stOurs, nullptr) != 0) {
            munmap(pStack, m_iSize);
            return;
        }
        m_pStack = pStack;
    }
    ~ThreadSignalStack()
    {
        if (!m_pStack)
            return;
        stack_t stNone{};
        stNone.ss_flags = SS_DISABLE;
        sigaltstack(&stNone, nullptr);
        munmap(m_pStack, m_iSize);
    }
    ThreadSignalStack(const ThreadSignalStack &) = delete;
    ThreadSignalStack &operator=(const ThreadSignalStack &) = delete;

private:
    void *m_pStack = nullptr;
    size_t m_iSize = 0;
};

// The stack goes when the routine returns, and when the thread ends by
// pthread_exit or cancellation, which unwind through here.
void *runWithSignalStack(void *pArg)
{
    const ThreadStart stStart = *static_cast<ThreadStart *>(pArg);
    delete static_cast<ThreadStart *>(pArg);
    ThreadSignalStack stStack;
    return stStart.pfnStart(stStart.pArg);
}
#endif

bool copyText(const QByteArray &text, char *pBuffer, size_t iCapacity)
{
    if (text.isEmpty() || size_t(text.size()) >= iCapacity || text.contains('\0'))
        return false;
    std::memcpy(pBuffer, text.constData(), size_t(text.size()) + 1);
    return true;
}

} // namespace

CFaultkit &CFaultkit::instance()
{
    static CFaultkit s_faultkit;
    return s_faultkit;
}

bool CFaultkit::load(const QString &szReporterPath, const QString &szProgramName)
{
    std::lock_guard<std::mutex> lock(s_setupMutex);
    s_bLoaded.store(false);
    const QFileInfo stReporter(szReporterPath);
    if (!stReporter.isFile() || !stReporter.isExecutable())
        return false;
    if (!copyText(QFile::encodeName(stReporter.absoluteFilePath()), s_szReporterPath, sizeof s_szReporterPath)
        || !copyText(szProgramName.toUtf8(), s_szProgramName, sizeof s_szProgramName))
        return false;
    s_bLoaded.store(true);
    return true;
}

bool CFaultkit::install()
{
    std::lock_guard<std::mutex> lock(s_setupMutex);
    if (!s_bLoaded.load())
        return false;
    if (s_bInstalled)
        return true;

    // Keep an alternate stack that is there already (a sanitizer's, say).
    stack_t stCurrent{};
    if (sigaltstack(nullptr, &stCurrent) != 0)
        return false;
    if (stCurrent.ss_flags & SS_DISABLE) {
        stack_t stOurs{};
        stOurs.ss_sp = s_altStack;
        stOurs.ss_size = sizeof s_altStack;
        if (sigaltstack(&stOurs, nullptr) != 0)
            return false;
    }

    struct sigaction stAction {};
    stAction.sa_sigaction = onFatalSignal;
    stAction.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&stAction.sa_mask);
    for (int iSignal : kCaughtSignals)
        sigaddset(&stAction.sa_mask, iSignal);
    for (int i = 0; i < kSignalCount; ++i) {
        if (sigaction(kCaughtSignals[i], &stAction, &s_previousActions[i]) != 0) {
            while (--i >= 0)
                sigaction(kCaughtSignals[i], &s_previousActions[i], nullptr);
            return false;
        }
    }
    s_bInstalled = true;
#ifdef PICTORA_THREAD_SIGNAL_STACKS
    s_bThreadStacks.store(true);
#endif
    return true;
}

bool CFaultkit::registerObserver(CDumpCatchObserverBase *pObserver)
{
    CDumpCatchObserverBase *pNone = nullptr;
    return pObserver && s_pObserver.compare_exchange_strong(pNone, pObserver);
}

void CFaultkit::unregisterObserver(CDumpCatchObserverBase *pObserver)
{
    s_pObserver.compare_exchange_strong(pObserver, nullptr);
}

CDumpCatchInterface *getBLLDumpCatchMgrExportInterface()
{
    CFaultkit &faultkit = CFaultkit::instance();
    return faultkit.install() ? &faultkit : nullptr;
}

#ifdef PICTORA_THREAD_SIGNAL_STACKS
extern "C" int pthread_create(pthread_t *pThread, const pthread_attr_t *pAttr, void *(*pfnStart)(void *),
                              void *pArg) noexcept
{
    using CreateFn = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
    static const auto s_pfnCreate = reinterpret_cast<CreateFn>(dlsym(RTLD_NEXT, "pthread_create"));
    if (!s_pfnCreate)
        return EAGAIN;
    if (!s_bThreadStacks.load())
        return s_pfnCreate(pThread, pAttr, pfnStart, pArg);
    auto *pStart = new (std::nothrow) ThreadStart{pfnStart, pArg};
    if (!pStart)
        return EAGAIN;
    const int ret = s_pfnCreate(pThread, pAttr, runWithSignalStack, pStart);
    if (ret != 0)
        delete pStart;
    return ret;
}
#endif
