#include "uDesktopShortcut.h"

#include "runtime/uRegistry.h"
#include "runtime/uSysUtils.h"
#include "platform/uShellApi.h"

void CreateDesktopShortcut(TShellLink& shellLink, const AnsiString& installFolder)
{
    TRegistry registry;
    registry.SetRootKey(platform::RegCurrentUser);
    registry.SetAccess(platform::RegKeyAllAccess);
    registry.SetLazyWrite(true);
    if (!registry.OpenKey(ShellFoldersKey, true))
        return;
    shellLink.SetDescription("Korvant");
    shellLink.SetProgramFile(IncludeTrailingBackslash(installFolder) + ProgramName);
    AnsiString desktop = registry.ReadString(DesktopValueName);
    // Newer Windows versions need not keep this legacy value; without it the
    // shortcut would land at the root of the current drive instead.
    if (desktop.empty())
        desktop = platform::DesktopFolder();
    if (desktop.empty())
        return;
    shellLink.SetLinkFile(IncludeTrailingBackslash(desktop) + ShortcutName);
    shellLink.Write();
}
