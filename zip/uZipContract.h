#pragma once
// The call contract between the archive component and the unzip engine
// library ZipEng179.dll. Both sides include this header and nothing else of
// each other. Integers are 32-bit, flags are -1 or 0, texts are NUL-terminated
// ANSI. Address fields are pointer-sized, so on a 32-bit build every field
// sits at the offset the engine interface has always used; on x86-64 the
// order is the same and the addresses widen.
#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define ZE_CALL __stdcall
#else
#define ZE_CALL
#endif

namespace zipeng {

inline constexpr std::int32_t kInterfaceVersion = 179;
inline constexpr std::int32_t kMinVersion = 179;
inline constexpr std::int32_t kMaxVersion = 300;
inline constexpr std::int32_t kBlockCheck = 7;       // last field of the command block
inline constexpr std::size_t kReplySize = 512;       // reply text buffer of the callback record
inline constexpr std::size_t kMaxPassword = 80;      // longest password the engine takes
inline constexpr std::int32_t kMaxPasswordRequests = 15;

struct TCallbackRec;
// Returns kGoOn, kCancel or kHandlerException.
using TZipCallback = std::int32_t(ZE_CALL*)(void* caller, TCallbackRec* rec);
inline constexpr std::int32_t kGoOn = 0;
inline constexpr std::int32_t kCancel = 1;
inline constexpr std::int32_t kHandlerException = 10106;

// One file pattern to extract: its address, then zeros.
struct TFileSpec {
    const char* Pattern;
    std::int32_t Reserved[7];
};

struct TCommandBlock {
    void* Handle;             //   0 application window, null when unattended
    void* Caller;             //   4 passed back to the callback
    std::int32_t Version;     //   8 kInterfaceVersion
    TZipCallback Callback;    //  12
    std::int32_t Trace;       //  16
    std::int32_t Reserved20;
    std::int32_t Reserved24;
    const char* Password;     //  28
    std::int32_t Test;        //  32 check the entries, write nothing
    std::int32_t Reserved36;
    std::int32_t Reserved40;
    std::int32_t Always;      //  44 -1
    std::int32_t Verbose;     //  48
    std::int32_t Update;      //  52
    std::int32_t Freshen;     //  56
    std::int32_t DirNames;    //  60 recreate stored folder names
    std::int32_t Overwrite;   //  64
    std::int32_t SpecCount;   //  68 0 means every entry
    const char* ZipName;      //  72
    TFileSpec* Specs;         //  76
    std::int32_t Reserved80[7];
    std::int32_t PwdReqCount; // 108 0..15
    const char* ExtractDir;   // 112 null: the current folder
    std::int32_t Reserved116[8];
    std::int32_t Check;       // 148 kBlockCheck
};

// Replies written into TCallbackRec::Action.
inline constexpr std::int32_t kReplyAccept = -1;
inline constexpr std::int32_t kReplySkip = -2;
inline constexpr std::int32_t kReplySkipAll = -3;

struct TCallbackRec {
    std::int32_t Reserved0;
    std::int32_t Reserved4;
    std::int32_t IsZipOperation; //  8 non-zero for archive writing
    std::int32_t Action;         // 12 in: action (low 6 bits); out: reply
    std::int32_t Arg;            // 16 error code, count, repeat count or abort handle
    const char* Text;            // 20 name or message, "/" separated
    union {
        struct {
            std::int64_t Size;     // 24
            std::int64_t Written;  // 32
            void* Text2;           // 40 second text, or the memory block of action 13
            std::int32_t SkipType; // 44 low byte, counted from 1
        };
        char Reply[kReplySize];    // 24 reply text (a password)
    };
};

enum TAction : std::int32_t {
    acTick = 0,
    acNewFile = 1,     // Text name, Size its size
    acProgress = 2,    // Size bytes done since the last report
    acEndBatch = 3,
    acMessage = 4,     // Arg code (0 informational), Text message
    acItemCount = 5,   // Arg count
    acTotalSize = 6,   // Size total bytes of the batch
    acNewName = 7,
    acPassword = 8,    // Arg repeat count, Text entry name
    acCRCError = 9,
    acOverwrite = 10,
    acSkipped = 11,    // Arg code, SkipType, Text name
    acComment = 12,
    acMemory = 13,
    acExtra = 14,
    acExtraItem = 15,  // Arg message id - 11400, Size
    acExtraBytes = 16, // Size
    acExtName = 17,
    acAbortHandle = 18 // Arg the handle to pass to ZE_Abort
};

// Skip types of acSkipped, counted from 1 in the record.
enum TSkipType : std::int32_t {
    stOnFreshen = 1,
    stNoOverwrite,
    stFileExists,
    stBadPassword,
    stCompressionUnknown,
    stUnsafePath,
    stGeneralExtractError,
};

// The engine's own error codes (acMessage and acSkipped). Their low byte is
// what the component shows as ErrorId, so each low byte is distinct.
enum TEngineError : std::int32_t {
    eeNone = 0,
    eeOpenArchive = 1,     // archive missing or unreadable
    eeBadArchive = 2,      // not a zip file, or a structure we do not read
    eeBadPassword = 3,
    eeBadCRC = 4,
    eeBadData = 5,         // damaged compressed data, wrong sizes
    eeCreateFile = 6,      // cannot create or write the output file
    eeUnsafePath = 7,      // name points outside the extraction folder
    eeSizeExceeded = 8,    // inflates beyond its declared size
    eeUnsupported = 9,     // compression method or encryption we do not read
    eeNoMemory = 10,
};

// Negative results of ZE_UnzExec.
inline constexpr std::int32_t kResultCancelled = -1;
inline constexpr std::int32_t kResultAborting = -2;
inline constexpr std::int32_t kResultHandlerException = -3;
inline constexpr std::int32_t kResultNoMemory = -4;
inline constexpr std::int32_t kResultBadStructure = -5;

// Entry points, found by name.
using TUnzExec = std::int32_t(ZE_CALL*)(TCommandBlock* block);
using TZipExec = std::int32_t(ZE_CALL*)(void* block);
using TVersion = std::int32_t(ZE_CALL*)();
using TPrivVersion = std::int32_t(ZE_CALL*)();
using TAbort = void(ZE_CALL*)(std::int32_t handle);
using TPath = const char*(ZE_CALL*)();

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(TCommandBlock, Password) == 28);
static_assert(offsetof(TCommandBlock, Always) == 44);
static_assert(offsetof(TCommandBlock, ZipName) == 72);
static_assert(offsetof(TCommandBlock, Specs) == 76);
static_assert(offsetof(TCommandBlock, PwdReqCount) == 108);
static_assert(offsetof(TCommandBlock, ExtractDir) == 112);
static_assert(sizeof(TCommandBlock) == 152);
static_assert(sizeof(TFileSpec) == 32);
static_assert(offsetof(TCallbackRec, Text) == 20);
static_assert(offsetof(TCallbackRec, Size) == 24);
static_assert(offsetof(TCallbackRec, Written) == 32);
static_assert(offsetof(TCallbackRec, Text2) == 40);
static_assert(offsetof(TCallbackRec, SkipType) == 44);
#endif

} // namespace zipeng
