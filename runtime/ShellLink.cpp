#include "ShellLink.h"

#include "uComObj.h"
#include "uResStrings.h"
#include "uSysUtils.h"
#include "platform/uShellApi.h"

namespace {

// Room for the longest text a shortcut stores (INFOTIPSIZE).
constexpr unsigned MaxLinkText = 1024;

platform::TShellLinkObject CreateLinkObject()
{
    platform::TShellLinkObject link;
    OleCheck(link.Create());
    if (link.QueryInterfaces() < 0)
        throw EIntfCastError("Interface not supported");
    return link;
}

int ShowCommand(TLinkWindowState state)
{
    switch (state) {
    case TLinkWindowState::wsMinimized: return platform::SwMinimize;
    case TLinkWindowState::wsMaximized: return platform::SwShowMaximized;
    case TLinkWindowState::wsNormal: break;
    }
    return platform::SwShowNormal;
}

} // namespace

TShellLink::TShellLink(TComponent* owner) : TComponent(owner) {}

void TShellLink::Write()
{
    platform::TShellLinkObject link = CreateLinkObject();
    // The setters only record values in the object; what matters is the save.
    link.SetArguments(FArguments);
    link.SetDescription(FDescription);
    link.SetHotkey(FHotKey);
    if (!FIconFile.empty())
        link.SetIconLocation(FIconFile, static_cast<int>(FIconIndex));
    link.SetPath(FProgramFile);
    link.SetShowCmd(ShowCommand(FWindowState));
    if (FWorkingDirectory.empty())
        FWorkingDirectory = ExtractFilePath(FProgramFile);
    link.SetWorkingDirectory(FWorkingDirectory);
    // A shortcut that was not made must not pass for one that was.
    if (link.Save(AnsiToWide(FLinkFile), false) < 0)
        throw EFCreateError(Format(LoadResString(rs::SFCreateError).c_str(), FLinkFile.c_str()));
}

void TShellLink::Read()
{
    platform::TShellLinkObject link = CreateLinkObject();
    // Reading a file that is not there would silently clear every property.
    if (link.Load(AnsiToWide(FLinkFile), 0) < 0)
        throw EFOpenError(Format(LoadResString(rs::SFOpenError).c_str(), FLinkFile.c_str()));
    FArguments = link.GetArguments(MaxLinkText);
    FDescription = link.GetDescription(MaxLinkText);
    FHotKey = link.GetHotkey();
    int iconIndex = 0;
    FIconFile = link.GetIconLocation(MaxLinkText, iconIndex);
    FIconIndex = static_cast<std::uint32_t>(iconIndex);
    FProgramFile = link.GetPath(MaxLinkText, platform::SlgpUncPriority);
    switch (link.GetShowCmd()) {
    case platform::SwShowNormal: FWindowState = TLinkWindowState::wsNormal; break;
    case platform::SwShowMaximized: FWindowState = TLinkWindowState::wsMaximized; break;
    case platform::SwMinimize: FWindowState = TLinkWindowState::wsMinimized; break;
    default: break; // anything else leaves the state as it was
    }
    FWorkingDirectory = link.GetWorkingDirectory(MaxLinkText);
}
