#include "runtime/uRegistry.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* TestRoot = "\\Software\\KORVANT Tests";

class Registry : public ::testing::Test {
protected:
    void SetUp() override { TRegistry().DeleteKey(TestRoot); }
    void TearDown() override { TRegistry().DeleteKey(TestRoot); }

    // Stores raw bytes, as another program may have written them.
    static void StoreRaw(TRegistry& reg, const char* name, unsigned type, const std::string& bytes)
    {
        platform::TRegKey key;
        ASSERT_EQ(platform::OpenRegKey(platform::RootKeyHandle(platform::RegCurrentUser), reg.CurrentPath(),
                                       platform::RegKeySetValue, key),
                  0);
        ASSERT_EQ(platform::SetRegValue(key.Get(), name, type, bytes.data(), static_cast<std::uint32_t>(bytes.size())), 0);
    }

    static std::string Message(auto call)
    {
        try {
            call();
        } catch (const ERegistryException& e) {
            return e.Message();
        }
        return "no error";
    }
};

} // namespace

TEST_F(Registry, OpensRelativeOrAbsoluteAndCreatesOnlyWhenAsked)
{
    TRegistry reg;
    EXPECT_EQ(reg.RootKey(), platform::RegCurrentUser);
    EXPECT_EQ(reg.Access(), platform::RegKeyAllAccess);
    EXPECT_TRUE(reg.LazyWrite());

    EXPECT_FALSE(reg.OpenKey(std::string(TestRoot) + "\\Shell Folders", false));
    EXPECT_FALSE(reg.HasOpenKey());
    ASSERT_TRUE(reg.OpenKey(std::string(TestRoot) + "\\Shell Folders", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\KORVANT Tests\\Shell Folders");

    ASSERT_TRUE(reg.OpenKey("Sub\\Deeper", true)); // below the open key
    EXPECT_EQ(reg.CurrentPath(), "Software\\KORVANT Tests\\Shell Folders\\Sub\\Deeper");
    EXPECT_TRUE(reg.KeyExists(std::string(TestRoot) + "\\Shell Folders\\Sub"));

    ASSERT_TRUE(reg.OpenKey(TestRoot, false)); // absolute again
    EXPECT_EQ(reg.CurrentPath(), "Software\\KORVANT Tests");
    reg.CloseKey();
    EXPECT_FALSE(reg.HasOpenKey());
    EXPECT_EQ(reg.CurrentPath(), "");
}

TEST_F(Registry, ReadsStringsAsStoredAndReportsWhatIsNotAString)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(std::string(TestRoot) + "\\Values", true));
    reg.WriteString("Desktop", "C:\\Users\\Jan\\Bureaublad");
    reg.WriteExpandString("Expand", "%USERPROFILE%\\Desktop");
    reg.WriteInteger("Number", 7);
    StoreRaw(reg, "Unterminated", platform::RegSz, "abc");
    StoreRaw(reg, "Embedded", platform::RegSz, std::string("ab\0cd\0", 6));
    StoreRaw(reg, "Binary", platform::RegBinary, "xyz");

    EXPECT_EQ(reg.ReadString("Desktop"), "C:\\Users\\Jan\\Bureaublad");
    EXPECT_EQ(reg.ReadString("Expand"), "%USERPROFILE%\\Desktop") << "expanded";
    EXPECT_EQ(reg.ReadString("Unterminated"), "abc");
    EXPECT_EQ(reg.ReadString("Embedded"), "ab");
    EXPECT_EQ(reg.ReadString("Missing"), "");
    EXPECT_EQ(reg.ReadInteger("Number"), 7);

    EXPECT_EQ(Message([&] { reg.ReadString("Number"); }), "Invalid data type for 'Number'");
    EXPECT_EQ(Message([&] { reg.ReadString("Binary"); }), "Invalid data type for 'Binary'");
    EXPECT_EQ(Message([&] { reg.ReadInteger("Desktop"); }), "Invalid data type for 'Desktop'");
    EXPECT_EQ(Message([&] { reg.ReadInteger("Missing"); }), "Failed to get data for 'Missing'");

    EXPECT_TRUE(reg.ValueExists("Desktop"));
    EXPECT_TRUE(reg.DeleteValue("Desktop"));
    EXPECT_FALSE(reg.ValueExists("Desktop"));
    EXPECT_FALSE(reg.DeleteValue("Desktop"));
}

TEST_F(Registry, ReadAndWriteFailuresNameTheValue)
{
    {
        TRegistry writer;
        ASSERT_TRUE(writer.OpenKey(std::string(TestRoot) + "\\Locked", true));
        writer.WriteString("Desktop", "C:\\");
    }
    // A key opened only for setting values cannot be read from.
    TRegistry reg(platform::RegKeySetValue);
    ASSERT_TRUE(reg.OpenKey(std::string(TestRoot) + "\\Locked", false));
    EXPECT_EQ(Message([&] { reg.ReadString("Desktop"); }), "Failed to get data for 'Desktop'");

    // Nor can values be written without a key: never into the root by accident.
    TRegistry none;
    EXPECT_EQ(Message([&] { none.WriteString("Stray", "x"); }), "Failed to set data for 'Stray'");
    EXPECT_EQ(Message([&] { none.ReadString("Stray"); }), "Failed to get data for 'Stray'");
    EXPECT_FALSE(none.ValueExists("Stray"));
}

TEST_F(Registry, ChangingTheRootClosesTheOpenKey)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(TestRoot, true));
    reg.SetRootKey(platform::RegLocalMachine);
    EXPECT_FALSE(reg.HasOpenKey());
    EXPECT_TRUE(reg.OpenKeyReadOnly("\\Software"));
    EXPECT_EQ(reg.Access(), platform::RegKeyAllAccess) << "read-only open must not change the access for later";
}
