#pragma once
// Actions: a command with a caption and a category, shared by the controls
// that trigger it. The wizard has none; the class exists so that its texts
// can be named when translation is told what to leave alone.
#include "runtime/uClasses.h"

class TAction : public TComponent {
    RT_PUBLISHED(TAction, TComponent, StrProp<&TAction::Caption, &TAction::SetCaption>("Caption"),
                 StrProp<&TAction::Category, &TAction::SetCategory>("Category"),
                 StrProp<&TAction::Hint, &TAction::SetHint>("Hint"))
public:
    using TComponent::TComponent;

    AnsiString Caption() const { return FCaption; }
    void SetCaption(const AnsiString& caption) { FCaption = caption; }
    AnsiString Category() const { return FCategory; }
    void SetCategory(const AnsiString& category) { FCategory = category; }
    AnsiString Hint() const { return FHint; }
    void SetHint(const AnsiString& hint) { FHint = hint; }

private:
    AnsiString FCaption, FCategory, FHint;
};
