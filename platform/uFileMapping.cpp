#include "uFileMapping.h"

#include <windows.h>

namespace platform {

void TMappedFile::TViewTraits::Close(const std::uint8_t* view) const noexcept { ::UnmapViewOfFile(view); }

TMappedFile TMappedFile::Open(const std::string& path, TStage& failedStage, unsigned& osError)
{
    failedStage = TStage::None;
    osError = 0;
    TMappedFile result;
    result.FFile = TOwnedHandle(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!result.FFile) {
        osError = ::GetLastError();
        failedStage = TStage::Open;
        return {};
    }
    LARGE_INTEGER size{};
    ::GetFileSizeEx(result.FFile.Get(), &size);
    // An empty file cannot be mapped; Windows reports that as a mapping failure.
    result.FMapping = TOwnedHandle(::CreateFileMappingA(result.FFile.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!result.FMapping) {
        osError = ::GetLastError();
        failedStage = TStage::Mapping;
        return {};
    }
    void* view = ::MapViewOfFile(result.FMapping.Get(), FILE_MAP_READ, 0, 0, 0);
    if (!view) {
        osError = ::GetLastError();
        failedStage = TStage::View;
        return {};
    }
    result.FView.Reset(static_cast<const std::uint8_t*>(view), TViewTraits{static_cast<std::uint64_t>(size.QuadPart)});
    return result;
}

} // namespace platform
