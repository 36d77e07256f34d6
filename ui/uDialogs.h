#pragma once
// Modal dialogs: the standard message dialog, message boxes and the shell's
// folder browser. All of them pass one seam, so tests can answer them.
#include "uForms.h"

#include <optional>

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
using TMsgDlgButtons = unsigned;

// The standard message dialog: icon, the message word-wrapped, and one button
// per requested kind ("&Yes", "&No", ...) in a centred row. The first button
// is the default (Enter), No or Cancel the cancel button (Escape); each closes
// the dialog with its modal result. The dialog sizes itself to the text and is
// centred on the screen. The caller owns it.
std::unique_ptr<TForm> CreateMessageDialog(const AnsiString& message, TMsgDlgType type, TMsgDlgButtons buttons);
TModalResult MessageDlg(const AnsiString& message, TMsgDlgType type, TMsgDlgButtons buttons);

// The shell's browse-for-folder dialog, with a "new folder" button, starting
// at `folder`. On OK returns true and puts the chosen path into `folder`.
bool BrowseForFolder(TWindowHandle owner, const AnsiString& title, AnsiString& folder);

// --- the modal seam -----------------------------------------------------------

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
