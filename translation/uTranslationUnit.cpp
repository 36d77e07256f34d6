// The program's one translator: start-up, shutdown, the global calls the
// wizard makes, and the redirection of the runtime's own texts.
#include "uTranslator.h"

#include "platform/uSystem.h"
#include "platform/uThreads.h"
#include "runtime/uResStrings.h"

#include <mutex>
#include <shared_mutex>

// Plain pointers only: they must still be valid while static objects are
// destroyed at exit, whatever the order.
TFileLocator* FileLocator = nullptr;
TTranslator* DefaultTranslator = nullptr;

namespace {

// Domains searched for the runtime's texts; fixed after start-up, so only
// the reader side of the lock is ever taken.
std::vector<AnsiString>* ResourceStringDomains = nullptr;
std::shared_mutex* ResourceStringLock = nullptr;

AnsiString ResStringHook(const TResString& res, const AnsiString& loaded)
{
    // String-table ids are 16 bits; anything larger is not a real resource.
    if (res.Id >= 65536)
        return "ERROR";
    // Loading by record translates on the translator's own thread only.
    TTranslator* translator = DefaultTranslator;
    if (!translator || platform::CurrentThreadId() != translator->CreatorThreadId)
        return loaded;
    return TranslateResourceString(loaded);
}

TTranslator& Translator()
{
    if (!DefaultTranslator)
        InitializeTranslation();
    return *DefaultTranslator;
}

} // namespace

AnsiString TranslateResourceString(const AnsiString& text)
{
    std::shared_mutex* lock = ResourceStringLock;
    TTranslator* translator = DefaultTranslator;
    if (text.empty() || !lock || !translator)
        return text;
    std::shared_lock guard(*lock);
    WideString original = AnsiToWide(text);
    WideString result = original;
    for (const AnsiString& domain : *ResourceStringDomains) {
        result = translator->TranslateInDomain(domain, original);
        if (result != original)
            break;
    }
    return WideToAnsi(result);
}

void InitializeTranslation()
{
    InitializeTranslation(platform::ModuleFileName(), PatchTableOffset());
}

void InitializeTranslation(const AnsiString& executableFileName, std::uint64_t tableOffset)
{
    if (DefaultTranslator)
        FinalizeTranslation();
    auto locator = std::make_unique<TFileLocator>(executableFileName);
    locator->ScanEmbeddedTable(tableOffset);
    ResourceStringDomains = new std::vector<AnsiString>{"default"};
    ResourceStringLock = new std::shared_mutex;
    try {
        DefaultTranslator = new TTranslator(*locator);
    } catch (...) {
        FinalizeTranslation();
        throw;
    }
    FileLocator = locator.release();
    SetResStringHook(ResStringHook);
}

void FinalizeTranslation()
{
    delete std::exchange(DefaultTranslator, nullptr);
    delete std::exchange(ResourceStringLock, nullptr);
    delete std::exchange(ResourceStringDomains, nullptr);
    SetResStringHook(nullptr);
    delete std::exchange(FileLocator, nullptr);
}

AnsiString ExecutableFileName() { return FileLocator ? FileLocator->ExecutableFileName() : AnsiString(); }

void ChooseLanguage(const AnsiString& code) { Translator().ChooseLanguage(code); }
WideString TranslateText(const WideString& text) { return Translator().Translate(text); }
void GlobalIgnoreClassProperty(TClass cls, const AnsiString& propertyName)
{
    Translator().GlobalIgnoreClassProperty(cls, propertyName);
}
void GlobalIgnoreWholeClass(TClass cls) { Translator().GlobalIgnoreWholeClass(cls); }
void TranslateComponent(TComponent* component, const AnsiString& domain)
{
    Translator().TranslateComponent(component, domain);
}
void RetranslateComponent(TComponent* component) { Translator().RetranslateComponent(component); }
