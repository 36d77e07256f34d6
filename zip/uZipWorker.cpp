#include "uZipWorker.h"

#include "platform/uDrives.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <cstring>

using namespace zipmsg;
using namespace zipeng;

namespace {

AnsiString Backslashed(const char* text)
{
    if (!text)
        return {};
    return ConvertZipText(text, 3, 20, TZipCodePage::cpNone, true);
}

AnsiString ChangeExtToZip(const AnsiString& path)
{
    std::size_t slash = path.find_last_of("\\/:"), dot = path.rfind('.');
    if (dot == AnsiString::npos || (slash != AnsiString::npos && dot < slash))
        return path + ".zip";
    return path.substr(0, dot) + ".zip";
}

// A self-extractor stub whose archive data were split off: its central
// directory still describes local headers that are no longer in the file.
bool IsDetachedStub(const AnsiString& path)
{
    try {
        TFileStream file(path, fmOpenRead | fmShareDenyWrite);
        char mz[2];
        std::int64_t size = file.Size();
        if (file.Read(mz, 2) != 2 || mz[0] != 'M' || mz[1] != 'Z')
            return false;
        TEndRecord end = FindEndRecord(file, size);
        std::int64_t computed = end.EffectiveSize - end.CentralSize - kEndRecordSize - static_cast<std::int64_t>(end.Comment.size());
        if (!end.Found || end.EffectiveSize != size || computed != end.CentralOffset || end.TotalEntries == 0)
            return false;
        std::uint8_t h[kCentralHeaderSize];
        ziprec::TCentralFields central;
        if (file.Seek(computed, TSeekOrigin::soBeginning) != computed || file.Read(h, sizeof h) != sizeof h ||
            !ziprec::ParseCentralHeader(h, central))
            return false;
        std::int64_t local = central.LocalOffset;
        std::uint8_t l[ziprec::kLocalSize];
        ziprec::TLocalFields localFields;
        return file.Seek(local, TSeekOrigin::soBeginning) != local || file.Read(l, sizeof l) != sizeof l ||
               !ziprec::ParseLocalHeader(l, localFields);
    } catch (const Exception&) {
        return false;
    }
}

} // namespace

TZipWorker::~TZipWorker() { FDestroying = true; }

void TZipWorker::SetActive(bool active)
{
    FActive = active;
    if (active && FDeferredList)
        List();
}

int TZipWorker::List()
{
    if (!FActive) {
        FDeferredList = true;
        return 0;
    }
    FDeferredList = false;
    FEntries.clear();
    FZipComment.clear();
    FDropped = 0;
    FSpanned = false;
    FStructureWarning = false;
    FEndFound = false;
    FErrorId = 0;
    if (!FZipFileName.empty())
        ListArchive();
    if (Events.OnDirUpdate)
        Events.OnDirUpdate(FSender);
    return FErrorId;
}

// Whether the archive's drive is there, and whether it is a hard disk: a
// file without an end record is an error there, while elsewhere the disk
// in the drive may be one of a set.
bool TZipWorker::ArchiveDriveReady(const AnsiString& full, bool& hardDisk)
{
    hardDisk = true;
    if (full.rfind("\\\\", 0) == 0)
        return true;
    char drive = static_cast<char>(full.empty() ? 0 : (full[0] & ~0x20));
    if (full.size() < 2 || full[1] != ':' || drive < 'A' || drive > 'Z')
        return false;
    AnsiString root = full.substr(0, 2) + "\\";
    if (!platform::DriveExists(root))
        return false;
    hardDisk = platform::IsHardDrive(root);
    return true;
}

void TZipWorker::ListArchive()
{
    AnsiString path = IsDetachedStub(FZipFileName) ? ChangeExtToZip(FZipFileName) : FZipFileName;
    bool hardDisk = true;
    if (!ArchiveDriveReady(platform::FullPathName(path), hardDisk) || !FileExists(path))
        return;
    std::unique_ptr<TFileStream> file;
    TEndRecord end;
    try {
        file = std::make_unique<TFileStream>(path, fmOpenRead | fmShareDenyWrite);
        std::int64_t size = file->Size();
        end = FindEndRecord(*file, size);
        if (!end.Found && size >= 0x100000000LL && Verbose)
            Inform(Format("Opening EOC seek/size error %lldMb", static_cast<long long>(size >> 20)));
    } catch (const Exception&) {
        RecordMessage(DS_FileOpen);
    }
    if (!end.Found) {
        if (hardDisk)
            RecordException(EZipArchive(DS_NoValidZip, true));
        return;
    }
    FEndFound = true;
    if (end.GarbageAtEnd)
        RecordMessage(LI_GarbageAtEOF);
    FSpanned = end.StartsSpanned || end.DiskNumber > 0;
    bool ok = ReadDirectory(*file, end);
    file.reset();
    if (ok)
        FZipComment = ConvertZipText(end.Comment, FLastHost, FLastVersion, Settings.CodePage, false);
    else
        FZipFileName.clear();
}

// The central directory into the entry list, with its progress reports.
bool TZipWorker::ReadDirectory(TFileStream& file, const TEndRecord& end)
{
    BeginWait();
    TCentralDirectory dir;
    TCentralReadEvents events;
    events.Start = [this](std::int64_t count) { ReportExtraItem(PR_Loading - PR_Progress, count); };
    events.NewName = [this](int seqNo, const ZipDirEntry& entry) {
        if (Events.OnNewName)
            Events.OnNewName(FSender, seqNo, entry);
    };
    events.Step = [this] { ReportExtraBytes(1); };
    events.Cancelled = [this] { return FCancel; };
    events.Warning = [this](int id) { RecordMessage(id); };
    bool ok = false;
    try {
        ReadCentralDirectory(file, end, Settings.CodePage, Settings.UseDirOnlyEntries, events, dir);
        ok = true;
    } catch (const EZipArchive& e) {
        RecordException(e);
    } catch (const std::bad_alloc&) {
        RecordMessage(GE_NoMem);
    } catch (const std::exception& e) {
        RecordMessage(LI_ErrorUnknown, e.what());
    }
    FEntries = std::move(dir.Entries);
    FDropped = dir.Dropped;
    FStructureWarning = dir.StructureWarning;
    FLastHost = dir.LastHost;
    FLastVersion = dir.LastVersion;
    ReportEndOfBatch();
    EndWait();
    return ok;
}

AnsiString TZipWorker::CheckExtractDir()
{
    AnsiString dir = platform::UniversalName(platform::FullPathName(IncludeTrailingBackslash(Settings.ExtrBaseDir)));
    dir = IncludeTrailingBackslash(dir);
    if (Settings.ExtrOptions & ExtrForceDirs)
        ForceDirectories(ExcludeTrailingBackslash(dir));
    if (!DirectoryExists(ExcludeTrailingBackslash(dir)))
        throw EZipArchive::Fmt(EX_NoExtrDir, dir.c_str());
    AnsiString probe = platform::CreateTempFile(dir, "tmp");
    if (probe.empty())
        throw EZipArchive::Fmt(DS_NoWrite, dir.c_str());
    DeleteFile(probe);
    return dir;
}

int TZipWorker::Extract()
{
    if (FExtracting)
        return FErrorId;
    FExtracting = true;
    FCancel = false;
    FSuccessCnt = 0;
    try {
        if (FZipFileName.empty())
            throw EZipArchive(GE_NoZipSpecified, true);
        if (FEntries.empty()) {
            List();
            if (FEntries.empty() && !FEndFound) {
                FExtracting = false;
                if (FErrorId != 0)
                    return FErrorId;
                throw EZipArchive(DS_FileOpen, true);
            }
        }
        bool test = (Settings.ExtrOptions & ExtrTest) != 0;
        AnsiString extractDir;
        if (!test && !Settings.ExtrBaseDir.empty())
            extractDir = CheckExtractDir();
        if (FSpanned)
            throw EZipArchive(11050, true);

        Hold(hbOperation);
        TCommandBlock block{};
        block.Handle = Unattended ? nullptr : AppWindow;
        block.Caller = this;
        block.Version = kInterfaceVersion;
        block.Callback = &TZipWorker::Callback;
        block.Trace = Trace ? -1 : 0;
        block.Password = Settings.Password.c_str();
        block.Test = test ? -1 : 0;
        block.Always = -1;
        block.Verbose = (Verbose || Trace) ? -1 : 0;
        block.Update = (Settings.ExtrOptions & ExtrUpdate) ? -1 : 0;
        block.Freshen = ((Settings.ExtrOptions & ExtrFreshen) && !(Settings.ExtrOptions & ExtrUpdate)) ? -1 : 0;
        block.DirNames = (Settings.ExtrOptions & ExtrDirNames) ? -1 : 0;
        block.Overwrite = (Settings.ExtrOptions & ExtrOverWrite) ? -1 : 0;
        block.ZipName = FZipFileName.c_str();
        block.ExtractDir = extractDir.empty() ? nullptr : extractDir.c_str();
        block.Check = kBlockCheck;
        std::vector<TFileSpec> specs;
        const auto& args = Settings.FSpecArgs;
        if (!args.empty() && args.front() != "*.*")
            for (const AnsiString& pattern : args)
                specs.push_back(TFileSpec{pattern.c_str(), {}});
        block.SpecCount = static_cast<std::int32_t>(specs.size());
        block.Specs = specs.empty() ? nullptr : specs.data();
        block.PwdReqCount = static_cast<std::int32_t>(std::min(Settings.PasswordReqCount, 15u));

        FHandlerException.clear();
        if (Unattended && Settings.Password.empty() && !Events.OnPasswordError) {
            block.PwdReqCount = 0;
            Inform(LoadZipStr(EX_UnAttPassword));
        }
        FSuccessCnt = Run(block);

        Release(hbOperation);
        FExtracting = false;
        Settings.FSpecArgs.clear();
    } catch (EZipArchive& e) {
        FExtracting = false;
        if (!FHandlerException.empty())
            e.SetMessage(e.Message() + FHandlerException);
        RecordException(e);
    } catch (const std::bad_alloc&) {
        FExtracting = false;
        RecordException(EZipArchive(GE_NoMem, true));
    }
    return FErrorId;
}

std::int32_t ZE_CALL TZipWorker::Callback(void* caller, TCallbackRec* rec) noexcept
{
    // Called from inside the engine: nothing may unwind through it.
    try {
        auto* self = static_cast<TZipWorker*>(caller);
        if (!self || !rec || self->FDestroying)
            return kGoOn;
        return self->HandleCallback(*rec);
    } catch (...) {
        return kHandlerException;
    }
}

AnsiString TZipWorker::EntryNamedIn(const AnsiString& text)
{
    // The entry being extracted, when the message is about it: some come
    // before an entry starts (a folder, an unsupported method), and then the
    // current one is still the last file's.
    const AnsiString& name = FDetails.ItemName();
    if (name.empty())
        return {};
    const AnsiString word = " " + name;
    std::size_t at = text.find(word);
    if (at == AnsiString::npos)
        return {};
    std::size_t after = at + word.size();
    return after == text.size() || text[after] == ' ' ? name : AnsiString();
}

std::int32_t TZipWorker::HandleCallback(TCallbackRec& rec)
{
    int action = rec.Action & 0x3F;
    try {
        if (action == acAbortHandle) {
            SetAbortHandle(rec.Arg);
        } else {
            AnsiString text = Backslashed(rec.Text);
            switch (action) {
            case acTick:
                if (Events.OnTick)
                    Events.OnTick(FSender);
                break;
            case acNewFile: ReportNewFile(text, rec.Size); break;
            case acProgress: ReportBytes(rec.Size); break;
            case acEndBatch: ReportEndOfBatch(); break;
            case acMessage:
                if (rec.Arg != 0)
                    RecordEngineError(rec.Arg, static_cast<std::int8_t>(rec.Arg & 0xFF), text, EntryNamedIn(text));
                if (Events.OnMessage)
                    Events.OnMessage(FSender, rec.Arg, text);
                break;
            case acItemCount: ReportItemCount(rec.Arg); break;
            case acTotalSize: ReportTotalSize(rec.Size); break;
            case acExtraItem: ReportExtraItem(rec.Arg, rec.Size); break;
            case acExtraBytes: ReportExtraBytes(rec.Size); break;
            case acPassword: HandlePassword(rec); break;
            case acSkipped: HandleSkipped(rec, text); break;
            case acMemory:
                try {
                    if (!FMemory)
                        FMemory = std::make_unique<TMemoryStream>();
                    FMemory->SetSize(rec.Size);
                    rec.Text2 = const_cast<std::uint8_t*>(FMemory->Data().data());
                    rec.Action = kReplyAccept;
                } catch (const std::exception&) {
                    rec.Action = kReplySkip;
                    rec.Size = 0;
                }
                break;
            default: HandleQuery(rec, action, text); break;
            }
            if (action >= acNewFile && action <= acEndBatch && rec.IsZipOperation)
                FDetails.AddWritten(rec.Written);
            CheckTerminate();
        }
    } catch (const std::exception& e) {
        if (FHandlerException.empty())
            FHandlerException = Format(" #%d \"%s\"", action, e.what());
        FCancel = true;
    } catch (...) {
        if (FHandlerException.empty())
            FHandlerException = Format(" #%d \"%s\"", action, "unknown exception");
        FCancel = true;
    }
    if (!FHandlerException.empty())
        return kHandlerException;
    return FCancel ? kCancel : kGoOn;
}

void TZipWorker::HandlePassword(TCallbackRec& rec)
{
    AnsiString password;
    AnsiString name = Backslashed(rec.Text);
    TZipDlgBtn action = TZipDlgBtn::mbOK;
    std::uint32_t repeat = static_cast<std::uint32_t>(std::max(rec.Arg, 0));
    bool isZip = rec.IsZipOperation != 0;
    if (Events.OnPasswordError) {
        Events.OnPasswordError(FSender, isZip, password, name, repeat, action);
        if (action != TZipDlgBtn::mbOK)
            password.clear();
    } else if (!isZip) {
        if (Unattended)
            RecordMessage(PW_UnattExtract);
        else if (!ZipDialogs().AskPassword ||
                 !ZipDialogs().AskPassword(AppWindow, LoadZipStr(PW_Caption), LoadZipStr(PW_MessageEnter), password))
            password.clear();
    }
    std::memset(rec.Reply, 0, sizeof rec.Reply);
    if (!password.empty()) {
        std::memcpy(rec.Reply, password.data(), std::min(password.size(), kMaxPassword));
        rec.Action = kReplyAccept;
    } else {
        rec.Action = kReplySkip;
        repeat = 0;
    }
    rec.Arg = static_cast<std::int32_t>(std::min<std::uint32_t>(repeat, kMaxPasswordRequests));
    if (action == TZipDlgBtn::mbCancel)
        rec.Action = kReplySkip;
    else if (action == TZipDlgBtn::mbNoToAll)
        rec.Action = kReplySkipAll;
    else if (action == TZipDlgBtn::mbAbort)
        FCancel = true;
}

void TZipWorker::HandleSkipped(TCallbackRec& rec, const AnsiString& name)
{
    int skipType = (rec.SkipType & 0xFF) - 1;
    if (rec.Arg != 0) {
        // Keep the text with the code, so ErrMessage never shows an older one.
        RecordEngineError(rec.Arg, rec.Arg & 0xFF, ZipFmtLoadStr(GE_Skipped, name.c_str(), skipType), name);
    }
    if (Events.OnExtractSkipped)
        Events.OnExtractSkipped(FSender, name, static_cast<UnZipSkipTypes>(skipType), rec.Arg);
    else if (Events.OnMessage)
        Events.OnMessage(FSender, GE_Unknown, ZipFmtLoadStr(GE_Skipped, name.c_str(), skipType));
}

// Queries the engine may put to the application; without a handler the
// record stays as the engine filled it.
void TZipWorker::HandleQuery(TCallbackRec& rec, int action, const AnsiString& text)
{
    auto replyText = [&rec](const AnsiString& value) {
        std::memset(rec.Reply, 0, sizeof rec.Reply);
        std::memcpy(rec.Reply, value.data(), std::min(value.size(), sizeof rec.Reply - 1));
        rec.Action = kReplyAccept;
    };
    bool changed = false;
    switch (action) {
    case acNewName:
    case acExtName: {
        AnsiString name = text;
        const TSetNameEvent& handler =
            action == acExtName ? Events.OnSetExtName : (Events.OnSetNewName ? Events.OnSetNewName : Events.OnSetAddName);
        if (handler) {
            handler(FSender, name, changed);
            if (changed)
                replyText(name);
        }
        break;
    }
    case acCRCError:
        if (Events.OnCRC32Error) {
            bool doExtract = false;
            Events.OnCRC32Error(FSender, text, static_cast<std::uint32_t>(rec.Arg), static_cast<std::uint32_t>(rec.Size), doExtract);
            rec.Action = doExtract ? kReplyAccept : kReplySkip;
        }
        break;
    case acOverwrite:
        if (Events.OnExtractOverwrite) {
            bool overwrite = (Settings.ExtrOptions & ExtrOverWrite) != 0;
            Events.OnExtractOverwrite(FSender, text, rec.Arg != 0, overwrite, static_cast<int>(rec.Size));
            rec.Action = overwrite ? kReplyAccept : kReplySkip;
        }
        break;
    case acComment:
        if (Events.OnFileComment) {
            AnsiString comment = rec.Text2 ? static_cast<const char*>(rec.Text2) : "";
            Events.OnFileComment(FSender, text, comment, changed);
            if (changed)
                replyText(comment);
        }
        break;
    case acExtra:
        if (Events.OnFileExtra && rec.Text2) {
            std::string data(static_cast<const char*>(rec.Text2), static_cast<std::size_t>(std::max<std::int64_t>(rec.Size, 0)));
            Events.OnFileExtra(FSender, text, data, changed);
            if (changed && data.size() <= sizeof rec.Reply) {
                std::memcpy(rec.Reply, data.data(), data.size());
                rec.Action = kReplyAccept;
            }
        }
        break;
    default: break;
    }
}
