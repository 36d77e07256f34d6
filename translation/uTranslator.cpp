#include "uTranslator.h"

#include "platform/uLocale.h"
#include "platform/uMessageBox.h"
#include "platform/uSystem.h"
#include "platform/uThreads.h"
#include "runtime/uSysUtils.h"

#include <cstdlib>

namespace {

// --- plural rules: n is |count|, u = n mod 10, w = n mod 100 ----------------

unsigned Abs(int count) { return count < 0 ? 0u - unsigned(count) : unsigned(count); }

int RuleOneOther(int c) { return Abs(c) == 1 ? 0 : 1; }
int RuleSingleForm(int) { return 0; }
int RuleZeroOneOther(int c) { return Abs(c) <= 1 ? 0 : 1; }

int RuleLatvian(int c)
{
    unsigned n = Abs(c), u = n % 10, w = n % 100;
    return u == 1 && w != 11 ? 0 : n != 0 ? 1 : 2;
}

int RuleIrish(int c)
{
    unsigned n = Abs(c);
    return n == 1 ? 0 : n == 2 ? 1 : 2;
}

int RuleLithuanian(int c)
{
    unsigned n = Abs(c), u = n % 10, w = n % 100;
    return u == 1 && w != 11 ? 0 : u >= 2 && (w < 10 || w >= 20) ? 1 : 2;
}

int RuleSlavic(int c)
{
    unsigned n = Abs(c), u = n % 10, w = n % 100;
    return u == 1 && w != 11 ? 0 : u >= 2 && u <= 4 && (w < 10 || w >= 20) ? 1 : 2;
}

// The singular is for exactly one: "21 plików" takes the third form, not the first.
int RulePolish(int c)
{
    unsigned n = Abs(c), u = n % 10, w = n % 100;
    return n == 1 ? 0 : u >= 2 && u <= 4 && (w < 10 || w >= 20) ? 1 : 2;
}

int RuleSlovenian(int c)
{
    unsigned w = Abs(c) % 100;
    return w == 1 ? 0 : w == 2 ? 1 : w == 3 || w == 4 ? 2 : 3;
}

// Catalogs are written with bare line feeds; the program's texts use CR LF.
Utf8String WithoutCarriageReturns(Utf8String text)
{
    std::erase(text, '\r');
    return text;
}

Utf8String WithWindowsLineEnds(const Utf8String& text)
{
    Utf8String result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            result += '\r';
        result += text[i];
    }
    return result;
}

TTranslationMessageHandler GMessageHandler = nullptr;

} // namespace

TPluralRule PluralRuleFor(const AnsiString& code)
{
    AnsiString prefix = LowerCase(code.substr(0, 2));
    auto any = [&](std::initializer_list<const char*> names) {
        for (const char* n : names)
            if (prefix == n)
                return true;
        return false;
    };
    if (any({"en", "de"}))
        return RuleOneOther;
    if (any({"hu", "ko", "zh", "ja", "tr"}))
        return RuleSingleForm;
    if (any({"fr", "fa"}) || LowerCase(code) == "pt_br")
        return RuleZeroOneOther;
    if (prefix == "lv")
        return RuleLatvian;
    if (prefix == "ga")
        return RuleIrish;
    if (prefix == "lt")
        return RuleLithuanian;
    if (any({"ru", "cs", "sk", "uk", "hr"}))
        return RuleSlavic;
    if (prefix == "pl")
        return RulePolish;
    if (prefix == "sl")
        return RuleSlovenian;
    return RuleOneOther;
}

AnsiString DetectOSLanguage()
{
    AnsiString language, country;
    int languageCount = 0, countryCount = 0;
    platform::UserLocaleIsoNames(language, languageCount, country, countryCount);
    if (languageCount == 3 && countryCount == 3)
        return (language == "no" ? AnsiString("nb") : language) + "_" + country;
    struct TLocaleCode {
        unsigned Id;
        const char* Code;
    };
    static constexpr TLocaleCode table[] = {
        {0x0406, "da_DK"}, {0x0407, "de_DE"}, {0x0408, "el_GR"}, {0x0409, "en_US"}, {0x040A, "es_ES"},
        {0x0C0A, "es_ES"}, {0x040B, "fi_FI"}, {0x040C, "fr_FR"}, {0x040F, "is_IS"}, {0x0410, "it_IT"},
        {0x0412, "ko_KO"}, {0x0413, "nl_NL"}, {0x0414, "nb_NO"}, {0x0415, "pl_PL"}, {0x0416, "pt_BR"},
        {0x0419, "ru_RU"}, {0x041D, "sv_SE"}, {0x0809, "en_GB"}, {0x080C, "fr_BE"}, {0x0813, "nl_BE"},
        {0x0814, "nn_NO"}, {0x0816, "pt_PT"}, {0x081D, "sv_FI"}, {0x0C0C, "fr_CA"}, {0x1007, "de_LU"},
    };
    unsigned id = platform::ThreadLocaleId() & 0xFFFF; // the language part; the sort order does not matter
    for (const TLocaleCode& entry : table)
        if (entry.Id == id)
            return entry.Code;
    return "C";
}

TTranslationMessageHandler SetTranslationMessageHandler(TTranslationMessageHandler handler)
{
    return std::exchange(GMessageHandler, handler);
}

void ShowTranslationMessage(const AnsiString& caption, const AnsiString& text)
{
    if (GMessageHandler)
        GMessageHandler(caption, text);
    else
        platform::ShowOkMessageBox(caption, text);
}

// --- TDomain -----------------------------------------------------------------

TDomain::TDomain(TTranslator& owner, AnsiString domainName) : DomainName(std::move(domainName)), FOwner(owner) {}

TDomain::~TDomain() { CloseCatalog(); }

void TDomain::ChangeDirectory(const AnsiString& directory)
{
    Directory = IncludeTrailingBackslash(directory);
    CloseCatalog();
}

void TDomain::ChangeLanguage(const AnsiString& code)
{
    CloseCatalog();
    LanguageCode = code;
}

void TDomain::CloseCatalog()
{
    if (Catalog)
        FOwner.Locator().ReleaseCatalog(std::exchange(Catalog, nullptr));
    OpenFailed = false;
}

void TDomain::OpenCatalog()
{
    TFileLocator& locator = FOwner.Locator();
    auto pathFor = [&](const AnsiString& code) { return Directory + code + "\\LC_MESSAGES\\" + DomainName + ".mo"; };
    auto present = [&](const AnsiString& path) { return locator.IsEmbeddedFile(path) || FileExists(path); };
    AnsiString path = pathFor(LanguageCode);
    if (!present(path))
        path = pathFor(LanguageCode.substr(0, 2)); // "fr_BE" falls back to "fr"
    if (!present(path)) {
        OpenFailed = true;
        return;
    }
    Catalog = locator.AcquireCatalog(path);
    if (UpperCase(WideToAnsi(HeaderField("Content-Type"))).find("CHARSET=UTF-8") == AnsiString::npos) {
        CloseCatalog();
        Enabled = false;
        ShowTranslationMessage("Localization problem", "The translation for the language code " + LanguageCode +
                                                           " (in " + path +
                                                           ") does not have charset=utf-8 in its Content-Type. "
                                                           "Translations are turned off.");
    }
}

Utf8String TDomain::LookupText(std::string_view msgid)
{
    if (!Enabled)
        return Utf8String(msgid);
    if (!Catalog && !OpenFailed)
        OpenCatalog();
    if (Catalog)
        return Catalog->Lookup(msgid);
    return Utf8String(msgid);
}

WideString TDomain::HeaderField(const AnsiString& name)
{
    Utf8String header = LookupText("");
    AnsiString key = UpperCase(name) + ": ";
    size_t start = 0;
    while (start <= header.size()) {
        size_t end = header.find_first_of("\r\n", start);
        if (end == Utf8String::npos)
            end = header.size();
        std::string_view line(header.data() + start, end - start);
        if (line.size() >= key.size() && UpperCase(line.substr(0, key.size())) == key) {
            std::string_view value = line.substr(key.size());
            while (!value.empty() && static_cast<unsigned char>(value.front()) <= 32)
                value.remove_prefix(1);
            while (!value.empty() && static_cast<unsigned char>(value.back()) <= 32)
                value.remove_suffix(1);
            return Utf8ToWide(value);
        }
        if (end == header.size())
            break;
        start = end + (header[end] == '\r' && end + 1 < header.size() && header[end + 1] == '\n' ? 2 : 1);
    }
    return {};
}

// --- TTranslator -------------------------------------------------------------

TTranslator::TTranslator(TFileLocator& locator) : FLocator(locator)
{
    CreatorThreadId = platform::CurrentThreadId();
    SourceCodePage = 0;
    PluralRule = RuleOneOther;
    CurrentDomain = "default";
    BaseDomainDirectory = ExtractFilePath(FLocator.ExecutableFileName()) + "locale";
    ChooseLanguage("");
    BindDomainDirectory("default", BaseDomainDirectory);
    SetCurrentDomain("default");
    GlobalIgnoreClassProperty(&TComponent::ClassInfo(), "Name");
    GlobalIgnoreClassProperty(&TCollection::ClassInfo(), "PropName");
}

// Domains go first: they hand their catalogs back to the locator.
TTranslator::~TTranslator() { Domains.clear(); }

WideString TTranslator::Widen(const AnsiString& text) const
{
    if (text.empty())
        return {};
    if (SourceCodePage == 0)
        return AnsiToWide(text);
    WideString wide;
    if (!platform::TryMultiByteToWide(text, SourceCodePage, wide))
        throw ETranslationConvError("Cannot convert string to widestring:\r\n" + text);
    return wide;
}

WideString TTranslator::Translate(const AnsiString& msgid) { return TranslateInDomain(CurrentDomain, msgid); }
WideString TTranslator::Translate(const WideString& msgid) { return TranslateInDomain(CurrentDomain, msgid); }

WideString TTranslator::TranslatePlural(const AnsiString& singular, const AnsiString& plural, int count)
{
    return TranslatePluralInDomain(CurrentDomain, singular, plural, count);
}

WideString TTranslator::TranslatePlural(const WideString& singular, const WideString& plural, int count)
{
    return TranslatePluralInDomain(CurrentDomain, singular, plural, count);
}

WideString TTranslator::TranslateInDomain(const AnsiString& domain, const AnsiString& msgid)
{
    return TranslateInDomain(domain, Widen(msgid));
}

WideString TTranslator::TranslateInDomain(const AnsiString& domain, const WideString& msgid)
{
    TDomain* d = FindOrCreateDomain(domain);
    return Utf8ToWide(WithWindowsLineEnds(d->LookupText(WithoutCarriageReturns(WideToUtf8(msgid)))));
}

WideString TTranslator::TranslatePluralInDomain(const AnsiString& domain, const AnsiString& singular,
                                                const AnsiString& plural, int count)
{
    return TranslatePluralInDomain(domain, Widen(singular), Widen(plural), count);
}

WideString TTranslator::TranslatePluralInDomain(const AnsiString& domain, const WideString& singular,
                                                const WideString& plural, int count)
{
    WideString key = singular + u'\0' + plural;
    WideString t = TranslateInDomain(domain, key);
    // "No entry" means the key came back; compare it with the line ends the
    // lookup gives every result, or an untranslated text with a bare line
    // feed would pass for a translation.
    bool untranslated = t == Utf8ToWide(WithWindowsLineEnds(WithoutCarriageReturns(WideToUtf8(key))));
    int index = untranslated ? RuleOneOther(count) : PluralRule(count);
    size_t start = 0;
    for (int part = 0;; ++part) {
        size_t end = t.find(u'\0', start);
        if (part == index || end == WideString::npos)
            return t.substr(start, end == WideString::npos ? WideString::npos : end - start);
        start = end + 1;
    }
}

void TTranslator::ChooseLanguage(const AnsiString& code)
{
    AnsiString language = code;
    if (language.empty()) {
        language = platform::GetEnvVar("LANG");
        if (language.empty())
            language = DetectOSLanguage();
        language = language.substr(0, language.find('.'));
    }
    CurrentLanguage = language;
    for (auto& domain : Domains)
        domain->ChangeLanguage(language);
    PluralRule = PluralRuleFor(language);
    LanguageChanged(language);
}

TDomain* TTranslator::FindOrCreateDomain(const AnsiString& domain)
{
    for (auto& d : Domains)
        if (SameText(d->DomainName, domain))
            return d.get();
    auto d = std::make_unique<TDomain>(*this, domain);
    d->Directory = IncludeTrailingBackslash(BaseDomainDirectory);
    d->LanguageCode = CurrentLanguage;
    Domains.push_back(std::move(d));
    return Domains.back().get();
}

void TTranslator::BindDomainDirectory(const AnsiString& domain, const AnsiString& directory)
{
    FindOrCreateDomain(domain)->ChangeDirectory(IncludeTrailingBackslash(directory));
    DirectoryChanged(domain, directory);
}

void TTranslator::SetCurrentDomain(const AnsiString& domain)
{
    CurrentDomain = domain;
    DomainChanged(domain);
}
