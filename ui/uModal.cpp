#include "uModal.h"

namespace {
TModalResponder GResponder;
} // namespace

TModalResponder SetModalResponder(TModalResponder responder)
{
    TModalResponder previous = std::move(GResponder);
    GResponder = std::move(responder);
    return previous;
}

std::optional<int> AskModalResponder(TModalRequest& request)
{
    if (!GResponder)
        return std::nullopt;
    return GResponder(request);
}
