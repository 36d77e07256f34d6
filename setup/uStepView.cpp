#include "setup/uStepView.h"

#include "setup/ufrmMain.h"

#include <utility>

TStepView::TStepView(TfrmMain& form) : FForm(form) {}

void TStepView::Queue(TEvent event)
{
    {
        std::lock_guard lock(FLock);
        // Only the last of a run of counts or lines is worth showing.
        const bool replaces = event.Kind == TKind::DownloadProgress || event.Kind == TKind::UnpackProgress ||
                              event.Kind == TKind::StatusLine;
        if (replaces && !FQueue.empty() && FQueue.back().Kind == event.Kind)
            FQueue.back() = std::move(event);
        else
            FQueue.push_back(std::move(event));
    }
}

void TStepView::Show()
{
    std::vector<TEvent> events;
    {
        std::lock_guard lock(FLock);
        events.swap(FQueue);
    }
    for (const TEvent& event : events)
        Apply(event);
}

void TStepView::Apply(const TEvent& event)
{
    switch (event.Kind) {
    case TKind::DownloadBegin:
        FForm.NetHTTPWorkBegin(FForm.NetHTTP, TWorkMode::WorkRead, event.Value);
        break;
    case TKind::DownloadProgress:
        FForm.NetHTTPWork(FForm.NetHTTP, TWorkMode::WorkRead, event.Value);
        break;
    case TKind::DownloadEnd:
        FForm.NetHTTPWorkEnd(FForm.NetHTTP, TWorkMode::WorkRead);
        break;
    case TKind::UnpackProgress:
        FForm.ZipArchiveTotalProgress(FForm.ZipArchive, 0, event.Value);
        break;
    case TKind::StatusLine:
        FForm.ShowDownloadStatus(event.Text);
        break;
    }
}

void TStepView::DownloadBegin(std::int32_t total) { Queue({TKind::DownloadBegin, total, {}}); }
void TStepView::DownloadProgress(std::int32_t done) { Queue({TKind::DownloadProgress, done, {}}); }
void TStepView::DownloadEnd() { Queue({TKind::DownloadEnd, 0, {}}); }
void TStepView::UnpackProgress(int percent) { Queue({TKind::UnpackProgress, percent, {}}); }
void TStepView::StatusLine(const AnsiString& text) { Queue({TKind::StatusLine, 0, text}); }

bool TStepView::AskYesNo(const AnsiString& question)
{
    bool yes = false;
    OnWindowThread([&] { yes = FForm.AskConfirmation(question); });
    return yes;
}

bool TStepView::AskRetryCancel(const AnsiString& question)
{
    bool retry = false;
    OnWindowThread([&] { retry = FForm.AskRetry(question); });
    return retry;
}

bool TStepView::AskProxyCredentials(const AnsiString& proxy, bool refused, TProxyCredentials& credentials)
{
    bool given = false;
    OnWindowThread([&] { given = FForm.AskProxyCredentials(proxy, refused, credentials); });
    return given;
}

void TStepView::StepFailed(const AnsiString& message)
{
    OnWindowThread([&] { FForm.StepFailed(Exception(message)); });
}

void TStepView::DataFolderRejected(const AnsiString& message)
{
    OnWindowThread([&] { FForm.ShowErrorBox(message); });
}

void TStepView::ConfigurationWritten()
{
    OnWindowThread([&] { FForm.btFINISH->BringToFront(); });
}

void TStepView::Note(const AnsiString& line) { FForm.Log().Write(line); }
