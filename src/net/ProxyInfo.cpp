#include "net/ProxyInfo.h"

#include "net/ProxyStore.h"

#include <mutex>

namespace
{
std::mutex &ProxyMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<const ProxyInfo> &ProxySlot()
{
    static std::shared_ptr<const ProxyInfo> pProxy;
    return pProxy;
}
} // namespace

std::shared_ptr<const ProxyInfo> ActiveProxy()
{
    std::lock_guard<std::mutex> lock(ProxyMutex());
    return ProxySlot();
}

void SetActiveProxy(std::shared_ptr<const ProxyInfo> pProxy)
{
    std::shared_ptr<const ProxyInfo> pOld;
    {
        std::lock_guard<std::mutex> lock(ProxyMutex());
        pOld = std::move(ProxySlot());
        ProxySlot() = std::move(pProxy);
    }
    // pOld is released outside the lock; a transfer holding its own copy keeps it alive.
}

void LoadActiveProxy()
{
    const ProxyStore::Values values = ProxyStore::Read();
    if (values.nUseProxy == 0) {
        SetActiveProxy(nullptr);
        return;
    }
    SetActiveProxy(std::make_shared<const ProxyInfo>(values.proxy));
}
