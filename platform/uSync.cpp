#include "uSync.h"

#include <windows.h>

namespace platform {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*));

namespace {
PSRWLOCK Srw(void*& state) { return reinterpret_cast<PSRWLOCK>(&state); }
PCONDITION_VARIABLE Cv(void*& state) { return reinterpret_cast<PCONDITION_VARIABLE>(&state); }
} // namespace

void TLock::lock() { ::AcquireSRWLockExclusive(Srw(FState)); }
bool TLock::try_lock() { return ::TryAcquireSRWLockExclusive(Srw(FState)) != 0; }
void TLock::unlock() { ::ReleaseSRWLockExclusive(Srw(FState)); }
void TLock::lock_shared() { ::AcquireSRWLockShared(Srw(FState)); }
bool TLock::try_lock_shared() { return ::TryAcquireSRWLockShared(Srw(FState)) != 0; }
void TLock::unlock_shared() { ::ReleaseSRWLockShared(Srw(FState)); }

void TSignal::notify_one() { ::WakeConditionVariable(Cv(FState)); }
void TSignal::notify_all() { ::WakeAllConditionVariable(Cv(FState)); }

void TSignal::Await(TLock& lock, unsigned long ms)
{
    ::SleepConditionVariableSRW(Cv(FState), Srw(lock.FState), ms, 0);
}

} // namespace platform
