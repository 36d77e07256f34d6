#include "uCom.h"

#include <objbase.h>
#include <windows.h>

namespace platform {

TComApartment::TComApartment()
    : FResult(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))
{
}

TComApartment::~TComApartment()
{
    // S_FALSE (already initialised) also counts and must be balanced.
    if (FResult >= 0)
        ::CoUninitialize();
}

} // namespace platform
