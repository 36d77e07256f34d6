#include "uResumingGet.h"

#include "platform/uNetPlatform.h"
#include "platform/uOwner.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <iterator>

TResumingGet::TResumingGet(TNetHTTP& http) : FHttp(http)
{
    Pause = [](unsigned ms) { platform::SleepMs(ms); };
    HttpError = [this] {
        return Exception(Format("HTTP Error:%d: %s", FHttp.ResponseCode(), FHttp.ResponseText().c_str()));
    };
}

bool TResumingGet::Transient(const Exception& error)
{
    return error.Is<ENetConnClosedGracefully>() || error.Is<ENetReadTimeout>() || error.Is<ENetSocketError>() ||
           error.Is<ENetConnectTimeout>();
}

AnsiString TResumingGet::Validator(const AnsiString& etag, const AnsiString& lastModified)
{
    auto clean = [](const AnsiString& value) {
        return !value.empty() && std::none_of(value.begin(), value.end(), [](char c) {
            const auto b = static_cast<unsigned char>(c);
            return b < 0x20 || b == 0x7F;
        });
    };
    if (clean(etag))
        return etag;
    return clean(lastModified) ? lastModified : AnsiString();
}

void TResumingGet::Get(const AnsiString& url, TVerifyingStream& destination)
{
    FHttp.LowSpeedBytes = LowSpeedBytes;
    FHttp.LowSpeedTimeMs = LowSpeedTimeMs;
    TNetHeaderList& extra = FHttp.Request().CustomHeaders();
    AnsiString validator;    // ETag, or Last-Modified, of the first whole answer
    std::int64_t total = -1; // its length
    for (int attempt = 0;; ++attempt) {
        // Only what is still missing, and only from the same file: a server
        // whose file changed answers 200 and the file starts over.
        const std::uint64_t have = destination.Count();
        const bool resuming = have > 0 && !validator.empty() && total > 0 && !destination.Spoiled();
        if (attempt > 0 && !resuming)
            destination.Restart();
        if (OnTry)
            OnTry(resuming ? have : 0, total > 0 ? std::uint64_t(total) : 0);
        extra.SetValues("Range", resuming ? Format("bytes=%llu-", static_cast<unsigned long long>(have)) : AnsiString());
        extra.SetValues("If-Range", resuming ? validator : AnsiString());
        destination.BeforeNextWrite([&] {
            TNetHTTPResponse& answer = FHttp.Response();
            const int code = FHttp.ResponseCode();
            if (resuming && code == 200) {
                destination.Restart();
            } else if (resuming && code == 206) {
                if (answer.ContentRangeStart != have || std::int64_t(answer.ContentRangeInstanceLength) != total)
                    throw HttpError();
                return;
            }
            if (code == 200) {
                validator = Validator(answer.RawHeaders().Values("ETag"), answer.RawHeaders().Values("Last-Modified"));
                total = answer.ContentLength;
            }
        });
        try {
            // The resume headers and the hook belong to this try alone: gone
            // on every way out, so no later request of the client sends them.
            platform::TScopeGuard scope([&extra, &destination] {
                extra.SetValues("Range", "");
                extra.SetValues("If-Range", "");
                destination.BeforeNextWrite(nullptr);
            });
            FHttp.Get(url, &destination);
            const int code = FHttp.ResponseCode();
            if (code != 200 && !(resuming && code == 206))
                throw HttpError();
            return;
        } catch (const Exception& error) {
            if (!Transient(error) || attempt + 1 >= Tries)
                throw;
        }
        if (OnRetry)
            OnRetry(attempt + 2, Tries);
        constexpr int pauses = static_cast<int>(std::size(DownloadRetryPausesMs));
        Pause(DownloadRetryPausesMs[std::min(attempt, pauses - 1)]);
    }
}
