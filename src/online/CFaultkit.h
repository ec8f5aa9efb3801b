#pragma once

#include "online/CDumpCatchInterface.h"

// Our crash-catch layer. It catches SIGSEGV, SIGBUS, SIGFPE, SIGILL and
// SIGABRT with a handler that runs on an alternate stack and makes only
// async-signal-safe calls. While an observer is registered, the handler
// formats a one-line description of the crash into a static buffer, writes
// it to standard error and hands it to the reporter program (vfork and
// execve of the path and argument list that load() prepared; the reporter
// starts a session of its own and outlives the crash). The crashed process
// does not wait: the signal gets its previous action back and strikes again
// at once, so its window goes, its input grabs end, and the exit status and
// the core dump stay those of the crash.
//
// Nothing that allocates, sends or opens windows runs in the crashed
// process: the reporter runs its own observer with the description. In the
// program, the registered observer only arms the reporter.
//
// A stack overflow is reported on any thread: the installing thread gets an
// alternate stack, and so does every thread started after install().
class CFaultkit final : public CDumpCatchInterface, public CDumpCatchManager
{
public:
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
