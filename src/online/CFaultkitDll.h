#pragma once

#include "online/CDumpCatchInterface.h"

#include <QString>

// Loads our crash-catch layer (see CFaultkit) and obtains its interface.
// A failure is told through the notice function with the caption "提示" and
// leaves the interface null: the program then runs without crash reporting.
// The layer stays in place when the loader goes.
class CFaultkitDll
{
public:
    using ExportFunction = CDumpCatchInterface *(*)();

    explicit CFaultkitDll(const CrashNoticeFunction &fnNotice, const QString &szReporterPath = defaultReporterPath());
    virtual ~CFaultkitDll() = default;
    CFaultkitDll(const CFaultkitDll &) = delete;
    CFaultkitDll &operator=(const CFaultkitDll &) = delete;

    // Null when any step failed.
    CDumpCatchInterface *getInterface() const { return m_pInterface; }

    // The reporter program beside the running executable.
    static QString defaultReporterPath();

private:
    bool m_bLoaded = false;
    ExportFunction m_pfnExport = nullptr;
    CDumpCatchInterface *m_pInterface = nullptr;
};
