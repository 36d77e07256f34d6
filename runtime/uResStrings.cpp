#include "uResStrings.h"

#include "platform/uResources.h"

#include <atomic>

namespace {
std::atomic<TResStringHook> GHook{nullptr};
}

bool LoadResStringRaw(int id, AnsiString& text) { return platform::LoadStringA(id, text); }
bool LoadResStringRawW(int id, WideString& text) { return platform::LoadStringW(id, text); }

AnsiString LoadResString(const TResString& res)
{
    AnsiString text;
    if (!LoadResStringRaw(res.Id, text))
        text = res.Default;
    if (TResStringHook hook = GHook.load())
        return hook(res, text);
    return text;
}

void SetResStringHook(TResStringHook hook) { GHook.store(hook); }
