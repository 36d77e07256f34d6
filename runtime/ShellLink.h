#pragma once
// A shell shortcut (.lnk file) as a component: set the properties and Write
// it, or Read an existing one into them.
#include "uClasses.h"

#include <cstdint>

enum class TLinkWindowState { wsNormal, wsMinimized, wsMaximized };

class TShellLink : public TComponent {
    RT_PUBLISHED(TShellLink, TComponent,
                 StrProp<&TShellLink::Arguments, &TShellLink::SetArguments>("Arguments"),
                 StrProp<&TShellLink::Description, &TShellLink::SetDescription>("Description"),
                 StrProp<&TShellLink::IconFile, &TShellLink::SetIconFile>("IconFile"),
                 OtherProp("IconIndex"),
                 OtherProp("HotKey"),
                 StrProp<&TShellLink::LinkFile, &TShellLink::SetLinkFile>("LinkFile"),
                 StrProp<&TShellLink::ProgramFile, &TShellLink::SetProgramFile>("ProgramFile"),
                 OtherProp("WindowState"),
                 StrProp<&TShellLink::WorkingDirectory, &TShellLink::SetWorkingDirectory>("WorkingDirectory"))
public:
    explicit TShellLink(TComponent* owner);

    AnsiString Arguments() const { return FArguments; }
    void SetArguments(const AnsiString& value) { FArguments = value; }
    AnsiString Description() const { return FDescription; }
    void SetDescription(const AnsiString& value) { FDescription = value; }
    // Empty: the target's own icon.
    AnsiString IconFile() const { return FIconFile; }
    void SetIconFile(const AnsiString& value) { FIconFile = value; }
    std::uint32_t IconIndex() const { return FIconIndex; }
    void SetIconIndex(std::uint32_t value) { FIconIndex = value; }
    // Virtual key in the low byte, HOTKEYF_* modifiers in the high byte; 0 for none.
    std::uint16_t HotKey() const { return FHotKey; }
    void SetHotKey(std::uint16_t value) { FHotKey = value; }
    AnsiString LinkFile() const { return FLinkFile; }
    void SetLinkFile(const AnsiString& value) { FLinkFile = value; }
    AnsiString ProgramFile() const { return FProgramFile; }
    void SetProgramFile(const AnsiString& value) { FProgramFile = value; }
    TLinkWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TLinkWindowState value) { FWindowState = value; }
    // Empty: Write fills in the folder of ProgramFile and keeps it.
    AnsiString WorkingDirectory() const { return FWorkingDirectory; }
    void SetWorkingDirectory(const AnsiString& value) { FWorkingDirectory = value; }

    // Creates or overwrites LinkFile. Raises EOleSysError when the shell link
    // object is not available, EIntfCastError when it lacks an interface, and
    // EFCreateError when the file cannot be saved. Needs COM on this thread.
    void Write();
    // Loads LinkFile into the properties; EFOpenError when it cannot be loaded.
    void Read();

private:
    AnsiString FArguments;
    AnsiString FDescription;
    AnsiString FIconFile;
    std::uint32_t FIconIndex = 0;
    std::uint16_t FHotKey = 0;
    AnsiString FLinkFile;
    AnsiString FProgramFile;
    TLinkWindowState FWindowState = TLinkWindowState::wsNormal;
    AnsiString FWorkingDirectory;
};
