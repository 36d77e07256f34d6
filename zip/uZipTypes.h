#pragma once
// Event and option types of the archive component.
#include "uZipDir.h"

#include <cstdint>
#include <functional>

enum class ProgressType {
    NewFile = 0,
    ProgressUpdate = 1,
    EndOfBatch = 2,
    TotalFiles2Process = 3,
    TotalSize2Process = 4,
    NewExtra = 5,
    ExtraUpdate = 6,
};

// Why the engine skipped a file (the engine counts from 1, events from 0).
enum class UnZipSkipTypes { stOnFreshen, stNoOverwrite, stFileExists, stBadPassword, stCompressionUnknown,
                            stUnsafePath, stGeneralExtractError };

// The answer to a password request; scoped so it cannot clash with the UI's buttons.
enum class TZipDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };

enum TExtrOpt : unsigned {
    ExtrDirNames = 1u << 0,
    ExtrOverWrite = 1u << 1,
    ExtrFreshen = 1u << 2,
    ExtrUpdate = 1u << 3,
    ExtrTest = 1u << 4,
    ExtrForceDirs = 1u << 5,
};
using TExtrOpts = unsigned;

// The progress snapshot handed to OnProgressDetails.
class TProgressDetails {
public:
    virtual ~TProgressDetails() = default;
    int ItemNumber() const { return FItemNumber; }
    int ItemCount() const { return FItemCount; }
    const AnsiString& ItemName() const { return FItemName; }
    std::uint32_t ItemSize() const { return FItemSize; }
    std::int32_t ItemPosition() const { return FItemPosition; }
    std::int64_t TotalSize() const { return FTotalSize; }
    std::int64_t TotalPosition() const { return FTotalPosition; }
    std::int64_t BytesWritten() const { return FBytesWritten; }
    ProgressType Order() const { return FOrder; }
    int TotalPerCent() const;
    int ItemPerCent() const;

protected:
    int FItemNumber = 0, FItemCount = 0;
    AnsiString FItemName;
    std::uint32_t FItemSize = 0;
    std::int32_t FItemPosition = 0;
    std::int64_t FTotalSize = 0, FTotalPosition = 0, FBytesWritten = 0;
    ProgressType FOrder = ProgressType::NewFile;
};

using TNotifyEvent = std::function<void(TObject* sender)>;
using TTotalProgressEvent = std::function<void(TObject* sender, std::int64_t TotalSize, int PerCent)>;
using TItemProgressEvent = std::function<void(TObject* sender, const AnsiString& Item, std::uint32_t TotalSize, int PerCent)>;
using TProgressEvent = std::function<void(TObject* sender, ProgressType ProgrType, const AnsiString& Filename, std::int64_t FileSize)>;
using TProgressDetailsEvent = std::function<void(TObject* sender, TProgressDetails& details)>;
using TMessageEvent = std::function<void(TObject* sender, int ErrCode, const AnsiString& Message)>;
using TCheckTerminateEvent = std::function<void(TObject* sender, bool& abort)>;
using TTickEvent = std::function<void(TObject* sender)>;
using TNewNameEvent = std::function<void(TObject* sender, int SeqNo, const ZipDirEntry& ZipEntry)>;
using TPasswordErrorEvent = std::function<void(TObject* sender, bool IsZipAction, AnsiString& NewPassword,
                                               const AnsiString& ForFile, std::uint32_t& RepeatCount, TZipDlgBtn& Action)>;
using TExtractSkippedEvent = std::function<void(TObject* sender, const AnsiString& ForFile, UnZipSkipTypes SkipType, int ExtError)>;
// Engine queries answered by the handler; `reply` holds the engine's default.
using TCRC32ErrorEvent = std::function<void(TObject* sender, const AnsiString& ForFile, std::uint32_t FoundCRC, std::uint32_t StoredCRC, bool& DoExtract)>;
using TExtractOverwriteEvent = std::function<void(TObject* sender, const AnsiString& ForFile, bool IsOlder, bool& DoOverwrite, int DirIndex)>;
using TFileCommentEvent = std::function<void(TObject* sender, const AnsiString& ForFile, AnsiString& FileComment, bool& IsChanged)>;
using TFileExtraEvent = std::function<void(TObject* sender, const AnsiString& ForFile, std::string& Data, bool& IsChanged)>;
using TSetNameEvent = std::function<void(TObject* sender, AnsiString& Name, bool& IsChanged)>;

// The events the component forwards; the worker keeps a copy per operation.
struct TZipEvents {
    TTotalProgressEvent OnTotalProgress;
    TItemProgressEvent OnItemProgress;
    TProgressEvent OnProgress;
    TProgressDetailsEvent OnProgressDetails;
    TMessageEvent OnMessage;
    TCheckTerminateEvent OnCheckTerminate;
    TTickEvent OnTick;
    TNotifyEvent OnDirUpdate;
    TNewNameEvent OnNewName;
    TPasswordErrorEvent OnPasswordError;
    TExtractSkippedEvent OnExtractSkipped;
    TCRC32ErrorEvent OnCRC32Error;
    TExtractOverwriteEvent OnExtractOverwrite;
    TFileCommentEvent OnFileComment;
    TFileExtraEvent OnFileExtra;
    TSetNameEvent OnSetNewName;
    TSetNameEvent OnSetAddName;
    TSetNameEvent OnSetExtName;
    // Archive writing, spanning and self-extractors: kept, never called here.
    TNotifyEvent OnCopyZipOverwrite, OnGetNextDisk, OnStatusDisk, OnZipDialog;
};

// The modal seam: message boxes and the password prompt, replaceable by tests.
struct TZipDialogs {
    std::function<void(void* owner, const AnsiString& caption, const AnsiString& text)> ShowError;
    std::function<bool(void* owner, const AnsiString& caption, const AnsiString& prompt, AnsiString& password)> AskPassword;
};
TZipDialogs& ZipDialogs();
