#include "uNetComponent.h"

#include "uNetStack.h"
#include "runtime/uSysUtils.h"

#include <limits>

TNetBaseComponent::TNetBaseComponent(TComponent* owner) : TComponent(owner)
{
    try {
        NetStackAddRef();
    } catch (...) {
        // The owner must not keep a half-made component.
        if (Owner())
            Owner()->RemoveComponent(this);
        throw;
    }
}

TNetBaseComponent::~TNetBaseComponent() { NetStackRelease(); }

void TNetComponent::BeginWork(TWorkMode mode, std::int32_t size)
{
    if (FWorkTarget) {
        FWorkTarget->BeginWork(mode, size);
        return;
    }
    TWorkInfo& info = FWorkInfos[static_cast<int>(mode)];
    if (++info.Level == 1) {
        info.Max = size;
        info.Current = 0;
        if (OnWorkBegin)
            OnWorkBegin(this, mode, size);
    }
}

void TNetComponent::DoWork(TWorkMode mode, std::int32_t count)
{
    if (FWorkTarget) {
        FWorkTarget->DoWork(mode, count);
        return;
    }
    TWorkInfo& info = FWorkInfos[static_cast<int>(mode)];
    if (info.Level > 0) {
        // A body read until close may pass 2 GiB; the count stops at the top.
        std::int64_t total = static_cast<std::int64_t>(info.Current) + count;
        info.Current = static_cast<std::int32_t>(std::min<std::int64_t>(total, std::numeric_limits<std::int32_t>::max()));
        if (OnWork)
            OnWork(this, mode, info.Current);
    }
}

void TNetComponent::EndWork(TWorkMode mode)
{
    if (FWorkTarget) {
        FWorkTarget->EndWork(mode);
        return;
    }
    TWorkInfo& info = FWorkInfos[static_cast<int>(mode)];
    if (info.Level == 1 && OnWorkEnd)
        OnWorkEnd(this, mode);
    if (info.Level > 0)
        --info.Level;
}

void TNetComponent::DoStatus(TNetStatus status, const AnsiString& argument)
{
    if (!OnStatus)
        return;
    AnsiString text;
    switch (status) {
    case TNetStatus::hsResolving: text = Format(netmsg::StatusResolving, argument.c_str()); break;
    case TNetStatus::hsConnecting: text = Format(netmsg::StatusConnecting, argument.c_str()); break;
    case TNetStatus::hsConnected: text = netmsg::StatusConnected; break;
    case TNetStatus::hsDisconnecting: text = netmsg::StatusDisconnecting; break;
    case TNetStatus::hsDisconnected: text = netmsg::StatusDisconnected; break;
    case TNetStatus::hsStatusText: text = argument; break;
    }
    OnStatus(this, status, text);
}
