#include "platform/uDiskSpace.h"

#include <windows.h>

#include <gtest/gtest.h>

TEST(DiskSpace, AFolderNotMadeYetIsAskedThroughItsDrive)
{
    ULARGE_INTEGER available{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &free));
    auto root = platform::FreeDiskSpace("C:\\");
    auto deep = platform::FreeDiskSpace("C:\\KORVANT-NOT-THERE\\DATA07\\GLOBAL");
    ASSERT_TRUE(root && deep);
    // Other programs write meanwhile: the same volume within 64 MB.
    auto close = [&](std::uint64_t value) {
        return value + (64u << 20) > available.QuadPart && value < available.QuadPart + (64u << 20);
    };
    EXPECT_TRUE(close(*root));
    EXPECT_TRUE(close(*deep));
    EXPECT_FALSE(platform::FreeDiskSpace("").has_value());
    EXPECT_FALSE(platform::FreeDiskSpace("no drive at all").has_value());
}
