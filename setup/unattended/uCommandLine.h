#pragma once
// Setup.exe's command line. No arguments: the wizard. "/S" with its options:
// an installation without a window. "/UNINSTALL": the uninstaller. "/?": the
// usage. Options are case-insensitive and start with "/" or "-"; a value
// follows "=" (quotes around it are the system's, already gone).
#include "runtime/uText.h"

#include <vector>

enum class TSetupMode { Wizard, Usage, Unattended, Uninstall };

struct TSetupOptions {
    TSetupMode Mode = TSetupMode::Wizard;
    // "/S": no window and no question.
    bool Silent = false;
    AnsiString Language = "nl";
    char Drive = 'C';
    int VariantIndex = 0;
    AnsiString VariantCode = "benl";
    // Empty: the wizard's default inside the install folder.
    AnsiString DataFolder;
    // Use the data set the data folder holds ("Installeer GEEN gegevens.").
    bool ExistingData = false;
    bool UseProxy = false;
    AnsiString ProxyServer;
    int ProxyPort = 0;
    // Empty: the log's own place in the temporary folder.
    AnsiString LogPath;
};

enum class TCommandLineFault { None, UnknownOption, BadValue, MissingValue, NoValueTaken, Repeated, NeedsSilent };

struct TCommandLine {
    TSetupOptions Options;
    TCommandLineFault Fault = TCommandLineFault::None;
    // The option (as given) and value the fault concerns.
    AnsiString Option, Value;
    bool Ok() const { return Fault == TCommandLineFault::None; }
};

// Reads the arguments after the program name. The first fault is the one
// reported; every sound option stays read (the log and the language of the
// message among them).
TCommandLine ParseCommandLine(const std::vector<AnsiString>& args);

// The fault as a message in the chosen language, followed by the usage.
AnsiString CommandLineFaultText(const TCommandLine& commandLine);
// Every option with a line of explanation, in the chosen language.
AnsiString UsageText();
