#pragma once
// Failures of COM calls, with the platform's text for the HRESULT.
#include "uException.h"

RT_EXCEPTION(EOleError, Exception)

class EOleSysError : public EOleError {
    RT_CLASS(EOleSysError, EOleError)
public:
    EOleSysError(AnsiString message, long errorCode) : EOleError(std::move(message)), FErrorCode(errorCode) {}
    long ErrorCode() const { return FErrorCode; }

private:
    long FErrorCode;
};

RT_EXCEPTION(EIntfCastError, Exception)

// Raises EOleSysError with the platform's message when `result` is a failure.
void OleCheck(long result);
