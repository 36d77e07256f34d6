#pragma once
// A sink that records what the steps report and answers their questions as
// the test says: a window's stand-in.
#include "setup/install/uInstallSink.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TRecordingSink : public TInstallSink {
public:
    void DownloadBegin(std::int32_t total) override { Record("begin " + std::to_string(total)); }
    void DownloadProgress(std::int32_t done) override
    {
        CheckThread();
        LastDone = done;
        ++ProgressReports;
        if (OnProgress)
            OnProgress(done);
    }
    void DownloadEnd() override { Record("end"); }
    void UnpackProgress(int percent) override
    {
        CheckThread();
        if (OnUnpack)
            OnUnpack(percent);
        if (percent == 101)
            Record("unpacked");
    }
    void StatusLine(const AnsiString& text) override
    {
        CheckThread();
        std::lock_guard lock(FLock);
        Lines.push_back(text);
    }
    void Reconnecting(const AnsiString& text, int attempt, int attempts) override
    {
        Record("reconnecting " + std::to_string(attempt) + "/" + std::to_string(attempts));
        StatusLine(text);
    }
    bool AskYesNo(const AnsiString& question) override
    {
        Record("ask " + question);
        return Answer;
    }
    bool AskRetryCancel(const AnsiString& question) override
    {
        Record("ask " + question);
        return Answer;
    }
    void StepFailed(const AnsiString& message) override
    {
        Record("failed " + message);
        Failures.push_back(message);
    }
    void DataFolderRejected(const AnsiString& message) override { Record("rejected " + message); }
    void ConfigurationWritten() override { Record("configured"); }
    void Note(const AnsiString& line) override
    {
        CheckThread();
        std::lock_guard lock(FLock);
        Notes.push_back(line);
    }

    // Events other than counts and lines, in order.
    std::vector<std::string> Events;
    std::vector<std::string> Lines;
    std::vector<std::string> Failures;
    // The support log's lines.
    std::vector<std::string> Notes;
    // Calls made on another thread than the one that made the sink, which
    // runs the steps: there should be none.
    std::atomic<int> CallsOffThread{0};
    std::atomic<std::int32_t> LastDone{0};
    std::atomic<int> ProgressReports{0};
    bool Answer = false;
    std::function<void(std::int32_t)> OnProgress;
    std::function<void(int)> OnUnpack;

    bool Saw(const std::string& event) const
    {
        for (const std::string& e : Events)
            if (e == event)
                return true;
        return false;
    }

private:
    void CheckThread()
    {
        if (std::this_thread::get_id() != FOwner)
            ++CallsOffThread;
    }
    void Record(const std::string& event)
    {
        CheckThread();
        std::lock_guard lock(FLock);
        Events.push_back(event);
    }
    std::mutex FLock;
    const std::thread::id FOwner = std::this_thread::get_id();
};
