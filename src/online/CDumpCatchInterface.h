#pragma once

#include <QString>

#include <functional>

// The crash-catch interface as the program uses it: the interface hands out
// the manager, the manager registers the observer, and the observer is told
// about a crash with a description of it.

class CDumpCatchObserverBase
{
public:
    // pContext is the layer's own business; szException describes the crash
    // (UTF-8). Returns 1.
    virtual int report(void *pContext, const char *szException) = 0;
    virtual ~CDumpCatchObserverBase() = default;
};

class CDumpCatchManager
{
public:
    // False when another observer is registered already.
    virtual bool registerObserver(CDumpCatchObserverBase *pObserver) = 0;
    // Must be called before the observer is destroyed.
    virtual void unregisterObserver(CDumpCatchObserverBase *pObserver) = 0;

protected:
    ~CDumpCatchManager() = default;
};

class CDumpCatchInterface
{
public:
    virtual CDumpCatchManager *getManager() = 0;

protected:
    ~CDumpCatchInterface() = default;
};

// Shows the user a notice of the crash-catch hookup or the crash report: a
// system message box in the program, a collected text in tests.
using CrashNoticeFunction = std::function<void(const QString &szCaption, const QString &szText)>;

// The notice where no window can be shown: one line on standard error.
void printCrashNotice(const QString &szCaption, const QString &szText);
