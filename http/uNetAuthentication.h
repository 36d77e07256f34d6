#pragma once
// Authentication schemes for 401 and 407 answers. Only "Basic" is
// registered; the client asks a scheme for its header value step by step.
#include "uNetException.h"

#include "runtime/uClasses.h"

#include <memory>

enum class TNetAuthWhatsNext { wnAskTheProgram, wnDoRequest, wnFail };

class TNetAuthentication : public TPersistent {
    RT_CLASS(TNetAuthentication, TPersistent)
public:
    virtual void Reset() { FCurrentStep = 0; }
    // The value of the "Authorization" header for the current step.
    virtual AnsiString Authentication() = 0;
    // What to do after a failed attempt.
    virtual TNetAuthWhatsNext Next() = 0;
    virtual int Steps() const { return 1; }
    virtual bool KeepAlive() const { return false; }
    int CurrentStep() const { return FCurrentStep; }

    AnsiString Username, Password;
    TStringList Params; // the challenge's parameters

protected:
    int FCurrentStep = 0;
};

class TNetBasicAuthentication : public TNetAuthentication {
    RT_CLASS(TNetBasicAuthentication, TNetAuthentication)
public:
    AnsiString Authentication() override;
    TNetAuthWhatsNext Next() override;
    AnsiString Realm;
};

using TNetAuthenticationClass = std::unique_ptr<TNetAuthentication> (*)();

// The registered scheme of a challenge's first word, or null.
TNetAuthenticationClass FindAuthClass(const AnsiString& scheme);

AnsiString Base64Encode(std::string_view bytes);
