// The functions the programs use from Windows libraries that are not on its
// known-DLL list (bcrypt, crypt32, secur32, mpr, oleacc, comctl32). Their
// callers are compiled against the system headers, which call through an
// import slot `__imp_NAME`; instead of the import library's slot, filled by
// the loader at start-up from wherever the search order finds the DLL, each
// slot is defined here, typed as the function, and starts at a stub that
// binds the function from the system folder on its first call. No import
// library of these DLLs is linked: a function used but not listed here fails
// the link, and its line is added below.
#define SECURITY_WIN32
#include "uSystemLibrary.h"

#include <windows.h>

#include <bcrypt.h>
#include <commctrl.h>
#include <oleacc.h>
#include <security.h>
#include <wincrypt.h>
#include <winnetwk.h>

namespace {

template <typename F>
struct TBinding;

// x86-64 has one calling convention, so the function type is all there is.
template <typename R, typename... A>
struct TBinding<R(A...)> {
    using TProc = R (*)(A...);
    template <TProc* Slot, typename Name>
    static R First(A... args)
    {
        // Two threads may both bind: each writes the same address.
        *Slot = reinterpret_cast<TProc>(platform::SystemProc(Name::Library, Name::Proc));
        return (*Slot)(args...);
    }
};

} // namespace

#define KORVANT_SYSTEM_IMPORT(library, name)                                                                            \
    namespace {                                                                                                         \
    struct TName_##name {                                                                                               \
        static constexpr const wchar_t* Library = library;                                                              \
        static constexpr const char* Proc = #name;                                                                      \
    };                                                                                                                  \
    }                                                                                                                   \
    extern "C" TBinding<decltype(::name)>::TProc __imp_##name;                                                          \
    TBinding<decltype(::name)>::TProc __imp_##name = &TBinding<decltype(::name)>::First<&__imp_##name, TName_##name>;

KORVANT_SYSTEM_IMPORT(L"bcrypt.dll", BCryptOpenAlgorithmProvider)
KORVANT_SYSTEM_IMPORT(L"bcrypt.dll", BCryptCloseAlgorithmProvider)
KORVANT_SYSTEM_IMPORT(L"bcrypt.dll", BCryptCreateHash)
KORVANT_SYSTEM_IMPORT(L"bcrypt.dll", BCryptHashData)
KORVANT_SYSTEM_IMPORT(L"bcrypt.dll", BCryptFinishHash)
KORVANT_SYSTEM_IMPORT(L"bcrypt.dll", BCryptDestroyHash)
KORVANT_SYSTEM_IMPORT(L"bcrypt.dll", BCryptImportKeyPair)
KORVANT_SYSTEM_IMPORT(L"bcrypt.dll", BCryptDestroyKey)
KORVANT_SYSTEM_IMPORT(L"bcrypt.dll", BCryptVerifySignature)

KORVANT_SYSTEM_IMPORT(L"crypt32.dll", CertGetCertificateChain)
KORVANT_SYSTEM_IMPORT(L"crypt32.dll", CertVerifyCertificateChainPolicy)
KORVANT_SYSTEM_IMPORT(L"crypt32.dll", CertFreeCertificateChain)
KORVANT_SYSTEM_IMPORT(L"crypt32.dll", CertFreeCertificateContext)
KORVANT_SYSTEM_IMPORT(L"crypt32.dll", CertOpenStore)
KORVANT_SYSTEM_IMPORT(L"crypt32.dll", CertCloseStore)
KORVANT_SYSTEM_IMPORT(L"crypt32.dll", CertAddEncodedCertificateToStore)
KORVANT_SYSTEM_IMPORT(L"crypt32.dll", CertDeleteCertificateFromStore)
KORVANT_SYSTEM_IMPORT(L"crypt32.dll", CryptStringToBinaryA)

KORVANT_SYSTEM_IMPORT(L"secur32.dll", AcquireCredentialsHandleW)
KORVANT_SYSTEM_IMPORT(L"secur32.dll", FreeCredentialsHandle)
KORVANT_SYSTEM_IMPORT(L"secur32.dll", InitializeSecurityContextW)
KORVANT_SYSTEM_IMPORT(L"secur32.dll", DeleteSecurityContext)
KORVANT_SYSTEM_IMPORT(L"secur32.dll", QueryContextAttributesW)
KORVANT_SYSTEM_IMPORT(L"secur32.dll", ApplyControlToken)
KORVANT_SYSTEM_IMPORT(L"secur32.dll", EncryptMessage)
KORVANT_SYSTEM_IMPORT(L"secur32.dll", DecryptMessage)
KORVANT_SYSTEM_IMPORT(L"secur32.dll", FreeContextBuffer)
KORVANT_SYSTEM_IMPORT(L"secur32.dll", CompleteAuthToken)

KORVANT_SYSTEM_IMPORT(L"mpr.dll", WNetGetUniversalNameA)

KORVANT_SYSTEM_IMPORT(L"oleacc.dll", CreateStdAccessibleObject)
KORVANT_SYSTEM_IMPORT(L"oleacc.dll", LresultFromObject)
KORVANT_SYSTEM_IMPORT(L"oleacc.dll", AccessibleObjectFromWindow)

KORVANT_SYSTEM_IMPORT(L"comctl32.dll", InitCommonControlsEx)
