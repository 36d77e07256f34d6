// The caller's thread's part of each entry, in the archive's order: which
// entries, their targets, the checks and questions before the chain, and
// the folders the files go into.
#include "uSession.h"

#include "uCrypt.h"
#include "uEngineCore.h"
#include "ziprecords/uZipPaths.h"
#include "ziprecords/uZipRecords.h"

#include <algorithm>
#include <cstring>

using namespace zipeng;

namespace zipcore {

namespace {

TEvent Message(TEngineError code, std::string text) { return TEvent{acMessage, code, 0, 0, std::move(text)}; }

TEvent Skip(TEngineError code, TSkipType type, const std::string& name) { return TEvent{acSkipped, code, 0, type, name}; }

// A name as the system compares names, or coarser: ASCII letters in one
// case, and every other character above ASCII alike, so two names the
// system takes for one always have the same key.
std::u16string Key(std::u16string_view path)
{
    std::u16string key(path);
    for (char16_t& c : key) {
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c + 32);
        else if (c >= 0x80)
            c = 0x80;
    }
    return key;
}

} // namespace

bool TSession::Selected(const TEntry& e) const
{
    if (FCmd.SpecCount <= 0 || !FCmd.Specs)
        return true;
    for (std::int32_t i = 0; i < FCmd.SpecCount; ++i)
        if (FCmd.Specs[i].Pattern && WildMatch(FHost.Decode(FCmd.Specs[i].Pattern, TTextCode::Ansi), e.Name))
            return true;
    return false;
}

std::u16string TSession::TargetOf(const TEntry& e) const
{
    std::u16string rel = ziprec::SafeRelativePath(e.Name, FCmd.DirNames != 0);
    return rel.empty() ? rel : FBaseDir + rel;
}

// Whether an entry in flight writes this name, its temporary name, or a
// file where one of its folders would be.
bool TSession::Conflicts(const std::u16string& target) const
{
    if (target.empty())
        return false;
    std::u16string key = Key(target);
    if (FHeld.count(key) || FHeld.count(Key(TemporaryName(target))))
        return true;
    for (std::size_t cut = key.find(u'\\', FBaseDir.size()); cut != std::u16string::npos;
         cut = key.find(u'\\', cut + 1))
        if (FHeld.count(key.substr(0, cut)))
            return true;
    return false;
}

void TSession::Hold(const TSlot& s)
{
    if (s.Target.empty())
        return;
    FHeld.insert(Key(s.Target));
    FHeld.insert(Key(TemporaryName(s.Target)));
}

void TSession::Release(const TSlot& s)
{
    if (s.Target.empty())
        return;
    FHeld.erase(FHeld.find(Key(s.Target)));
    FHeld.erase(FHeld.find(Key(TemporaryName(s.Target))));
}

// Everything before the chain that needs no answer from the caller; its
// callbacks are recorded for later.
void TSession::Prepare(TSlot& s)
{
    const TEntry& e = *s.Entry;
    const bool test = FCmd.Test != 0;
    if (s.Target.empty()) {
        s.Events.push_back(Skip(eeUnsafePath, stUnsafePath, e.AnsiName));
        return;
    }
    if (e.IsDir) {
        if (!test && FCmd.DirNames && !MakeParents(s, s.Target + u"\\"))
            s.Events.push_back(Message(eeCreateFile, "Cannot create folder " + e.AnsiName));
        return;
    }
    bool exists = false;
    if (!PassesProbe(s, exists))
        return;
    if (e.Method != 0 && e.Method != 8) {
        s.Events.push_back(Message(eeUnsupported, "Unsupported compression method " + std::to_string(e.Method) +
                                                      " in " + e.AnsiName));
        return;
    }
    if ((e.Flags & (ziprec::kFlagEncrypted | ziprec::kFlagStrongCrypto)) ==
        (ziprec::kFlagEncrypted | ziprec::kFlagStrongCrypto)) {
        s.Events.push_back(Message(eeUnsupported, "Unsupported encryption in " + e.AnsiName));
        return;
    }
    s.Events.push_back(TEvent{acNewFile, 0, static_cast<std::int64_t>(e.Size), 0, e.AnsiName});
    s.Job = TEntryJob{&e, 0, {}, test, s.Target, exists};
    if (!FArchive->DataStart(FWindow, e, s.Job.DataStart) ||
        (e.Encrypted() && !FArchive->ReadAt(FWindow, s.Job.DataStart, s.Header, kCryptHeader))) {
        s.Events.push_back(Message(eeBadData, "Damaged data in " + e.AnsiName));
        return;
    }
    if (e.Encrypted() && !PasswordFits(e, s.Header, FPassword)) {
        if (std::clamp(FCmd.PwdReqCount, 0, kMaxPasswordRequests) > 0 && !FNoMorePasswordRequests)
            s.AwaitsPassword = true;
        else
            s.Events.push_back(Message(eeBadPassword, "Wrong password for " + e.AnsiName));
        return;
    }
    PrepareJob(s, FPassword);
}

// With plain overwriting the file's creation tells whether it existed:
// asking first would cost a second search of the folder.
bool TSession::PassesProbe(TSlot& s, bool& exists)
{
    const TEntry& e = *s.Entry;
    if (FCmd.Test || (FCmd.Overwrite && !FCmd.Freshen && !FCmd.Update))
        return true;
    TTargetInfo info = FHost.Probe(s.Target, e.Date, e.Time);
    exists = info.Exists;
    const bool newer = !exists || info.OlderThanEntry;
    auto skip = [&](TEngineError code, TSkipType type) {
        s.Events.push_back(Skip(code, type, e.AnsiName));
        return false;
    };
    if (exists && info.IsFolder)
        return skip(eeCreateFile, stFileExists);
    if (FCmd.Freshen && !FCmd.Update && !exists)
        return skip(eeNone, stOnFreshen);
    if ((FCmd.Freshen || FCmd.Update) && exists && !newer)
        return skip(eeNone, stFileExists);
    if (exists && !FCmd.Overwrite && !FCmd.Freshen && !FCmd.Update)
        return skip(eeNone, stNoOverwrite);
    return true;
}

void TSession::PrepareJob(TSlot& s, const std::string& password)
{
    s.Job.Password = password;
    s.Job.Processors = FProcessors;
    s.Job.ThreadStart = FThreadStart;
    if (!s.Job.Test && !MakeParents(s, s.Target)) {
        s.Events.push_back(Message(eeCreateFile, "Cannot create file " + s.Entry->AnsiName));
        return;
    }
    s.HasJob = true;
}

// The slot is the oldest and its callbacks are seen: the caller is asked.
bool TSession::ResolvePassword(TSlot& s)
{
    std::string password;
    if (!AskPassword(*s.Entry, s.Header, password)) {
        if (!Stopped())
            Report(acMessage, eeBadPassword, "Wrong password for " + s.Entry->AnsiName);
        return false;
    }
    PrepareJob(s, password);
    return true;
}

bool TSession::AskPassword(const TEntry& e, const std::uint8_t* header, std::string& password)
{
    if (PasswordFits(e, header, FPassword)) {
        password = FPassword;
        return true;
    }
    std::int32_t repeat = std::clamp(FCmd.PwdReqCount, 0, kMaxPasswordRequests);
    while (repeat > 0 && !FNoMorePasswordRequests && !Stopped()) {
        TCallbackRec rec{};
        rec.Arg = repeat;
        rec.Text = e.AnsiName.c_str();
        Call(rec, acPassword);
        if (Stopped())
            return false;
        if (rec.Action == kReplySkipAll)
            FNoMorePasswordRequests = true;
        if (rec.Action != kReplyAccept)
            return false;
        std::string answer(rec.Reply, strnlen(rec.Reply, kMaxPassword));
        if (PasswordFits(e, header, answer)) {
            FPassword = password = answer;
            return true;
        }
        repeat = std::min(rec.Arg, kMaxPasswordRequests) - 1;
    }
    return false;
}

// The folder that holds `path` exists afterwards.
bool TSession::MakeParents(TSlot& s, const std::u16string& path)
{
    s.FoldersAt = std::min(s.FoldersAt, s.Events.size());
    std::size_t cut = path.find_last_of(u'\\');
    if (cut == std::u16string::npos)
        return true;
    std::u16string dir = path.substr(0, cut);
    if (dir == FLastDir)
        return true;
    if (!MakeDir(s, dir))
        return false;
    FLastDir = dir;
    return true;
}

// Creates `dir` and its missing parents: one call when the parent exists,
// which is the common case inside an archive's tree.
bool TSession::MakeDir(TSlot& s, const std::u16string& dir)
{
    if (dir.size() <= 3)
        return true;
    switch (MakeFolder(s, dir)) {
    case TFolderResult::Made:
    case TFolderResult::Exists: return true;
    case TFolderResult::Failed: return false;
    case TFolderResult::NoParent: break;
    }
    std::size_t cut = dir.find_last_of(u'\\');
    if (cut == std::u16string::npos || cut < 3 || !MakeDir(s, dir.substr(0, cut)))
        return false;
    TFolderResult r = MakeFolder(s, dir);
    return r == TFolderResult::Made || r == TFolderResult::Exists;
}

TFolderResult TSession::MakeFolder(TSlot& s, const std::u16string& dir)
{
    TFolderResult r = FHost.MakeFolder(dir);
    if (r == TFolderResult::Made)
        s.Folders.push_back(dir);
    return r;
}

} // namespace zipcore
