#include "uAdComboBox.h"

AdComboBox::AdComboBox(TComponent* owner) : TComboBox(owner), FValues(std::make_unique<TStringList>()) {}

AdComboBox::~AdComboBox()
{
    FValues->Clear();
    FValues.reset();
}

void AdComboBox::SetValues(TStringList* values)
{
    if (values)
        FValues->Assign(*values);
}

AnsiString AdComboBox::Value() const
{
    const int index = ItemIndex();
    if (index < 0)
        return AnsiString();
    return FValues->Get(index);
}

void AdComboBox::KeyDown(unsigned short& key, TShiftState shift)
{
    TComboBox::KeyDown(key, shift);
    if (key == vkF1)
        SetDroppedDown(true);
}
