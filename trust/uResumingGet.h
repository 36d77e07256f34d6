#pragma once
// A GET that survives a broken line: after a drop, a read time-out or a
// failed connect it waits and tries again, asking only for what is still
// missing (Range with If-Range) when the first answer named its version.
// The first request of each file is the client's plain GET, unchanged.
#include "http/uNetHTTP.h"
#include "trust/uVerifyingStream.h"

#include <functional>

// Pauses before the second, third and fourth try; later tries wait as long
// as the last.
inline constexpr unsigned DownloadRetryPausesMs[] = {1000, 2000, 4000};
inline constexpr int DownloadTries = 4;

class TResumingGet {
public:
    explicit TResumingGet(TNetHTTP& http);

    // Gets `url` into `destination`; throws the last try's error, or
    // HttpError() for an answer that is not the file.
    void Get(const AnsiString& url, TVerifyingStream& destination);

    // A break the next try may mend: the line failed, the server did not refuse.
    static bool Transient(const Exception& error);
    // The version of a whole answer to resume against: its ETag, or else its
    // Last-Modified; empty when neither can be sent back as it came (a
    // control character would split or bend the If-Range line).
    static AnsiString Validator(const AnsiString& etag, const AnsiString& lastModified);

    int Tries = DownloadTries;
    // The floor under the speed of every try: a try that receives fewer bytes
    // in this time is a stall, ended as a read time-out and tried again.
    int LowSpeedBytes = DownloadLowSpeedBytes;
    int LowSpeedTimeMs = DownloadLowSpeedTimeMs;
    // Before each try: the bytes kept from earlier tries and the whole
    // size when an earlier answer gave it (0: not known yet).
    std::function<void(std::uint64_t kept, std::uint64_t total)> OnTry;
    // A try broke off and try `next` of `tries` follows after a pause.
    std::function<void(int next, int tries)> OnRetry;
    // Waits between tries (the default sleeps).
    std::function<void(unsigned ms)> Pause;
    // The error of an answer that is not the file (the default: "HTTP
    // Error:" and the status).
    std::function<Exception()> HttpError;

private:
    TNetHTTP& FHttp;
};
