#include "uNetURI.h"

#include "uNetGlobal.h"
#include "platform/uNetPlatform.h"
#include "runtime/uSysUtils.h"

#include <vector>

using net::Fetch;
using net::npos;
using net::Pos;
using net::RPos;

TNetURI::TNetURI(const AnsiString& uri)
{
    if (!uri.empty())
        SetURI(uri);
}

void TNetURI::Clear()
{
    FProtocol.clear();
    FUsername.clear();
    FPassword.clear();
    FHost.clear();
    FPort.clear();
    FPath.clear();
    FDocument.clear();
    FParams.clear();
    FBookmark.clear();
    FIPVersion = TNetIPVersion::Net_IPv4;
}

void TNetURI::SetURI(const AnsiString& uri)
{
    // Windows users type backslashes; a trail byte may look like one.
    FURI = uri;
    for (size_t i = 0; i < FURI.size(); ++i) {
        if (platform::IsAnsiLeadByte(static_cast<unsigned char>(FURI[i])))
            ++i;
        else if (FURI[i] == '\\')
            FURI[i] = '/';
    }
    Clear();
    AnsiString w = FURI;

    // Splits the rest W into path, document and parameters; `absolute` puts
    // the leading "/" back that the authority split removed.
    auto splitPath = [this, &w](bool absolute) {
        size_t r = Pos("?", w);
        if (r == npos)
            r = Pos("=", w); // "a/b=c" carries its parameters from the "="
        size_t slash = r != npos ? RPos("/", w, r) : RPos("/", w);
        size_t s = slash == npos ? 0 : slash + 1;
        FPath = (absolute ? "/" : "") + w.substr(0, s);
        if (r != npos) {
            FDocument = w.substr(0, r);
            FParams = w.substr(r);
        } else {
            FDocument = w;
        }
        FDocument.erase(0, s);
        FBookmark = FDocument;
        FDocument = Fetch(FBookmark, "#");
    };

    size_t p = Pos("://", w);
    if (p != npos) {
        FProtocol = w.substr(0, p);
        w.erase(0, p + 3);
        AnsiString authority = Fetch(w, "/");
        AnsiString userInfo;
        size_t at = Pos("@", authority);
        if (at != npos) {
            userInfo = authority.substr(0, at);
            authority.erase(0, at + 1);
        }
        FUsername = Fetch(userInfo, ":");
        FPassword = FUsername.empty() ? AnsiString() : userInfo;
        size_t open = Pos("[", authority), close = Pos("]", authority);
        if (open == 0 && close != npos) {
            const AnsiString written = authority;
            FHost = Fetch(authority, "]");
            FHost.erase(0, 1);
            // Only a port may follow the literal; it must be a whole address,
            // or the socket layer would be handed text it cannot place.
            std::uint8_t bytes[16];
            if (!net::ParseIPv6(FHost, bytes) || (!authority.empty() && authority[0] != ':'))
                RejectHost(written);
            Fetch(authority, ":");
            // ... and the port is digits only: "[::1]:[x" must not pass as one.
            if (authority.find_first_not_of("0123456789") != AnsiString::npos)
                RejectHost(written);
            FIPVersion = TNetIPVersion::Net_IPv6;
        } else if (open != npos || close != npos) {
            RejectHost(authority);
        } else {
            FHost = Fetch(authority, ":");
        }
        FPort = authority;
        splitPath(true);
    } else {
        splitPath(false);
    }
    if (FBookmark.empty()) {
        FBookmark = FParams;
        FParams = Fetch(FBookmark, "#");
    }
}

void TNetURI::RejectHost(const AnsiString& host)
{
    Clear();
    throw ENetURIException(Format(netmsg::InvalidIPv6Address, host.c_str()));
}

AnsiString TNetURI::GetFullURI(TNetURIOptions options) const
{
    if (FProtocol.empty())
        throw ENetURIException(netmsg::ProtocolFieldEmpty);
    AnsiString r = FProtocol + "://";
    if ((options & uoAuthInfo) && !FUsername.empty()) {
        r += FUsername;
        if (!FPassword.empty())
            r += ":" + FPassword;
        r += "@";
    }
    if (FHost.empty())
        throw ENetURIException(netmsg::HostFieldEmpty);
    r += HostText();
    r += FPath + FDocument + FParams;
    if ((options & uoBookmark) && !FBookmark.empty())
        r += "#" + FBookmark;
    return r;
}

AnsiString TNetURI::GetURI()
{
    FURI = GetFullURI(uoAuthInfo | uoBookmark);
    return GetFullURI(0);
}

AnsiString TNetURI::BracketedHost() const
{
    return FIPVersion == TNetIPVersion::Net_IPv6 ? "[" + FHost + "]" : FHost;
}

AnsiString TNetURI::HostText() const
{
    AnsiString r = BracketedHost();
    // Only the literal "80" is left out: "080" and "443" are written.
    if (!FPort.empty() && FPort != "80")
        r += ":" + FPort;
    return r;
}

AnsiString TNetURI::MergePaths(const AnsiString& base, const AnsiString& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    AnsiString joined = base;
    if (!joined.empty() && joined.back() != '/' && !path.empty())
        joined += '/';
    joined += path;
    bool absolute = !joined.empty() && joined[0] == '/';
    bool trailing = !joined.empty() && joined.back() == '/';
    std::vector<AnsiString> segments;
    AnsiString rest = joined;
    bool lastWasDot = false;
    while (!rest.empty()) {
        AnsiString segment = Fetch(rest, "/");
        lastWasDot = segment == "." || segment == "..";
        if (segment.empty() || segment == ".")
            continue;
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
            continue;
        }
        segments.push_back(segment);
    }
    AnsiString r = absolute ? "/" : "";
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i)
            r += '/';
        r += segments[i];
    }
    if ((trailing || lastWasDot) && !segments.empty())
        r += '/';
    return r;
}
