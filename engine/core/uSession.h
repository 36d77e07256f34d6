#pragma once
// One extraction run as the caller sees it. Entries are taken in the
// archive's order and prepared on the caller's thread: the name checked,
// the target probed, the folders made, the password tried. Each entry's
// chain then runs on a worker, several at once, while the caller's thread
// hands the callbacks each chain recorded to the caller in the order one
// thread would have made them, following the oldest entry as it goes. An
// existing file is replaced, and a file counts as extracted, only when the
// caller has seen its entry through. A run that stops takes back what was
// done ahead of the point where it stopped, so the caller finds what one
// thread would have left.
#include "uArchive.h"
#include "uEntryChain.h"
#include "uWorkers.h"

#include "platform/uSync.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace zipcore {

// The most entries extracted at once, whatever the number of cores. Each
// has its own buffers (at most 1 MiB read, 4 MiB written and a 256 KiB read
// window, and 1 MiB more while a large encrypted entry reads ahead): the
// workers' memory stays below 53 MiB.
inline constexpr unsigned kMaxWorkers = 8;
// The most entries prepared and not yet seen through by the caller: far
// enough for the workers to find the large entries behind a run of small
// ones. What a finished one holds until then is its list of callbacks, one
// per 4 MiB of its data at most, and its file.
inline constexpr std::size_t kMaxAhead = 1024;

// A callback the caller is still to see.
struct TEvent {
    std::int32_t Action = 0;
    std::int32_t Arg = 0;
    std::int64_t Size = 0;
    std::int32_t SkipType = 0;
    std::string Text;
};

// One chosen entry on its way.
struct TSlot {
    const TEntry* Entry = nullptr;
    std::u16string Target;               // empty when its name was refused
    std::vector<TEvent> Events;          // shared with the worker once dispatched
    std::size_t Delivered = 0;           // events the caller has seen
    std::size_t StopAt = SIZE_MAX;       // the event the caller stopped the run at
    std::size_t FoldersAt = SIZE_MAX;    // events recorded before its folders were made
    std::vector<std::u16string> Folders; // made for it, in order
    std::uint8_t Header[kCryptHeader] = {};
    bool AwaitsPassword = false;         // the caller is to be asked first
    bool HasJob = false;
    bool Dispatched = false;
    TEntryJob Job;
    bool Done = false;                   // its chain has ended; shared once dispatched
    TEntryOutcome Outcome;
};

// Why a run stops early.
enum class TStop { None, Cancelled, Aborted, HandlerException };

class TSession {
public:
    TSession(zipeng::TCommandBlock& cmd, IEngineHost& host, std::int32_t handle);
    ~TSession();
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    // The whole run: the number of files extracted or a negative result.
    std::int32_t Run();
    std::int32_t Handle() const { return FHandle; }
    // From any thread: stop at the next step.
    void RequestAbort() { FAbortRequested = true; }

private:
    class TDirectEvents;
    class TBoardEvents;

    // Callbacks (uSession.cpp).
    bool Stopped();
    void Call(zipeng::TCallbackRec& rec, std::int32_t action);
    void Report(std::int32_t action, std::int32_t arg = 0, const std::string& text = {}, std::int64_t size = 0);
    void Deliver(const TEvent& event);
    bool DeliverRecorded(TSlot& s);
    // The run (uSession.cpp).
    bool Open();
    bool Start();
    void ExtractAll();
    void FillAhead();
    void Finish(TSlot& s);
    void Dispatch(TSlot& s);
    void RunHere(TSlot& s);
    void Follow(TSlot& s);
    void Post(TSlot& s, TEvent event);
    void WaitDone(TSlot& s);
    void Commit(TSlot& s);
    void TakeBack(TSlot* head);
    // Preparation (uSessionPrepare.cpp).
    bool Selected(const TEntry& e) const;
    std::u16string TargetOf(const TEntry& e) const;
    bool Conflicts(const std::u16string& target) const;
    void Hold(const TSlot& s);
    void Release(const TSlot& s);
    void Prepare(TSlot& s);
    bool PassesProbe(TSlot& s, bool& exists);
    void PrepareJob(TSlot& s, const std::string& password);
    bool ResolvePassword(TSlot& s);
    bool AskPassword(const TEntry& e, const std::uint8_t* header, std::string& password);
    bool MakeParents(TSlot& s, const std::u16string& path);
    bool MakeDir(TSlot& s, const std::u16string& dir);
    TFolderResult MakeFolder(TSlot& s, const std::u16string& dir);

    zipeng::TCommandBlock& FCmd;
    IEngineHost& FHost;
    const std::int32_t FHandle;
    std::atomic<bool> FAbortRequested{false};
    TStop FStop = TStop::None;
    std::string FZipName;
    std::string FPassword;
    bool FNoMorePasswordRequests = false;
    std::int32_t FExtracted = 0;
    std::u16string FBaseDir;
    std::unique_ptr<TArchive> FArchive;
    std::vector<TEntry> FEntries;
    std::vector<const TEntry*> FChosen;
    std::uint64_t FLargest = 0;
    unsigned FProcessors = 1;
    std::function<void()> FThreadStart;
    std::size_t FNext = 0;                 // the next chosen entry to prepare
    TReadWindow FWindow;                   // the caller's thread's
    std::u16string FLastDir;               // the folder the previous file went into
    std::unordered_multiset<std::u16string> FHeld; // names the entries in flight write
    std::unique_ptr<TChainTools> FTools;   // without workers
    // What the workers and the caller's thread share: the slots' events and
    // ends, and whether to stop.
    platform::TLock FBoard;
    platform::TSignal FChanged;
    std::atomic<bool> FHalt{false};
    std::deque<std::unique_ptr<TSlot>> FInFlight;
    std::unique_ptr<TWorkers> FWorkers;    // last: ends before the slots go
};

} // namespace zipcore
