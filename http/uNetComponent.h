#pragma once
// The base of the client's components: membership of the socket layer, and
// the status and work (progress) events.
#include "uNetException.h"

#include "runtime/uClasses.h"

#include <cstdint>
#include <functional>

enum class TWorkMode { WorkRead = 0, WorkWrite = 1 };

enum class TNetStatus { hsResolving, hsConnecting, hsConnected, hsDisconnecting, hsDisconnected, hsStatusText };

using TNetStatusEvent = std::function<void(TObject* ASender, TNetStatus AStatus, const AnsiString& AStatusText)>;
using TWorkEvent = std::function<void(TObject* ASender, TWorkMode AWorkMode, std::int32_t AWorkCount)>;
using TWorkBeginEvent = std::function<void(TObject* ASender, TWorkMode AWorkMode, std::int32_t AWorkCountMax)>;
using TWorkEndEvent = std::function<void(TObject* ASender, TWorkMode AWorkMode)>;

// Keeps the socket layer alive while the component lives.
class TNetBaseComponent : public TComponent {
    RT_CLASS(TNetBaseComponent, TComponent)
public:
    explicit TNetBaseComponent(TComponent* owner);
    ~TNetBaseComponent() override;
};

class TNetComponent : public TNetBaseComponent {
    RT_CLASS(TNetComponent, TNetBaseComponent)
public:
    explicit TNetComponent(TComponent* owner) : TNetBaseComponent(owner) {}

    // Work is counted per mode; only the outermost begin/end pair fires.
    void BeginWork(TWorkMode mode, std::int32_t size = 0);
    void DoWork(TWorkMode mode, std::int32_t count);
    void EndWork(TWorkMode mode);
    // Reports a status when an OnStatus handler is set; `argument` fills the
    // text's placeholder.
    void DoStatus(TNetStatus status, const AnsiString& argument = {});

    // All work calls go there instead (a handler's target is its connection).
    TNetComponent* WorkTarget() const { return FWorkTarget; }
    void SetWorkTarget(TNetComponent* target) { FWorkTarget = target; }

    struct TWorkInfo {
        std::int32_t Current = 0, Max = 0, Level = 0;
    };
    const TWorkInfo& WorkInfo(TWorkMode mode) const { return FWorkInfos[static_cast<int>(mode)]; }

    TNetStatusEvent OnStatus;
    TWorkEvent OnWork;
    TWorkBeginEvent OnWorkBegin;
    TWorkEndEvent OnWorkEnd;

private:
    TNetComponent* FWorkTarget = nullptr;
    TWorkInfo FWorkInfos[2];
};
