#pragma once
// Colours and fonts of the UI framework.
#include "runtime/uClasses.h"
#include "platform/uOwner.h"

#include <cstdint>
#include <functional>

// Owner of one GDI object (font, brush, bitmap; icons have their own kind).
struct TGdiObjectTraits {
    using TValue = void*;
    static constexpr void* Invalid() noexcept { return nullptr; }
    static void Close(void* object) noexcept;
};
using TGdiObject = platform::TOwner<TGdiObjectTraits>;

struct TIconObjectTraits {
    using TValue = void*;
    static constexpr void* Invalid() noexcept { return nullptr; }
    static void Close(void* icon) noexcept;
};
using TIconObject = platform::TOwner<TIconObjectTraits>;

// A colour is an RGB value (0x00BBGGRR) or, with the high bit set, a system
// colour index, so that "button face" follows the user's scheme.
using TColor = std::int32_t;
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clWindowText = static_cast<TColor>(0x80000008);
inline constexpr TColor clBtnFace = static_cast<TColor>(0x8000000F);
inline constexpr TColor clBtnShadow = static_cast<TColor>(0x80000010);
inline constexpr TColor clBtnHighlight = static_cast<TColor>(0x80000014);
inline constexpr TColor clWindow = static_cast<TColor>(0x80000005);
std::uint32_t ColorToRGB(TColor color);

enum class TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned; // bits of TFontStyle
inline constexpr TFontStyles FontStyle(TFontStyle s) { return static_cast<unsigned>(s); }

inline constexpr unsigned char ANSI_CHARSET_ = 0;
inline constexpr unsigned char DEFAULT_CHARSET_ = 1;

// A font description with its GDI font created on demand. Controls share
// nothing: each keeps its own TFont and copies its parent's while ParentFont.
class TFont : public TPersistent {
    RT_PUBLISHED(TFont, TPersistent,
        StrProp<&TFont::Name, &TFont::SetName>("Name"),
        OtherProp("Height"), OtherProp("Style"), OtherProp("Charset"), OtherProp("Color"))
public:
    TFont();
    ~TFont() override;

    AnsiString Name() const { return FName; }
    void SetName(const AnsiString& name);
    int Height() const { return FHeight; }
    void SetHeight(int height);
    // Points at 96 pixels per inch; the height is its negative pixel size.
    int Size() const;
    void SetSize(int points);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles style);
    unsigned char Charset() const { return FCharset; }
    void SetCharset(unsigned char charset);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    // The screen the GDI font is made for: Height is a figure at 96 pixels
    // per inch, the font drawn is MulDiv(Height, PixelsPerInch, 96) high.
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int dpi);

    void Assign(const TPersistent& source) override;
    bool SameAs(const TFont& other) const;

    // The GDI font (HFONT); stays valid until the next change of this font.
    void* Handle() const;

    // Called after every change.
    std::function<void(TFont*)> OnChange;

private:
    void Changed();

    AnsiString FName = "Tahoma";
    int FHeight = -11;
    TFontStyles FStyle = 0;
    unsigned char FCharset = DEFAULT_CHARSET_;
    TColor FColor = clWindowText;
    int FPixelsPerInch = 96;
    mutable TGdiObject FHandle;
};
