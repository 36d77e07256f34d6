#pragma once
// Catalogs carried inside the executable, and the cache of open catalogs.
//
// After linking, the build appends catalog files and a table naming them to
// the executable and writes the table's file offset behind a marker in the
// program's data. A catalog path made of the program's folder and a table
// name is then served from the executable itself; other paths go to disk.
#include "uMoFile.h"

#include "platform/uSync.h"
#include "runtime/uObject.h"

#include <cstdint>
#include <map>
#include <memory>
#include <shared_mutex>

// The marker the append step searches for; the 8 bytes after it hold the
// table offset (little-endian), zero when nothing is embedded.
inline constexpr char EmbeddedTableMarker[] = "136FC5C1-77F9-4C46-B1CB-FA7E032E77CE";
// The table offset as patched into this program (0 = nothing embedded).
std::uint64_t PatchTableOffset();

class TEmbeddedFileInfo : public TObject {
    RT_CLASS(TEmbeddedFileInfo, TObject)
public:
    std::int64_t Offset = 0;
    std::int64_t Size = 0;
};

class TFileLocator : public TObject {
    RT_CLASS(TFileLocator, TObject)
public:
    // Longest name a table record may carry; a longer one ends the scan.
    static constexpr std::uint64_t MaxNameLength = 4096;

    explicit TFileLocator(AnsiString executableFileName);
    ~TFileLocator() override;
    TFileLocator(const TFileLocator&) = delete;
    TFileLocator& operator=(const TFileLocator&) = delete;

    // Reads the table at the patched offset (or `tableOffset`) once. A broken
    // table ends the scan silently; records read before stay usable.
    void ScanEmbeddedTable();
    void ScanEmbeddedTable(std::uint64_t tableOffset);

    bool IsEmbeddedFile(const AnsiString& path) const;
    // One more use of the catalog at `path`; throws what TMoFile throws.
    TMoFile* AcquireCatalog(const AnsiString& path);
    // One use less; the catalog is unmapped when nobody uses it any more.
    void ReleaseCatalog(TMoFile* catalog);

    const AnsiString& ExecutableFileName() const { return FExecutableFileName; }
    const AnsiString& BaseDirectory() const { return FBaseDirectory; }
    const TEmbeddedFileInfo* EmbeddedFile(const AnsiString& name) const;
    int EmbeddedFileCount() const { return static_cast<int>(FEmbeddedFiles.size()); }
    int OpenCatalogCount() const;

private:
    struct TNameLess {
        bool operator()(const AnsiString& a, const AnsiString& b) const;
    };
    // The table name for `path`, when it names an embedded catalog.
    const TEmbeddedFileInfo* Resolve(const AnsiString& path) const;

    AnsiString FExecutableFileName;
    AnsiString FBaseDirectory;
    std::map<AnsiString, std::unique_ptr<TEmbeddedFileInfo>, TNameLess> FEmbeddedFiles;
    std::map<AnsiString, std::unique_ptr<TMoFile>, TNameLess> FOpenCatalogs;
    mutable platform::TSharedLock FCatalogLock;
};
