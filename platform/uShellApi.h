#pragma once
// The shell link COM object (IShellLinkA with its IPersistFile) and the
// shell's own knowledge of per-user folders.
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Results are HRESULTs: negative is a failure.
class TShellLinkObject {
public:
    TShellLinkObject();
    ~TShellLinkObject(); // releases both interfaces and the object
    TShellLinkObject(TShellLinkObject&&) noexcept;
    TShellLinkObject& operator=(TShellLinkObject&&) noexcept;
    TShellLinkObject(const TShellLinkObject&) = delete;
    TShellLinkObject& operator=(const TShellLinkObject&) = delete;

    // CoCreateInstance of CLSID_ShellLink, in-process or local server, as IUnknown.
    long Create();
    // Asks the object for IShellLinkA and IPersistFile; E_NOINTERFACE when either is missing.
    long QueryInterfaces();

    long SetArguments(const std::string& value);
    long SetDescription(const std::string& value);
    long SetHotkey(std::uint16_t value);
    long SetIconLocation(const std::string& file, int index);
    long SetPath(const std::string& value);
    long SetShowCmd(int value);
    long SetWorkingDirectory(const std::string& value);
    long Save(const std::u16string& fileName, bool remember);

    long Load(const std::u16string& fileName, unsigned mode);
    // Each text is read into a buffer of `capacity` characters.
    std::string GetArguments(unsigned capacity) const;
    std::string GetDescription(unsigned capacity) const;
    std::uint16_t GetHotkey() const;
    std::string GetIconLocation(unsigned capacity, int& index) const;
    std::string GetPath(unsigned capacity, unsigned flags) const;
    int GetShowCmd() const;
    std::string GetWorkingDirectory(unsigned capacity) const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> F;
};

inline constexpr unsigned SlgpUncPriority = 2;
inline constexpr int SwShowNormal = 1;
inline constexpr int SwShowMaximized = 3;
inline constexpr int SwMinimize = 6;

// The current user's desktop folder as the shell knows it, without a trailing
// backslash; empty when the shell cannot tell.
std::string DesktopFolder();

} // namespace platform
