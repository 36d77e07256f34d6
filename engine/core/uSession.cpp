#include "uSession.h"

#include <algorithm>
#include <cstring>

using namespace zipeng;

namespace zipcore {

// A chain on the caller's thread reports straight to the caller.
class TSession::TDirectEvents : public IChainEvents {
public:
    explicit TDirectEvents(TSession& session) : FSession(session) {}
    bool Progress(std::int64_t bytes) override
    {
        FSession.Report(acProgress, 0, {}, bytes);
        return !FSession.Stopped();
    }
    void Error(TEngineError code, std::string text) override { FSession.Report(acMessage, code, text); }

private:
    TSession& FSession;
};

// A chain on a worker records for the caller's thread to hand on.
class TSession::TBoardEvents : public IChainEvents {
public:
    TBoardEvents(TSession& session, TSlot& slot) : FSession(session), FSlot(slot) {}
    bool Progress(std::int64_t bytes) override
    {
        FSession.Post(FSlot, TEvent{acProgress, 0, bytes, 0, {}});
        return !FSession.FHalt && !FSession.FAbortRequested;
    }
    void Error(TEngineError code, std::string text) override
    {
        FSession.Post(FSlot, TEvent{acMessage, code, 0, 0, std::move(text)});
    }

private:
    TSession& FSession;
    TSlot& FSlot;
};

TSession::TSession(TCommandBlock& cmd, IEngineHost& host, std::int32_t handle)
    : FCmd(cmd), FHost(host), FHandle(handle)
{
}

TSession::~TSession() { FHalt = true; }

bool TSession::Stopped()
{
    if (FStop == TStop::None && FAbortRequested)
        FStop = TStop::Aborted;
    if (FStop != TStop::None)
        FHalt = true;
    return FStop != TStop::None;
}

// One callback; the caller fills the record and reads the reply back.
void TSession::Call(TCallbackRec& rec, std::int32_t action)
{
    rec.Action = action;
    if (!FCmd.Callback)
        return;
    std::int32_t r = FCmd.Callback(FCmd.Caller, &rec);
    if (r == kHandlerException && FStop == TStop::None)
        FStop = TStop::HandlerException;
    else if (r != kGoOn && FStop == TStop::None)
        FStop = TStop::Cancelled;
}

void TSession::Report(std::int32_t action, std::int32_t arg, const std::string& text, std::int64_t size)
{
    Deliver(TEvent{action, arg, size, 0, text});
}

void TSession::Deliver(const TEvent& event)
{
    TCallbackRec rec{};
    rec.Arg = event.Arg;
    rec.Text = event.Text.c_str();
    rec.Size = event.Size;
    rec.SkipType = event.SkipType;
    Call(rec, event.Action);
}

// The events of a slot no worker has, up to the first that stops the run.
bool TSession::DeliverRecorded(TSlot& s)
{
    while (s.Delivered < s.Events.size()) {
        Deliver(s.Events[s.Delivered++]);
        if (Stopped()) {
            s.StopAt = s.Delivered - 1;
            return false;
        }
    }
    return true;
}

std::int32_t TSession::Run()
{
    Report(acAbortHandle, FHandle);
    FZipName = FCmd.ZipName ? FCmd.ZipName : "";
    if (FCmd.Password)
        FPassword.assign(FCmd.Password, strnlen(FCmd.Password, kMaxPassword));
    if (FCmd.ExtractDir && *FCmd.ExtractDir) {
        FBaseDir = FHost.Decode(FCmd.ExtractDir, TTextCode::Ansi);
        if (!FBaseDir.empty() && FBaseDir.back() != u'\\' && FBaseDir.back() != u'/')
            FBaseDir += u'\\';
    }
    if (Open() && !Stopped()) {
        if (!Start())
            return kResultNoMemory;
        std::int64_t total = 0;
        for (const TEntry* e : FChosen)
            total += static_cast<std::int64_t>(e->Size);
        Report(acItemCount, static_cast<std::int32_t>(FChosen.size()));
        Report(acTotalSize, 0, {}, total);
        try {
            ExtractAll();
        } catch (...) {
            TakeBack(nullptr);
            throw;
        }
    }
    if (FStop == TStop::None)
        Report(acEndBatch);
    switch (Stopped() ? FStop : TStop::None) {
    case TStop::Cancelled: return kResultCancelled;
    case TStop::Aborted: return kResultAborting;
    case TStop::HandlerException: return kResultHandlerException;
    default: return FExtracted;
    }
}

// The archive, its directory and the entries the caller asked for.
bool TSession::Open()
{
    TArchiveError error;
    FArchive = OpenArchive(FHost, FZipName, FEntries, error);
    if (!FArchive) {
        Report(acMessage, error.Code, error.Text);
        return false;
    }
    for (const TEntry& e : FEntries)
        if (Selected(e)) {
            FChosen.push_back(&e);
            FLargest = std::max({FLargest, e.Size, e.CompSize});
        }
    return true;
}

// As many workers as there are cores, entries and memory for; with fewer
// than two every chain runs on the caller's thread.
bool TSession::Start()
{
    unsigned cores = std::max(FHost.Cores(), 1u);
    FProcessors = std::max(FHost.Processors(), cores);
    FThreadStart = FHost.ThreadStart();
    unsigned count = static_cast<unsigned>(std::min<std::size_t>({cores, kMaxWorkers, FChosen.size()}));
    if (count >= 2) {
        FWorkers = std::make_unique<TWorkers>(count, FLargest, FThreadStart);
        if (FWorkers->Size() >= 2)
            return true;
        FWorkers.reset();
    }
    try {
        FTools = std::make_unique<TChainTools>(FLargest);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void TSession::ExtractAll()
{
    for (;;) {
        FillAhead();
        if (FInFlight.empty() || Stopped())
            break;
        std::unique_ptr<TSlot> head = std::move(FInFlight.front());
        FInFlight.pop_front();
        Release(*head);
        Finish(*head);
        if (Stopped()) {
            TakeBack(head.get());
            return;
        }
        Commit(*head);
    }
    if (Stopped())
        TakeBack(nullptr);
}

// Prepares the entries that follow, as far as the bound allows, and gives
// their chains to the workers. It stops before an entry that writes a name
// one in flight writes (or a folder of it), and after one whose password
// the caller is to be asked for: what it finds depends on those.
void TSession::FillAhead()
{
    const std::size_t limit = FWorkers ? kMaxAhead : 1;
    while (FNext < FChosen.size() && FInFlight.size() < limit && !Stopped()) {
        if (!FInFlight.empty() && FInFlight.back()->AwaitsPassword)
            return;
        auto slot = std::make_unique<TSlot>();
        slot->Entry = FChosen[FNext];
        slot->Target = TargetOf(*slot->Entry);
        if (!FInFlight.empty() && Conflicts(slot->Target))
            return;
        ++FNext;
        Prepare(*slot);
        Hold(*slot);
        if (slot->HasJob && FWorkers)
            Dispatch(*slot);
        FInFlight.push_back(std::move(slot));
    }
}

// The caller sees the slot through: its recorded callbacks, the password
// question if one is due, and its chain's callbacks as they come.
void TSession::Finish(TSlot& s)
{
    if (!s.Dispatched) {
        if (DeliverRecorded(s) && s.AwaitsPassword && ResolvePassword(s))
            DeliverRecorded(s);
        if (!Stopped() && s.HasJob) {
            if (FWorkers)
                Dispatch(s);
            else
                RunHere(s);
        }
    }
    if (s.Dispatched && !Stopped())
        Follow(s);
}

void TSession::Dispatch(TSlot& s)
{
    s.Dispatched = true;
    TSlot* slot = &s;
    FWorkers->Post([this, slot](TChainTools& tools) {
        TEntryOutcome outcome;
        if (!FHalt) {
            TBoardEvents events(*this, *slot);
            try {
                outcome = RunChain(*FArchive, FHost, slot->Job, tools, events);
            } catch (...) {
                Post(*slot, TEvent{acMessage, eeNoMemory, 0, 0, "Not enough memory for " + slot->Entry->AnsiName});
            }
        }
        {
            std::lock_guard lock(FBoard);
            slot->Outcome = std::move(outcome);
            slot->Done = true;
        }
        FChanged.notify_all();
    }, s.Entry->CompSize);
}

void TSession::RunHere(TSlot& s)
{
    TDirectEvents events(*this);
    s.Outcome = RunChain(*FArchive, FHost, s.Job, *FTools, events);
    s.Done = true;
}

void TSession::Post(TSlot& s, TEvent event)
{
    {
        std::lock_guard lock(FBoard);
        s.Events.push_back(std::move(event));
    }
    FChanged.notify_all();
}

// Hands on a worker's events as they come, until its chain has ended and
// all are seen, or one stops the run.
void TSession::Follow(TSlot& s)
{
    std::unique_lock lock(FBoard);
    for (;;) {
        FChanged.wait(lock, [&] { return s.Done || s.Events.size() > s.Delivered; });
        if (s.Delivered == s.Events.size())
            return;
        TEvent event = std::move(s.Events[s.Delivered++]);
        lock.unlock();
        Deliver(event);
        if (Stopped()) {
            s.StopAt = s.Delivered - 1;
            return;
        }
        lock.lock();
    }
}

void TSession::WaitDone(TSlot& s)
{
    if (!s.Dispatched)
        return;
    std::unique_lock lock(FBoard);
    FChanged.wait(lock, [&] { return s.Done; });
}

// The caller has seen the entry through: an existing file is replaced now.
void TSession::Commit(TSlot& s)
{
    if (!s.HasJob || !s.Outcome.Ok)
        return;
    if (s.Outcome.Replacing && !FHost.Replace(s.Outcome.Written, s.Job.Target)) {
        Report(acMessage, eeCreateFile, "Cannot create file " + s.Entry->AnsiName);
        FHost.Remove(s.Outcome.Written);
        return;
    }
    ++FExtracted;
}

// The run stopped at `head` (or between entries): what was done for the
// entries the caller has not seen through goes, files first, then the
// folders made for them, the last first. The head keeps the folders one
// thread would have made before the point where the run stopped.
void TSession::TakeBack(TSlot* head)
{
    FHalt = true;
    std::vector<std::u16string> folders;
    auto undo = [&](TSlot& s, bool keepFolders) {
        WaitDone(s);
        if (s.Outcome.Ok && !s.Outcome.Written.empty())
            FHost.Remove(s.Outcome.Written);
        s.Outcome = {};
        if (!keepFolders)
            folders.insert(folders.end(), s.Folders.begin(), s.Folders.end());
    };
    if (head)
        undo(*head, head->StopAt >= head->FoldersAt);
    for (auto& s : FInFlight)
        undo(*s, false);
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        FHost.RemoveFolder(*it);
}

} // namespace zipcore
