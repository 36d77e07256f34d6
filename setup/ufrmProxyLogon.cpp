#include "ufrmProxyLogon.h"

#include "platform/uSspi.h"
#include "runtime/uSysUtils.h"
#include "translation/uTranslator.h"
#include "ui/uStdCtrls.h"
#include "ui/uWin.h"

#include <algorithm>

using ui_detail::MeasureText;
using ui_detail::Scaled;

namespace {
AnsiString Translated(const char16_t* text) { return WideToAnsi(TranslateText(text)); }
} // namespace

TfrmProxyLogon::TfrmProxyLogon(const AnsiString& proxy, bool refused) : TForm(nullptr)
{
    SetName("frmProxyLogon");
    SetCaption(Format(Translated(u"Aanmelden bij proxy %s").c_str(), proxy.c_str()));
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetPosition(TPosition::poScreenCenter);
    // The wizard's font, so the dialog reads as part of it.
    Font()->SetName("Tahoma");
    Font()->SetHeight(-11);
    Font()->SetStyle(0);
    Font()->SetCharset(ANSI_CHARSET_);

    lbPROMPT = new TLabel(this);
    lbPROMPT->SetName("Message");
    lbPROMPT->SetShowAccelChar(false);
    lbPROMPT->SetWordWrap(true);
    lbPROMPT->SetAutoSize(false);
    lbPROMPT->SetParent(this);
    lbPROMPT->SetCaption(
        refused ? Format(Translated(u"De proxy %s heeft de gebruikersnaam of het wachtwoord geweigerd. Probeer het opnieuw.").c_str(),
                         proxy.c_str())
                : Format(Translated(u"De proxy %s vraagt een gebruikersnaam en een wachtwoord.").c_str(), proxy.c_str()));

    lbGEBRUIKER = new TLabel(this);
    lbGEBRUIKER->SetName("lbGEBRUIKER");
    lbGEBRUIKER->SetParent(this);
    lbGEBRUIKER->SetCaption(Translated(u"&Gebruikersnaam:"));
    edGEBRUIKER = new TEdit(this);
    edGEBRUIKER->SetName("edGEBRUIKER");
    edGEBRUIKER->SetParent(this);
    edGEBRUIKER->SetText("");
    lbGEBRUIKER->SetFocusControl(edGEBRUIKER);

    lbWACHTWOORD = new TLabel(this);
    lbWACHTWOORD->SetName("lbWACHTWOORD");
    lbWACHTWOORD->SetParent(this);
    lbWACHTWOORD->SetCaption(Translated(u"&Wachtwoord:"));
    edWACHTWOORD = new TEdit(this);
    edWACHTWOORD->SetName("edWACHTWOORD");
    edWACHTWOORD->PasswordInput = true;
    edWACHTWOORD->SetParent(this);
    edWACHTWOORD->SetText("");
    lbWACHTWOORD->SetFocusControl(edWACHTWOORD);

    cbONTHOUDEN = new TCheckBox(this);
    cbONTHOUDEN->SetName("cbONTHOUDEN");
    cbONTHOUDEN->SetParent(this);
    cbONTHOUDEN->SetCaption(Translated(u"&Onthouden voor deze installatie"));

    btOK = new TButton(this);
    btOK->SetName("btOK");
    btOK->SetParent(this);
    btOK->SetCaption("OK");
    btOK->SetModalResult(mrOk);
    btOK->SetDefault(true);
    btANNULEREN = new TButton(this);
    btANNULEREN->SetName("btANNULEREN");
    btANNULEREN->SetParent(this);
    btANNULEREN->SetCaption(Translated(u"Annuleren"));
    btANNULEREN->SetModalResult(mrCancel);
    btANNULEREN->SetCancel(true);

    SetActiveControl(edGEBRUIKER);
    Layout();
}

TfrmProxyLogon::~TfrmProxyLogon() { ClearFields(); }

void TfrmProxyLogon::Layout()
{
    const int dpi = PixelsPerInch();
    const auto px = [dpi](int v) { return Scaled(v, dpi); };
    const int margin = px(12), gap = px(8), rowH = px(21), boxH = px(17), buttonW = px(75), buttonH = px(25),
              buttonGap = px(6), mark = px(13 + 4);
    // The columns follow the texts, so that every language fits at every DPI.
    const auto width = [this](const AnsiString& text) { return static_cast<int>(MeasureText(text, *Font(), 0).cx); };
    const int labelW = std::max({px(80), width(lbGEBRUIKER->Caption()), width(lbWACHTWOORD->Caption())}) + px(4);
    const int fieldW = std::max(px(180), mark + width(cbONTHOUDEN->Caption()) + px(4));
    const int inner = std::max(labelW + gap + fieldW, 2 * buttonW + buttonGap);
    const SIZE prompt = MeasureText(lbPROMPT->Caption(), *Font(), inner, DT_NOPREFIX | DT_WORDBREAK);
    int y = margin;
    lbPROMPT->SetBounds(margin, y, inner, prompt.cy);
    y += prompt.cy + gap + px(4);
    const int labelDrop = px(3), fieldLeft = margin + labelW + gap;
    lbGEBRUIKER->SetBounds(margin, y + labelDrop, labelW, rowH - labelDrop);
    edGEBRUIKER->SetBounds(fieldLeft, y, fieldW, rowH);
    y += rowH + gap;
    lbWACHTWOORD->SetBounds(margin, y + labelDrop, labelW, rowH - labelDrop);
    edWACHTWOORD->SetBounds(fieldLeft, y, fieldW, rowH);
    y += rowH + gap;
    cbONTHOUDEN->SetBounds(fieldLeft, y, fieldW, boxH);
    y += boxH + gap + px(6);
    btANNULEREN->SetBounds(margin + inner - buttonW, y, buttonW, buttonH);
    btOK->SetBounds(margin + inner - 2 * buttonW - buttonGap, y, buttonW, buttonH);
    SetClientWidth(inner + 2 * margin);
    SetClientHeight(y + buttonH + margin);
}

void TfrmProxyLogon::ClearFields()
{
    // The edit keeps what was typed until told otherwise.
    if (edWACHTWOORD)
        edWACHTWOORD->SetText("");
}

bool TfrmProxyLogon::Ask(TProxyCredentials& credentials)
{
    const bool ok = ShowModal() == mrOk;
    if (ok) {
        credentials.User = Trim(edGEBRUIKER->Text());
        credentials.Password = edWACHTWOORD->Text();
        credentials.Remember = cbONTHOUDEN->Checked();
    }
    ClearFields();
    return ok && !credentials.User.empty();
}
