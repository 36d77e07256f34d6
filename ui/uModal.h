#pragma once
// The modal seam: every modal dialog (message dialog, message box, folder
// browser) asks it first, so tests can answer them.
#include "uControls.h"

#include <functional>
#include <optional>

class TForm;

enum class TModalKind { MessageDialog, MessageBox, BrowseFolder };

struct TModalRequest {
    TModalKind Kind;
    AnsiString Caption;
    AnsiString Text;             // message; browse: the dialog's title
    unsigned Flags = 0;          // MessageBox flags
    TWindowHandle Owner = nullptr;
    TForm* Dialog = nullptr;     // MessageDialog: the dialog, already showing
    AnsiString Folder;           // BrowseFolder: the start folder; the answer's folder
};

// A responder returns the result (a modal result, a MessageBox button id, or
// 1 = OK / 2 = Cancel for the folder browser), or nothing to let the dialog
// run; a MessageDialog then runs its own loop, so a responder may also have
// posted keys or clicks to it. Returns the previous responder.
using TModalResponder = std::function<std::optional<int>(TModalRequest& request)>;
TModalResponder SetModalResponder(TModalResponder responder);
// Asks the responder, if there is one.
std::optional<int> AskModalResponder(TModalRequest& request);
