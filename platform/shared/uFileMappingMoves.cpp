// Ownership moves of a mapped file, the same on every platform; Open and
// Unmap are each platform's own.
#include "platform/uFileMapping.h"

namespace platform {

TMappedFile::TMappedFile(TMappedFile&& other) noexcept
    : FFile(std::move(other.FFile)), FMapping(std::move(other.FMapping)),
      FView(std::exchange(other.FView, nullptr)), FSize(std::exchange(other.FSize, 0))
{
}

TMappedFile& TMappedFile::operator=(TMappedFile&& other) noexcept
{
    if (this != &other) {
        Unmap();
        FFile = std::move(other.FFile);
        FMapping = std::move(other.FMapping);
        FView = std::exchange(other.FView, nullptr);
        FSize = std::exchange(other.FSize, 0);
    }
    return *this;
}

TMappedFile::~TMappedFile() { Unmap(); }

} // namespace platform
