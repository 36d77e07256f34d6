// The Win32 handle kinds: each owner gives back exactly what it holds, to
// the place it came from.
#include "platform/uHandle.h"
#include "platform/uLibrary.h"
#include "platform/uRegistryApi.h"
#include "platform/uWinOwners.h"

#include <gtest/gtest.h>

namespace {

bool HandleAlive(HANDLE h)
{
    DWORD flags = 0;
    return ::GetHandleInformation(h, &flags) != FALSE;
}

TEST(WinOwners, KernelHandlesCloseOnceAndTheErrorValueOwnsNothing)
{
    HANDLE raw = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    {
        platform::TOwnedHandle event(raw);
        platform::TOwnedHandle moved(std::move(event));
        EXPECT_TRUE(HandleAlive(raw));
    }
    EXPECT_FALSE(HandleAlive(raw));
    platform::TOwnedHandle failed(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(failed);
    platform::win::TKernelHandle engineSide(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    raw = engineSide.Get();
    engineSide.Reset();
    EXPECT_FALSE(HandleAlive(raw));
}

TEST(WinOwners, SelectionsReturnToTheirDeviceContextBeforeTheObjectIsDeleted)
{
    platform::win::TMemoryDc dc(::CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    HGDIOBJ original = ::GetCurrentObject(dc.Get(), OBJ_FONT);
    {
        platform::TOwner<platform::TCloseWith<HGDIOBJ, &::DeleteObject>> font(::CreateFontA(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"));
        platform::win::TSelection selected = platform::win::Select(dc.Get(), font.Get());
        EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_FONT), font.Get());
        // Declared after the font, the selection ends first.
    }
    EXPECT_EQ(::GetCurrentObject(dc.Get(), OBJ_FONT), original);

    platform::win::TWindowDc screen = platform::win::GetWindowDc(nullptr);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen.GetTraits().Window, nullptr);
}

TEST(WinOwners, RootKeysSurviveTheirOwnerAndOpenedKeysDoNot)
{
    {
        platform::TRegKey root(HKEY_CURRENT_USER);
    }
    platform::TRegKey software;
    ASSERT_EQ(platform::OpenRegKey(HKEY_CURRENT_USER, "Software", KEY_READ, software), ERROR_SUCCESS);
    HKEY raw = static_cast<HKEY>(software.Get());
    software.Reset();
    DWORD subKeys = 0;
    EXPECT_NE(::RegQueryInfoKeyA(raw, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr),
              ERROR_SUCCESS);
}

TEST(WinOwners, ModulesAreFreed)
{
    const bool loadedBefore = ::GetModuleHandleA("version.dll") != nullptr;
    unsigned error = 0;
    platform::TModule module = platform::LoadLibraryQuiet("version.dll", error);
    ASSERT_TRUE(module) << error;
    EXPECT_NE(module.Proc("GetFileVersionInfoA"), nullptr);
    module.Reset();
    if (!loadedBefore) {
        EXPECT_EQ(::GetModuleHandleA("version.dll"), nullptr);
    }
}

} // namespace
