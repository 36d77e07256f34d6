// One download through the wizard's HTTP client, with the wizard's settings
// and its retries after a drop, into a file: for tests, benchmarks and for
// diagnosing a customer's network.
//   fetch.exe URL OUTFILE [--proxy HOST:PORT] [--connect-timeout MS] [--read-timeout MS]
//                         [--tries N] [--sha256 HEX] [--low-speed BYTES:MS]
//   fetch.exe --settings [options]   prints the client's settings and stops
// With --sha256 the file is hashed as it arrives; one that does not match is
// deleted and the exit status is 1.
#include "http/uNetHTTP.h"
#include "platform/uNetPlatform.h"
#include "runtime/uStreams.h"
#include "runtime/uSysUtils.h"
#include "trust/uResumingGet.h"
#include "trust/uVerifyingStream.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: fetch.exe URL OUTFILE [--proxy HOST:PORT] [--connect-timeout MS] [--read-timeout MS]\n"
                         "                             [--tries N] [--sha256 HEX] [--low-speed BYTES:MS]\n"
                         "       fetch.exe --settings [options]\n");
    std::fflush(stderr);
    return 2;
}

int BadOption(const char* option, const char* value)
{
    const char* wanted = std::strcmp(option, "--proxy") == 0    ? "HOST:PORT"
                         : std::strcmp(option, "--tries") == 0  ? "a number from 1 to 10"
                         : std::strcmp(option, "--sha256") == 0 ? "64 hexadecimal digits"
                         : std::strcmp(option, "--low-speed") == 0 ? "BYTES:MS, both above 0"
                                                                : "milliseconds above 0";
    std::fprintf(stderr, "fetch: %s wants %s, not %s\n", option, wanted, value);
    std::fflush(stderr);
    return 2;
}

std::optional<platform::TSha256Digest> ParseDigest(const AnsiString& hex)
{
    platform::TSha256Digest digest{};
    if (hex.size() != 2 * digest.size())
        return std::nullopt;
    auto nibble = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    for (size_t i = 0; i < digest.size(); ++i) {
        const int high = nibble(hex[2 * i]), low = nibble(hex[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        digest[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return digest;
}

// The settings the wizard's form gives its HTTP client.
void ApplyWizardSettings(TNetHTTP& http)
{
    http.AuthRetries = 0;
    http.AuthProxyRetries = 0;
    http.AllowCookies = true;
    http.ProxyParams().BasicAuthentication = false;
    http.ProxyParams().SetProxyPort(0);
    TNetHTTPRequest& request = http.Request();
    request.ContentLength = -1;
    request.ContentRangeStart = request.ContentRangeEnd = request.ContentRangeInstanceLength = 0;
    request.Accept = "text/html, */*";
    request.BasicAuthentication = false;
    request.UserAgent = "Mozilla/3.0 (compatible; Korvant Setup)";
    http.HTTPOptions = hoEncodeParams;
    http.ConnectTimeout = DownloadConnectTimeoutMs;
    http.ReadTimeout = DownloadReadTimeoutMs;
}

// A progress line on stderr for bodies of more than a megabyte, redrawn at
// most every quarter second so the console does not slow the download.
class TProgress {
public:
    void Begin(std::int32_t total)
    {
        FTotal = total;
        FShown = false;
        FLast = 0;
    }
    void Work(std::int32_t count)
    {
        constexpr std::int32_t longBody = 1 << 20;
        if (FTotal > 0 && FTotal <= longBody)
            return;
        std::uint64_t now = platform::TickCountMs();
        if (FShown && now - FLast < 250)
            return;
        if (!FShown && count < longBody)
            return;
        FLast = now;
        FShown = true;
        Show(count);
    }
    void End(std::int32_t count)
    {
        if (FShown) {
            if (count != FShownCount)
                Show(count);
            std::fputc('\n', stderr);
            std::fflush(stderr);
        }
        FShown = false;
    }

private:
    void Show(std::int32_t count)
    {
        FShownCount = count;
        if (FTotal > 0)
            std::fprintf(stderr, "\r%11ld / %ld bytes (%3d%%)", static_cast<long>(count), static_cast<long>(FTotal),
                         static_cast<int>(static_cast<std::int64_t>(count) * 100 / FTotal));
        else
            std::fprintf(stderr, "\r%11ld bytes", static_cast<long>(count));
        std::fflush(stderr);
    }

    std::int32_t FTotal = 0, FShownCount = -1;
    bool FShown = false;
    std::uint64_t FLast = 0;
};

// What the command line asks for.
struct TOptions {
    std::vector<AnsiString> Positional;
    AnsiString Proxy;
    int ConnectTimeout = 0, ReadTimeout = 0, Tries = DownloadTries;
    int LowSpeedBytes = DownloadLowSpeedBytes, LowSpeedMs = DownloadLowSpeedTimeMs;
    std::optional<platform::TSha256Digest> Expected;
    bool Settings = false;
};

// One option's value; 0, or the exit status of a bad value.
int TakeValue(const AnsiString& option, const char* value, TOptions& options)
{
    if (option == "--proxy") {
        options.Proxy = value;
    } else if (option == "--tries") {
        if (!TryStrToInt(value, options.Tries) || options.Tries < 1 || options.Tries > 10)
            return BadOption(option.c_str(), value);
    } else if (option == "--low-speed") {
        const AnsiString text = value;
        const size_t colon = text.find(':');
        if (colon == AnsiString::npos || !TryStrToInt(text.substr(0, colon), options.LowSpeedBytes) ||
            !TryStrToInt(text.substr(colon + 1), options.LowSpeedMs) || options.LowSpeedBytes <= 0 ||
            options.LowSpeedMs <= 0)
            return BadOption(option.c_str(), value);
    } else if (option == "--sha256") {
        options.Expected = ParseDigest(value);
        if (!options.Expected)
            return BadOption(option.c_str(), value);
    } else {
        int ms = 0;
        if (!TryStrToInt(value, ms) || ms <= 0)
            return BadOption(option.c_str(), value);
        (option == "--read-timeout" ? options.ReadTimeout : options.ConnectTimeout) = ms;
    }
    return 0;
}

// 0, or the exit status of a command line that is not right.
int ParseCommandLine(int argc, char** argv, TOptions& options)
{
    for (int i = 1; i < argc; ++i) {
        const AnsiString arg = argv[i];
        if (arg == "--settings") {
            options.Settings = true;
        } else if (arg == "--proxy" || arg == "--connect-timeout" || arg == "--read-timeout" || arg == "--tries" ||
                   arg == "--sha256" || arg == "--low-speed") {
            if (i + 1 == argc)
                return Usage();
            if (const int bad = TakeValue(arg, argv[++i], options))
                return bad;
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            return Usage();
        } else {
            options.Positional.push_back(arg);
        }
    }
    if (options.Settings ? !options.Positional.empty() : options.Positional.size() != 2)
        return Usage();
    return 0;
}

// The client with the wizard's settings and the command line's; 0, or the
// exit status of a bad proxy.
int Configure(TNetHTTP& http, const TOptions& options)
{
    ApplyWizardSettings(http);
    if (!options.Proxy.empty()) {
        const size_t colon = options.Proxy.rfind(':');
        int port = 0;
        if (colon == AnsiString::npos || !TryStrToInt(options.Proxy.substr(colon + 1), port) || port <= 0 ||
            port > 65535)
            return BadOption("--proxy", options.Proxy.c_str());
        http.ProxyParams().SetProxyServer(options.Proxy.substr(0, colon));
        http.ProxyParams().SetProxyPort(port);
    }
    if (options.ConnectTimeout > 0)
        http.ConnectTimeout = options.ConnectTimeout;
    if (options.ReadTimeout > 0)
        http.ReadTimeout = options.ReadTimeout;
    return 0;
}

// What the client would use, read back from it.
void PrintSettings(TNetHTTP& http, const TOptions& options)
{
    std::printf("connect timeout: %d ms\nread timeout: %d ms\nlow speed: %d bytes in %d ms\nproxy: %s\n",
                http.ConnectTimeout, http.ReadTimeout, options.LowSpeedBytes, options.LowSpeedMs,
                http.ProxyParams().ProxyServer().empty()
                    ? "none"
                    : (http.ProxyParams().ProxyServer() + ":" + IntToStr(http.ProxyParams().ProxyPort())).c_str());
    std::fflush(stdout);
}

// The download into the file; false when it does not match --sha256.
bool Download(TNetHTTP& http, const AnsiString& url, const AnsiString& outFile, const TOptions& options)
{
    TProgress progress;
    std::int32_t last = 0;
    http.OnWorkBegin = [&](TObject*, TWorkMode, std::int32_t total) { progress.Begin(total); last = 0; };
    http.OnWork = [&](TObject*, TWorkMode, std::int32_t count) { last = count; progress.Work(count); };
    http.OnWorkEnd = [&](TObject*, TWorkMode) { progress.End(last); };

    TFileStream file(outFile, fmCreate);
    TVerifyingStream counted(file, ~std::uint64_t(0), options.Expected.has_value());
    TResumingGet get(http);
    get.Tries = options.Tries;
    get.LowSpeedBytes = options.LowSpeedBytes;
    get.LowSpeedTimeMs = options.LowSpeedMs;
    // The status line on stdout, whatever the answer; the wizard accepts
    // only 200 and says so with the default error.
    auto printStatus = [&] {
        std::printf("%d %s\n", http.ResponseCode(), http.ResponseText().c_str());
        std::fflush(stdout);
    };
    get.HttpError = [&, plainError = get.HttpError] {
        printStatus();
        return plainError();
    };
    get.OnRetry = [](int next, int of) {
        std::fprintf(stderr, "fetch: the download broke off; try %d of %d\n", next, of);
        std::fflush(stderr);
    };
    get.Get(url, counted);
    printStatus();
    return !options.Expected || (!counted.Spoiled() && counted.Digest() == *options.Expected);
}

} // namespace

int main(int argc, char** argv)
{
    TOptions options;
    if (const int bad = ParseCommandLine(argc, argv, options))
        return bad;
    // Unbuffered, the console would take one system call per character.
    static char errorBuffer[1024];
    std::setvbuf(stderr, errorBuffer, _IOFBF, sizeof errorBuffer);
    try {
        auto http = std::make_unique<TNetHTTP>(nullptr);
        if (const int bad = Configure(*http, options))
            return bad;
        if (options.Settings) {
            PrintSettings(*http, options);
            return 0;
        }
        const AnsiString& url = options.Positional[0];
        const AnsiString& outFile = options.Positional[1];
        if (!Download(*http, url, outFile, options)) {
            DeleteFile(outFile);
            std::fprintf(stderr, "fetch: %s does not match --sha256; deleted\n", url.c_str());
            std::fflush(stderr);
            return 1;
        }
        return 0;
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s: %s\n", e.ClassName().c_str(), e.Message().c_str());
        std::fflush(stderr);
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        std::fflush(stderr);
        return 1;
    }
}
