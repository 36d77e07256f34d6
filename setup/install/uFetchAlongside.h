#pragma once
// A download that runs on a thread of its own while the step's thread unpacks
// the archive before it: the network and the disk and processors are busy at
// once instead of one after the other.
//
// The step's sink is only ever called on the step's thread. The download's
// notes for the support log are passed on at the unpack's checks (between
// two engine callbacks), so the log stays in time order. Its progress is
// kept until the unpack has ended and then shown from where it stands: the
// window shows one progress at a time, in the order it always did (fetch,
// unpack, fetch, unpack), the later fetch only further on or done already.
#include "setup/install/uInstallSteps.h"

#include "platform/uSync.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

// The step stopped the download because its own work failed: ends the
// download as a cancel does, and its log line says "stopped".
class EFetchStopped : public EStepCancelled {
public:
    const char* what() const noexcept override { return "stopped"; }
};

class TFetchAlongside final : public TInstallSink {
public:
    TFetchAlongside(TInstallSteps& steps, AnsiString remoteName, AnsiString localPath);
    // Stops a download still running and waits for its thread.
    ~TFetchAlongside() override;
    TFetchAlongside(const TFetchAlongside&) = delete;
    TFetchAlongside& operator=(const TFetchAlongside&) = delete;

    // The room its file takes: its listed size (0 when no list names it).
    std::uint64_t Bytes() const;
    // Starts the download on its thread.
    void Start();
    // The step's thread: passes on the notes written so far.
    void PassNotes();
    // The step's thread: shows its progress from where it stands and follows
    // it to its end, then raises what ended it, if anything did.
    void Finish();
    // The step's thread: ends it at its next check and waits for its thread;
    // what ended it is dropped. Its notes are passed on.
    void Stop() noexcept;
    // Checked by the download's own checks: the step asked it to stop.
    bool Stopping() const { return FStop; }
    // On the download's thread, with the file downloaded and verified: waits
    // until the step goes on to unpack it (true: it takes its name now) or
    // stops (raises; the verified part is removed). A step that ends before
    // it needs the file leaves no more files than it always did.
    void AwaitPlace();

    // TInstallSink, on the download's thread: the calls are kept.
    void DownloadBegin(std::int32_t total) override;
    void DownloadProgress(std::int32_t done) override;
    void DownloadEnd() override;
    void UnpackProgress(int) override {}
    void StatusLine(const AnsiString& text) override;
    void Reconnecting(const AnsiString& text, int attempt, int attempts) override;
    bool AskYesNo(const AnsiString&) override { return false; }
    bool AskRetryCancel(const AnsiString&) override { return false; }
    void StepFailed(const AnsiString&) override {}
    void DataFolderRejected(const AnsiString&) override {}
    void Note(const AnsiString& line) override;
    // A proxy's question for a logon waits for the step's thread, which asks
    // it at its next check: the step's sink is called there only.
    bool AskProxyCredentials(const AnsiString& proxy, bool refused, TProxyCredentials& credentials) override;

private:
    enum class TKind { Begin, Progress, End, Status, Reconnecting };
    struct TShown {
        TKind Kind;
        std::int32_t Value = 0;
        AnsiString Text;
        int Attempt = 0, Attempts = 0;
    };
    void Run();
    void Keep(TShown shown);
    // Waits for the thread's end, passing on what it reports; with `show`
    // its progress too.
    void Join(bool show);
    // Hands the kept calls to the step's sink; the lock is not held.
    void Pass(std::vector<AnsiString>& notes, std::vector<TShown>& shown);
    // The step's thread: asks the download's pending question, if any.
    void AnswerQuestion();

    TInstallSteps& FSteps;
    AnsiString FRemoteName, FLocalPath;
    std::thread FThread;
    std::atomic<bool> FStop{false};

    platform::TLock FLock;
    platform::TSignal FChanged;
    std::vector<AnsiString> FNotes;
    // Its progress, a run of counts and lines kept as the last of each.
    std::vector<TShown> FShown;
    std::size_t FLastProgress = SIZE_MAX, FLastStatus = SIZE_MAX;
    bool FEnded = false;
    // The download's question, while it waits for its answer.
    struct TQuestion {
        const AnsiString* Proxy = nullptr;
        bool Refused = false;
        TProxyCredentials* Credentials = nullptr;
        bool Answered = false, Given = false;
        bool Pending() const { return Credentials && !Answered; }
    } FQuestion;
    bool FPlaceAllowed = false;
    // What ended it: a failure, a cancel or a stop; null when it succeeded.
    std::exception_ptr FOutcome;
};
