// Translating a component tree over its published properties, the ignore
// list, and replaying the record in either direction.
#include "TestSupport.h"

#include "translation/uTranslator.h"

#include <gtest/gtest.h>

namespace {

class TTestFont : public TPersistent {
    RT_PUBLISHED(TTestFont, TPersistent, StrProp<&TTestFont::Name, &TTestFont::SetName>("Name"))
public:
    AnsiString Name() const { return FName; }
    void SetName(const AnsiString& v) { FName = v; }

private:
    AnsiString FName = "Arial";
};

class TTestControl : public TComponent {
    RT_PUBLISHED(TTestControl, TComponent, StrProp<&TTestControl::Caption, &TTestControl::SetCaption>("Caption"),
                 WideProp<&TTestControl::Hint, &TTestControl::SetHint>("Hint"),
                 StrProp<&TTestControl::Version>("Version"),
                 StrProp<&TTestControl::HelpKeyword, &TTestControl::SetHelpKeyword>("HelpKeyword"),
                 ObjProp<&TTestControl::Font>("Font"),
                 ObjProp<&TTestControl::FocusTarget, &TTestControl::SetFocusTarget>("FocusTarget"),
                 OtherProp("Tag"))
public:
    TTestControl(TComponent* owner, const AnsiString& name, const AnsiString& caption = "") : TComponent(owner)
    {
        SetName(name);
        FCaption = caption;
    }
    AnsiString Caption() const { return FCaption; }
    void SetCaption(const AnsiString& v) { FCaption = v; }
    WideString Hint() const { return FHint; }
    void SetHint(const WideString& v) { FHint = v; }
    AnsiString Version() const { return FVersion; }
    AnsiString HelpKeyword() const { return FHelpKeyword; }
    void SetHelpKeyword(const AnsiString& v) { FHelpKeyword = v; }
    TTestFont* Font() const { return FFont.get(); }
    TTestControl* FocusTarget() const { return FFocusTarget; }
    void SetFocusTarget(TTestControl* v) { FFocusTarget = v; }

    AnsiString FVersion;

private:
    AnsiString FCaption;
    WideString FHint;
    AnsiString FHelpKeyword;
    std::unique_ptr<TTestFont> FFont = std::make_unique<TTestFont>();
    TTestControl* FFocusTarget = nullptr;
};

class TTestCombo : public TTestControl {
    RT_PUBLISHED(TTestCombo, TTestControl, ObjProp<&TTestCombo::Items>("Items"), ObjProp<&TTestCombo::Values>("Values"))
public:
    using TTestControl::TTestControl;
    TStringList* Items() const { return FItems.get(); }
    TStringList* Values() const { return FValues.get(); }

private:
    std::unique_ptr<TStringList> FItems = std::make_unique<TStringList>();
    std::unique_ptr<TStringList> FValues = std::make_unique<TStringList>();
};

class TTestNotebook : public TTestControl {
    RT_PUBLISHED(TTestNotebook, TTestControl, ObjProp<&TTestNotebook::Pages>("Pages"))
public:
    using TTestControl::TTestControl;
    TStringList* Pages() const { return FPages.get(); }

private:
    std::unique_ptr<TStringList> FPages = std::make_unique<TStringList>();
};

class TTestColumn : public TCollectionItem {
    RT_PUBLISHED(TTestColumn, TCollectionItem, StrProp<&TTestColumn::Title, &TTestColumn::SetTitle>("Title"))
public:
    using TCollectionItem::TCollectionItem;
    AnsiString Title() const { return FTitle; }
    void SetTitle(const AnsiString& v) { FTitle = v; }

private:
    AnsiString FTitle;
};

class TTestGrid : public TTestControl {
    RT_PUBLISHED(TTestGrid, TTestControl, ObjProp<&TTestGrid::Columns>("Columns"))
public:
    using TTestControl::TTestControl;
    TCollection* Columns() const { return FColumns.get(); }

private:
    std::unique_ptr<TCollection> FColumns = std::make_unique<TCollection>(
        [](TCollection* c) -> std::unique_ptr<TCollectionItem> { return std::make_unique<TTestColumn>(c); });
};

class TTestFailing : public TTestControl {
    RT_PUBLISHED(TTestFailing, TTestControl, StrProp<&TTestFailing::Broken, &TTestFailing::SetBroken>("Broken"))
public:
    using TTestControl::TTestControl;
    AnsiString Broken() const { return "Taal"; }
    void SetBroken(const AnsiString&) { throw EPropertyError("the control is gone"); }
};

// Stand-ins for the wizard's classes that the ignore list names.
class TTestAction : public TComponent {
    RT_CLASS(TTestAction, TComponent)
public:
    using TComponent::TComponent;
};
class TTestHttp : public TComponent {
    RT_CLASS(TTestHttp, TComponent)
public:
    using TComponent::TComponent;
};
class TTestZip : public TComponent {
    RT_CLASS(TTestZip, TComponent)
public:
    using TComponent::TComponent;
};

std::vector<std::pair<AnsiString, AnsiString>> GMessages;
void RecordMessage(const AnsiString& caption, const AnsiString& text) { GMessages.emplace_back(caption, text); }

class ComponentTranslationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GMessages.clear();
        FPrevious = SetTranslationMessageHandler(RecordMessage);
        TBytes french = ReadBytes(BuildPath("tests/translation/catalogs/test-le.mo"));
        Program = MakeProgram(::testing::UnitTest::GetInstance()->current_test_info()->name(),
                              {{"locale\\fr\\lc_messages\\default.mo", french}});
        Locator = std::make_unique<TFileLocator>(Program.Path);
        Locator->ScanEmbeddedTable(Program.Table);
        Translator = std::make_unique<TTranslator>(*Locator);
        Translator->ChooseLanguage("nl");
        Translator->GlobalIgnoreClassProperty(&TTestControl::ClassInfo(), "HelpKeyword");
        Translator->GlobalIgnoreClassProperty(&TTestNotebook::ClassInfo(), "Pages");
        Translator->GlobalIgnoreWholeClass(&TTestFont::ClassInfo());
        Translator->GlobalIgnoreClassProperty(&TTestCombo::ClassInfo(), "Values");
    }
    void TearDown() override
    {
        Form.reset();
        Translator.reset();
        SetTranslationMessageHandler(FPrevious);
    }

    // A small wizard: buttons, a combo box with items and values, a notebook
    // with a page list and a page, a grid with columns, and non-text values.
    void BuildForm()
    {
        Form = std::make_unique<TTestControl>(nullptr, "frmMain", "Taal");
        Next = new TTestControl(Form.get(), "btNEXT", "Volgende >");
        Next->SetHint(u"Annuleer");
        Next->FVersion = "Knop";
        Next->SetHelpKeyword("Hulp");
        Combo = new TTestCombo(Form.get(), "cbVersie");
        Combo->Items()->SetText("Item een\r\n\r\nItem twee\r\n");
        Combo->Values()->SetText("benl\r\nnl\r\n");
        Notebook = new TTestNotebook(Form.get(), "Naam");
        Notebook->Pages()->SetText("Taal\r\nKolom\r\n");
        Page = new TTestControl(Notebook, "Page1", "Kolom");
        Grid = new TTestGrid(Form.get(), "grid");
        static_cast<TTestColumn*>(Grid->Columns()->Add())->SetTitle("Kolom");
        static_cast<TTestColumn*>(Grid->Columns()->Add())->SetTitle("Onbekend");
    }

    TProgram Program;
    std::unique_ptr<TFileLocator> Locator;
    std::unique_ptr<TTranslator> Translator;
    std::unique_ptr<TTestControl> Form;
    TTestControl* Next = nullptr;
    TTestCombo* Combo = nullptr;
    TTestNotebook* Notebook = nullptr;
    TTestControl* Page = nullptr;
    TTestGrid* Grid = nullptr;

private:
    TTranslationMessageHandler FPrevious = nullptr;
};

AnsiString Title(TTestGrid* grid, int i) { return static_cast<TTestColumn*>(grid->Columns()->Items(i))->Title(); }

} // namespace

TEST_F(ComponentTranslationTest, TheFormSwitchesToFrenchAndBackFromItsRecord)
{
    BuildForm();
    Translator->TranslateComponent(Form.get());
    EXPECT_EQ(Next->Caption(), "Volgende >");
    auto* marker = dynamic_cast<TTranslationMarker*>(Form->FindComponent("TranslationMarker"));
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(marker->AppliedLanguage, "nl");
    EXPECT_EQ(Translator->ActiveRetranslator, nullptr);

    Translator->ChooseLanguage("fr");
    Translator->RetranslateComponent(Form.get());
    EXPECT_EQ(Form->Caption(), "Langue");
    EXPECT_EQ(Next->Caption(), "Suivant >");
    EXPECT_EQ(Next->Hint(), u"Annuler");
    EXPECT_EQ(Combo->Items()->Text(), WideToAnsi(u"\u00C9l\u00E9ment un\r\n\r\n\u00C9l\u00E9ment deux\r\n"));
    EXPECT_EQ(Page->Caption(), "Colonne");
    EXPECT_EQ(Title(Grid, 0), "Colonne");
    EXPECT_EQ(Title(Grid, 1), "Onbekend");
    // Left alone: read-only and ignored properties, ignored classes and lists, names.
    EXPECT_EQ(Next->Version(), "Knop");
    EXPECT_EQ(Next->HelpKeyword(), "Hulp");
    EXPECT_EQ(Next->Font()->Name(), "Arial");
    EXPECT_EQ(Combo->Values()->Text(), "benl\r\nnl\r\n");
    EXPECT_EQ(Notebook->Pages()->Text(), "Taal\r\nKolom\r\n");
    EXPECT_EQ(Notebook->Name(), "Naam");
    EXPECT_EQ(marker->AppliedLanguage, "fr");

    // Texts set by the program in between are replaced by the record.
    Next->SetCaption("Bezig...");
    Translator->ChooseLanguage("nl");
    Translator->RetranslateComponent(Form.get());
    EXPECT_EQ(Form->Caption(), "Taal");
    EXPECT_EQ(Next->Caption(), "Volgende >");
    EXPECT_EQ(Next->Hint(), u"Annuleer");
    EXPECT_EQ(Combo->Items()->Text(), "Item een\r\n\r\nItem twee\r\n");
    EXPECT_EQ(Page->Caption(), "Kolom");
    EXPECT_EQ(Title(Grid, 0), "Kolom");
}

TEST_F(ComponentTranslationTest, TranslatingInTheCurrentLanguageWritesAtOnceAndRepeatsNothing)
{
    BuildForm();
    Translator->ChooseLanguage("fr");
    Translator->TranslateComponent(Form.get());
    EXPECT_EQ(Next->Caption(), "Suivant >");

    // The same language again: nothing is replayed, nothing reported.
    Next->SetCaption("Bezig...");
    Translator->RetranslateComponent(Form.get());
    Translator->TranslateComponent(Form.get());
    EXPECT_EQ(Next->Caption(), "Bezig...");
    EXPECT_TRUE(GMessages.empty());

    // TranslateComponent after a language change is a mistake: reported, nothing changes.
    Translator->ChooseLanguage("nl");
    Translator->TranslateComponent(Form.get());
    EXPECT_EQ(Next->Caption(), "Bezig...");
    ASSERT_EQ(GMessages.size(), 1u);
    EXPECT_EQ(GMessages[0].first, "Error");
    EXPECT_EQ(GMessages[0].second,
              "This application tried to switch the language, but in an incorrect way. The programmer needs to "
              "replace a call to TranslateComponent with a call to RetranslateComponent(). The programmer should "
              "see the change log of the translation unit for more information.");
    // Retranslating now restores the recorded source texts.
    Translator->ChooseLanguage("fr");
    Translator->RetranslateComponent(Form.get());
    EXPECT_EQ(Next->Caption(), "Suivant >");
}

TEST_F(ComponentTranslationTest, ReferencedObjectsAreWalkedOnceAndMarkedSubComponentsNotAgain)
{
    BuildForm();
    // Not owned by the form, only referenced, twice.
    TTestControl outside(nullptr, "outside", "Knop");
    Next->SetFocusTarget(&outside);
    Combo->SetFocusTarget(&outside);
    // A cycle back to the root costs nothing either.
    outside.SetFocusTarget(Form.get());

    // The grid was translated on its own first.
    Translator->TranslateComponent(Grid);
    Translator->TranslateComponent(Form.get());
    auto* marker = dynamic_cast<TTranslationMarker*>(Form->FindComponent("TranslationMarker"));
    ASSERT_NE(marker, nullptr);
    int outsideItems = 0, gridItems = 0;
    for (const TRetranslatorItem& item : marker->OwnRetranslator->Items) {
        outsideItems += item.Target == &outside;
        gridItems += item.Target == Grid || item.Target == Grid->Columns()->Items(0);
    }
    EXPECT_EQ(outsideItems, 1);
    EXPECT_EQ(gridItems, 0);

    Translator->ChooseLanguage("fr");
    Translator->RetranslateComponent(Form.get());
    EXPECT_EQ(outside.Caption(), "Bouton");
    EXPECT_EQ(Title(Grid, 0), "Kolom"); // has its own record
    Translator->RetranslateComponent(Grid);
    EXPECT_EQ(Title(Grid, 0), "Colonne");
}

TEST_F(ComponentTranslationTest, AFailingPropertyStopsTheWalkWithAnExplanation)
{
    BuildForm();
    new TTestFailing(Form.get(), "broken", "Taal");
    Translator->ChooseLanguage("fr");
    try {
        Translator->TranslateComponent(Form.get());
        FAIL() << "no error";
    } catch (const ETranslationComponentError& e) {
        EXPECT_EQ(e.Message(), "Property cannot be translated.\r\n"
                               "Add GlobalIgnoreClassProperty(TTestFailing,'Broken') to your source code or use\r\n"
                               "IgnoreProperty (self,'.Broken') to prevent this message.\r\n"
                               "Reason: the control is gone");
    }
    EXPECT_EQ(Form->FindComponent("TranslationMarker"), nullptr);
    EXPECT_EQ(Translator->ActiveRetranslator, nullptr);

    // Ignoring the property lets a later call start afresh and succeed.
    Translator->GlobalIgnoreClassProperty(&TTestFailing::ClassInfo(), "broken");
    Translator->TranslateComponent(Form.get());
    EXPECT_NE(Form->FindComponent("TranslationMarker"), nullptr);
}

TEST_F(ComponentTranslationTest, ABrokenCatalogIsReportedAsTheReasonOfTheFirstProperty)
{
    BuildForm();
    AnsiString folder = Program.Folder + "locale\\xx\\LC_MESSAGES\\";
    MakeFolders(folder);
    WriteBytes(folder + "default.mo", TBytes(64, 'x'));
    Translator->ChooseLanguage("xx");
    try {
        Translator->TranslateComponent(Form.get());
        FAIL() << "no error";
    } catch (const ETranslationComponentError& e) {
        EXPECT_EQ(e.Message(), "Property cannot be translated.\r\n"
                               "Add GlobalIgnoreClassProperty(TTestControl,'Caption') to your source code or use\r\n"
                               "IgnoreProperty (self,'.Caption') to prevent this message.\r\n"
                               "Reason: This file is not a valid GNU gettext mo file: " +
                                   folder + "default.mo");
    }
}

TEST_F(ComponentTranslationTest, RetranslatingAnUntranslatedComponentIsAProgrammingError)
{
    BuildForm();
    try {
        Translator->RetranslateComponent(Form.get());
        FAIL() << "no error";
    } catch (const ETranslationProgrammingError& e) {
        EXPECT_EQ(e.Message(), "Retranslate was called on an object that has not been translated before. Please use "
                               "TranslateComponent() before RetranslateComponent().");
    }
}

TEST(GlobalIgnoreList, ClassesStandBeforeTheirAncestorsAndMistakesAreRefused)
{
    AnsiString dir = FreshFolder("ignore-list");
    TFileLocator locator(dir + "Setup.exe");
    TTranslator translator(locator);
    // The wizard's registrations, with stand-in classes.
    translator.GlobalIgnoreClassProperty(&TTestAction::ClassInfo(), "Category");
    translator.GlobalIgnoreClassProperty(&TTestControl::ClassInfo(), "HelpKeyword");
    translator.GlobalIgnoreClassProperty(&TTestNotebook::ClassInfo(), "Pages");
    translator.GlobalIgnoreClassProperty(&TTestControl::ClassInfo(), "ImeName");
    translator.GlobalIgnoreWholeClass(&TTestFont::ClassInfo());
    translator.GlobalIgnoreClassProperty(&TTestHttp::ClassInfo(), "Request");
    translator.GlobalIgnoreClassProperty(&TTestZip::ClassInfo(), "Language");
    translator.GlobalIgnoreClassProperty(&TTestCombo::ClassInfo(), "Values");
    translator.GlobalIgnoreClassProperty(&TTestControl::ClassInfo(), "imename"); // again: once

    std::vector<std::string> order;
    for (const auto& mode : translator.GlobalClassModes) {
        std::string entry = mode->IgnoredClass->Name;
        for (const AnsiString& p : mode->IgnoredProperties)
            entry += " " + p;
        order.push_back(entry);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"TTestAction CATEGORY", "TTestNotebook PAGES", "TTestCombo VALUES",
                                               "TTestControl HELPKEYWORD IMENAME", "TTestHttp REQUEST",
                                               "TTestZip LANGUAGE", "TComponent NAME", "TCollection PROPNAME",
                                               "TTestFont"}));

    try {
        translator.GlobalIgnoreWholeClass(&TTestFont::ClassInfo());
        FAIL() << "no error";
    } catch (const ETranslationProgrammingError& e) {
        EXPECT_EQ(e.Message(), "You cannot add a class to the ignore list that is already on that list: TTestFont. "
                               "You should keep all GlobalIgnore functions in one place in your source code.");
    }
    // A property for a wholly ignored class narrows it to that property.
    translator.GlobalIgnoreClassProperty(&TTestFont::ClassInfo(), "Name");
    EXPECT_EQ(translator.GlobalClassModes.back()->IgnoredProperties.size(), 1u);

    translator.GlobalClassModes.front()->Handler = [](TObject*) {};
    try {
        translator.GlobalIgnoreClassProperty(&TTestAction::ClassInfo(), "Caption");
        FAIL() << "no error";
    } catch (const ETranslationProgrammingError& e) {
        EXPECT_EQ(e.Message(), "You cannot ignore a class property for a class that has a handler set.");
    }
}
