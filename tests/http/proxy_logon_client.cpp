// One download through a proxy that wants a logon, the question answered by
// the test: proxy_logon_client.exe URL OUTFILE HOST:PORT. The answers come
// from KORVANT_TEST_LOGONS, "user:password|user:password|cancel", one per
// question (the last repeats). Prints one line per question ("asked SCHEME
// refusals=N") and the outcome ("ok BYTES" or "failed: MESSAGE"); exit 0 or 1.
#include "http/uNetHTTP.h"
#include "runtime/uStreams.h"
#include "runtime/uSysUtils.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: proxy_logon_client.exe URL OUTFILE HOST:PORT\n");
        return 2;
    }
    std::vector<AnsiString> answers;
    AnsiString list = std::getenv("KORVANT_TEST_LOGONS") ? std::getenv("KORVANT_TEST_LOGONS") : "cancel";
    for (size_t start = 0;;) {
        size_t bar = list.find('|', start);
        answers.push_back(list.substr(start, bar == AnsiString::npos ? AnsiString::npos : bar - start));
        if (bar == AnsiString::npos)
            break;
        start = bar + 1;
    }
    TNetHTTP http(nullptr);
    http.ConnectTimeout = DownloadConnectTimeoutMs;
    http.ReadTimeout = DownloadReadTimeoutMs;
    AnsiString proxy = argv[3];
    http.ProxyParams().SetProxyServer(proxy.substr(0, proxy.rfind(':')));
    http.ProxyParams().SetProxyPort(std::atoi(proxy.substr(proxy.rfind(':') + 1).c_str()));
    size_t asked = 0;
    http.OnProxyAuthorization = [&](TObject*, TNetAuthentication* logon, bool& handled) {
        const AnsiString& answer = answers[std::min(asked, answers.size() - 1)];
        ++asked;
        std::printf("asked %s refusals=%d\n", logon->Scheme().c_str(), http.AuthProxyRetries);
        size_t colon = answer.find(':');
        handled = answer != "cancel" && colon != AnsiString::npos;
        if (handled) {
            logon->Username = answer.substr(0, colon);
            logon->Password = answer.substr(colon + 1);
        }
    };
    try {
        TFileStream file(argv[2], fmCreate);
        http.Get(argv[1], &file);
        std::printf("ok %lld\n", static_cast<long long>(file.Size()));
        return 0;
    } catch (const Exception& e) {
        std::printf("failed: %s\n", e.Message().c_str());
        return 1;
    }
}
