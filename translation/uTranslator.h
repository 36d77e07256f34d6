#pragma once
// The translation engine: texts written in the program's source language
// (Dutch) are looked up in the message catalog of the current language.
// Texts are grouped in domains; each domain finds its catalog under
// <directory>\<language>\LC_MESSAGES\<domain>.mo, served from inside the
// executable when the catalog is embedded there. Texts pass the engine as
// UTF-16; catalogs hold UTF-8. A text without an entry comes back unchanged.
//
// The same engine translates whole component trees over their published
// properties and records what it saw, so a form can switch languages in
// either direction without being rebuilt.
#include "uFileLocator.h"
#include "uTranslationErrors.h"

#include "runtime/uClasses.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <vector>

class TTranslator;

class TDomain : public TObject {
    RT_CLASS(TDomain, TObject)
public:
    TDomain(TTranslator& owner, AnsiString domainName);
    ~TDomain() override;
    TDomain(const TDomain&) = delete;
    TDomain& operator=(const TDomain&) = delete;

    void ChangeDirectory(const AnsiString& directory);
    void ChangeLanguage(const AnsiString& code);
    void CloseCatalog();
    // UTF-8 in, UTF-8 out; the msgid itself when there is no entry.
    Utf8String LookupText(std::string_view msgid);
    // A field of the catalog header ("Content-Type"), empty when absent.
    WideString HeaderField(const AnsiString& name);

    AnsiString DomainName;
    AnsiString Directory; // always ends in a backslash
    AnsiString LanguageCode;
    TMoFile* Catalog = nullptr;
    bool OpenFailed = false; // nothing found for this directory and language
    bool Enabled = true;     // false for good once the character-set check failed

private:
    void OpenCatalog();

    TTranslator& FOwner;
};

// One global ignore entry: a class, and either the names of its properties to
// leave alone or (no names) the whole class.
class TClassMode : public TObject {
    RT_CLASS(TClassMode, TObject)
public:
    struct TUpperLess {
        bool operator()(const AnsiString& a, const AnsiString& b) const;
    };
    TClass IgnoredClass = nullptr;
    std::set<AnsiString, TUpperLess> IgnoredProperties;
    std::function<void(TObject*)> Handler;
};

class TExecutable : public TObject {
    RT_CLASS(TExecutable, TObject)
public:
    virtual void Execute() = 0;
};

struct TRetranslatorItem {
    TObject* Target = nullptr; // not owned
    AnsiString PropertyName;   // "Text" for a string list
    WideString SourceText;     // as it was before the first walk touched it
};

// The record of one component walk, replayed after a language change.
class TRetranslator : public TExecutable {
    RT_CLASS(TRetranslator, TExecutable)
public:
    explicit TRetranslator(TTranslator* owner) : Owner(owner) {}
    void Execute() override;
    void Remember(TObject* target, const AnsiString& propertyName, const WideString& sourceText);

    TTranslator* Owner;
    AnsiString DomainName;
    std::vector<TRetranslatorItem> Items;
};

// Left inside every translated component, owned by it: the language applied
// last and the record to replay.
class TTranslationMarker : public TComponent {
    RT_CLASS(TTranslationMarker, TComponent)
public:
    static constexpr const char* MarkerName = "TranslationMarker";
    explicit TTranslationMarker(TComponent* owner) : TComponent(owner) {}

    AnsiString AppliedLanguage;
    std::unique_ptr<TRetranslator> OwnRetranslator;
};

using TPluralRule = int (*)(int count);

class TTranslator : public TObject {
    RT_CLASS(TTranslator, TObject)
public:
    // Catalogs come through `locator`, under the "locale" folder beside its
    // executable. Detects the start language from LANG or the user's locale.
    explicit TTranslator(TFileLocator& locator);
    ~TTranslator() override;
    TTranslator(const TTranslator&) = delete;
    TTranslator& operator=(const TTranslator&) = delete;

    virtual WideString Translate(const AnsiString& msgid);
    virtual WideString Translate(const WideString& msgid);
    virtual WideString TranslatePlural(const AnsiString& singular, const AnsiString& plural, int count);
    virtual WideString TranslatePlural(const WideString& singular, const WideString& plural, int count);
    virtual WideString TranslateInDomain(const AnsiString& domain, const AnsiString& msgid);
    virtual WideString TranslateInDomain(const AnsiString& domain, const WideString& msgid);
    virtual WideString TranslatePluralInDomain(const AnsiString& domain, const AnsiString& singular,
                                               const AnsiString& plural, int count);
    virtual WideString TranslatePluralInDomain(const AnsiString& domain, const WideString& singular,
                                               const WideString& plural, int count);
    virtual void LanguageChanged(const AnsiString& code) {}
    virtual void DomainChanged(const AnsiString& domain) {}
    virtual void DirectoryChanged(const AnsiString& domain, const AnsiString& directory) {}

    // An empty code detects the language; a given code is used exactly as given.
    void ChooseLanguage(const AnsiString& code);
    TDomain* FindOrCreateDomain(const AnsiString& domain);
    void BindDomainDirectory(const AnsiString& domain, const AnsiString& directory);
    void SetCurrentDomain(const AnsiString& domain);

    // --- component translation ----------------------------------------------
    void GlobalIgnoreClassProperty(TClass cls, const AnsiString& propertyName);
    void GlobalIgnoreWholeClass(TClass cls);
    void TranslateComponent(TComponent* component, const AnsiString& domain = "");
    void RetranslateComponent(TComponent* component);
    // Lines of a string list, each translated; the list keeps its objects.
    void TranslateLines(TStrings& list, const AnsiString& domain);

    TFileLocator& Locator() const { return FLocator; }
    AnsiString ExecutableFileName() const { return FLocator.ExecutableFileName(); }

    std::uint32_t CreatorThreadId = 0;
    unsigned SourceCodePage = 0; // 0: the system's ANSI code page
    TPluralRule PluralRule = nullptr;
    AnsiString CurrentDomain;
    AnsiString CurrentLanguage;
    AnsiString BaseDomainDirectory;
    std::vector<std::unique_ptr<TDomain>> Domains;

    std::vector<std::unique_ptr<TClassMode>> GlobalClassModes;
    std::vector<std::unique_ptr<TClassMode>> CallClassModes; // per walk
    std::set<AnsiString> CallIgnoreList;                      // per walk: OBJECTNAME.PROPERTYNAME
    TRetranslator* ActiveRetranslator = nullptr;

private:
    friend class TDomain;
    friend class TRetranslator;
    WideString Widen(const AnsiString& text) const;
    void WalkAndTranslate(TObject* root, AnsiString domain);
    void TranslateOneProperty(TObject& object, const TPropInfo& prop, const AnsiString& domain,
                              std::vector<std::pair<TObject*, AnsiString>>& queue);

    TFileLocator& FLocator;
};

// The plural rule of a language code ("fr_BE", "pt_BR"...).
TPluralRule PluralRuleFor(const AnsiString& code);
// The user's language as the operating system names it ("fr_BE"), or "C".
AnsiString DetectOSLanguage();

// --- the program's one translator and its start-up ---------------------------

// The running program's path as the start-up recorded it; empty before.
AnsiString ExecutableFileName();
extern TFileLocator* FileLocator;
extern TTranslator* DefaultTranslator;

// Runs the start-up once: executable path, embedded catalogs, translator,
// resource-string redirection. Programs get it before their entry point by
// linking the translation_startup object (korvant_embed_catalogs in
// translation/CMakeLists.txt does that); the calls below
// start it on first use otherwise. `tableOffset` overrides the patched field.
void InitializeTranslation();
void InitializeTranslation(const AnsiString& executableFileName, std::uint64_t tableOffset);
void FinalizeTranslation();

void ChooseLanguage(const AnsiString& code);
WideString TranslateText(const WideString& text);
void GlobalIgnoreClassProperty(TClass cls, const AnsiString& propertyName);
void GlobalIgnoreWholeClass(TClass cls);
void TranslateComponent(TComponent* component, const AnsiString& domain = "");
void RetranslateComponent(TComponent* component);

// Where configuration problems are reported (a message box by default), so
// that tests can read them instead.
using TTranslationMessageHandler = void (*)(const AnsiString& caption, const AnsiString& text);
TTranslationMessageHandler SetTranslationMessageHandler(TTranslationMessageHandler handler);
void ShowTranslationMessage(const AnsiString& caption, const AnsiString& text);

// The runtime's own texts, passed through the resource-string domains
// ("default"). Installed by the start-up as the runtime's loader hook.
AnsiString TranslateResourceString(const AnsiString& text);
