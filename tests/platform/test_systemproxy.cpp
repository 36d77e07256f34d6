// The question to WinHTTP for a configuration script's answer. Wine has no
// proxy resolver (Windows 8 and later), so its branch is forced here by
// standing in for winhttp.dll's functions through the system lookup; the
// older call is what Wine answers with, and the end-to-end tests use it.
#include "platform/uSystemProc.h"
#include "platform/uSystemProxy.h"

#include <windows.h>

#include <winhttp.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

// A Windows 8 resolver as the test wants it to answer.
struct TFakeResolver {
    static inline HINTERNET const Handle = reinterpret_cast<HINTERNET>(static_cast<std::uintptr_t>(0x5150));
    static inline DWORD CreateResult = ERROR_SUCCESS;
    static inline DWORD CompleteWith = WINHTTP_CALLBACK_STATUS_GETPROXYFORURL_COMPLETE;
    static inline WINHTTP_STATUS_CALLBACK Callback = nullptr;
    static inline std::thread Answering;
    static inline std::wstring AskedUrl, AskedScript;
    static inline DWORD AskedFlags = 0;
    static inline std::vector<WINHTTP_PROXY_RESULT_ENTRY> Entries;
    static inline int Freed = 0, ClassicCalls = 0;

    static DWORD WINAPI Create(HINTERNET, HINTERNET* resolver)
    {
        *resolver = CreateResult == ERROR_SUCCESS ? Handle : nullptr;
        return CreateResult;
    }
    static WINHTTP_STATUS_CALLBACK WINAPI SetCallback(HINTERNET handle, WINHTTP_STATUS_CALLBACK callback, DWORD, DWORD_PTR)
    {
        EXPECT_EQ(handle, Handle);
        Callback = callback;
        return nullptr;
    }
    static DWORD WINAPI GetForUrlEx(HINTERNET handle, PCWSTR url, WINHTTP_AUTOPROXY_OPTIONS* options, DWORD_PTR context)
    {
        EXPECT_EQ(handle, Handle);
        AskedUrl = url;
        AskedFlags = options->dwFlags;
        AskedScript = options->lpszAutoConfigUrl ? options->lpszAutoConfigUrl : L"";
        // The answer comes later, on another thread, as WinHTTP's does.
        Answering = std::thread([context] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            WINHTTP_ASYNC_RESULT failure{0, ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT};
            Callback(Handle, context, CompleteWith,
                     CompleteWith == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR ? &failure : nullptr, 0);
        });
        return ERROR_IO_PENDING;
    }
    static DWORD WINAPI GetResult(HINTERNET handle, WINHTTP_PROXY_RESULT* result)
    {
        EXPECT_EQ(handle, Handle);
        result->cEntries = static_cast<DWORD>(Entries.size());
        result->pEntries = new WINHTTP_PROXY_RESULT_ENTRY[Entries.size()];
        std::copy(Entries.begin(), Entries.end(), result->pEntries);
        return ERROR_SUCCESS;
    }
    static VOID WINAPI Free(WINHTTP_PROXY_RESULT* result)
    {
        delete[] result->pEntries;
        result->pEntries = nullptr;
        ++Freed;
    }
    static BOOL WINAPI Close(HINTERNET handle)
    {
        static const auto real =
            reinterpret_cast<decltype(&::WinHttpCloseHandle)>(platform::DefaultSystemProc("winhttp.dll", "WinHttpCloseHandle"));
        return handle == Handle ? TRUE : real(handle);
    }
    static BOOL WINAPI OlderCall(HINTERNET, LPCWSTR, WINHTTP_AUTOPROXY_OPTIONS*, WINHTTP_PROXY_INFO* info)
    {
        ++ClassicCalls;
        static const wchar_t list[] = L"a.example:8080;b.example:8080";
        info->dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        info->lpszProxy = static_cast<LPWSTR>(::GlobalAlloc(GMEM_FIXED, sizeof list));
        std::copy(std::begin(list), std::end(list), info->lpszProxy);
        info->lpszProxyBypass = nullptr;
        return TRUE;
    }
};

WINHTTP_PROXY_RESULT_ENTRY Entry(bool proxy, INTERNET_SCHEME scheme, const wchar_t* host, INTERNET_PORT port)
{
    WINHTTP_PROXY_RESULT_ENTRY entry{};
    entry.fProxy = proxy;
    entry.ProxyScheme = scheme;
    entry.pwszProxy = const_cast<PWSTR>(host);
    entry.ProxyPort = port;
    return entry;
}

class ProxyResolver : public ::testing::Test {
protected:
    void SetUp() override
    {
        TFakeResolver::CreateResult = ERROR_SUCCESS;
        TFakeResolver::CompleteWith = WINHTTP_CALLBACK_STATUS_GETPROXYFORURL_COMPLETE;
        TFakeResolver::Freed = TFakeResolver::ClassicCalls = 0;
    }
    void TearDown() override
    {
        if (TFakeResolver::Answering.joinable())
            TFakeResolver::Answering.join();
    }
    // The real winhttp.dll for the session, the test's stand-ins for the rest.
    static void* Lookup(const char* module, const char* name)
    {
        const std::string n = name;
        if (n == "WinHttpCloseHandle")
            return reinterpret_cast<void*>(&TFakeResolver::Close);
        if (n == "WinHttpCreateProxyResolver")
            return reinterpret_cast<void*>(&TFakeResolver::Create);
        if (n == "WinHttpSetStatusCallback")
            return reinterpret_cast<void*>(&TFakeResolver::SetCallback);
        if (n == "WinHttpGetProxyForUrlEx")
            return reinterpret_cast<void*>(&TFakeResolver::GetForUrlEx);
        if (n == "WinHttpGetProxyResult")
            return reinterpret_cast<void*>(&TFakeResolver::GetResult);
        if (n == "WinHttpFreeProxyResult")
            return reinterpret_cast<void*>(&TFakeResolver::Free);
        if (n == "WinHttpGetProxyForUrl")
            return reinterpret_cast<void*>(&TFakeResolver::OlderCall);
        return platform::DefaultSystemProc(module, name);
    }
    std::optional<platform::TScriptAnswer> Ask(const platform::TScriptSource& source)
    {
        struct TScope {
            TScope() { platform::SetProcLookup(&Lookup); }
            ~TScope() { platform::SetProcLookup(nullptr); }
        } scope;
        return platform::WinHttpProxyLookup().Script("http://dl.example/korvant07/", source);
    }
};

TEST_F(ProxyResolver, TheWholeAnswerOfAScriptKeepsItsDirectAndTheKindOfEachProxy)
{
    TFakeResolver::Entries = {Entry(true, INTERNET_SCHEME_HTTP, L"a.example", 8080),
                              Entry(true, INTERNET_SCHEME_SOCKS, L"s.example", 1080),
                              Entry(true, INTERNET_SCHEME_HTTP, L"::1", 3128), Entry(false, INTERNET_SCHEME_HTTP, nullptr, 0)};
    const auto answer = Ask({false, "http://wpad.corp/proxy.pac"});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->Proxies, "PROXY a.example:8080; SOCKS s.example:1080; PROXY [::1]:3128; DIRECT");
    EXPECT_EQ(TFakeResolver::AskedUrl, L"http://dl.example/korvant07/");
    EXPECT_EQ(TFakeResolver::AskedFlags, DWORD(WINHTTP_AUTOPROXY_CONFIG_URL));
    EXPECT_EQ(TFakeResolver::AskedScript, L"http://wpad.corp/proxy.pac");
    EXPECT_EQ(TFakeResolver::Freed, 1);
    EXPECT_EQ(TFakeResolver::ClassicCalls, 0);

    // Detection asks for no script by name.
    TearDown();
    TFakeResolver::Entries = {Entry(false, INTERNET_SCHEME_HTTP, nullptr, 0)};
    const auto detected = Ask({true, {}});
    ASSERT_TRUE(detected);
    EXPECT_EQ(detected->Proxies, "DIRECT");
    EXPECT_EQ(TFakeResolver::AskedFlags, DWORD(WINHTTP_AUTOPROXY_AUTO_DETECT));
    EXPECT_EQ(TFakeResolver::AskedScript, L"");
}

TEST_F(ProxyResolver, AScriptThatFailsIsNoAnswerAndTheOlderCallIsNotAskedAgain)
{
    TFakeResolver::CompleteWith = WINHTTP_CALLBACK_STATUS_REQUEST_ERROR;
    EXPECT_FALSE(Ask({false, "http://wpad.corp/proxy.pac"}));
    EXPECT_EQ(TFakeResolver::ClassicCalls, 0);
    EXPECT_EQ(TFakeResolver::Freed, 0);
}

TEST_F(ProxyResolver, AWindowsWithoutTheResolverIsAskedTheOlderWay)
{
    TFakeResolver::CreateResult = ERROR_WINHTTP_AUTO_PROXY_SERVICE_ERROR;
    const auto answer = Ask({false, "http://wpad.corp/proxy.pac"});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->Proxies, "a.example:8080;b.example:8080");
    EXPECT_EQ(TFakeResolver::ClassicCalls, 1);
}

} // namespace
