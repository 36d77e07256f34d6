#pragma once
// Move-only owners for the kernel objects the layers above use. Copying is
// deleted: a copyable wrapper closes twice.
#include <cstdint>
#include <utility>

namespace platform {

// A kernel handle (file, process, thread, mapping). Invalid is either null or
// INVALID_HANDLE_VALUE, as the Win32 calls return one or the other.
class TOwnedHandle {
public:
    TOwnedHandle() = default;
    explicit TOwnedHandle(void* handle) : FHandle(handle) {}
    TOwnedHandle(TOwnedHandle&& other) noexcept : FHandle(std::exchange(other.FHandle, nullptr)) {}
    TOwnedHandle& operator=(TOwnedHandle&& other) noexcept
    {
        if (this != &other) {
            Close();
            FHandle = std::exchange(other.FHandle, nullptr);
        }
        return *this;
    }
    TOwnedHandle(const TOwnedHandle&) = delete;
    TOwnedHandle& operator=(const TOwnedHandle&) = delete;
    ~TOwnedHandle() { Close(); }

    void* Get() const { return FHandle; }
    bool Valid() const;
    explicit operator bool() const { return Valid(); }
    void* Release() { return std::exchange(FHandle, nullptr); }
    void Close();

private:
    void* FHandle = nullptr;
};

} // namespace platform
