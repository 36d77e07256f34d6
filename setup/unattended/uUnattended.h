#pragma once
// An installation without a window: the wizard's two steps with the choices
// of the command line, a log instead of the pages, no question asked, and an
// exit code for the deployment tool.
#include "setup/install/uInstallSteps.h"
#include "setup/unattended/uCommandLine.h"
#include "setup/unattended/uExitCodes.h"
#include "setup/install/uSetupLog.h"

// The choices the wizard would have made with these options.
TInstallChoices UnattendedChoices(const TSetupOptions& options);

// Runs the installation; every failure ends with its message in the log.
int RunUnattendedInstall(const TSetupOptions& options, TInstallSteps& steps, TSetupLog& log);

// A file of the install folder another program holds open; empty when none.
AnsiString FirstFileInUse(const AnsiString& installFolder, const std::vector<AnsiString>& relativePaths);
