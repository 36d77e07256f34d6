#pragma once
// Byte streams: the abstract stream, files over a Win32 handle, memory.
#include "uClasses.h"
#include "platform/uHandle.h"

#include <cstdint>
#include <vector>

enum class TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
    RT_CLASS(TStream, TObject)
public:
    // Read and Write may transfer fewer bytes than asked; they return the count.
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t size);

    // All or nothing: EReadError / EWriteError when short.
    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);
    // Copies `count` bytes from `source` (all of it from the start when 0).
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// File open modes, combined with |.
enum : unsigned {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareExclusive = 0x0010,
    fmShareDenyWrite = 0x0020,
    fmShareDenyRead = 0x0030,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00, // create, or truncate an existing file to length 0
};

class THandleStream : public TStream {
    RT_CLASS(THandleStream, TStream)
public:
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t size) override;
    void* Handle() const { return FHandle.Get(); }

protected:
    THandleStream() = default;
    platform::TOwnedHandle FHandle;
};

class TFileStream : public THandleStream {
    RT_CLASS(TFileStream, THandleStream)
public:
    // fmCreate opens read/write with exclusive access unless a share mode is
    // given; a failure raises EFCreateError "Cannot create file %s" (or
    // EFOpenError "Cannot open file %s").
    TFileStream(const AnsiString& fileName, unsigned mode);
    const AnsiString& FileName() const { return FFileName; }

private:
    AnsiString FFileName;
};

class TMemoryStream : public TStream {
    RT_CLASS(TMemoryStream, TStream)
public:
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }
    void SetSize(std::int64_t size) override;
    void Clear() { FData.clear(); FPosition = 0; }

    const std::vector<std::uint8_t>& Data() const { return FData; }
    std::string DataString() const { return std::string(FData.begin(), FData.end()); }

private:
    std::vector<std::uint8_t> FData;
    std::int64_t FPosition = 0;
};
