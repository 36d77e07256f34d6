#include "uWin.h"

#include "uExtCtrls.h"

#include <algorithm>

using namespace ui_detail;

// --- TImage -----------------------------------------------------------------------

TImage::TImage(TComponent* owner) : TWinControl(owner)
{
    FInTabOrder = false;
    FWidth = 105;
    FHeight = 105;
}

void TImage::CreateParams(TCreateParams& p) { TWinControl::CreateParams(p); }

// --- TPage ------------------------------------------------------------------------

TPage::TPage(TComponent* owner) : TWinControl(owner) { FVisible = false; }

TPage::~TPage()
{
    if (TNotebook* nb = Notebook())
        nb->PageDestroyed(this);
}

TNotebook* TPage::Notebook() const { return dynamic_cast<TNotebook*>(Parent()); }

int TPage::PageIndex() const
{
    TNotebook* nb = Notebook();
    if (!nb)
        return -1;
    auto it = std::find(nb->FPageList.begin(), nb->FPageList.end(), this);
    return it == nb->FPageList.end() ? -1 : static_cast<int>(it - nb->FPageList.begin());
}

void TPage::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.Style |= WS_CLIPCHILDREN;
}

// The notebook's Pages: a live view of the pages, captions with page objects.
class TPageAccess : public TStrings {
    RT_CLASS(TPageAccess, TStrings)
public:
    explicit TPageAccess(TNotebook* notebook) : FNotebook(notebook) {}

    int Count() const override { return FNotebook->PageCount(); }
    AnsiString Get(int index) const override { return Page(index)->Caption(); }
    void Put(int index, const AnsiString& text) override { Page(index)->SetCaption(text); }
    TObject* GetObject(int index) const override { return Page(index); }
    void Insert(int index, const AnsiString& text) override
    {
        if (index < 0 || index > Count())
            Error(rs::SListIndexError, index);
        auto* page = new TPage(FNotebook);
        page->SetCaption(text);
        FNotebook->InsertPage(index, page);
    }
    void Delete(int index) override { delete Page(index); }
    // Assigning names renames the pages it can keep: a page goes (with the
    // controls on it) only when the new list is shorter.
    void Assign(const TPersistent& source) override
    {
        const auto* list = dynamic_cast<const TStrings*>(&source);
        if (!list) {
            TStrings::Assign(source);
            return;
        }
        while (Count() > list->Count())
            Delete(Count() - 1);
        for (int i = 0; i < list->Count(); ++i)
            if (i < Count())
                Put(i, list->Get(i));
            else
                Add(list->Get(i));
    }
    void Clear() override
    {
        while (Count() > 0)
            Delete(Count() - 1);
    }

private:
    TPage* Page(int index) const
    {
        if (index < 0 || index >= Count())
            Error(rs::SListIndexError, index);
        return FNotebook->Page(index);
    }
    TNotebook* FNotebook;
};

// --- TNotebook --------------------------------------------------------------------

TNotebook::TNotebook(TComponent* owner) : TWinControl(owner), FAccess(std::make_unique<TPageAccess>(this))
{
    FWidth = 150;
    FHeight = 150;
}

TNotebook::~TNotebook()
{
    while (!FPageList.empty())
        delete FPageList.back();
}

void TNotebook::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.Style |= WS_CLIPCHILDREN;
}

TPage* TNotebook::AddPage(const AnsiString& caption)
{
    FAccess->Add(caption);
    return FPageList.back();
}

void TNotebook::InsertPage(int index, TPage* page)
{
    FPageList.insert(FPageList.begin() + index, page);
    if (FPageIndex >= index && FPageIndex >= 0)
        ++FPageIndex;
    page->SetParent(this);
    page->SetAlign(TAlign::alClient);
    // The first page becomes the active one, so a notebook always shows a page.
    if (FPageIndex < 0)
        SetPageIndex(index);
}

void TNotebook::PageDestroyed(TPage* page)
{
    auto it = std::find(FPageList.begin(), FPageList.end(), page);
    if (it == FPageList.end())
        return;
    const int index = static_cast<int>(it - FPageList.begin());
    FPageList.erase(it);
    if (index == FPageIndex) {
        FPageIndex = -1;
        if (!FPageList.empty())
            SetPageIndex(std::min(index, PageCount() - 1));
    } else if (index < FPageIndex) {
        --FPageIndex;
    }
}

void TNotebook::DeletePage(int index) { delete Page(index); }

void TNotebook::SetPageIndex(int index)
{
    if (index == FPageIndex || index < 0 || index >= PageCount())
        return;
    const bool hadFocus = ContainsFocus();
    TPage* page = Page(index);
    page->BringToFront();
    page->SetVisible(true);
    page->SetAlign(TAlign::alClient);
    AlignControls();
    if (FPageIndex >= 0 && FPageIndex < PageCount())
        Page(FPageIndex)->SetVisible(false);
    FPageIndex = index;
    if (hadFocus)
        page->SelectFirst();
    if (OnPageChanged)
        OnPageChanged(this);
}

AnsiString TNotebook::ActivePage() const { return FPageIndex >= 0 ? Page(FPageIndex)->Caption() : AnsiString(); }

void TNotebook::SetActivePage(const AnsiString& caption)
{
    int index = FAccess->IndexOf(caption);
    if (index >= 0)
        SetPageIndex(index);
}

// --- TButtonBar -------------------------------------------------------------------

TButtonBar::TButtonBar(TComponent* owner) : TWinControl(owner)
{
    FWidth = 185;
    FHeight = 40;
}

void TButtonBar::CreateParams(TCreateParams& p)
{
    TWinControl::CreateParams(p);
    p.Style |= WS_CLIPCHILDREN;
}

void TButtonBar::Paint(void* dc)
{
    RECT r{0, 0, FWidth, 2};
    DrawEdge(static_cast<HDC>(dc), &r, EDGE_ETCHED, BF_TOP);
}
