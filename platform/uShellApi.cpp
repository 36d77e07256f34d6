#include "uShellApi.h"

#include "uCom.h"
#include "uWinText.h"

#include <objbase.h>
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

namespace platform {

struct TShellLinkObject::TImpl {
    // Released in reverse order of declaration: the interfaces, then the object.
    TComPtr<IUnknown> Object;
    TComPtr<IShellLinkA> Link;
    TComPtr<IPersistFile> File;
};

TShellLinkObject::TShellLinkObject() : F(std::make_unique<TImpl>()) {}
TShellLinkObject::~TShellLinkObject() = default;
TShellLinkObject::TShellLinkObject(TShellLinkObject&&) noexcept = default;
TShellLinkObject& TShellLinkObject::operator=(TShellLinkObject&&) noexcept = default;

long TShellLinkObject::Create()
{
    return ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                              F->Object.ReceiveVoid());
}

long TShellLinkObject::QueryInterfaces()
{
    if (!F->Object)
        return E_POINTER;
    HRESULT r = F->Object->QueryInterface(IID_IShellLinkA, F->Link.ReceiveVoid());
    if (FAILED(r) || !F->Link)
        return FAILED(r) ? r : E_NOINTERFACE;
    r = F->Object->QueryInterface(IID_IPersistFile, F->File.ReceiveVoid());
    if (FAILED(r) || !F->File)
        return FAILED(r) ? r : E_NOINTERFACE;
    return S_OK;
}

long TShellLinkObject::SetArguments(const std::string& value)
{
    return !F->Link ? E_POINTER : F->Link->SetArguments(value.c_str());
}

long TShellLinkObject::SetDescription(const std::string& value)
{
    return !F->Link ? E_POINTER : F->Link->SetDescription(value.c_str());
}

long TShellLinkObject::SetHotkey(std::uint16_t value)
{
    return !F->Link ? E_POINTER : F->Link->SetHotkey(value);
}

long TShellLinkObject::SetIconLocation(const std::string& file, int index)
{
    return !F->Link ? E_POINTER : F->Link->SetIconLocation(file.c_str(), index);
}

long TShellLinkObject::SetPath(const std::string& value)
{
    return !F->Link ? E_POINTER : F->Link->SetPath(value.c_str());
}

long TShellLinkObject::SetShowCmd(int value)
{
    return !F->Link ? E_POINTER : F->Link->SetShowCmd(value);
}

long TShellLinkObject::SetWorkingDirectory(const std::string& value)
{
    return !F->Link ? E_POINTER : F->Link->SetWorkingDirectory(value.c_str());
}

long TShellLinkObject::Save(const std::u16string& fileName, bool remember)
{
    return !F->File ? E_POINTER : F->File->Save(AsWin(fileName.c_str()), remember ? TRUE : FALSE);
}

long TShellLinkObject::Load(const std::u16string& fileName, unsigned mode)
{
    return !F->File ? E_POINTER : F->File->Load(AsWin(fileName.c_str()), mode);
}

namespace {
// Runs a text getter on a zeroed buffer; the text ends at its first zero, so
// a getter that fails or writes nothing gives empty text.
template <class Call>
std::string ReadText(unsigned capacity, Call call)
{
    std::vector<char> buffer(capacity + 1u, '\0');
    if (capacity > 0)
        call(buffer.data(), static_cast<int>(capacity));
    buffer[capacity] = '\0';
    return std::string(buffer.data());
}
} // namespace

std::string TShellLinkObject::GetArguments(unsigned capacity) const
{
    return ReadText(capacity, [&](char* b, int n) {
        if (F->Link)
            F->Link->GetArguments(b, n);
    });
}

std::string TShellLinkObject::GetDescription(unsigned capacity) const
{
    return ReadText(capacity, [&](char* b, int n) {
        if (F->Link)
            F->Link->GetDescription(b, n);
    });
}

std::uint16_t TShellLinkObject::GetHotkey() const
{
    WORD key = 0;
    if (F->Link)
        F->Link->GetHotkey(&key);
    return key;
}

std::string TShellLinkObject::GetIconLocation(unsigned capacity, int& index) const
{
    int i = 0;
    std::string file = ReadText(capacity, [&](char* b, int n) {
        if (F->Link)
            F->Link->GetIconLocation(b, n, &i);
    });
    index = i;
    return file;
}

std::string TShellLinkObject::GetPath(unsigned capacity, unsigned flags) const
{
    return ReadText(capacity, [&](char* b, int n) {
        if (F->Link)
            F->Link->GetPath(b, n, nullptr, flags);
    });
}

int TShellLinkObject::GetShowCmd() const
{
    int cmd = 0;
    if (F->Link)
        F->Link->GetShowCmd(&cmd);
    return cmd;
}

std::string TShellLinkObject::GetWorkingDirectory(unsigned capacity) const
{
    return ReadText(capacity, [&](char* b, int n) {
        if (F->Link)
            F->Link->GetWorkingDirectory(b, n);
    });
}

std::string DesktopFolder()
{
    char path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return path;
}

} // namespace platform
