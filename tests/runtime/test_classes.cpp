#include "runtime/uClasses.h"
#include "runtime/uTypInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<AnsiString> Items(const TStrings& list)
{
    std::vector<AnsiString> items;
    for (int i = 0; i < list.Count(); ++i)
        items.push_back(list[i]);
    return items;
}

using Texts = std::vector<AnsiString>;

} // namespace

TEST(StringList, SortedListKeepsOrderAndAppliesItsDuplicatesPolicy)
{
    TStringList list(true, TDuplicates::dupIgnore);
    for (const char* s : {"pear", "Apple", "fig", "apple", "banana"})
        list.Add(s);
    EXPECT_EQ(Items(list), (Texts{"Apple", "banana", "fig", "pear"}));
    EXPECT_EQ(list.Add("PEAR"), 3); // the existing entry, nothing added
    EXPECT_EQ(list.Count(), 4);

    int index = -1;
    EXPECT_FALSE(list.Find("cherry", index));
    EXPECT_EQ(index, 2); // where it would go
    EXPECT_TRUE(list.Find("FIG", index));
    EXPECT_EQ(index, 2);

    list.SetDuplicates(TDuplicates::dupAccept);
    list.Add("fig");
    list.Add("Fig");
    EXPECT_EQ(list.Count(), 6);
    EXPECT_EQ(list.IndexOf("fig"), 2);
    EXPECT_EQ(Items(list)[5], "pear");

    list.SetDuplicates(TDuplicates::dupError);
    try {
        list.Add("BANANA");
        FAIL() << "no error";
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), "String list does not allow duplicates");
    }
    EXPECT_EQ(list.Count(), 6);
}

TEST(StringList, CaseSensitiveSortedListTellsCasesApart)
{
    TStringList list(true, TDuplicates::dupError, true);
    list.Add("a");
    list.Add("A");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_NE(list.IndexOf("a"), list.IndexOf("A"));
    list.SetCaseSensitive(false);
    EXPECT_THROW(list.Add("a"), EStringListError);
}

TEST(StringList, SortedListRefusesPositionalChanges)
{
    TStringList list(true, TDuplicates::dupIgnore);
    list.Add("b");
    for (auto change : {+[](TStringList& l) { l.Insert(0, "a"); }, +[](TStringList& l) { l.Put(0, "c"); }}) {
        try {
            change(list);
            FAIL() << "no error";
        } catch (const EStringListError& e) {
            EXPECT_EQ(e.Message(), "Operation not allowed on sorted list");
        }
    }
    EXPECT_EQ(Items(list), Texts{"b"});
}

TEST(StringList, ObjectsStayWithTheirTextsThroughSortingAndDeleting)
{
    TObject one, two, three;
    TStringList list;
    list.AddObject("gamma", &three);
    list.AddObject("alpha", &one);
    list.AddObject("beta", &two);
    list.SetSorted(true);
    EXPECT_EQ(Items(list), (Texts{"alpha", "beta", "gamma"}));
    EXPECT_EQ(list.GetObject(0), &one);
    EXPECT_EQ(list.GetObject(2), &three);

    list.Delete(0);
    EXPECT_EQ(list.GetObject(0), &two);

    TStringList copy;
    copy.Assign(list);
    EXPECT_EQ(Items(copy), (Texts{"beta", "gamma"}));
    EXPECT_EQ(copy.GetObject(1), &three);
}

TEST(StringList, IndexErrorsNameTheBadIndex)
{
    TStringList list;
    list.Add("only");
    auto message = [&](auto call) -> std::string {
        try {
            call();
        } catch (const EStringListError& e) {
            return e.Message();
        }
        return "no error";
    };
    EXPECT_EQ(message([&] { list.Delete(1); }), "List index out of bounds (1)");
    EXPECT_EQ(message([&] { (void)list.Get(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(message([&] { list.Insert(3, "x"); }), "List index out of bounds (3)");
    EXPECT_EQ(message([&] { list.PutObject(1, nullptr); }), "List index out of bounds (1)");
    list.Insert(1, "end"); // one past the end is an append
    EXPECT_EQ(Items(list), (Texts{"only", "end"}));
}

TEST(StringList, UpdateBracketsReportOneChangeAtTheOutermostEnd)
{
    TStringList list;
    int changing = 0, changed = 0;
    list.OnChanging = [&](TObject*) { ++changing; };
    list.OnChange = [&](TObject*) { ++changed; };

    list.Add("a");
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(changed, 1);

    list.BeginUpdate();
    list.BeginUpdate();
    list.Add("b");
    list.Add("c");
    list.EndUpdate();
    EXPECT_EQ(changed, 1) << "inner end must not report";
    list.EndUpdate();
    EXPECT_EQ(changing, 2);
    EXPECT_EQ(changed, 2);

    list.SetText("x\ny\nz"); // one bracket of its own
    EXPECT_EQ(changed, 3);
    list.EndUpdate(); // unbalanced end is harmless
    EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(StringList, TextKeepsEmptyLinesButAddsNoneForTheLastLineEnd)
{
    TStringList list;
    list.SetText("a\r\n\r\nb\r\n");
    EXPECT_EQ(Items(list), (Texts{"a", "", "b"}));
    list.SetText("");
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Text(), "");
}

// --- components ----------------------------------------------------------------

namespace {

class TProbe : public TComponent {
    RT_PUBLISHED(TProbe, TComponent, StrProp<&TProbe::Caption, &TProbe::SetCaption>("Caption"),
                 WideProp<&TProbe::Hint>("Hint"), ObjProp<&TProbe::Buddy, &TProbe::SetBuddy>("Buddy"),
                 OtherProp("Tag"))
public:
    TProbe(TComponent* owner, const char* name, std::vector<std::string>* log = nullptr)
        : TComponent(owner), FLog(log)
    {
        SetName(name);
    }
    ~TProbe() override
    {
        if (FLog)
            FLog->push_back(Name());
    }
    AnsiString Caption() const { return FCaption; }
    void SetCaption(const AnsiString& v) { FCaption = v; }
    WideString Hint() const { return u"hint"; }
    TProbe* Buddy() const { return FBuddy; }
    void SetBuddy(TProbe* v) { FBuddy = v; }

private:
    std::vector<std::string>* FLog;
    AnsiString FCaption;
    TProbe* FBuddy = nullptr;
};

class TFancyProbe : public TProbe {
    RT_CLASS(TFancyProbe, TProbe)
public:
    using TProbe::TProbe;
};

} // namespace

TEST(Component, OwnerDestroysWhatItOwnsLastCreatedFirst)
{
    std::vector<std::string> log;
    {
        TProbe form(nullptr, "form", &log);
        new TProbe(&form, "first", &log);
        auto* second = new TProbe(&form, "second", &log);
        new TProbe(second, "grandchild", &log);
        auto* gone = new TProbe(&form, "gone", &log);
        delete gone; // leaves its owner's list
        EXPECT_EQ(form.ComponentCount(), 2);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"gone", "form", "second", "grandchild", "first"}));
}

TEST(Component, NamesAreUniquePerOwnerIgnoringCase)
{
    TProbe form(nullptr, "form");
    auto* next = new TProbe(&form, "btNEXT");
    EXPECT_EQ(form.FindComponent("BTnext"), next);
    EXPECT_EQ(form.FindComponent(""), nullptr);
    EXPECT_EQ(form.FindComponent("btFINISH"), nullptr);
    try {
        new TProbe(&form, "BTNEXT");
        FAIL() << "no error";
    } catch (const EComponentError& e) {
        EXPECT_EQ(e.Message(), "A component named BTNEXT already exists");
    }
    // The refused component is destroyed and leaves no dangling entry behind.
    EXPECT_EQ(form.ComponentCount(), 1);
    auto* finish = new TProbe(&form, "");
    EXPECT_THROW(finish->SetName("btNext"), EComponentError);
    finish->SetName("btFINISH");
    next->SetName("btNEXT"); // its own name again is fine
    EXPECT_EQ(form.FindComponent("BTFINISH"), finish);

    TProbe other(nullptr, "other");
    new TProbe(&other, "btNEXT"); // another owner, another name space

    // Handing a component to a new owner takes it from the old one.
    other.InsertComponent(next);
    EXPECT_EQ(form.FindComponent("btNEXT"), nullptr);
    EXPECT_EQ(next->Owner(), &other);
}

TEST(PublishedProperties, ListedAncestorsFirstAndReachableByName)
{
    TFancyProbe probe(nullptr, "probe");
    std::vector<std::string> names;
    for (const TPropInfo* p : GetPropList(probe))
        names.push_back(p->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"Name", "Caption", "Hint", "Buddy", "Tag"}));
    EXPECT_TRUE(probe.Is<TProbe>());
    EXPECT_TRUE(probe.Is<TComponent>());
    EXPECT_FALSE(TProbe(nullptr, "plain").Is<TFancyProbe>());
    EXPECT_EQ(probe.ClassName(), "TFancyProbe");

    const TPropInfo* caption = GetPropInfo(probe, "caption");
    ASSERT_NE(caption, nullptr);
    SetWideStrProp(probe, *caption, u"Fran\u00E7ais");
    EXPECT_EQ(probe.Caption(), "Fran\xE7" "ais"); // stored in the ANSI code page
    EXPECT_EQ(GetWideStrProp(probe, *caption), u"Fran\u00E7ais");

    const TPropInfo* hint = GetPropInfo(probe, "Hint");
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(GetStrProp(probe, *hint), "hint");
    EXPECT_THROW(SetStrProp(probe, *hint, "x"), EPropertyError);
    EXPECT_THROW(GetStrProp(probe, *GetPropInfo(probe, "Tag")), EPropertyError);

    TProbe buddy(nullptr, "buddy");
    const TPropInfo* buddyProp = GetPropInfo(probe, "Buddy");
    ASSERT_NE(buddyProp, nullptr);
    buddyProp->SetObj(probe, &buddy);
    EXPECT_EQ(GetObjectProp(probe, *buddyProp), &buddy);
    TObject notAProbe;
    buddyProp->SetObj(probe, &notAProbe); // wrong class: cleared, not mis-cast
    EXPECT_EQ(probe.Buddy(), nullptr);
    EXPECT_EQ(GetPropInfo(probe, "Missing"), nullptr);
}
