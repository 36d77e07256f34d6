// The highest serial accepted is kept per user in the registry: an older
// list is refused after a newer one was seen, also by a later run.
#include "platform/uRegistryApi.h"
#include "trust/uListSerial.h"

#include <gtest/gtest.h>

namespace {

std::optional<TManifest> ListWithSerial(std::uint64_t serial)
{
    std::string error;
    return TManifest::Parse("serial " + std::to_string(serial) + "\n", error);
}

// Puts back what the prefix held before (the end-to-end runs share it).
class ListSerial : public ::testing::Test {
protected:
    void SetUp() override { FSaved = listserial::Remembered(); Forget(); }
    void TearDown() override
    {
        Forget();
        if (FSaved)
            listserial::Remember(FSaved);
    }
    static void Forget()
    {
        platform::TRegKey key;
        if (platform::OpenRegKey(platform::RootKeyHandle(platform::RegCurrentUser), listserial::RegistryKey,
                                 platform::RegKeyWrite, key) == platform::RegErrorSuccess)
            platform::DeleteRegValue(key.Get(), listserial::RegistryValue);
    }
    std::uint64_t FSaved = 0;
};

} // namespace

TEST_F(ListSerial, TheHighestAcceptedIsRememberedAndAnOlderListRefusedAfterIt)
{
    EXPECT_EQ(listserial::Remembered(), 0u);
    EXPECT_FALSE(listserial::Accept(*ListWithSerial(2), 3)); // below the minimum
    EXPECT_EQ(listserial::Remembered(), 0u) << "a refused list is not remembered";
    EXPECT_TRUE(listserial::Accept(*ListWithSerial(7), 3));
    EXPECT_EQ(listserial::Remembered(), 7u);
    EXPECT_FALSE(listserial::Accept(*ListWithSerial(6), 3));
    EXPECT_TRUE(listserial::Accept(*ListWithSerial(7), 3)); // the same list again
    std::string error;
    EXPECT_FALSE(listserial::Accept(*TManifest::Parse(std::string(64, '0') + " 1 a\n", error), 0)) << "no serial";
    // Never lowered.
    listserial::Remember(4);
    EXPECT_EQ(listserial::Remembered(), 7u);

    // A value of another type is not ours: as if nothing were remembered.
    platform::TRegKey key;
    ASSERT_EQ(platform::CreateRegKey(platform::RootKeyHandle(platform::RegCurrentUser), listserial::RegistryKey,
                                     platform::RegKeyWrite, key),
              platform::RegErrorSuccess);
    const char text[] = "9";
    platform::SetRegValue(key.Get(), listserial::RegistryValue, platform::RegSz, text, sizeof text);
    EXPECT_EQ(listserial::Remembered(), 0u);
}
