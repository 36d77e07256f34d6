#pragma once
// The wizard's log for support: one UTF-8 text file per run in the user's
// temporary folder, "KORVANT Setup YYYY-MM-DD HH-MM-SS.log", one time-stamped
// line per event. Writing it never stops the installation: a log that
// cannot be made or written is simply not written.
#include "platform/uHandle.h"
#include "platform/uSync.h"
#include "runtime/uText.h"

#include <mutex>
#include <string>
#include <vector>

class TSetupLog {
public:
    // Makes the file in `folder` (the user's temporary folder when empty),
    // named after the local time; a second run in the same second gets
    // " (2)" and so on before the extension.
    explicit TSetupLog(const AnsiString& folder = {});
    // The file a deployment tool names (/LOG=): made, or added to when it is
    // there, so that the runs of one roll-out stand in one file.
    struct TNamedFile {
        AnsiString Path;
    };
    explicit TSetupLog(const TNamedFile& file);
    TSetupLog(const TSetupLog&) = delete;
    TSetupLog& operator=(const TSetupLog&) = delete;

    // The file's full path; empty when there is no log.
    const AnsiString& Path() const { return FPath; }
    bool Writing() const;

    // A text that must never stand in the log (a password): masked in every
    // line written from now on.
    void AddSecret(const AnsiString& secret);
    // One line of ANSI text (the wizard's own texts, paths, messages). Line
    // breaks inside it are written as " | ". Safe from any thread.
    void Write(const AnsiString& line);

    // What a line becomes before it is written: secrets and the user:password
    // part of URLs masked, line breaks joined.
    AnsiString Clean(const AnsiString& line) const;

    static constexpr const char* Mask = "***";

private:
    void WriteRaw(const std::string& utf8);

    mutable platform::TLock FLock;
    platform::TOwnedHandle FFile;
    AnsiString FPath;
    std::vector<AnsiString> FSecrets;
    bool FBroken = false;
};
