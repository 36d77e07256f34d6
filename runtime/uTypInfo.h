#pragma once
// Generic access to published properties by name.
#include "uObject.h"

#include <string_view>
#include <vector>

// Every published property of the object's class, ancestors' first.
std::vector<const TPropInfo*> GetPropList(const TObject& object);
// The property with that name (ignoring case), or null.
const TPropInfo* GetPropInfo(const TObject& object, std::string_view name);

AnsiString GetStrProp(const TObject& object, const TPropInfo& prop);
WideString GetWideStrProp(const TObject& object, const TPropInfo& prop); // either string kind, widened
TObject* GetObjectProp(const TObject& object, const TPropInfo& prop);
// Writes text into either string kind, converting to the property's own kind.
// Throws EPropertyError when the property has no setter or is not a string.
void SetWideStrProp(TObject& object, const TPropInfo& prop, const WideString& value);
void SetStrProp(TObject& object, const TPropInfo& prop, const AnsiString& value);
