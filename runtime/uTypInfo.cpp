#include "uTypInfo.h"

#include "uException.h"
#include "uSysUtils.h"


namespace {
void CollectProps(const TClassInfo* cls, std::vector<const TPropInfo*>& out)
{
    if (!cls)
        return;
    CollectProps(cls->Parent, out);
    for (const TPropInfo& p : cls->Props)
        out.push_back(&p);
}
} // namespace

std::vector<const TPropInfo*> GetPropList(const TObject& object)
{
    std::vector<const TPropInfo*> props;
    CollectProps(&object.ClassType(), props);
    return props;
}

const TPropInfo* GetPropInfo(const TObject& object, std::string_view name)
{
    // Most-derived first, so a redeclared property wins.
    for (const TClassInfo* cls = &object.ClassType(); cls; cls = cls->Parent)
        for (const TPropInfo& p : cls->Props)
            if (SameText(p.Name, name))
                return &p;
    return nullptr;
}

AnsiString GetStrProp(const TObject& object, const TPropInfo& prop)
{
    if (prop.Kind == TPropKind::String && prop.GetStr)
        return prop.GetStr(object);
    if (prop.Kind == TPropKind::WideString && prop.GetWide)
        return WideToAnsi(prop.GetWide(object));
    throw EPropertyError(Format("Property %s is not a text", prop.Name));
}

WideString GetWideStrProp(const TObject& object, const TPropInfo& prop)
{
    if (prop.Kind == TPropKind::WideString && prop.GetWide)
        return prop.GetWide(object);
    if (prop.Kind == TPropKind::String && prop.GetStr)
        return AnsiToWide(prop.GetStr(object));
    throw EPropertyError(Format("Property %s is not a text", prop.Name));
}

TObject* GetObjectProp(const TObject& object, const TPropInfo& prop)
{
    if (prop.Kind == TPropKind::Object && prop.GetObj)
        return prop.GetObj(object);
    throw EPropertyError(Format("Property %s is not an object", prop.Name));
}

void SetWideStrProp(TObject& object, const TPropInfo& prop, const WideString& value)
{
    if (prop.Kind == TPropKind::WideString && prop.SetWide)
        return prop.SetWide(object, value);
    if (prop.Kind == TPropKind::String && prop.SetStr)
        return prop.SetStr(object, WideToAnsi(value));
    throw EPropertyError(Format("Property %s is read-only", prop.Name));
}

void SetStrProp(TObject& object, const TPropInfo& prop, const AnsiString& value)
{
    if (prop.Kind == TPropKind::String && prop.SetStr)
        return prop.SetStr(object, value);
    if (prop.Kind == TPropKind::WideString && prop.SetWide)
        return prop.SetWide(object, AnsiToWide(value));
    throw EPropertyError(Format("Property %s is read-only", prop.Name));
}
