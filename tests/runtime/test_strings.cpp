#include "runtime/uClasses.h"

#include <gtest/gtest.h>

TEST(StringList, IndexErrorNamesTheIndex)
{
    TStringList list;
    list.Add("a");
    try {
        (void)list.Get(5);
        FAIL() << "no error";
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (5)");
        EXPECT_EQ(e.ClassName(), "EStringListError");
        EXPECT_TRUE(e.Is<Exception>());
    }
}

TEST(StringList, SortedCaseInsensitiveRejectsDuplicates)
{
    TStringList list(true, TDuplicates::dupError);
    list.Add("NAME");
    list.Add("category");
    EXPECT_EQ(list.IndexOf("Name"), 1);
    EXPECT_THROW(list.Add("name"), EStringListError);
    list.SetDuplicates(TDuplicates::dupIgnore);
    EXPECT_EQ(list.Add("name"), 1);
    EXPECT_EQ(list.Count(), 2);
}

TEST(StringList, TextJoinsWithCrLfAndSplitsAnyLineEnd)
{
    TStringList list;
    list.SetText("one\r\ntwo\nthree\rfour");
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list[3], "four");
    EXPECT_EQ(list.Text(), "one\r\ntwo\r\nthree\r\nfour\r\n");
}
