// The program's one translator: start-up, shutdown, the global calls the
// wizard makes, and the redirection of the runtime's own texts.
#include "uTranslator.h"

#include "platform/uSync.h"
#include "platform/uSystem.h"
#include "platform/uThreads.h"
#include "runtime/uResStrings.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <shared_mutex>

// Views of the state below, for the calls that only look: they are cleared
// before the state goes, so a text loaded while static objects are destroyed
// at exit finds them empty and stays untranslated, whatever the order.
TFileLocator* FileLocator = nullptr;
TTranslator* DefaultTranslator = nullptr;

namespace {

struct TTranslationState {
    std::unique_ptr<TFileLocator> Locator;
    // Domains searched for the runtime's texts; fixed after start-up, so only
    // the reader side of the lock is ever taken.
    std::vector<AnsiString> ResourceStringDomains{"default"};
    platform::TSharedLock ResourceStringLock;
    std::unique_ptr<TTranslator> Translator;
};

std::atomic<TTranslationState*> GStateView{nullptr};

// Takes the views down before the state goes, whether finalised by the
// program or destroyed at exit.
struct TStateOwner {
    std::unique_ptr<TTranslationState> State;

    void Clear()
    {
        SetResStringHook(nullptr);
        GStateView.store(nullptr);
        DefaultTranslator = nullptr;
        FileLocator = nullptr;
        State.reset();
    }
    ~TStateOwner() { Clear(); }
};
// Constant-initialised: no start-up order to depend on.
constinit TStateOwner GState;

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
    TTranslationState* state = GStateView.load();
    if (text.empty() || !state || !state->Translator)
        return text;
    std::shared_lock guard(state->ResourceStringLock);
    WideString original = AnsiToWide(text);
    WideString result = original;
    for (const AnsiString& domain : state->ResourceStringDomains) {
        result = state->Translator->TranslateInDomain(domain, original);
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
    auto state = std::make_unique<TTranslationState>();
    state->Locator = std::make_unique<TFileLocator>(executableFileName);
    state->Locator->ScanEmbeddedTable(tableOffset);
    state->Translator = std::make_unique<TTranslator>(*state->Locator);
    GState.State = std::move(state);
    FileLocator = GState.State->Locator.get();
    DefaultTranslator = GState.State->Translator.get();
    GStateView.store(GState.State.get());
    SetResStringHook(ResStringHook);
}

void FinalizeTranslation() { GState.Clear(); }

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
