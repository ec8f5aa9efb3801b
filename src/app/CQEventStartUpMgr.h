#pragma once

#include "app/SingletonCls.h"

#include <QEvent>
#include <QList>
#include <QObject>

// Posted by the main window once its UI is ready for start-up work.
class CQEventUIIntialize : public QEvent
{
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(1100);
    CQEventUIIntialize() : QEvent(kType) {}
};

// A piece of deferred start-up work; runAction performs it.
class CQEventStartUpBase : public QEvent
{
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(1101);
    CQEventStartUpBase() : QEvent(kType) {}
    ~CQEventStartUpBase() override = default;
    virtual bool runAction() = 0;
};

// The silent update check after start-up.
class CQEventStartUpUpdate : public CQEventStartUpBase
{
public:
    bool runAction() override;
};

// Holds the start-up events and hands them, one per UI-initialised event,
// to the main window. Each event runs at most once per process.
class CQEventStartUpMgr : public QObject, public SingletonCls<CQEventStartUpMgr>
{
    Q_OBJECT
public:
    explicit CQEventStartUpMgr(QObject *pParent = nullptr);
    ~CQEventStartUpMgr() override;

    void setReceiver(QObject *pReceiver) { m_pReceiver = pReceiver; }
    QObject *receiver() const { return m_pReceiver; }
    int pendingCount() const { return m_listEvents.size(); }
    // Test seam: queue another event (the manager owns it).
    void appendEvent(CQEventStartUpBase *pEvent) { m_listEvents.append(pEvent); }

    // Hands the next queued event to pReceiver: posted when bPost, otherwise
    // sent at once and deleted. False when nothing is queued.
    bool dispatchNext(QObject *pReceiver, bool bPost);

    // Offered every event by the main window's application-wide filter:
    // runs start-up events and consumes them.
    bool filterEvent(QObject *pWatched, QEvent *pEvent);

private:
    QList<CQEventStartUpBase *> m_listEvents;
    QObject *m_pReceiver = nullptr;
};
