// The wizard in French: after "Français" on the first page every text of the
// form that the French catalog knows reads French on its control, as the
// catalog source says; the rest, and the variant codes, stay as designed.
#include "setup/ufrmMain.h"
#include "tests/setup/uWizardPictures.h"
#include "tests/ui/uUiTestKit.h"
#include "translation/uTranslator.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>

namespace {

// msgid -> msgstr of the catalog source, in the ANSI code page like the form.
std::map<AnsiString, AnsiString> FrenchCatalog()
{
    const char* source = std::getenv("KORVANT_SOURCE_DIR");
    std::ifstream in(std::string(source ? source : ".") + "/translation/locale/fr/LC_MESSAGES/default.po");
    std::map<AnsiString, AnsiString> catalog;
    std::string line, id, str, *current = nullptr;
    auto unquote = [](const std::string& s) {
        std::string out;
        for (size_t i = s.find('"') + 1; i < s.size() && s[i] != '"'; ++i)
            if (s[i] == '\\' && i + 1 < s.size()) {
                char c = s[++i];
                out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
            } else {
                out += s[i];
            }
        return out;
    };
    auto flush = [&] {
        if (!id.empty())
            catalog[WideToAnsi(Utf8ToWide(id))] = WideToAnsi(Utf8ToWide(str));
        id.clear();
        str.clear();
    };
    while (std::getline(in, line)) {
        if (line.rfind("msgid ", 0) == 0) {
            flush();
            id = unquote(line);
            current = &id;
        } else if (line.rfind("msgstr ", 0) == 0) {
            str = unquote(line);
            current = &str;
        } else if (!line.empty() && line[0] == '"' && current) {
            *current += unquote(line);
        }
    }
    flush();
    return catalog;
}

// Every text a person can meet on the form: captions and texts of the
// controls (pages included), and the items of the lists.
struct TShownText {
    std::string Where;
    std::function<AnsiString()> Read;
};

void CollectTexts(TComponent* owner, std::vector<TShownText>& texts)
{
    for (int i = 0; i < owner->ComponentCount(); ++i) {
        TComponent* c = owner->Components(i);
        if (auto* control = dynamic_cast<TControl*>(c)) {
            const std::string name = c->Name().empty() ? c->ClassName() + "#" + std::to_string(i) : c->Name();
            texts.push_back({name, [control] { return control->Text(); }});
            if (auto* win = dynamic_cast<TWinControl*>(control); win && win->HandleAllocated()) {
                // What the window shows must be what the control holds.
                if (dynamic_cast<TComboBox*>(win) == nullptr)
                    texts.push_back({name + " (window)", [win] { return WindowText(win->Handle()); }});
            }
            if (auto* list = dynamic_cast<TComboBox*>(control))
                for (int item = 0; item < list->Items()->Count(); ++item)
                    texts.push_back({name + "[" + std::to_string(item) + "]",
                                     [list, item] { return list->Items()->Get(item); }});
        }
        CollectTexts(c, texts);
    }
}

class French : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        EnsureTranslationIgnores();
    }
    void SetUp() override
    {
        Application->SetTitle("Korvant Setup");
        form = std::make_unique<TfrmMain>(nullptr);
        form->ShowForm();
        Application->ProcessMessages();
        CollectTexts(form.get(), texts);
        for (const TShownText& t : texts)
            designed.push_back(t.Read());
    }
    void TearDown() override
    {
        form.reset();
        ChooseLanguage("nl");
        Application->ProcessMessages();
    }
    void Next()
    {
        SendMessageA(form->btNEXT->Handle(), BM_CLICK, 0, 0);
        Application->ProcessMessages();
    }
    void ChooseFrench()
    {
        SendMessageA(form->rbFRANS->Handle(), BM_CLICK, 0, 0);
        Application->ProcessMessages();
        ASSERT_TRUE(form->rbFRANS->Checked());
        Next();
    }
    void ExpectAsDesigned()
    {
        for (size_t i = 0; i < texts.size(); ++i)
            EXPECT_EQ(texts[i].Read(), designed[i]) << texts[i].Where;
    }

    std::unique_ptr<TfrmMain> form;
    std::vector<TShownText> texts;
    std::vector<AnsiString> designed;
    const std::map<AnsiString, AnsiString> catalog = FrenchCatalog();
};

TEST_F(French, EveryTextTheCatalogKnowsTurnsFrench)
{
    ASSERT_GT(catalog.size(), 60u);
    const AnsiString zipLanguage = form->ZipArchive->Language();
    ChooseFrench();
    EXPECT_EQ(form->PageIndex(), 1);

    int translated = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        auto entry = catalog.find(designed[i]);
        const AnsiString expected = entry == catalog.end() ? designed[i] : entry->second;
        EXPECT_EQ(texts[i].Read(), expected) << texts[i].Where << " designed as \"" << designed[i] << "\"";
        translated += entry != catalog.end() && expected != designed[i];
    }
    // Captions, labels, list items and page captions all took part.
    EXPECT_GT(translated, 40);
    EXPECT_EQ(form->btNEXT->Caption(), "Suivant >");
    EXPECT_EQ(form->btCANCEL->Caption(), "&Annuler");
    EXPECT_EQ(form->GegevensType->Items()->Get(0), "Version Belgique (Flamand)");
    EXPECT_EQ(form->Notebook1->Page(0)->Caption(), "SelectLanguel");

    // The codes behind the variants are never translated.
    ASSERT_EQ(form->GegevensType->Values()->Count(), 3);
    EXPECT_EQ(form->GegevensType->Values()->Get(0), "benl");
    EXPECT_EQ(form->GegevensType->Values()->Get(1), "nl");
    EXPECT_EQ(form->GegevensType->Values()->Get(2), "befr");
    EXPECT_EQ(form->ZipArchive->Language(), zipLanguage);
}

TEST_F(French, CancelAsksInFrench)
{
    ChooseFrench();
    TModalScript script{mrNo};
    SendMessageA(form->btCANCEL->Handle(), BM_CLICK, 0, 0);
    Application->ProcessMessages();
    ASSERT_EQ(script.Requests.size(), 1u);
    EXPECT_EQ(script.Requests[0].Caption, "AVERTISSEMENT");
    EXPECT_EQ(script.Requests[0].Text,
              catalog.at("De installatie is niet voltooid.") + "\r" + catalog.at("Bent u zeker ?"));
    EXPECT_EQ(form->PageIndex(), 1);
}

TEST_F(French, DutchKeepsEveryTextAsDesigned)
{
    Next(); // "Nederlands" is checked from the start
    EXPECT_EQ(form->PageIndex(), 1);
    ExpectAsDesigned();
    EXPECT_EQ(WideToAnsi(TranslateText(u"WAARSCHUWING")), "WAARSCHUWING");
}

TEST_F(French, BackToDutchRestoresTheDesign)
{
    ChooseFrench();
    ChooseLanguage("nl");
    RetranslateComponent(form.get());
    ExpectAsDesigned();
}

TEST_F(French, EachPageIsPicturedInFrench)
{
    ChooseFrench();
    PictureEveryPage(*form, "-fr");
}

} // namespace
