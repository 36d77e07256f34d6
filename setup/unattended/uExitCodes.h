#pragma once
// The exit codes of Setup.exe and its uninstaller, for deployment tools.
enum TExitCode : int {
    ExitDone = 0,        // installed (or removed)
    ExitFailed = 1,      // a download, verification, unpack or removal failed
    ExitCommandLine = 2, // bad command line: nothing done
    ExitDataSet = 3,     // the data folder holds no data set (/EXISTINGDATA), or holds one (without)
    ExitInUse = 4,       // the program is in use
    ExitDiskSpace = 5,   // not enough disk space
    ExitCancelled = 6,   // cancelled
};
