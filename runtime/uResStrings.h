#pragma once
// The runtime's and UI framework's own texts. Each has a string-table id; the
// text is loaded from the executable's string table when it has one and falls
// back to the built-in English otherwise. A loader hook lets a layer above (the
// translator) pass every loaded text through before it is used.
#include "uText.h"

struct TResString {
    int Id;
    const char* Default;
};

AnsiString LoadResString(const TResString& res);

// Raw access to the string table (LoadStringA / LoadStringW semantics).
bool LoadResStringRaw(int id, AnsiString& text);
bool LoadResStringRawW(int id, WideString& text);

using TResStringHook = AnsiString (*)(const TResString& res, const AnsiString& loaded);
void SetResStringHook(TResStringHook hook);

// Ids 65000 and up belong to the runtime and UI framework.
namespace rs {
inline constexpr TResString SListIndexError{65000, "List index out of bounds (%d)"};
inline constexpr TResString SDuplicateString{65001, "String list does not allow duplicates"};
inline constexpr TResString SSortedListError{65002, "Operation not allowed on sorted list"};
inline constexpr TResString SFCreateError{65003, "Cannot create file %s"};
inline constexpr TResString SFOpenError{65004, "Cannot open file %s"};
inline constexpr TResString SReadError{65005, "Stream read error"};
inline constexpr TResString SWriteError{65006, "Stream write error"};
inline constexpr TResString SIniFileWriteError{65007, "Unable to write to %s"};
inline constexpr TResString SInvalidRegType{65008, "Invalid data type for '%s'"};
inline constexpr TResString SRegGetDataFailed{65009, "Failed to get data for '%s'"};
inline constexpr TResString SAssignError{65010, "Cannot assign a %s to a %s"};
inline constexpr TResString SDuplicateName{65011, "A component named %s already exists"};
inline constexpr TResString SMsgDlgYes{65012, "&Yes"};
inline constexpr TResString SMsgDlgNo{65013, "&No"};
inline constexpr TResString SMsgDlgOK{65014, "OK"};
inline constexpr TResString SMsgDlgCancel{65015, "Cancel"};
inline constexpr TResString SMsgDlgWarning{65016, "Warning"};
inline constexpr TResString SMsgDlgError{65017, "Error"};
inline constexpr TResString SMsgDlgInformation{65018, "Information"};
inline constexpr TResString SMsgDlgConfirm{65019, "Confirm"};
inline constexpr TResString SListCapacityError{65020, "List capacity out of bounds (%d)"};
inline constexpr TResString SRegSetDataFailed{65021, "Failed to set data for '%s'"};
} // namespace rs
