#pragma once
// The archive component's texts, looked up by message id (10096..11603).
// The program carries one English table; a language table carried as an
// RCDATA resource may take precedence when one is selected.
#include "runtime/uException.h"

#include <cstdarg>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zipmsg {

// The ids the component uses by name.
enum : int {
    ZM_LanguageName = 10096,
    GE_NoZipSpecified = 10102,
    GE_NoMem = 10103,
    GE_EventEx = 10106,
    GE_Inactive = 10109,
    GE_Busy = 10112,
    DLL_Aborting = 10118,
    DLL_Cancelled = 10120,
    DLL_NoMem = 10121,
    DLL_BadStructure = 10122,
    DLL_HandlerEx = 10123,
    DLL_Critical = 10124,
    GE_Unknown = 10125,
    GE_Skipped = 10126,
    PW_UnattExtract = 10151,
    PW_Caption = 10154,
    PW_MessageEnter = 10155,
    PW_MessageConfirm = 10156,
    LI_ReadZipError = 10201,
    LI_ErrorUnknown = 10202,
    LI_WrongZipStruct = 10203,
    LI_GarbageAtEOF = 10204,
    EX_UnAttPassword = 10502,
    EX_NoExtrDir = 10504,
    LD_NoDll = 10650,
    LD_BadDll = 10651,
    LD_DllLoaded = 10652,
    LD_DllUnloaded = 10653,
    DS_FileOpen = 11002,
    DS_Canceled = 11007,
    DS_CEHBadRead = 11013,
    DS_CEHWrongSig = 11015,
    DS_CENameLen = 11017,
    DS_CECommentLen = 11022,
    DS_NotaDrive = 11035,
    DS_NoValidZip = 11036,
    DS_NoWrite = 11051,
    PR_Progress = 11400,
    PR_Loading = 11409,
};

inline constexpr std::uint16_t kDefaultLanguageId = 1033;
inline constexpr int kLanguageResourceId = 11610;
inline constexpr std::size_t kMaxTableSize = 50000;

// The text of an id in the current language, else the default table, else
// "Resource missing for " and the id. Line breaks come out as CR LF.
AnsiString LoadZipStr(int id);
// The text of `id` with printf conversions filled in; empty when the text is.
AnsiString ZipFmtLoadStr(int id, ...);
AnsiString VFormatText(const AnsiString& format, va_list args);

// Selects the message language for the whole process; returns the name of
// the table selected, empty when the default stays in use.
AnsiString SetZipMsgLanguage(std::string_view value);
// "US: default" unless a language table is selected.
AnsiString GetZipMsgLanguage(int index = 0);

// Unpacks the component's LZ77 packing (4096-byte ring starting at 4080).
// False when the stream is not exactly `packedSize` bytes long, the result
// is not `unpackedSize` bytes, or the table would be too big.
bool UnpackTable(const std::uint8_t* packed, std::size_t available, std::size_t packedSize,
                 std::size_t unpackedSize, std::vector<std::uint8_t>& out);
// Looks an id up in an unpacked table of string-table resource entries.
bool FindInTable(const std::vector<std::uint8_t>& table, int id, WideString& text);

} // namespace zipmsg

// The component's own errors: a message, whether to show it, and its id.
class EZipArchive : public Exception {
    RT_CLASS(EZipArchive, Exception)
public:
    // From an id alone; the display flag is the caller's choice.
    EZipArchive(int id, bool display);
    // From an id with printf-style arguments; always displayed.
    static EZipArchive Fmt(int id, ...);
    // From a ready text.
    EZipArchive(AnsiString message, bool display, int id);

    int ResId() const { return FResId; }
    bool DisplayMsg() const { return FDisplayMsg; }

private:
    int FResId = 0;
    bool FDisplayMsg = false;
};
