#pragma once
// Registry access: a root key, one open key at a time below it, and typed
// reads and writes of its values.
#include "uException.h"
#include "uObject.h"
#include "platform/uRegistryApi.h"

#include <cstdint>

class TRegistry : public TObject {
    RT_CLASS(TRegistry, TObject)
public:
    // Root HKEY_CURRENT_USER, full access, lazy writing.
    TRegistry();
    explicit TRegistry(unsigned access);
    ~TRegistry() override; // closes the open key
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    platform::TRegRoot RootKey() const { return FRootKey; }
    // Closes the open key first.
    void SetRootKey(platform::TRegRoot root);
    unsigned Access() const { return FAccess; }
    void SetAccess(unsigned access) { FAccess = access; }
    // With lazy writing a key is only closed; otherwise it is flushed first.
    bool LazyWrite() const { return FLazyWrite; }
    void SetLazyWrite(bool lazy) { FLazyWrite = lazy; }

    // Opens `key` with the current access rights: relative to the open key,
    // or to the root when it starts with a backslash or no key is open. With
    // `canCreate` a missing key is created. False when it cannot be opened.
    bool OpenKey(const AnsiString& key, bool canCreate);
    bool OpenKeyReadOnly(const AnsiString& key);
    void CloseKey();
    bool HasOpenKey() const { return static_cast<bool>(FCurrentKey); }
    const AnsiString& CurrentPath() const { return FCurrentPath; }
    bool KeyExists(const AnsiString& key);
    // Removes the key with everything below it.
    bool DeleteKey(const AnsiString& key);

    bool ValueExists(const AnsiString& name) const;
    bool DeleteValue(const AnsiString& name);
    // A missing value is empty text. Raises ERegistryException "Invalid data
    // type for '<name>'" for a value that is not a (expandable) string, and
    // "Failed to get data for '<name>'" when it cannot be read. Expandable
    // strings come as stored; the text ends at its first zero.
    AnsiString ReadString(const AnsiString& name) const;
    // A missing value raises "Failed to get data", a non-DWORD value "Invalid data type".
    std::int32_t ReadInteger(const AnsiString& name) const;
    // Raise ERegistryException "Failed to set data for '<name>'".
    void WriteString(const AnsiString& name, const AnsiString& value);
    void WriteExpandString(const AnsiString& name, const AnsiString& value);
    void WriteInteger(const AnsiString& name, std::int32_t value);

private:
    void* ParentFor(const AnsiString& key, AnsiString& relative) const;
    void* CurrentKey() const;
    void WriteData(const AnsiString& name, unsigned type, const void* data, std::uint32_t size);

    platform::TRegRoot FRootKey = platform::RegCurrentUser;
    unsigned FAccess = platform::RegKeyAllAccess;
    bool FLazyWrite = true;
    platform::TRegKey FCurrentKey;
    AnsiString FCurrentPath;
};
