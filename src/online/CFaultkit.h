#pragma once

#include "online/CDumpCatchInterface.h"

// Our crash-catch layer. It catches SIGSEGV, SIGBUS, SIGFPE, SIGILL and
// SIGABRT with a handler that runs on an alternate stack and makes only
// async-signal-safe calls. While an observer is registered, the handler
// formats a one-line description of the crash into a static buffer, writes
// it to standard error, starts the reporter program with it (vfork and
// execve of the path and argument list that load() prepared) and waits a
// bounded time for the reporter to finish; then the signal gets its
// previous action back and strikes again, so the exit status and the core
// dump stay those of the crash.
//
// Nothing that allocates, sends or opens windows runs in the crashed
// process: the reporter runs its own observer with the description. In the
// program, the registered observer only arms the reporter.
//
// A stack overflow can be reported on the thread that installed the layer
// (it gets the alternate stack); other threads report every other fault.
class CFaultkit final : public CDumpCatchInterface, public CDumpCatchManager
{
public:
    // Longest time a crashed process waits for its reporter.
    static constexpr int kReporterWaitMs = 30000;

    static CFaultkit &instance();

    // Prepares the reporter's command line:
    //   <szReporterPath> --program <szProgramName> --description <text>
    // False when the reporter is not an executable file or a text is too long.
    bool load(const QString &szReporterPath, const QString &szProgramName);
    // Installs the handlers, once; false when nothing is loaded or they
    // cannot be installed.
    bool install();

    CDumpCatchManager *getManager() override { return this; }
    bool registerObserver(CDumpCatchObserverBase *pObserver) override;
    void unregisterObserver(CDumpCatchObserverBase *pObserver) override;

private:
    CFaultkit() = default;
};

// The layer's entry point: installs the handlers and returns the interface,
// or null when the layer is not loaded or cannot be installed.
CDumpCatchInterface *getBLLDumpCatchMgrExportInterface();
