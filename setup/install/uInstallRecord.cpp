#include "setup/install/uInstallRecord.h"

#include "platform/uDrives.h"
#include "platform/uSetupHost.h"
#include "platform/uSystem.h"
#include "runtime/uRegistry.h"
#include "runtime/uSysUtils.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

bool SamePath(const AnsiString& a, const AnsiString& b) { return SameText(a, b); }

void AddOnce(std::vector<AnsiString>& list, const AnsiString& item)
{
    if (std::none_of(list.begin(), list.end(), [&](const AnsiString& x) { return SamePath(x, item); }))
        list.push_back(item);
}

AnsiString Normalized(AnsiString path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

} // namespace

void TInstallRecord::AddFile(const AnsiString& relative)
{
    const AnsiString path = Normalized(relative);
    if (IsInstallRelativePath(path))
        AddOnce(Files, path);
}

void TInstallRecord::AddFolder(const AnsiString& relative)
{
    const AnsiString path = Normalized(relative);
    if (IsInstallRelativePath(path))
        AddOnce(Folders, path);
}

void TInstallRecord::AddDataFolder(const AnsiString& folder)
{
    if (!folder.empty())
        AddOnce(DataFolders, IncludeTrailingBackslash(folder));
}

bool IsInstallRelativePath(const AnsiString& path)
{
    if (path.empty() || path.front() == '\\' || path.find(':') != AnsiString::npos || path.find('/') != AnsiString::npos)
        return false;
    // No part may be empty, "." or "..", nor end in a dot or blank (Windows
    // drops those, so "..." and ".. " reach the parent too).
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('\\', start);
        const AnsiString part = path.substr(start, end == AnsiString::npos ? AnsiString::npos : end - start);
        if (part.empty() || part.back() == '.' || part.back() == ' ')
            return false;
        for (char c : part)
            if (static_cast<unsigned char>(c) < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' ||
                c == '*')
                return false;
        if (end == AnsiString::npos)
            return true;
        start = end + 1;
    }
}

AnsiString FormatInstallRecord(const TInstallRecord& record)
{
    AnsiString text = "; KORVANT: what Setup installed here. The uninstaller removes these files and no other.\r\n";
    text += "language=" + record.Language + "\r\n";
    if (record.MadeInstallFolder)
        text += "made-install-folder=1\r\n";
    for (const AnsiString& folder : record.DataFolders)
        text += "data=" + folder + "\r\n";
    for (const AnsiString& folder : record.Folders)
        text += "folder=" + folder + "\r\n";
    for (const AnsiString& file : record.Files)
        text += "file=" + file + "\r\n";
    return text;
}

TInstallRecord ParseInstallRecord(const AnsiString& text)
{
    TInstallRecord record;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto equals = line.find('=');
        if (line.empty() || line[0] == ';' || equals == std::string::npos)
            continue;
        const AnsiString key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == "language" && (value == "nl" || value == "fr"))
            record.Language = value;
        else if (key == "made-install-folder")
            record.MadeInstallFolder = value == "1";
        else if (key == "data")
            record.AddDataFolder(value);
        else if (key == "folder")
            record.AddFolder(value);
        else if (key == "file")
            record.AddFile(value);
    }
    return record;
}

bool ReadInstallRecord(const AnsiString& installFolder, TInstallRecord& record)
{
    std::ifstream in(installFolder + InstallRecordName, std::ios::binary);
    if (!in)
        return false;
    record = ParseInstallRecord(AnsiString(std::istreambuf_iterator<char>(in), {}));
    return true;
}

void WriteInstallRecord(const AnsiString& installFolder, const TInstallRecord& record)
{
    const AnsiString target = installFolder + InstallRecordName;
    const AnsiString part = target + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << FormatInstallRecord(record);
        out.flush();
        if (!out) {
            out.close();
            DeleteFile(part);
            throw Exception(Format("Unable to write to %s", target.c_str()));
        }
    }
    if (!platform::ReplaceFileWith(part, target)) {
        DeleteFile(part);
        throw Exception(Format("Unable to write to %s", target.c_str()));
    }
}

AnsiString InstalledVersion(const AnsiString& installFolder)
{
    AnsiString version = platform::FileVersionText(installFolder + "KORVANT07.EXE");
    if (!version.empty())
        return version;
    std::ifstream in(installFolder + "VERSION.TXT", std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 8 && SameText(line.substr(0, 8), "version "))
            return Trim(line.substr(8));
    }
    return {};
}

std::uint32_t InstalledSizeKiB(const AnsiString& installFolder, const TInstallRecord& record)
{
    std::uint64_t bytes = platform::FileSizeOf(installFolder + UninstallerName).value_or(0);
    for (const AnsiString& file : record.Files)
        bytes += platform::FileSizeOf(installFolder + file).value_or(0);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>((bytes + 1023) / 1024, 0x7FFFFFFF));
}

void RegisterInstallation(const AnsiString& installFolder, TInstallRecord& record, const AnsiString& uninstallerSource)
{
    const AnsiString uninstaller = installFolder + UninstallerName;
    // Setup run from the install folder's own uninstaller is already there.
    if (!SameText(platform::FullPathName(uninstallerSource), platform::FullPathName(uninstaller))) {
        const AnsiString part = uninstaller + ".part";
        if (!platform::CopyFileOver(uninstallerSource, part) || !platform::ReplaceFileWith(part, uninstaller)) {
            DeleteFile(part);
            throw Exception(Format("Unable to write to %s", uninstaller.c_str()));
        }
    }
    WriteInstallRecord(installFolder, record);

    TRegistry registry;
    registry.SetRootKey(platform::RegCurrentUser);
    if (!registry.OpenKey(UninstallKey, true))
        throw Exception(Format("Unable to write to HKEY_CURRENT_USER\\%s", UninstallKey));
    const AnsiString quoted = "\"" + uninstaller + "\"";
    const AnsiString version = InstalledVersion(installFolder);
    registry.WriteString("DisplayName", "KORVANT");
    if (!version.empty())
        registry.WriteString("DisplayVersion", version);
    else
        registry.DeleteValue("DisplayVersion");
    registry.WriteString("Publisher", "Tolvek BVBA");
    registry.WriteString("InstallLocation", installFolder);
    registry.WriteString("DisplayIcon", installFolder + "KORVANT07.EXE");
    registry.WriteInteger("EstimatedSize", static_cast<std::int32_t>(InstalledSizeKiB(installFolder, record)));
    registry.WriteString("InstallDate", platform::LocalDateCompact());
    registry.WriteInteger("NoModify", 1);
    registry.WriteInteger("NoRepair", 1);
    registry.WriteString("UninstallString", quoted + " /UNINSTALL");
    registry.WriteString("QuietUninstallString", quoted + " /UNINSTALL /S");
}

bool RemoveUninstallEntry()
{
    TRegistry registry;
    registry.SetRootKey(platform::RegCurrentUser);
    return !registry.KeyExists(UninstallKey) || registry.DeleteKey(UninstallKey);
}

AnsiString RegisteredInstallFolder()
{
    TRegistry registry(platform::RegKeyRead);
    registry.SetRootKey(platform::RegCurrentUser);
    if (!registry.OpenKeyReadOnly(UninstallKey))
        return {};
    try {
        return registry.ReadString("InstallLocation");
    } catch (const Exception&) {
        return {};
    }
}
