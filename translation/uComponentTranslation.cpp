#include "uTranslator.h"

#include "runtime/uSysUtils.h"
#include "runtime/uTypInfo.h"

#include <deque>
#include <unordered_set>

namespace {

TTranslationMarker* FindMarker(const TComponent& component)
{
    // Only a real marker counts: a user component could carry the same name.
    TComponent* found = component.FindComponent(TTranslationMarker::MarkerName);
    return found && found->Is<TTranslationMarker>() ? static_cast<TTranslationMarker*>(found) : nullptr;
}

bool OwnsMarker(const TObject* object)
{
    auto* component = dynamic_cast<const TComponent*>(object);
    return component && FindMarker(*component);
}

} // namespace

bool TClassMode::TUpperLess::operator()(const AnsiString& a, const AnsiString& b) const
{
    return CompareText(a, b) < 0;
}

// --- the global ignore list ----------------------------------------------------
// A class stands before every ancestor of it, so the first match while walking
// the list is always the most specific one.

void TTranslator::GlobalIgnoreWholeClass(TClass cls)
{
    for (auto it = GlobalClassModes.begin(); it != GlobalClassModes.end(); ++it) {
        if ((*it)->IgnoredClass == cls)
            throw ETranslationProgrammingError("You cannot add a class to the ignore list that is already on that list: " +
                                               AnsiString(cls->Name) +
                                               ". You should keep all GlobalIgnore functions in one place in your "
                                               "source code.");
        if (cls->InheritsFrom(*(*it)->IgnoredClass)) {
            auto mode = std::make_unique<TClassMode>();
            mode->IgnoredClass = cls;
            GlobalClassModes.insert(it, std::move(mode));
            return;
        }
    }
    auto mode = std::make_unique<TClassMode>();
    mode->IgnoredClass = cls;
    GlobalClassModes.push_back(std::move(mode));
}

void TTranslator::GlobalIgnoreClassProperty(TClass cls, const AnsiString& propertyName)
{
    AnsiString name = UpperCase(propertyName);
    for (auto it = GlobalClassModes.begin(); it != GlobalClassModes.end(); ++it) {
        TClassMode& mode = **it;
        if (mode.IgnoredClass == cls) {
            if (mode.Handler)
                throw ETranslationProgrammingError(
                    "You cannot ignore a class property for a class that has a handler set.");
            mode.IgnoredProperties.insert(name);
            return;
        }
        if (cls->InheritsFrom(*mode.IgnoredClass)) {
            auto entry = std::make_unique<TClassMode>();
            entry->IgnoredClass = cls;
            entry->IgnoredProperties.insert(name);
            GlobalClassModes.insert(it, std::move(entry));
            return;
        }
    }
    auto entry = std::make_unique<TClassMode>();
    entry->IgnoredClass = cls;
    entry->IgnoredProperties.insert(name);
    GlobalClassModes.push_back(std::move(entry));
}

// --- translating a component tree ------------------------------------------------

void TTranslator::TranslateComponent(TComponent* component, const AnsiString& domain)
{
    if (!component)
        throw ETranslationProgrammingError("TranslateComponent needs a component");
    TTranslationMarker* marker = FindMarker(*component);
    if (!marker) {
        auto fresh = std::make_unique<TTranslationMarker>(nullptr);
        fresh->SetName(TTranslationMarker::MarkerName);
        fresh->OwnRetranslator = std::make_unique<TRetranslator>(this);
        ActiveRetranslator = fresh->OwnRetranslator.get();
        try {
            WalkAndTranslate(component, domain);
        } catch (...) {
            // The record dies with the marker; nothing may point at it.
            ActiveRetranslator = nullptr;
            CallClassModes.clear();
            CallIgnoreList.clear();
            throw;
        }
        marker = fresh.release();
        component->InsertComponent(marker);
    } else if (marker->AppliedLanguage != CurrentLanguage) {
        ShowTranslationMessage("Error",
                               "This application tried to switch the language, but in an incorrect way. The "
                               "programmer needs to replace a call to TranslateComponent with a call to "
                               "RetranslateComponent(). The programmer should see the change log of the translation "
                               "unit for more information.");
    }
    marker->AppliedLanguage = CurrentLanguage;
}

void TTranslator::WalkAndTranslate(TObject* root, AnsiString domain)
{
    if (domain.empty())
        domain = CurrentDomain;
    if (ActiveRetranslator)
        ActiveRetranslator->DomainName = domain;

    std::vector<std::pair<TObject*, AnsiString>> queue{{root, AnsiString()}};
    // Keyed by the full address: shared objects and cycles are visited once.
    std::unordered_set<const TObject*> done;
    std::set<AnsiString, TClassMode::TUpperLess> ignored;

    for (size_t head = 0; head < queue.size(); ++head) {
        auto [object, name] = queue[head];
        if (!object || !object->Is<TPersistent>() || !done.insert(object).second)
            continue;

        ignored.clear();
        const TClassMode* wholeClass = nullptr;
        for (auto* modes : {&CallClassModes, &GlobalClassModes}) {
            for (const auto& mode : *modes) {
                if (!object->InheritsFrom(*mode->IgnoredClass))
                    continue;
                if (mode->IgnoredProperties.empty()) {
                    wholeClass = mode.get();
                    break;
                }
                ignored.insert(mode->IgnoredProperties.begin(), mode->IgnoredProperties.end());
            }
            if (wholeClass)
                break;
        }
        if (wholeClass) {
            if (wholeClass->Handler)
                wholeClass->Handler(object);
            continue;
        }

        for (const TPropInfo* prop : GetPropList(*object)) {
            if (prop->Kind == TPropKind::Other)
                continue;
            AnsiString upper = UpperCase(prop->Name);
            if (CallIgnoreList.contains(name + "." + upper) || ignored.contains(upper))
                continue;
            TranslateOneProperty(*object, *prop, domain, queue);
        }

        if (auto* strings = dynamic_cast<TStrings*>(object)) {
            AnsiString text = strings->Text();
            if (!text.empty() && ActiveRetranslator)
                ActiveRetranslator->Remember(strings, "Text", Widen(text));
            TranslateLines(*strings, domain);
        }
        if (auto* collection = dynamic_cast<TCollection*>(object))
            for (int i = 0; i < collection->Count(); ++i)
                queue.emplace_back(collection->Items(i), AnsiString());
        if (auto* component = dynamic_cast<TComponent*>(object))
            for (int i = 0; i < component->ComponentCount(); ++i) {
                TComponent* child = component->Components(i);
                AnsiString childName = UpperCase(child->Name());
                if (!CallIgnoreList.contains(childName) && !FindMarker(*child))
                    queue.emplace_back(child, childName);
            }
    }

    CallClassModes.clear();
    CallIgnoreList.clear();
    ActiveRetranslator = nullptr;
}

void TTranslator::TranslateOneProperty(TObject& object, const TPropInfo& prop, const AnsiString& domain,
                                       std::vector<std::pair<TObject*, AnsiString>>& queue)
{
    try {
        WideString text;
        switch (prop.Kind) {
        case TPropKind::String:
            text = Widen(GetStrProp(object, prop));
            break;
        case TPropKind::WideString:
            text = GetWideStrProp(object, prop);
            break;
        case TPropKind::Object: {
            TObject* target = GetObjectProp(object, prop);
            if (target && !OwnsMarker(target))
                queue.emplace_back(target, AnsiString());
            return;
        }
        case TPropKind::Other:
            return;
        }
        if (text.empty() || !prop.HasSetter())
            return;
        if (ActiveRetranslator)
            ActiveRetranslator->Remember(&object, prop.Name, text);
        WideString translated = TranslateInDomain(domain, text);
        if (translated != text)
            if (const TPropInfo* target = GetPropInfo(object, prop.Name))
                SetWideStrProp(object, *target, translated);
    } catch (const Exception& e) {
        throw ETranslationComponentError("Property cannot be translated.\r\nAdd GlobalIgnoreClassProperty(" +
                                         object.ClassName() + ",'" + prop.Name +
                                         "') to your source code or use\r\nIgnoreProperty (self,'." + prop.Name +
                                         "') to prevent this message.\r\nReason: " + e.Message());
    }
}

void TTranslator::TranslateLines(TStrings& list, const AnsiString& domain)
{
    if (list.Count() == 0)
        return;
    list.BeginUpdate();
    try {
        TStringList copy;
        copy.AddStrings(list);
        for (int i = 0; i < copy.Count(); ++i) {
            AnsiString line = copy[i];
            if (!line.empty())
                copy.Put(i, WideToAnsi(TranslateInDomain(domain, line)));
        }
        list.Assign(copy);
    } catch (...) {
        list.EndUpdate();
        throw;
    }
    list.EndUpdate();
}

void TTranslator::RetranslateComponent(TComponent* component)
{
    TTranslationMarker* marker = component ? FindMarker(*component) : nullptr;
    if (!marker)
        throw ETranslationProgrammingError("Retranslate was called on an object that has not been translated before. "
                                           "Please use TranslateComponent() before RetranslateComponent().");
    if (marker->AppliedLanguage != CurrentLanguage)
        marker->OwnRetranslator->Execute();
    marker->AppliedLanguage = CurrentLanguage;
}

// --- replay ----------------------------------------------------------------------

void TRetranslator::Remember(TObject* target, const AnsiString& propertyName, const WideString& sourceText)
{
    Items.push_back({target, propertyName, sourceText});
}

void TRetranslator::Execute()
{
    for (const TRetranslatorItem& item : Items) {
        if (auto* component = dynamic_cast<TComponent*>(item.Target)) {
            TTranslationMarker* marker = FindMarker(*component);
            if (marker && marker->OwnRetranslator.get() != this) {
                marker->OwnRetranslator->Execute();
                continue;
            }
        }
        if (auto* strings = dynamic_cast<TStrings*>(item.Target)) {
            TStringList lines;
            lines.SetText(WideToAnsi(item.SourceText));
            Owner->TranslateLines(lines, DomainName);
            strings->BeginUpdate();
            try {
                strings->SetText(lines.Text());
            } catch (...) {
                strings->EndUpdate();
                throw;
            }
            strings->EndUpdate();
            continue;
        }
        WideString translated = Owner->TranslateInDomain(DomainName, item.SourceText);
        if (const TPropInfo* prop = GetPropInfo(*item.Target, item.PropertyName))
            SetWideStrProp(*item.Target, *prop, translated);
    }
}
