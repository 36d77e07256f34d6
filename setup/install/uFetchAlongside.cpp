#include "setup/install/uFetchAlongside.h"

#include "http/uNetStack.h"
#include "runtime/uSysUtils.h"

#include <utility>

TFetchAlongside::TFetchAlongside(TInstallSteps& steps, AnsiString remoteName, AnsiString localPath)
    : FSteps(steps), FRemoteName(std::move(remoteName)), FLocalPath(std::move(localPath))
{
}

TFetchAlongside::~TFetchAlongside() { Stop(); }

std::uint64_t TFetchAlongside::Bytes() const { return FSteps.ListedSize(FRemoteName).value_or(0); }

void TFetchAlongside::Start()
{
    FSteps.Sink().Note(Format("Fetching %s while unpacking", FRemoteName.c_str()));
    FThread = std::thread([this] { Run(); });
}

void TFetchAlongside::Run()
{
    TInstallSteps::FThreadSink = this;
    std::exception_ptr outcome;
    try {
        // The same cancel checks inside every socket wait as on the step's thread.
        TNetWaitHookScope checks([this] { FSteps.CheckCancelled(); });
        FSteps.FetchFile(FRemoteName, FLocalPath);
    } catch (...) {
        outcome = std::current_exception();
    }
    TInstallSteps::FThreadSink = nullptr;
    {
        std::lock_guard lock(FLock);
        FOutcome = outcome;
        FEnded = true;
    }
    FChanged.notify_all();
}

// --- kept calls ------------------------------------------------------------------

void TFetchAlongside::Keep(TShown shown)
{
    {
        std::lock_guard lock(FLock);
        std::size_t* last = shown.Kind == TKind::Progress ? &FLastProgress
                            : shown.Kind == TKind::Status ? &FLastStatus
                                                          : nullptr;
        if (last && *last != SIZE_MAX) {
            FShown[*last] = std::move(shown);
        } else {
            if (last)
                *last = FShown.size();
            else
                FLastProgress = FLastStatus = SIZE_MAX; // a new run begins after it
            FShown.push_back(std::move(shown));
        }
    }
    FChanged.notify_all();
}

void TFetchAlongside::DownloadBegin(std::int32_t total) { Keep({TKind::Begin, total}); }
void TFetchAlongside::DownloadProgress(std::int32_t done) { Keep({TKind::Progress, done}); }
void TFetchAlongside::DownloadEnd() { Keep({TKind::End}); }
void TFetchAlongside::StatusLine(const AnsiString& text) { Keep({TKind::Status, 0, text}); }
void TFetchAlongside::Reconnecting(const AnsiString& text, int attempt, int attempts)
{
    Keep({TKind::Reconnecting, 0, text, attempt, attempts});
}

void TFetchAlongside::Note(const AnsiString& line)
{
    {
        std::lock_guard lock(FLock);
        FNotes.push_back(line);
    }
    FChanged.notify_all();
}

bool TFetchAlongside::AskProxyCredentials(const AnsiString& proxy, bool refused, TProxyCredentials& credentials)
{
    std::unique_lock lock(FLock);
    FQuestion = TQuestion{&proxy, refused, &credentials};
    FChanged.notify_all();
    FChanged.wait(lock, [this] { return FQuestion.Answered || FStop; });
    const TQuestion asked = std::exchange(FQuestion, TQuestion{});
    if (!asked.Answered)
        throw EFetchStopped();
    return asked.Given;
}

// --- the step's thread -------------------------------------------------------------

void TFetchAlongside::Pass(std::vector<AnsiString>& notes, std::vector<TShown>& shown)
{
    TInstallSink& sink = FSteps.Sink();
    for (const AnsiString& line : notes)
        sink.Note(line);
    for (const TShown& s : shown) {
        switch (s.Kind) {
        case TKind::Begin: sink.DownloadBegin(s.Value); break;
        case TKind::Progress: sink.DownloadProgress(s.Value); break;
        case TKind::End: sink.DownloadEnd(); break;
        case TKind::Status: sink.StatusLine(s.Text); break;
        case TKind::Reconnecting: sink.Reconnecting(s.Text, s.Attempt, s.Attempts); break;
        }
    }
    notes.clear();
    shown.clear();
}

void TFetchAlongside::AnswerQuestion()
{
    TQuestion question;
    {
        std::lock_guard lock(FLock);
        // A download being stopped is not waiting for an answer any more.
        if (!FQuestion.Pending() || FStop)
            return;
        question = FQuestion;
    }
    // After a cancel nobody is asked: the download ends on the refusal.
    const bool given = !FSteps.CancelRequested() &&
                       FSteps.Sink().AskProxyCredentials(*question.Proxy, question.Refused, *question.Credentials);
    {
        std::lock_guard lock(FLock);
        FQuestion.Answered = true;
        FQuestion.Given = given;
    }
    FChanged.notify_all();
}

void TFetchAlongside::PassNotes()
{
    std::vector<AnsiString> notes;
    std::vector<TShown> none;
    {
        std::lock_guard lock(FLock);
        notes.swap(FNotes);
    }
    if (!notes.empty())
        Pass(notes, none);
    AnswerQuestion();
}

void TFetchAlongside::Join(bool show)
{
    if (!FThread.joinable())
        return;
    std::vector<AnsiString> notes;
    std::vector<TShown> shown;
    for (bool ended = false; !ended;) {
        {
            std::unique_lock lock(FLock);
            FChanged.wait(lock, [&] {
                return FEnded || !FNotes.empty() || (FQuestion.Pending() && !FStop) || (show && !FShown.empty());
            });
            ended = FEnded;
            notes.swap(FNotes);
            if (show) {
                shown.swap(FShown);
                FLastProgress = FLastStatus = SIZE_MAX;
            }
        }
        Pass(notes, shown);
        AnswerQuestion();
    }
    FThread.join();
}

void TFetchAlongside::AwaitPlace()
{
    {
        std::unique_lock lock(FLock);
        FChanged.wait(lock, [this] { return FPlaceAllowed || FStop; });
        if (FPlaceAllowed)
            return;
    }
    Note(Format("Dropped %s: the step ended before it was unpacked", FRemoteName.c_str()));
    throw EFetchStopped();
}

void TFetchAlongside::Finish()
{
    {
        std::lock_guard lock(FLock);
        FPlaceAllowed = true;
    }
    FChanged.notify_all();
    Join(true);
    if (FOutcome)
        std::rethrow_exception(std::exchange(FOutcome, nullptr));
}

void TFetchAlongside::Stop() noexcept
{
    {
        std::lock_guard lock(FLock);
        FStop = true;
    }
    FChanged.notify_all();
    try {
        Join(false);
    } catch (...) {
        // A note the sink could not take: the thread is joined all the same.
        if (FThread.joinable())
            FThread.join();
    }
    FOutcome = nullptr;
}
