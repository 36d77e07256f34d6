#include "uEngineCore.h"

#include "uSession.h"

#include "platform/uOwner.h"
#include "platform/uSync.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

using namespace zipeng;

namespace zipcore {

namespace {

// The runs going on, for ZE_Abort, which may come from any thread.
platform::TLock gSessionsLock;
std::vector<TSession*> gSessions;
std::atomic<std::int32_t> gNextHandle{1};

char16_t Fold(char16_t c)
{
    if (c == u'\\')
        return u'/';
    if ((c >= u'A' && c <= u'Z') || (c >= u'\u00C0' && c <= u'\u00DE' && c != u'\u00D7'))
        return static_cast<char16_t>(c + 32);
    return c;
}

} // namespace

std::int32_t UnzExec(TCommandBlock& cmd, IEngineHost& host)
{
    TSession session(cmd, host, gNextHandle.fetch_add(1));
    {
        std::lock_guard lock(gSessionsLock);
        gSessions.push_back(&session);
    }
    platform::TScopeGuard unregister([&session] {
        std::lock_guard lock(gSessionsLock);
        gSessions.erase(std::find(gSessions.begin(), gSessions.end(), &session));
    });
    return session.Run();
}

void Abort(std::int32_t handle)
{
    std::lock_guard lock(gSessionsLock);
    for (TSession* s : gSessions)
        if (s->Handle() == handle)
            s->RequestAbort();
}

bool WildMatch(std::u16string_view pattern, std::u16string_view text)
{
    std::size_t p = 0, s = 0, starP = std::u16string_view::npos, starS = 0;
    while (s < text.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = ++p;
            starS = s;
        } else if (p < pattern.size() && (pattern[p] == u'?' || Fold(pattern[p]) == Fold(text[s]))) {
            ++p, ++s;
        } else if (starP != std::u16string_view::npos) {
            p = starP;
            s = ++starS;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace zipcore
