#pragma once
// The log of a run without a window: one time-stamped line per event, in a
// file the deployment tool names (/LOG=) or in the temporary folder
// ("KORVANT Setup YYYY-MM-DD HH-MM-SS.log"). A log that cannot be written
// never stops the run; its lines then go nowhere.
#include "runtime/uText.h"

#include <fstream>
#include <mutex>

class TRunLog {
public:
    // Appends to `path`; empty: a new file in the temporary folder.
    explicit TRunLog(const AnsiString& path);
    TRunLog(const TRunLog&) = delete;
    TRunLog& operator=(const TRunLog&) = delete;

    const AnsiString& Path() const { return FPath; }
    bool Writing() const { return FFile.is_open() && FFile.good(); }
    // Line breaks inside become " | ". Safe from any thread.
    void Write(const AnsiString& line);

private:
    std::mutex FLock;
    std::ofstream FFile;
    AnsiString FPath;
};
