#pragma once
// The one base class of every failure the program reports. It carries a message
// in the ANSI code page and knows its class, so a report can name it.
#include "uObject.h"

#include <exception>

class Exception : public TObject, public std::exception {
    RT_CLASS(Exception, TObject)
public:
    explicit Exception(AnsiString message) : FMessage(std::move(message)) {}

    const AnsiString& Message() const { return FMessage; }
    void SetMessage(AnsiString message) { FMessage = std::move(message); }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    AnsiString FMessage;
};

// Declares an exception class that only adds its name to the family tree.
#define RT_EXCEPTION(Self, Base)                                                            \
    class Self : public Base {                                                              \
        RT_CLASS(Self, Base)                                                                \
    public:                                                                                 \
        using Base::Base;                                                                   \
    };

// The runtime's own families.
RT_EXCEPTION(EStringListError, Exception)
RT_EXCEPTION(EListError, Exception)
RT_EXCEPTION(EConvertError, Exception)
RT_EXCEPTION(EStreamError, Exception)
RT_EXCEPTION(EFCreateError, EStreamError)
RT_EXCEPTION(EFOpenError, EStreamError)
RT_EXCEPTION(EReadError, EStreamError)
RT_EXCEPTION(EWriteError, EStreamError)
RT_EXCEPTION(EIniFileException, Exception)
RT_EXCEPTION(ERegistryException, Exception)
RT_EXCEPTION(EOSError, Exception)
RT_EXCEPTION(EComponentError, Exception)
RT_EXCEPTION(EPropertyError, Exception)
