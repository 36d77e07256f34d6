#pragma once
// Traits of the Win32 handle kinds for TOwner. Header-only, for the code that
// already speaks <windows.h> (platform/, ui/, the engine DLL); the layers
// above hold these through the platform's own types (TOwnedHandle, TModule,
// TRegKey, and ui's TGdiObject and TIconObject for fonts, brushes and icons).
#include "uOwner.h"

#include <windows.h>
#include <shlobj.h>
#include <wincrypt.h>

namespace platform::win {

// A kernel object: file, mapping, process, thread, event.
struct TKernelTraits {
    using TValue = HANDLE;
    static constexpr HANDLE Invalid() noexcept { return nullptr; }
    static bool IsValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
using TKernelHandle = TOwner<TKernelTraits>;

// A view of a file mapping.
struct TViewTraits {
    using TValue = const void*;
    static constexpr const void* Invalid() noexcept { return nullptr; }
    static void Close(const void* view) noexcept { ::UnmapViewOfFile(view); }
};
using TMappedView = TOwner<TViewTraits>;

struct TModuleTraits {
    using TValue = HMODULE;
    static constexpr HMODULE Invalid() noexcept { return nullptr; }
    static void Close(HMODULE module) noexcept { ::FreeLibrary(module); }
};
using TModuleHandle = TOwner<TModuleTraits>;

// A search of FindFirstFile, which answers INVALID_HANDLE_VALUE for none.
struct TFindTraits {
    using TValue = HANDLE;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};
using TFindHandle = TOwner<TFindTraits>;

// Memory the system allocated with LocalAlloc for the caller
// (FormatMessage's text, CommandLineToArgvW's list).
template <class T>
struct TLocalMemTraits {
    using TValue = T*;
    static constexpr T* Invalid() noexcept { return nullptr; }
    static void Close(T* p) noexcept { ::LocalFree(p); }
};
template <class T>
using TLocalMem = TOwner<TLocalMemTraits<T>>;

// Memory handed over with GlobalAlloc (WinHTTP's proxy strings).
template <class T>
struct TGlobalMemTraits {
    using TValue = T*;
    static constexpr T* Invalid() noexcept { return nullptr; }
    static void Close(T* p) noexcept { ::GlobalFree(p); }
};
template <class T>
using TGlobalMem = TOwner<TGlobalMemTraits<T>>;

// The predefined root keys are not closed.
struct TRegKeyTraits {
    using TValue = HKEY;
    static constexpr HKEY Invalid() noexcept { return nullptr; }
    static void Close(HKEY key) noexcept
    {
        if (reinterpret_cast<ULONG_PTR>(key) < 0x80000000u || reinterpret_cast<ULONG_PTR>(key) > 0x800000FFu)
            ::RegCloseKey(key);
    }
};

// A device context taken with GetDC/GetWindowDC, given back to its window
// (null: the screen).
struct TWindowDcTraits {
    HWND Window = nullptr;
    using TValue = HDC;
    static constexpr HDC Invalid() noexcept { return nullptr; }
    void Close(HDC dc) const noexcept { ::ReleaseDC(Window, dc); }
};
using TWindowDc = TOwner<TWindowDcTraits>;
inline TWindowDc GetWindowDc(HWND window) { return TWindowDc(::GetDC(window), TWindowDcTraits{window}); }

// A device context made with CreateCompatibleDC or CreateDC.
struct TMemoryDcTraits {
    using TValue = HDC;
    static constexpr HDC Invalid() noexcept { return nullptr; }
    static void Close(HDC dc) noexcept { ::DeleteDC(dc); }
};
using TMemoryDc = TOwner<TMemoryDcTraits>;

// An object selected into a device context: the value is the object it
// replaced, selected back when the owner ends, before either is deleted.
struct TSelectionTraits {
    HDC Dc = nullptr;
    using TValue = HGDIOBJ;
    static constexpr HGDIOBJ Invalid() noexcept { return nullptr; }
    static bool IsValid(HGDIOBJ old) noexcept { return old != nullptr && old != HGDI_ERROR; }
    void Close(HGDIOBJ old) const noexcept { ::SelectObject(Dc, old); }
};
using TSelection = TOwner<TSelectionTraits>;
inline TSelection Select(HDC dc, HGDIOBJ object)
{
    return TSelection(dc && object ? ::SelectObject(dc, object) : nullptr, TSelectionTraits{dc});
}

// Memory the shell allocated for the caller (PIDLs, strings).
struct TTaskMemTraits {
    using TValue = void*;
    static constexpr void* Invalid() noexcept { return nullptr; }
    static void Close(void* p) noexcept { ::CoTaskMemFree(p); }
};
struct TPidlTraits {
    using TValue = PIDLIST_ABSOLUTE;
    static constexpr PIDLIST_ABSOLUTE Invalid() noexcept { return nullptr; }
    static void Close(PIDLIST_ABSOLUTE pidl) noexcept { ::CoTaskMemFree(pidl); }
};
using TPidl = TOwner<TPidlTraits>;

// A certificate store, context and chain. The crypt32 functions are those
// the program binds at run time (platform/uSystemImports.cpp) or imports.
struct TCertStoreTraits {
    using TValue = HCERTSTORE;
    static constexpr HCERTSTORE Invalid() noexcept { return nullptr; }
    static void Close(HCERTSTORE store) noexcept { ::CertCloseStore(store, 0); }
};
using TCertStore = TOwner<TCertStoreTraits>;
using TCertContext = TOwner<TCloseWith<PCCERT_CONTEXT, &::CertFreeCertificateContext>>;
using TCertChain = TOwner<TCloseWith<PCCERT_CHAIN_CONTEXT, &::CertFreeCertificateChain>>;

} // namespace platform::win
