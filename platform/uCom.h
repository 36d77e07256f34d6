#pragma once
// COM ownership: one owner per interface pointer and one per apartment, so a
// routine that throws half-way still releases everything it obtained.
#include "uOwner.h"

namespace platform {

// Owns one reference to a COM interface. Release is called through the
// interface itself, instantiated only where the interface is complete, so
// this header needs no <windows.h>.
template <class I>
struct TComReleaseTraits {
    using TValue = I*;
    static constexpr I* Invalid() noexcept { return nullptr; }
    static void Close(I* p) noexcept { p->Release(); }
};

template <class I>
using TComPtr = TOwner<TComReleaseTraits<I>>;

// COM for the calling thread as a single-threaded apartment, as a UI thread
// needs it; uninitialised again only when the initialisation succeeded.
class TComApartment {
public:
    TComApartment();
    ~TComApartment();
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;

    long Result() const { return FResult; } // HRESULT of CoInitializeEx
    bool Initialized() const { return FResult >= 0; }

private:
    long FResult;
};

} // namespace platform
