#pragma once
// The root of the class tree: objects that know their class by name and parent,
// and publish a table of properties that generic code (the form translation
// walk) can list, read and write by name.
#include "uText.h"

#include <span>
#include <type_traits>
#include <vector>

class TObject;

enum class TPropKind {
    String,     // 8-bit text in the ANSI code page
    WideString, // UTF-16 text
    Object,     // reference to another object
    Other,      // integers, booleans, sets, events: never translated
};

struct TPropInfo {
    const char* Name = "";
    TPropKind Kind = TPropKind::Other;
    AnsiString (*GetStr)(const TObject&) = nullptr;
    void (*SetStr)(TObject&, const AnsiString&) = nullptr;
    WideString (*GetWide)(const TObject&) = nullptr;
    void (*SetWide)(TObject&, const WideString&) = nullptr;
    TObject* (*GetObj)(const TObject&) = nullptr;
    void (*SetObj)(TObject&, TObject*) = nullptr;

    bool HasSetter() const { return SetStr || SetWide || SetObj; }
};

struct TClassInfo {
    const char* Name;
    const TClassInfo* Parent;
    std::span<const TPropInfo> Props; // this class's own published properties

    // True when this class is `other` or derives from it.
    bool InheritsFrom(const TClassInfo& other) const
    {
        for (const TClassInfo* c = this; c; c = c->Parent)
            if (c == &other)
                return true;
        return false;
    }
};

using TClass = const TClassInfo*;

// Class declarations: RT_CLASS for a class without published properties of its
// own, RT_PUBLISHED with its properties (built with StrProp, WideProp, ObjProp,
// OtherProp below). Both go first in the class body and leave it public.
#define RT_CLASS_INFO_(Self, Base, ...)                                                     \
public:                                                                                     \
    static const TClassInfo& ClassInfo()                                                    \
    {                                                                                       \
        static const std::vector<TPropInfo> props{__VA_ARGS__};                             \
        static const TClassInfo info{#Self, &Base::ClassInfo(), props};                     \
        return info;                                                                        \
    }                                                                                       \
    const TClassInfo& ClassType() const override { return Self::ClassInfo(); }

#define RT_CLASS(Self, Base) RT_CLASS_INFO_(Self, Base)
#define RT_PUBLISHED(Self, Base, ...) RT_CLASS_INFO_(Self, Base, __VA_ARGS__)

class TObject {
public:
    TObject() = default;
    // Objects have identity (owners, parents, events point at them): a copy
    // would be a second object claiming the first one's place.
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    static const TClassInfo& ClassInfo();
    virtual const TClassInfo& ClassType() const { return ClassInfo(); }
    AnsiString ClassName() const { return ClassType().Name; }
    bool InheritsFrom(const TClassInfo& cls) const { return ClassType().InheritsFrom(cls); }
    template <class T> bool Is() const { return InheritsFrom(T::ClassInfo()); }
};

inline const TClassInfo& TObject::ClassInfo()
{
    static const TClassInfo info{"TObject", nullptr, {}};
    return info;
}

// --- building property table entries from member functions ----------------

namespace rtti_detail {
template <class> struct MemberOf;
template <class C, class R> struct MemberOf<R (C::*)() const> { using Class = C; };
// Decided on the type: comparing a member pointer with null is not a
// constant expression for every compiler (gcc with UBSan).
template <auto Set> inline constexpr bool HasSetter = !std::is_same_v<decltype(Set), std::nullptr_t>;
} // namespace rtti_detail

template <auto Get, auto Set = nullptr>
TPropInfo StrProp(const char* name)
{
    using C = typename rtti_detail::MemberOf<decltype(Get)>::Class;
    TPropInfo p;
    p.Name = name;
    p.Kind = TPropKind::String;
    p.GetStr = [](const TObject& o) -> AnsiString { return (static_cast<const C&>(o).*Get)(); };
    if constexpr (rtti_detail::HasSetter<Set>)
        p.SetStr = [](TObject& o, const AnsiString& v) { (static_cast<C&>(o).*Set)(v); };
    return p;
}

template <auto Get, auto Set = nullptr>
TPropInfo WideProp(const char* name)
{
    using C = typename rtti_detail::MemberOf<decltype(Get)>::Class;
    TPropInfo p;
    p.Name = name;
    p.Kind = TPropKind::WideString;
    p.GetWide = [](const TObject& o) -> WideString { return (static_cast<const C&>(o).*Get)(); };
    if constexpr (rtti_detail::HasSetter<Set>)
        p.SetWide = [](TObject& o, const WideString& v) { (static_cast<C&>(o).*Set)(v); };
    return p;
}

template <auto Get, auto Set = nullptr>
TPropInfo ObjProp(const char* name)
{
    using C = typename rtti_detail::MemberOf<decltype(Get)>::Class;
    TPropInfo p;
    p.Name = name;
    p.Kind = TPropKind::Object;
    p.GetObj = [](const TObject& o) -> TObject* { return (static_cast<const C&>(o).*Get)(); };
    if constexpr (rtti_detail::HasSetter<Set>)
        p.SetObj = [](TObject& o, TObject* v) {
            using Arg = decltype((static_cast<const C&>(o).*Get)());
            (static_cast<C&>(o).*Set)(dynamic_cast<Arg>(v));
        };
    return p;
}

inline TPropInfo OtherProp(const char* name)
{
    TPropInfo p;
    p.Name = name;
    p.Kind = TPropKind::Other;
    return p;
}
