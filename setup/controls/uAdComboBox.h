#pragma once
// A combo box whose items each carry a code: the user picks a readable item,
// the program reads the code at the same index.
#include "ui/uStdCtrls.h"

#include <memory>

class AdComboBox : public TComboBox {
    RT_PUBLISHED(AdComboBox, TComboBox, ObjProp<&AdComboBox::Values, &AdComboBox::SetValues>("Values"))
public:
    explicit AdComboBox(TComponent* owner);
    ~AdComboBox() override;

    // The codes, entry i for item i. Nothing keeps them in step with Items.
    TStringList* Values() const { return FValues.get(); }
    // Copies the entries of `values`; the owned list stays the same object.
    void SetValues(TStringList* values);
    // The code of the selected item; empty when nothing is selected. Raises the
    // list's index error when there are fewer codes than items.
    AnsiString Value() const;

    // F1 opens the list, after the usual key handling.
    void KeyDown(unsigned short& key, TShiftState shift) override;

private:
    std::unique_ptr<TStringList> FValues;
};
