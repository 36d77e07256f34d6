#pragma once
// A URL split into its parts, and built back from them. Parsing fails only
// for a bracketed host that is no IPv6 address; building needs a protocol and
// a host. Nothing is percent-encoded.
#include "uNetException.h"

enum class TNetIPVersion { Net_IPv4, Net_IPv6 };

enum TNetURIOption : unsigned { uoAuthInfo = 1, uoBookmark = 2 };
using TNetURIOptions = unsigned;

class TNetURI : public TObject {
    RT_CLASS(TNetURI, TObject)
public:
    explicit TNetURI(const AnsiString& uri = {});

    // Parses a new URL, replacing every field.
    void SetURI(const AnsiString& uri);
    // Stores the full form (with user info and fragment) and returns the form
    // without them, as sent to a proxy.
    AnsiString GetURI();
    AnsiString GetFullURI(TNetURIOptions options = uoAuthInfo | uoBookmark) const;
    // The host as an authority writes it: an IPv6 address in brackets.
    AnsiString BracketedHost() const;
    // The text of the Host header: the bracketed host and a port other than "80".
    AnsiString HostText() const;
    // Path + Document + Params: the target on a direct connection.
    AnsiString PathAndQuery() const { return FPath + FDocument + FParams; }

    const AnsiString& URI() const { return FURI; }
    const AnsiString& Protocol() const { return FProtocol; }
    const AnsiString& Username() const { return FUsername; }
    const AnsiString& Password() const { return FPassword; }
    const AnsiString& Host() const { return FHost; }
    const AnsiString& Port() const { return FPort; }
    const AnsiString& Path() const { return FPath; }
    const AnsiString& Document() const { return FDocument; }
    const AnsiString& Params() const { return FParams; }
    const AnsiString& Bookmark() const { return FBookmark; }
    TNetIPVersion IPVersion() const { return FIPVersion; }

    void SetProtocol(const AnsiString& v) { FProtocol = v; }
    void SetUsername(const AnsiString& v) { FUsername = v; }
    void SetPassword(const AnsiString& v) { FPassword = v; }
    void SetHost(const AnsiString& v) { FHost = v; }
    void SetPort(const AnsiString& v) { FPort = v; }
    void SetPath(const AnsiString& v) { FPath = v; }
    void SetDocument(const AnsiString& v) { FDocument = v; }
    void SetParams(const AnsiString& v) { FParams = v; }
    void SetBookmark(const AnsiString& v) { FBookmark = v; }
    void SetIPVersion(TNetIPVersion v) { FIPVersion = v; }

    // Joins `path` to `base` with "/" as separator: an absolute path replaces
    // the base; a relative one is appended and its "." and ".." folded.
    static AnsiString MergePaths(const AnsiString& base, const AnsiString& path);

private:
    void Clear();
    [[noreturn]] void RejectHost(const AnsiString& host);

    AnsiString FURI, FProtocol, FUsername, FPassword, FHost, FPort, FPath, FDocument, FParams, FBookmark;
    TNetIPVersion FIPVersion = TNetIPVersion::Net_IPv4;
};
