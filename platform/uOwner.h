#pragma once
// One owner for every kind of handle, and one scope guard. Header-only and
// free of <windows.h>, so every layer and the engine DLL can use it.
//
// A kind is described by a traits type:
//   using TValue = ...;                  the raw handle
//   static TValue Invalid();             the value that owns nothing
//   void Close(TValue) noexcept;         releases a valid value
//   bool IsValid(TValue) (optional)      when more than one value owns nothing
// Traits may carry state the release needs (the window a device context was
// taken from, the device context an object was selected into); the owner
// keeps it beside the value and moves it along.
#include <concepts>
#include <type_traits>
#include <utility>

namespace platform {

template <class Traits>
concept CCustomValidity = requires(const Traits& traits, typename Traits::TValue value) {
    { traits.IsValid(value) } -> std::convertible_to<bool>;
};

// Move-only: a copyable owner closes twice.
template <class Traits>
class TOwner {
public:
    using TValue = typename Traits::TValue;

    TOwner() noexcept : FValue(Traits::Invalid()) {}
    explicit TOwner(TValue value, Traits traits = Traits()) noexcept : FTraits(std::move(traits)), FValue(value) {}
    TOwner(TOwner&& other) noexcept
        : FTraits(std::move(other.FTraits)), FValue(std::exchange(other.FValue, Traits::Invalid()))
    {
    }
    TOwner& operator=(TOwner&& other) noexcept
    {
        if (this != &other) {
            Reset();
            FTraits = std::move(other.FTraits);
            FValue = std::exchange(other.FValue, Traits::Invalid());
        }
        return *this;
    }
    TOwner(const TOwner&) = delete;
    TOwner& operator=(const TOwner&) = delete;
    ~TOwner() { Reset(); }

    TValue Get() const noexcept { return FValue; }
    const Traits& GetTraits() const noexcept { return FTraits; }
    bool Valid() const noexcept { return IsValid(FValue); }
    explicit operator bool() const noexcept { return Valid(); }

    // Gives the value up without closing it.
    TValue Release() noexcept { return std::exchange(FValue, Traits::Invalid()); }
    // Closes what is held (if anything, and unless it is `value` itself) and
    // holds `value` instead.
    void Reset(TValue value = Traits::Invalid()) noexcept
    {
        TValue old = std::exchange(FValue, value);
        if (IsValid(old) && !(old == value))
            FTraits.Close(old);
    }
    void Reset(TValue value, Traits traits) noexcept
    {
        Reset();
        FTraits = std::move(traits);
        FValue = value;
    }
    void Close() noexcept { Reset(); }

    // For the out-parameter of a creating call: closes what was held first.
    TValue* Receive() noexcept
    {
        Reset();
        return &FValue;
    }
    void** ReceiveVoid() noexcept
        requires std::is_pointer_v<TValue>
    {
        return reinterpret_cast<void**>(Receive());
    }
    TValue operator->() const noexcept
        requires std::is_pointer_v<TValue> && std::is_class_v<std::remove_pointer_t<TValue>>
    {
        return FValue;
    }

private:
    bool IsValid(const TValue& value) const noexcept
    {
        if constexpr (CCustomValidity<Traits>)
            return FTraits.IsValid(value);
        else
            return !(value == Traits::Invalid());
    }

    [[no_unique_address]] Traits FTraits;
    TValue FValue;
};

// Traits of a handle released by one plain function, null owning nothing.
template <class T, auto CloseFunction>
struct TCloseWith {
    using TValue = T;
    static constexpr T Invalid() noexcept { return T{}; }
    static void Close(T value) noexcept { CloseFunction(value); }
};

// Runs an action when the scope ends, however it ends, unless dismissed.
template <class F>
class TScopeGuard {
public:
    explicit TScopeGuard(F action) noexcept(std::is_nothrow_move_constructible_v<F>) : FAction(std::move(action)) {}
    TScopeGuard(const TScopeGuard&) = delete;
    TScopeGuard& operator=(const TScopeGuard&) = delete;
    ~TScopeGuard()
    {
        if (FActive)
            FAction();
    }
    void Dismiss() noexcept { FActive = false; }

private:
    F FAction;
    bool FActive = true;
};

} // namespace platform
