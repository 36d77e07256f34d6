#include "uGraphics.h"

#include <windows.h>

void TGdiObjectTraits::Close(void* object) noexcept { DeleteObject(static_cast<HGDIOBJ>(object)); }
void TIconObjectTraits::Close(void* icon) noexcept { DestroyIcon(static_cast<HICON>(icon)); }

std::uint32_t ColorToRGB(TColor color)
{
    if (color < 0)
        return GetSysColor(color & 0xFF);
    return static_cast<std::uint32_t>(color);
}

TFont::TFont() = default;
TFont::~TFont() = default;

void TFont::Changed()
{
    FHandle.Reset();
    if (OnChange)
        OnChange(this);
}

void TFont::SetName(const AnsiString& name)
{
    if (name != FName) {
        FName = name;
        Changed();
    }
}

void TFont::SetHeight(int height)
{
    if (height != FHeight) {
        FHeight = height;
        Changed();
    }
}

int TFont::Size() const { return -MulDiv(FHeight, 72, 96); }
void TFont::SetSize(int points) { SetHeight(-MulDiv(points, 96, 72)); }

void TFont::SetStyle(TFontStyles style)
{
    if (style != FStyle) {
        FStyle = style;
        Changed();
    }
}

void TFont::SetCharset(unsigned char charset)
{
    if (charset != FCharset) {
        FCharset = charset;
        Changed();
    }
}

void TFont::SetColor(TColor color)
{
    if (color != FColor) {
        FColor = color;
        Changed();
    }
}

void TFont::SetPixelsPerInch(int dpi)
{
    if (dpi > 0 && dpi != FPixelsPerInch) {
        FPixelsPerInch = dpi;
        Changed();
    }
}

bool TFont::SameAs(const TFont& o) const
{
    return FName == o.FName && FHeight == o.FHeight && FStyle == o.FStyle && FCharset == o.FCharset &&
        FColor == o.FColor && FPixelsPerInch == o.FPixelsPerInch;
}

void TFont::Assign(const TPersistent& source)
{
    const auto* font = dynamic_cast<const TFont*>(&source);
    if (!font) {
        TPersistent::Assign(source);
        return;
    }
    if (SameAs(*font))
        return;
    FName = font->FName;
    FHeight = font->FHeight;
    FStyle = font->FStyle;
    FCharset = font->FCharset;
    FColor = font->FColor;
    FPixelsPerInch = font->FPixelsPerInch;
    Changed();
}

void* TFont::Handle() const
{
    if (!FHandle.Get()) {
        const bool bold = FStyle & FontStyle(TFontStyle::fsBold);
        FHandle.Reset(CreateFontA(MulDiv(FHeight, FPixelsPerInch, 96), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL,
            (FStyle & FontStyle(TFontStyle::fsItalic)) != 0, (FStyle & FontStyle(TFontStyle::fsUnderline)) != 0,
            (FStyle & FontStyle(TFontStyle::fsStrikeOut)) != 0, FCharset, OUT_DEFAULT_PRECIS,
            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, FName.c_str()));
    }
    return FHandle.Get();
}
