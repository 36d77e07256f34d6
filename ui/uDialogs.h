#pragma once
// Modal dialogs: the standard message dialog, message boxes and the shell's
// folder browser. All of them pass one seam, so tests can answer them.
#include "uForms.h"
#include "uModal.h"

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
