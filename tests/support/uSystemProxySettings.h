#pragma once
// The user's Internet settings of the test prefix, set as the Internet
// options dialog writes them (Wine's WinHTTP reads only the binary
// "DefaultConnectionSettings" value, as Windows does), and put back as they
// were when the test ends, so that no other test sees a proxy.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace installtest {

class TSystemProxySettings {
public:
    // What the dialog's boxes say.
    struct TChoice {
        bool AutoDetect = false;
        std::string AutoConfigUrl; // "Use automatic configuration script"
        std::string Proxy;         // "Use a proxy server"
        std::string Bypass;
    };

    TSystemProxySettings() { FSaved = Read(); }
    ~TSystemProxySettings()
    {
        if (FSaved)
            Write(*FSaved);
        else
            ::RegDeleteKeyValueA(HKEY_CURRENT_USER, Key, Value);
    }
    TSystemProxySettings(const TSystemProxySettings&) = delete;
    TSystemProxySettings& operator=(const TSystemProxySettings&) = delete;

    void Set(const TChoice& choice)
    {
        // Flags: 1 direct (always), 2 proxy, 4 script, 8 auto-detect.
        std::uint32_t flags = 1;
        if (!choice.Proxy.empty())
            flags |= 2;
        if (!choice.AutoConfigUrl.empty())
            flags |= 4;
        if (choice.AutoDetect)
            flags |= 8;
        std::vector<std::uint8_t> blob;
        auto dword = [&](std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                blob.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        };
        auto text = [&](const std::string& s) {
            dword(static_cast<std::uint32_t>(s.size()));
            blob.insert(blob.end(), s.begin(), s.end());
        };
        dword(0x46); // the layout's version
        dword(++FCounter);
        dword(flags);
        text(choice.Proxy);
        text(choice.Bypass);
        text(choice.AutoConfigUrl);
        blob.resize(blob.size() + 32, 0); // the last detection's results: none
        Write(blob);
    }

private:
    static constexpr const char* Key = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
    static constexpr const char* Value = "DefaultConnectionSettings";

    static std::optional<std::vector<std::uint8_t>> Read()
    {
        DWORD size = 0;
        if (::RegGetValueA(HKEY_CURRENT_USER, Key, Value, RRF_RT_REG_BINARY, nullptr, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        std::vector<std::uint8_t> data(size);
        if (::RegGetValueA(HKEY_CURRENT_USER, Key, Value, RRF_RT_REG_BINARY, nullptr, data.data(), &size) != ERROR_SUCCESS)
            return std::nullopt;
        data.resize(size);
        return data;
    }
    static void Write(const std::vector<std::uint8_t>& data)
    {
        ::RegSetKeyValueA(HKEY_CURRENT_USER, Key, Value, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
    }

    std::optional<std::vector<std::uint8_t>> FSaved;
    std::uint32_t FCounter = 100;
};

} // namespace installtest
