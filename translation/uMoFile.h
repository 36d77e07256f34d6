#pragma once
// One message catalog mapped read-only from a file: a whole .mo file, or a
// stretch of a larger file (the catalogs carried inside the executable).
// Shared between text domains through the catalog cache, which alone changes
// UseCount.
#include "uMoCatalog.h"

#include "platform/uFileMapping.h"
#include "runtime/uObject.h"

#include <cstdint>

class TMoFile : public TObject {
    RT_CLASS(TMoFile, TObject)
public:
    // `offset` is where the catalog starts in the file; `size` is informative
    // only: lookups are bounded by the end of the file. Throws ETranslationIOError.
    TMoFile(const AnsiString& fileName, std::int64_t offset, std::int64_t size);
    TMoFile(const TMoFile&) = delete;
    TMoFile& operator=(const TMoFile&) = delete;

    // The translation's bytes, or the msgid itself with found = false.
    AnsiString Lookup(std::string_view msgid, bool& found) const;
    AnsiString Lookup(std::string_view msgid) const
    {
        bool found;
        return Lookup(msgid, found);
    }

    bool SwapBytes() const { return FCatalog.SwapBytes(); }
    std::uint32_t EntryCount() const { return FCatalog.EntryCount(); }
    std::uint32_t SearchStart() const { return FCatalog.SearchStart(); }
    std::uint32_t SearchStep() const { return FCatalog.SearchStep(); }

    int UseCount = 0;

private:
    platform::TMappedFile FMapping;
    TMoCatalog FCatalog;
};
