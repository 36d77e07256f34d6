#pragma once
// What the installation steps need from whoever runs them: the choices made
// beforehand, and a sink that shows their progress, answers their questions
// and hears their failures. The wizard's window is one sink; a log for an
// installation without a window is another.
#include "runtime/uText.h"

#include <cstdint>
#include <exception>

// A step the user cancelled ends with this inside the steps. Not one of the
// runtime's exceptions on purpose: no handler that turns failures into
// messages or retries may take it for one.
class EStepCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

// The variant codes of the data sets, by index of the variant list.
inline constexpr const char* VariantCodes[] = {"benl", "nl", "befr"};

struct TInstallChoices {
    // Drive letter of the install folder "X:\KORVANT07\".
    char Drive = 'C';
    // The proxy is set only when asked for; once set it stays for later steps.
    bool UseProxy = false;
    AnsiString ProxyServer;
    int ProxyPort = 0;
    // The data folder as typed (a backslash is added when it lacks one).
    AnsiString DataFolder;
    // Install an empty data set (true), or use the one the folder holds.
    bool InstallDataSet = true;
    // Selected variant: its index (-1: none) and its code ("" when none).
    int VariantIndex = 0;
    AnsiString VariantCode = "benl";
    // The Dutch language was chosen on the first page.
    bool Dutch = true;
};

// A logon a proxy asks for, as the user typed it. Wiped when it goes.
struct TProxyCredentials {
    AnsiString User, Password;
    // Answer later requests of this run with it without asking again.
    bool Remember = false;

    TProxyCredentials() = default;
    TProxyCredentials(const TProxyCredentials&) = delete;
    TProxyCredentials& operator=(const TProxyCredentials&) = delete;
    ~TProxyCredentials() { Wipe(); }
    void Wipe();
};

// How a step ended.
enum class TStepResult {
    Done,
    // Failed: reported to the sink's StepFailed.
    Failed,
    // The user cancelled; nothing after the cancel ran.
    Cancelled,
    // The data folder holds no data set: reported to DataFolderRejected,
    // nothing written.
    NoDataSet,
};

// Called on the thread that runs the steps, one call at a time.
class TInstallSink {
public:
    virtual ~TInstallSink() = default;

    // A download starts: the bytes this answer brings (0 or less: unknown).
    virtual void DownloadBegin(std::int32_t total) = 0;
    // Bytes of this answer so far.
    virtual void DownloadProgress(std::int32_t done) = 0;
    virtual void DownloadEnd() = 0;
    // Extraction's percentage; 101 ends a batch.
    virtual void UnpackProgress(int percent) = 0;
    // The line that says which file is fetched, how far, how fast, how long yet.
    virtual void StatusLine(const AnsiString& text) = 0;
    // A try broke off; try `attempt` of `attempts` follows. `text` says so.
    virtual void Reconnecting(const AnsiString& text, int attempt, int attempts)
    {
        (void)attempt;
        (void)attempts;
        StatusLine(text);
    }

    // Questions; true on Yes or Retry.
    virtual bool AskYesNo(const AnsiString& question) = 0;
    virtual bool AskRetryCancel(const AnsiString& question) = 0;
    // The proxy `proxy` (its host) wants a user name and password; `refused`:
    // it turned down the last ones. False when none is given (Cancel, or
    // nobody to ask): the request then fails with the proxy's 407.
    virtual bool AskProxyCredentials(const AnsiString& proxy, bool refused, TProxyCredentials& credentials)
    {
        (void)proxy;
        (void)refused;
        (void)credentials;
        return false;
    }

    // The step failed with this message; what the step still does after it,
    // it does after this call returns.
    virtual void StepFailed(const AnsiString& message) = 0;
    // The data folder to be used as it is holds no data set.
    virtual void DataFolderRejected(const AnsiString& message) = 0;
    // The configuration files are written; the shortcut follows.
    virtual void ConfigurationWritten() {}
    // One line of what happened, for the support log: each request, check,
    // verification, unpack, program run and file written.
    virtual void Note(const AnsiString& line) { (void)line; }
};
