#pragma once
// COM ownership: one owner per interface pointer and one per apartment, so a
// routine that throws half-way still releases everything it obtained.
#include <utility>

namespace platform {

// Owns one reference to a COM interface. The members that call into the
// interface are templates, instantiated only where the interface is complete,
// so this header needs no <windows.h>.
template <class I>
class TComPtr {
public:
    TComPtr() = default;
    TComPtr(TComPtr&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    TComPtr& operator=(TComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            FPtr = std::exchange(other.FPtr, nullptr);
        }
        return *this;
    }
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    ~TComPtr() { Reset(); }

    I* Get() const { return FPtr; }
    I* operator->() const { return FPtr; }
    explicit operator bool() const { return FPtr != nullptr; }

    // For the out-parameter of a creating call: releases what was held first.
    I** Receive()
    {
        Reset();
        return &FPtr;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

    void Reset()
    {
        if (I* p = std::exchange(FPtr, nullptr))
            p->Release();
    }

private:
    I* FPtr = nullptr;
};

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
