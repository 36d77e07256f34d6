#include "platform/uPosixFd.h"

#include <gtest/gtest.h>

#include <fcntl.h>

TEST(PosixOwners, DescriptorIsClosedWhenItsOwnerEnds)
{
    int raw = -1;
    {
        platform::posix::TFd fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(fd);
        raw = fd.Get();
        platform::posix::TFd other(std::move(fd));
        EXPECT_FALSE(fd);
        EXPECT_NE(::fcntl(raw, F_GETFD), -1);
    }
    EXPECT_EQ(::fcntl(raw, F_GETFD), -1);
    platform::posix::TFd failed(::open("/no/such/file", O_RDONLY));
    EXPECT_FALSE(failed);
}
