#pragma once
// Persistent objects, components with owners, collections and string lists.
#include "uException.h"
#include "uObject.h"
#include "uResStrings.h"

#include <functional>
#include <memory>
#include <vector>

class TPersistent : public TObject {
    RT_CLASS(TPersistent, TObject)
public:
    // Copies the contents of `source`; the default refuses with EConvertError.
    virtual void Assign(const TPersistent& source);
};

// A component has a name and an owner. The owner destroys what it owns, last
// created first, so `new TButton(form)` hands the button to the form.
class TComponent : public TPersistent {
    RT_PUBLISHED(TComponent, TPersistent, StrProp<&TComponent::Name, &TComponent::SetName>("Name"))
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    AnsiString Name() const { return FName; }
    virtual void SetName(const AnsiString& name);
    TComponent* Owner() const { return FOwner; }

    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.at(static_cast<size_t>(index)); }
    // Owned component by name, ignoring case; null when there is none.
    TComponent* FindComponent(std::string_view name) const;
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

private:
    AnsiString FName;
    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
};

class TCollection;

class TCollectionItem : public TPersistent {
    RT_CLASS(TCollectionItem, TPersistent)
public:
    explicit TCollectionItem(TCollection* collection) : FCollection(collection) {}
    TCollection* Collection() const { return FCollection; }

private:
    TCollection* FCollection;
};

// An owned, ordered list of items of one class.
class TCollection : public TPersistent {
    RT_CLASS(TCollection, TPersistent)
public:
    using TItemFactory = std::function<std::unique_ptr<TCollectionItem>(TCollection*)>;
    explicit TCollection(TItemFactory factory) : FFactory(std::move(factory)) {}

    int Count() const { return static_cast<int>(FItems.size()); }
    TCollectionItem* Items(int index) const;
    TCollectionItem* Add();
    void Clear() { FItems.clear(); }

private:
    TItemFactory FFactory;
    std::vector<std::unique_ptr<TCollectionItem>> FItems;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

// Abstract list of texts, each with an associated object (not owned).
class TStrings : public TPersistent {
    RT_CLASS(TStrings, TPersistent)
public:
    virtual int Count() const = 0;
    virtual AnsiString Get(int index) const = 0;
    virtual void Put(int index, const AnsiString& text);
    virtual TObject* GetObject(int index) const;
    virtual void PutObject(int index, TObject* object);
    virtual void Insert(int index, const AnsiString& text) = 0;
    virtual void InsertObject(int index, const AnsiString& text, TObject* object);
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual int Add(const AnsiString& text);
    virtual int AddObject(const AnsiString& text, TObject* object);
    virtual int IndexOf(const AnsiString& text) const;
    void AddStrings(const TStrings& source);
    void Assign(const TPersistent& source) override;

    AnsiString operator[](int index) const { return Get(index); }
    // Lines joined with CR LF after each; setting splits at CR LF, CR or LF.
    AnsiString Text() const;
    virtual void SetText(const AnsiString& text);

    // Brackets that suppress change notifications until the outermost end.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

protected:
    virtual void SetUpdateState(bool updating) {}
    virtual int CompareStrings(const AnsiString& a, const AnsiString& b) const;
    [[noreturn]] static void Error(const TResString& message, int data);

private:
    int FUpdateCount = 0;
};

class TStringList : public TStrings {
    RT_CLASS(TStringList, TStrings)
public:
    TStringList() = default;
    TStringList(bool sorted, TDuplicates duplicates, bool caseSensitive = false);

    int Count() const override { return static_cast<int>(FList.size()); }
    AnsiString Get(int index) const override;
    void Put(int index, const AnsiString& text) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    void Insert(int index, const AnsiString& text) override;
    void InsertObject(int index, const AnsiString& text, TObject* object) override;
    void Delete(int index) override;
    void Clear() override;
    int AddObject(const AnsiString& text, TObject* object) override;
    int IndexOf(const AnsiString& text) const override;
    // Binary search of a sorted list: true when found; `index` is the match or
    // the insertion point.
    bool Find(const AnsiString& text, int& index) const;
    void Sort();

    bool Sorted() const { return FSorted; }
    void SetSorted(bool sorted);
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool caseSensitive);
    TDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates duplicates) { FDuplicates = duplicates; }

    std::function<void(TObject*)> OnChange;
    std::function<void(TObject*)> OnChanging;

protected:
    void SetUpdateState(bool updating) override;
    int CompareStrings(const AnsiString& a, const AnsiString& b) const override;

private:
    struct TItem {
        AnsiString Text;
        TObject* Object = nullptr;
    };
    void Changing();
    void Changed();
    void CheckIndex(int index, bool allowEnd = false) const;
    void InsertItem(int index, const AnsiString& text, TObject* object);

    std::vector<TItem> FList;
    bool FSorted = false;
    bool FCaseSensitive = false;
    TDuplicates FDuplicates = TDuplicates::dupIgnore;
};
