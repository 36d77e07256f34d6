#pragma once
// Containers and decoration: image, page container with pages, button bar.
#include "uControls.h"

// A picture area. The wizard's holds no picture, so it shows its colour.
class TImage : public TWinControl {
    RT_PUBLISHED(TImage, TWinControl)
public:
    explicit TImage(TComponent* owner);

protected:
    void CreateParams(TCreateParams& params) override;
};

class TNotebook;

// One page of a TNotebook; its caption is the page's name.
class TPage : public TWinControl {
    RT_PUBLISHED(TPage, TWinControl, StrProp<&TPage::Caption, &TPage::SetCaption>("Caption"))
public:
    explicit TPage(TComponent* owner);
    ~TPage() override;
    TNotebook* Notebook() const;
    int PageIndex() const;

protected:
    void CreateParams(TCreateParams& params) override;
};

// Pages on top of each other; only the active one is visible. The notebook
// owns its pages; Pages lists their captions, with the page objects beside.
class TNotebook : public TWinControl {
    RT_PUBLISHED(TNotebook, TWinControl, ObjProp<&TNotebook::Pages>("Pages"),
        StrProp<&TNotebook::ActivePage, &TNotebook::SetActivePage>("ActivePage"),
        OtherProp("PageIndex"), OtherProp("OnPageChanged"))
public:
    explicit TNotebook(TComponent* owner);
    ~TNotebook() override;

    TStrings* Pages() const { return FAccess.get(); }
    int PageCount() const { return static_cast<int>(FPageList.size()); }
    TPage* Page(int index) const { return FPageList.at(static_cast<size_t>(index)); }
    // Appends a page with that caption.
    TPage* AddPage(const AnsiString& caption);

    int PageIndex() const { return FPageIndex; }
    // A no-op for the current index, a negative one or one past the last
    // page; otherwise shows that page in front, filling the notebook, hides
    // the previous one and, when the notebook held the focus, focuses the
    // first control of the new page.
    void SetPageIndex(int index);
    AnsiString ActivePage() const;
    void SetActivePage(const AnsiString& caption);

    TNotifyEvent OnPageChanged;

protected:
    void CreateParams(TCreateParams& params) override;

private:
    friend class TPage;
    friend class TPageAccess;
    void InsertPage(int index, TPage* page);
    void DeletePage(int index);
    void PageDestroyed(TPage* page);

    std::vector<TPage*> FPageList;
    std::unique_ptr<TStrings> FAccess;
    int FPageIndex = -1;
};

// The strip of buttons at the bottom of a wizard, with a boundary line along
// its top edge.
class TButtonBar : public TWinControl {
    RT_PUBLISHED(TButtonBar, TWinControl, ObjProp<&TButtonBar::Font>("Font"))
public:
    explicit TButtonBar(TComponent* owner);

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint(void* dc) override;
};
