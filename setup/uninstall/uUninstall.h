#pragma once
// The uninstaller: Setup.exe itself, copied into the install folder as
// UNINSTALL.EXE and started with /UNINSTALL. It removes exactly what the
// installations recorded (program files, engine library, folders left
// empty), the desktop shortcut that points at the program, the uninstall
// entry and itself; it keeps the configuration files and every data folder.
#include "setup/unattended/uCommandLine.h"
#include "setup/install/uSetupLog.h"

// What the uninstaller shows: message boxes, or nothing with /S.
class TUninstallView {
public:
    virtual ~TUninstallView() = default;
    virtual bool Confirm(const AnsiString& question) = 0;
    virtual void Tell(const AnsiString& message, bool error) = 0;
};

// `uninstallerPath`: the running program. Its folder is the install folder
// when it holds the list of installed files; otherwise the registered one.
int RunUninstall(const AnsiString& uninstallerPath, TUninstallView& view, TSetupLog& log);
