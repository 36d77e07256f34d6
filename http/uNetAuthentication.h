#pragma once
// Authentication schemes for 401 and 407 answers: "Basic" with a user name
// and password, and "NTLM" and "Negotiate" through the system's security
// packages, with the logged-on user's own credentials or with typed ones.
// The client asks a scheme for its header value step by step.
#include "uNetException.h"

#include "runtime/uClasses.h"

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::sspi {
class TLogon;
}

enum class TNetAuthWhatsNext { wnAskTheProgram, wnDoRequest, wnFail };

class TNetAuthentication : public TPersistent {
    RT_CLASS(TNetAuthentication, TPersistent)
public:
    // The credentials are wiped with the object.
    ~TNetAuthentication() override;
    virtual void Reset() { FCurrentStep = 0; }
    // The value of the "Authorization" header for the current step.
    virtual AnsiString Authentication() = 0;
    // What to do after a failed attempt.
    virtual TNetAuthWhatsNext Next() = 0;
    virtual int Steps() const { return 1; }
    // Connection-oriented: every message of one logon goes on one connection.
    virtual bool KeepAlive() const { return false; }
    int CurrentStep() const { return FCurrentStep; }

    // The scheme's name as it stands in a challenge.
    virtual AnsiString Scheme() const = 0;
    // Prepares the first message from the credentials; false when they
    // cannot be used (a security package that is missing or refuses them).
    virtual bool Start() { return true; }
    // Waits for the server's answer to a message of an unfinished logon.
    virtual bool InHandshake() const { return false; }
    // Takes the server's token (base64, as in its challenge) and prepares the
    // next message; false when the logon cannot go on.
    virtual bool Continue(const AnsiString& token)
    {
        (void)token;
        return false;
    }
    // The logged-on user's own credentials, not typed ones.
    virtual bool UsesDefaultCredentials() const { return false; }
    // Empties the credentials, overwriting them in memory.
    void WipeCredentials();

    AnsiString Username, Password;
    // The protection space the challenge names ("realm"), for the question.
    AnsiString Realm;
    TStringList Params; // the challenge's parameters

protected:
    int FCurrentStep = 0;
};

class TNetBasicAuthentication : public TNetAuthentication {
    RT_CLASS(TNetBasicAuthentication, TNetAuthentication)
public:
    AnsiString Authentication() override;
    TNetAuthWhatsNext Next() override;
    AnsiString Scheme() const override { return "Basic"; }
};

// NTLM or Negotiate: the system's package builds each message; a message
// answers the server's token from the "Proxy-Authenticate" of the 407 that
// came back on the same connection.
class TNetSspiAuthentication : public TNetAuthentication {
    RT_CLASS(TNetSspiAuthentication, TNetAuthentication)
public:
    // `target` is the server's host name (the service is "HTTP/" + target);
    // without credentials (`defaultCredentials`) the logged-on user's are used.
    TNetSspiAuthentication(const AnsiString& scheme, const AnsiString& target, bool defaultCredentials);
    ~TNetSspiAuthentication() override;

    AnsiString Authentication() override { return FHeader; }
    TNetAuthWhatsNext Next() override { return TNetAuthWhatsNext::wnDoRequest; }
    bool KeepAlive() const override { return true; }
    AnsiString Scheme() const override { return FScheme; }
    bool Start() override;
    bool InHandshake() const override { return FInHandshake; }
    bool Continue(const AnsiString& token) override;
    bool UsesDefaultCredentials() const override { return FDefault; }
    void Reset() override;

private:
    AnsiString FScheme, FTarget, FHeader;
    bool FDefault;
    bool FInHandshake = false;
    std::unique_ptr<platform::sspi::TLogon> FLogon;
};

using TNetAuthenticationClass = std::unique_ptr<TNetAuthentication> (*)();

// The registered scheme of a challenge's first word, or null.
TNetAuthenticationClass FindAuthClass(const AnsiString& scheme);

AnsiString Base64Encode(std::string_view bytes);
// False for anything that is not base64 (padding optional, no blanks).
bool Base64Decode(std::string_view text, AnsiString& bytes);

// One challenge of "WWW-Authenticate" or "Proxy-Authenticate": its scheme,
// and either a token (NTLM's and Negotiate's base64 message) or parameters.
struct TNetChallenge {
    AnsiString Scheme;
    AnsiString Token;
    std::vector<std::pair<AnsiString, AnsiString>> Params; // value unquoted
    // The value of the parameter of that name (any case); empty when absent.
    AnsiString Param(std::string_view name) const;
};

// Every challenge of the header values, in order: a line may hold several
// ("Negotiate, NTLM, Basic realm=\"x\""), and several lines may each hold one.
std::vector<TNetChallenge> ParseChallenges(const TStrings& values);
// The first challenge of that scheme (any case), or null.
const TNetChallenge* FindChallenge(const std::vector<TNetChallenge>& challenges, std::string_view scheme);
