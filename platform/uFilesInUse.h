#pragma once
// Which of a set of files another program holds open, asked before files are
// replaced. The Restart Manager answers with the programs' names where it
// works; when it is missing, fails or names nobody, each file is opened for
// exclusive writing, which fails exactly while someone else has it open.
#include <functional>
#include <string>
#include <vector>

namespace platform {

enum class TInUseMethod { RestartManager, ExclusiveOpen };

struct TFilesInUse {
    TInUseMethod Method = TInUseMethod::ExclusiveOpen;
    // The Restart Manager's names of the programs that hold any of the files.
    std::vector<std::string> Applications;
    // The exclusive-open check's files that could not be opened.
    std::vector<std::string> Files;
    bool Any() const { return !Applications.empty() || !Files.empty(); }
};

// The Restart Manager's entry points by name, or null: by default from
// rstrtmgr.dll in the system folder (never found along the search path).
// Tests give their own.
using TRestartManagerLookup = std::function<void*(const char* name)>;
TRestartManagerLookup SystemRestartManager();

// Only files that exist are asked about: a missing file is not in use.
// Paths are ANSI text.
TFilesInUse FindFilesInUse(const std::vector<std::string>& paths,
                           const TRestartManagerLookup& lookup = SystemRestartManager());

// The second branch alone: the existing files that cannot be opened for
// writing with no sharing because another handle is open on them.
std::vector<std::string> FilesOpenElsewhere(const std::vector<std::string>& paths);

} // namespace platform
