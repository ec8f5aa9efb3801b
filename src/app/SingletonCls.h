#pragma once

#include <atomic>

// Registers the one instance of T for process-wide access. The owner
// constructs the object (on main's stack or as a member); everybody else
// reaches it through instance(). Nothing is ever created on demand.
template <typename T>
class SingletonCls
{
public:
    static T *instance() { return s_pInstance.load(std::memory_order_acquire); }

protected:
    SingletonCls() { s_pInstance.store(static_cast<T *>(this), std::memory_order_release); }
    ~SingletonCls()
    {
        // Only clear the pointer when it still names this object, so a
        // short-lived second object cannot unregister the first one.
        T *pSelf = static_cast<T *>(this);
        s_pInstance.compare_exchange_strong(pSelf, nullptr, std::memory_order_acq_rel);
    }
    SingletonCls(const SingletonCls &) = delete;
    SingletonCls &operator=(const SingletonCls &) = delete;

private:
    static inline std::atomic<T *> s_pInstance{nullptr};
};
