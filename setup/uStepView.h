#pragma once
// The wizard's window as the sink of a step that runs on a worker thread:
// progress is queued and shown when the window thread next looks (a run of
// progress reports shows only its last), questions and failures are handed
// to the window thread and waited for.
#include "setup/install/uInstallSink.h"

#include "platform/uSync.h"
#include "platform/uThreadCalls.h"

#include <mutex>
#include <vector>

class TfrmMain;

class TStepView final : public TInstallSink {
public:
    // On the window thread.
    explicit TStepView(TfrmMain& form);

    void DownloadBegin(std::int32_t total) override;
    void DownloadProgress(std::int32_t done) override;
    void DownloadEnd() override;
    void UnpackProgress(int percent) override;
    void StatusLine(const AnsiString& text) override;
    bool AskYesNo(const AnsiString& question) override;
    bool AskRetryCancel(const AnsiString& question) override;
    bool AskProxyCredentials(const AnsiString& proxy, bool refused, TProxyCredentials& credentials) override;
    void StepFailed(const AnsiString& message) override;
    void DataFolderRejected(const AnsiString& message) override;
    void ConfigurationWritten() override;
    // Straight into the run's log, from the step's thread.
    void Note(const AnsiString& line) override;

    // Shows what is queued; on the window thread, a few dozen times a second
    // while the step runs, and once after it.
    void Show();
    static constexpr unsigned ShowIntervalMs = 40;

private:
    enum class TKind { DownloadBegin, DownloadProgress, DownloadEnd, UnpackProgress, StatusLine };
    struct TEvent {
        TKind Kind;
        std::int32_t Value;
        AnsiString Text;
    };
    void Queue(TEvent event);
    void Apply(const TEvent& event);
    // Runs `call` on the window thread after what is queued is shown.
    template <class F> void OnWindowThread(F call)
    {
        FCalls.Send([&] {
            Show();
            call();
        });
    }

    TfrmMain& FForm;
    platform::TLock FLock;
    std::vector<TEvent> FQueue;
    platform::TThreadCalls FCalls;
};
