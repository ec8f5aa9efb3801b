#pragma once

#include "online/CBLLDumpCatchUpload.h"
#include "online/CFaultkitDll.h"

// The crash report hooked into the crash-catch layer for the life of this
// object: the observer, then the loader, then the registration. Torn down
// in reverse, the observer unregistered before it goes.
class CDumpCatchHookup
{
public:
    // fnNotice shows the loader's failures.
    explicit CDumpCatchHookup(const CrashNoticeFunction &fnNotice,
                              const QString &szReporterPath = CFaultkitDll::defaultReporterPath());
    ~CDumpCatchHookup();
    CDumpCatchHookup(const CDumpCatchHookup &) = delete;
    CDumpCatchHookup &operator=(const CDumpCatchHookup &) = delete;

    // True while a crash starts the reporter.
    bool isActive() const { return m_pManager != nullptr; }

private:
    CBLLDumpCatchUpload m_observer;
    CFaultkitDll m_loader;
    CDumpCatchManager *m_pManager = nullptr;
};
