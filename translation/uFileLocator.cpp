#include "uFileLocator.h"

#include "uTranslationErrors.h"

#include "platform/uSystem.h"
#include "runtime/uSysUtils.h"

#include <cstring>
#include <mutex>

namespace {

// The patched field: the marker followed by 8 zero bytes. `used` keeps it in
// the image; reading it through a volatile pointer keeps the compiler from
// folding the zero it was built with.
extern "C" __attribute__((used)) const volatile char KorvantEmbeddedTableField[44] =
    "136FC5C1-77F9-4C46-B1CB-FA7E032E77CE\0\0\0\0\0\0\0";
static_assert(sizeof(EmbeddedTableMarker) == 37);

// FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE: the program reads
// itself while anything else may do what it likes with the file.
constexpr unsigned ShareAll = 7;

bool ReadExact(void* file, void* buffer, std::uint32_t count)
{
    std::uint32_t done = 0;
    return platform::ReadFile(file, buffer, count, done) && done == count;
}

bool ReadU64(void* file, std::uint64_t& value)
{
    std::uint8_t bytes[8];
    if (!ReadExact(file, bytes, 8))
        return false;
    value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | bytes[i];
    return true;
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

AnsiString TrimControls(const AnsiString& text)
{
    size_t first = 0, last = text.size();
    while (first < last && IsBlankOrControl(text[first]))
        ++first;
    while (last > first && IsBlankOrControl(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

} // namespace

std::uint64_t PatchTableOffset()
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(KorvantEmbeddedTableField[36 + i]);
    return value;
}

bool TFileLocator::TNameLess::operator()(const AnsiString& a, const AnsiString& b) const
{
    return CompareText(a, b) < 0;
}

TFileLocator::TFileLocator(AnsiString executableFileName) : FExecutableFileName(std::move(executableFileName)) {}

TFileLocator::~TFileLocator() = default;

void TFileLocator::ScanEmbeddedTable() { ScanEmbeddedTable(PatchTableOffset()); }

void TFileLocator::ScanEmbeddedTable(std::uint64_t tableOffset)
{
    if (tableOffset == 0)
        return;
    FBaseDirectory = ExtractFilePath(FExecutableFileName);
    platform::TOwnedHandle file = platform::OpenFile(FExecutableFileName, false, ShareAll,
                                                     platform::TCreateDisposition::OpenExisting);
    if (!file)
        return;
    std::uint64_t pos = tableOffset;
    for (;;) {
        if (pos > INT64_MAX || platform::SeekFile(file.Get(), std::int64_t(pos), 0) < 0)
            return;
        std::uint64_t next, offset, size;
        if (!ReadU64(file.Get(), next) || next == 0)
            return;
        if (!ReadU64(file.Get(), offset) || !ReadU64(file.Get(), size))
            return;
        // Records only go forward; anything else would loop or read garbage.
        std::uint64_t nameStart = pos + 24;
        if (next < nameStart || next - nameStart > MaxNameLength || offset > INT64_MAX || size > INT64_MAX)
            return;
        AnsiString name(next - nameStart, '\0');
        if (!name.empty() && !ReadExact(file.Get(), name.data(), static_cast<std::uint32_t>(name.size())))
            return;
        auto info = std::make_unique<TEmbeddedFileInfo>();
        info->Offset = std::int64_t(offset);
        info->Size = std::int64_t(size);
        if (!FEmbeddedFiles.emplace(TrimControls(name), std::move(info)).second)
            return;
        pos = next;
    }
}

const TEmbeddedFileInfo* TFileLocator::EmbeddedFile(const AnsiString& name) const
{
    auto it = FEmbeddedFiles.find(name);
    return it == FEmbeddedFiles.end() ? nullptr : it->second.get();
}

bool TFileLocator::IsEmbeddedFile(const AnsiString& path) const
{
    // The folder is compared exactly: it is the program's own spelling of it.
    if (path.starts_with(FBaseDirectory))
        return EmbeddedFile(path.substr(FBaseDirectory.size())) != nullptr;
    return EmbeddedFile(path) != nullptr;
}

const TEmbeddedFileInfo* TFileLocator::Resolve(const AnsiString& path) const
{
    if (FBaseDirectory.empty() || !path.starts_with(FBaseDirectory))
        return nullptr;
    return EmbeddedFile(path.substr(FBaseDirectory.size()));
}

TMoFile* TFileLocator::AcquireCatalog(const AnsiString& path)
{
    AnsiString realFile = path;
    std::int64_t offset = 0, size = 0;
    if (const TEmbeddedFileInfo* info = Resolve(path)) {
        realFile = FExecutableFileName;
        offset = info->Offset;
        size = info->Size;
    }
    std::unique_lock lock(FCatalogLock);
    AnsiString key = realFile + '\0' + IntToStr(offset);
    auto it = FOpenCatalogs.find(key);
    if (it == FOpenCatalogs.end())
        it = FOpenCatalogs.emplace(key, std::make_unique<TMoFile>(realFile, offset, size)).first;
    ++it->second->UseCount;
    return it->second.get();
}

void TFileLocator::ReleaseCatalog(TMoFile* catalog)
{
    if (!catalog)
        throw ETranslationProgrammingError("ReleaseCatalog needs a catalog");
    std::unique_lock lock(FCatalogLock);
    if (--catalog->UseCount > 0)
        return;
    for (auto it = FOpenCatalogs.begin(); it != FOpenCatalogs.end(); ++it)
        if (it->second.get() == catalog) {
            FOpenCatalogs.erase(it);
            return;
        }
}

int TFileLocator::OpenCatalogCount() const
{
    std::shared_lock lock(FCatalogLock);
    return static_cast<int>(FOpenCatalogs.size());
}
