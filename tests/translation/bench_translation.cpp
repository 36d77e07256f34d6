// Prints how fast catalogs answer: raw lookups in the mapped French catalog,
// whole translations through the engine, and a walk over a large form.
//   scripts/wine-run build/tests/translation_bench.exe
#include "TestSupport.h"

#include "translation/uTranslator.h"

#include <chrono>
#include <cstdio>

namespace {

class TBenchControl : public TComponent {
    RT_PUBLISHED(TBenchControl, TComponent,
                 StrProp<&TBenchControl::Caption, &TBenchControl::SetCaption>("Caption"))
public:
    using TComponent::TComponent;
    AnsiString Caption() const { return FCaption; }
    void SetCaption(const AnsiString& v) { FCaption = v; }

private:
    AnsiString FCaption;
};

template <class F> double Seconds(F&& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    AnsiString catalogPath = BuildPath("translation/locale/fr/LC_MESSAGES/default.mo");
    auto pairs = ReadPoPairs(SourcePath("translation/locale/fr/LC_MESSAGES/default.po"));
    TMoFile catalog(catalogPath, 0, 0);

    const int rounds = 20000;
    size_t sink = 0;
    double raw = Seconds([&] {
        for (int r = 0; r < rounds; ++r)
            for (const auto& p : pairs)
                sink += catalog.Lookup(p.first).size();
    });
    std::printf("MO lookup, French catalog:   %8.0f lookups/s (%zu entries)\n", rounds * pairs.size() / raw,
                pairs.size());

    TProgram program = MakeProgram("bench", {{"locale\\fr\\lc_messages\\default.mo", ReadBytes(catalogPath)}});
    TFileLocator locator(program.Path);
    locator.ScanEmbeddedTable(program.Table);
    TTranslator translator(locator);
    translator.ChooseLanguage("fr");
    std::vector<WideString> texts;
    for (const auto& p : pairs)
        texts.push_back(Utf8ToWide(p.first));
    double engine = Seconds([&] {
        for (int r = 0; r < rounds / 10; ++r)
            for (const WideString& t : texts)
                sink += translator.Translate(t).size();
    });
    std::printf("TranslateText, French:       %8.0f texts/s\n", rounds / 10 * texts.size() / engine);

    TComponent form(nullptr);
    for (int i = 0; i < 5000; ++i)
        (new TBenchControl(&form))->SetCaption(pairs[i % pairs.size()].first);
    translator.ChooseLanguage("nl");
    double walk = Seconds([&] { translator.TranslateComponent(&form); });
    translator.ChooseLanguage("fr");
    double replay = Seconds([&] { translator.RetranslateComponent(&form); });
    std::printf("Form of 5000 controls:       walk %.1f ms, replay to French %.1f ms\n", walk * 1000, replay * 1000);
    return sink == 0;
}
