#include "uClasses.h"

#include "uResStrings.h"
#include "uSysUtils.h"

#include <algorithm>

// --- TPersistent ------------------------------------------------------------

void TPersistent::Assign(const TPersistent& source)
{
    throw EConvertError(Format(LoadResString(rs::SAssignError).c_str(), source.ClassName().c_str(), ClassName().c_str()));
}

// --- TComponent -------------------------------------------------------------

TComponent::TComponent(TComponent* owner)
{
    if (owner)
        owner->InsertComponent(this);
}

TComponent::~TComponent()
{
    // Last created goes first, as controls may refer to earlier siblings.
    while (!FComponents.empty()) {
        TComponent* child = FComponents.back();
        FComponents.pop_back();
        child->FOwner = nullptr;
        delete child;
    }
    if (FOwner)
        FOwner->RemoveComponent(this);
}

void TComponent::SetName(const AnsiString& name)
{
    if (name == FName)
        return;
    if (FOwner && !name.empty()) {
        TComponent* other = FOwner->FindComponent(name);
        if (other && other != this)
            throw EComponentError(Format(LoadResString(rs::SDuplicateName).c_str(), name.c_str()));
    }
    FName = name;
}

TComponent* TComponent::FindComponent(std::string_view name) const
{
    if (name.empty())
        return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, name))
            return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component)
{
    if (!component || component->FOwner == this)
        return;
    if (component->FOwner)
        component->FOwner->RemoveComponent(component);
    FComponents.push_back(component);
    component->FOwner = this;
}

void TComponent::RemoveComponent(TComponent* component)
{
    auto it = std::find(FComponents.begin(), FComponents.end(), component);
    if (it != FComponents.end()) {
        FComponents.erase(it);
        component->FOwner = nullptr;
    }
}

// --- TCollection ------------------------------------------------------------

TCollectionItem* TCollection::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(Format(LoadResString(rs::SListIndexError).c_str(), index));
    return FItems[static_cast<size_t>(index)].get();
}

TCollectionItem* TCollection::Add()
{
    FItems.push_back(FFactory(this));
    return FItems.back().get();
}

// --- TStrings ---------------------------------------------------------------

void TStrings::Error(const TResString& message, int data)
{
    throw EStringListError(Format(LoadResString(message).c_str(), data));
}

void TStrings::Put(int index, const AnsiString& text)
{
    TObject* object = GetObject(index);
    Delete(index);
    InsertObject(index, text, object);
}

TObject* TStrings::GetObject(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}

void TStrings::InsertObject(int index, const AnsiString& text, TObject* object)
{
    Insert(index, text);
    PutObject(index, object);
}

int TStrings::Add(const AnsiString& text) { return AddObject(text, nullptr); }

int TStrings::AddObject(const AnsiString& text, TObject* object)
{
    int index = Count();
    InsertObject(index, text, object);
    return index;
}

int TStrings::IndexOf(const AnsiString& text) const
{
    for (int i = 0; i < Count(); ++i)
        if (CompareStrings(Get(i), text) == 0)
            return i;
    return -1;
}

int TStrings::CompareStrings(const AnsiString& a, const AnsiString& b) const { return AnsiCompareText(a, b); }

void TStrings::AddStrings(const TStrings& source)
{
    BeginUpdate();
    try {
        for (int i = 0; i < source.Count(); ++i)
            AddObject(source.Get(i), source.GetObject(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Assign(const TPersistent& source)
{
    const auto* strings = dynamic_cast<const TStrings*>(&source);
    if (!strings) {
        TPersistent::Assign(source);
        return;
    }
    if (strings == this)
        return;
    BeginUpdate();
    try {
        Clear();
        AddStrings(*strings);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

AnsiString TStrings::Text() const
{
    AnsiString result;
    for (int i = 0; i < Count(); ++i) {
        result += Get(i);
        result += "\r\n";
    }
    return result;
}

void TStrings::SetText(const AnsiString& text)
{
    BeginUpdate();
    try {
        Clear();
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find_first_of("\r\n", start);
            if (end == AnsiString::npos) {
                Add(text.substr(start));
                break;
            }
            Add(text.substr(start, end - start));
            start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::BeginUpdate()
{
    // Announce the change before counting, or the announcement is suppressed.
    if (FUpdateCount == 0)
        SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        SetUpdateState(false);
}

// --- TStringList ------------------------------------------------------------

TStringList::TStringList(bool sorted, TDuplicates duplicates, bool caseSensitive)
    : FSorted(sorted), FCaseSensitive(caseSensitive), FDuplicates(duplicates)
{
}

void TStringList::CheckIndex(int index, bool allowEnd) const
{
    if (index < 0 || index > Count() || (index == Count() && !allowEnd))
        Error(rs::SListIndexError, index);
}

void TStringList::Changing()
{
    if (UpdateCount() == 0 && OnChanging)
        OnChanging(this);
}

void TStringList::Changed()
{
    if (UpdateCount() == 0 && OnChange)
        OnChange(this);
}

void TStringList::SetUpdateState(bool updating)
{
    if (updating)
        Changing();
    else
        Changed();
}

int TStringList::CompareStrings(const AnsiString& a, const AnsiString& b) const
{
    return FCaseSensitive ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

AnsiString TStringList::Get(int index) const
{
    CheckIndex(index);
    return FList[static_cast<size_t>(index)].Text;
}

void TStringList::Put(int index, const AnsiString& text)
{
    if (FSorted)
        Error(rs::SSortedListError, 0);
    CheckIndex(index);
    Changing();
    FList[static_cast<size_t>(index)].Text = text;
    Changed();
}

TObject* TStringList::GetObject(int index) const
{
    CheckIndex(index);
    return FList[static_cast<size_t>(index)].Object;
}

void TStringList::PutObject(int index, TObject* object)
{
    CheckIndex(index);
    Changing();
    FList[static_cast<size_t>(index)].Object = object;
    Changed();
}

void TStringList::InsertItem(int index, const AnsiString& text, TObject* object)
{
    Changing();
    FList.insert(FList.begin() + index, TItem{text, object});
    Changed();
}

void TStringList::Insert(int index, const AnsiString& text) { InsertObject(index, text, nullptr); }

void TStringList::InsertObject(int index, const AnsiString& text, TObject* object)
{
    if (FSorted)
        Error(rs::SSortedListError, 0);
    CheckIndex(index, true);
    InsertItem(index, text, object);
}

void TStringList::Delete(int index)
{
    CheckIndex(index);
    Changing();
    FList.erase(FList.begin() + index);
    Changed();
}

void TStringList::Clear()
{
    if (FList.empty())
        return;
    Changing();
    FList.clear();
    Changed();
}

int TStringList::AddObject(const AnsiString& text, TObject* object)
{
    int index;
    if (!FSorted) {
        index = Count();
    } else if (Find(text, index)) {
        switch (FDuplicates) {
        case TDuplicates::dupIgnore:
            return index;
        case TDuplicates::dupError:
            Error(rs::SDuplicateString, 0);
        case TDuplicates::dupAccept:
            break;
        }
    }
    InsertItem(index, text, object);
    return index;
}

int TStringList::IndexOf(const AnsiString& text) const
{
    if (!FSorted)
        return TStrings::IndexOf(text);
    int index;
    return Find(text, index) ? index : -1;
}

bool TStringList::Find(const AnsiString& text, int& index) const
{
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = CompareStrings(FList[static_cast<size_t>(mid)].Text, text);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                // With duplicates ignored or rejected the first match is the one.
                if (FDuplicates != TDuplicates::dupAccept)
                    lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TStringList::Sort()
{
    Changing();
    std::stable_sort(FList.begin(), FList.end(),
                     [this](const TItem& a, const TItem& b) { return CompareStrings(a.Text, b.Text) < 0; });
    Changed();
}

void TStringList::SetSorted(bool sorted)
{
    if (sorted && !FSorted)
        Sort();
    FSorted = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive)
{
    if (caseSensitive == FCaseSensitive)
        return;
    FCaseSensitive = caseSensitive;
    if (FSorted)
        Sort();
}
