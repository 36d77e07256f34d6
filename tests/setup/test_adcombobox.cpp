// The value combo box as a model, without a window.
#include "setup/controls/uAdComboBox.h"
#include "runtime/uTypInfo.h"

#include <gtest/gtest.h>

TEST(AdComboBox, ValueIsTheCodeAtTheItemIndex)
{
    AdComboBox combo(nullptr);
    for (const char* item : {"Belgisch (Vlaamse) versie", "Nederlandse Versie", "Belgisch (Waalse) versie"})
        combo.Items()->Add(item);
    EXPECT_EQ(combo.Value(), "") << "no selection and no codes: empty, no error";
    for (const char* code : {"benl", "nl", "befr"})
        combo.Values()->Add(code);
    combo.SetItemIndex(1);
    EXPECT_EQ(combo.Value(), "nl");
    combo.SetItemIndex(0);
    EXPECT_EQ(combo.Value(), "benl");
    combo.SetItemIndex(-1);
    EXPECT_EQ(combo.Value(), "");
}

TEST(AdComboBox, FewerCodesThanItemsRaisesTheListIndexError)
{
    AdComboBox combo(nullptr);
    combo.Items()->SetText("a\nb\nc");
    combo.Values()->SetText("x\ny");
    combo.SetItemIndex(2);
    try {
        (void)combo.Value();
        FAIL() << "no error";
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (2)");
    }
    // Items and codes are not kept in step.
    combo.Items()->Delete(0);
    EXPECT_EQ(combo.Values()->Count(), 2);
}

TEST(AdComboBox, AssigningValuesCopiesTheEntries)
{
    AdComboBox combo(nullptr);
    TStringList* own = combo.Values();
    TStringList source;
    source.SetText("benl\nnl");
    combo.SetValues(&source);
    source.Add("befr");
    source.Put(0, "changed");
    EXPECT_EQ(combo.Values(), own);
    EXPECT_EQ(combo.Values()->Text(), "benl\r\nnl\r\n");

    // The form's stored layout reaches it as a published object property.
    const TPropInfo* prop = GetPropInfo(combo, "Values");
    ASSERT_NE(prop, nullptr);
    EXPECT_EQ(prop->Kind, TPropKind::Object);
    EXPECT_EQ(GetObjectProp(combo, *prop), own);
    EXPECT_EQ(combo.ClassName(), "AdComboBox");
    EXPECT_TRUE(combo.Is<TComboBox>());
}
