// Shared types of the text engine: the per-character attribute entry, the
// page header, style bits, enumerations and the event signatures.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace plat {
class TGraphic;
}

namespace richtext {

// Style word bits of TJDCharAttr::style. The RTF reader and writer fix their meaning.
enum : std::uint16_t {
    kStyleBold = 0x0001,
    kStyleItalic = 0x0002,
    kStyleUnderline = 0x0004,
    kStyleStrikeOut = 0x0008,
    kStyleHyperlink = 0x0010,  // double underline: jump text
    kStyleSelected = 0x0020,   // painting's selection mark, never written
    kStyleSuper = 0x0040,
    kStyleSub = 0x0080,
    kStyleHidden = 0x0100,     // the target that follows jump text
    kStyleProtected = 0x0200,
    kStyleRtfCode = 0x0400,    // kept verbatim and written back unchanged
    kStyleFootnote = 0x0800,   // footnote mark, tag = footnote id
    kStyleInsertPoint = 0x1000,
    kStyleAutomatic = 0x2000,
    kStyleObject = 0x4000,     // object character (code 1), tag = object tag or id
    kStyleHtmlMark = 0x8000,
};

// One character's attributes; the layout fields are filled by measuring.
struct TJDCharAttr {
    std::uint16_t width = 0;    // pixels; a TAB gets the tab width
    std::uint16_t height = 0;   // line height in pixels
    std::uint16_t ascent = 0;
    std::uint8_t font = 0;      // index into the header's font table (0-98)
    std::uint8_t colors = 0;    // low nibble text colour, high nibble background colour
    std::uint16_t style = 0;
    std::uint8_t size = 0;      // points; 0 is read as 10
    std::uint8_t reserved = 0;
    std::uint16_t tag = 0;      // hyperlink/insert-point number, object tag or id, footnote id

    std::uint8_t TextColor() const { return colors & 0x0F; }
    std::uint8_t BackColor() const { return colors >> 4; }
    void SetTextColor(unsigned c) { colors = static_cast<std::uint8_t>((colors & 0xF0) | (c & 0x0F)); }
    void SetBackColor(unsigned c) { colors = static_cast<std::uint8_t>((colors & 0x0F) | ((c & 0x0F) << 4)); }
    // Equal in everything that is written (not in layout data).
    bool SameLook(const TJDCharAttr& o) const {
        return font == o.font && colors == o.colors && style == o.style && size == o.size && tag == o.tag;
    }
    bool operator==(const TJDCharAttr&) const = default;
};

enum class TTabKind : std::uint8_t { tkLeft = 0, tkRight = 1, tkCenter = 2, tkDecimal = 3, tkAll = 4 };

constexpr int kMaxFonts = 99;
constexpr int kFontNameMax = 31;
constexpr int kColorCount = 16;
constexpr int kTabSlots = 64;
constexpr int kMaxLineLength = 10000;
constexpr int kNoTabSlot = -1;

struct TRgbEntry {
    std::uint8_t red = 0, green = 0, blue = 0, unused = 0;
    bool operator==(const TRgbEntry&) const = default;
};

// The document's page header: page, fonts, colours, tabs.
struct TTextHeader {
    std::array<TRgbEntry, kColorCount> colors{};
    std::int32_t resolutionX = 0, resolutionY = 0;  // 0 until a device is known
    std::array<std::string, kMaxFonts> fontNames{};
    std::array<std::uint32_t, kMaxFonts> fontPitchFamily{};
    std::array<std::uint32_t, kMaxFonts> fontCharset{};
    std::string title, subject, comment;
    std::int32_t pageWidth = 12240, pageHeight = 15840;
    std::int32_t marginLeft = 1880, marginRight = 1880, marginTop = 1440, marginBottom = 1440;
    std::array<std::int32_t, kTabSlots> tabPos{};      // twips, 0 = free
    std::array<std::int32_t, kTabSlots> tabPixels{};
    std::array<std::uint8_t, kTabSlots> tabKind{};     // TTabKind 0-3
    std::array<std::uint8_t, kTabSlots> tabOrder{};    // slots by ascending position
    TTabKind defaultTabKind = TTabKind::tkLeft;
    std::function<void()> onTabTableFull;
    bool facingPages = false, landscape = false;
    std::int32_t textWidth = 0, textHeight = 0;        // device pixels
    std::int32_t screenWidthTwips = 0, screenWidthPixels = 0;
    bool useAttributes = true;                         // off: plain text, lines carry no attributes
    bool metricInch = true;                            // ruler grid 144 twips, else 141
};

enum class TJDLoadFormat { AutomaticFormat, LastFormat, FormatRTF, FormatANSI, FormatHTML };
enum class TJDMemoryFormat { fmRichText, fmPlainText };
enum class TProtectProps {
    ppProtected, ppHidden, ppIsInsertpoint, ppAutomatic, ppIsInvisible, ppParProtected,
    ppProtectSelectedTextToo, ppDontCopyProtectedAttribute, ppDontUseAttrOfProtected
};
enum class TStoreHTMLComment { shcFootnote, shcHiddenFootnote, shcOFF };
enum class TJDToolLanguage { tjdEnglish, tjdGerman };
enum class TThreeState { tsIgnore, tsTRUE, tsFALSE };

// Set of TProtectProps as bits (1 << value).
using TProtectPropSet = std::uint32_t;
constexpr TProtectPropSet ProtectBit(TProtectProps p) { return 1u << static_cast<unsigned>(p); }

struct TParagraph;

// Event signatures; Sender is the engine's owner (opaque here).
using TNotifyEvent = std::function<void(void* sender)>;
using THyperLinkEvent = std::function<void(void* sender, const std::string& text, const std::string& stamp, std::int32_t lineNumber)>;
using TJDErrorEvent = std::function<void(void* sender, const std::string& message)>;
using THTMLBitmapRequestEvent = std::function<void(void* sender, const std::string& name, std::shared_ptr<plat::TGraphic>& bitmap)>;
// text of the protected run (at most 254 characters) and, for insert points, its tag
using TProtectedChangeEvent = std::function<void(void* sender, const std::string& text, std::uint16_t tag)>;
// Asked before a typed character goes in: `p` starts as the character and
// is what gets typed; `autoText` is the automatic text (style 0x2000) that
// ends at the cursor, `lenOfAutoText` its length and `tag` its first
// character's tag; `c` the typed character; doContinue false types nothing.
using TGetTextToInsertEvent = std::function<void(void* sender, std::string& p, const std::string& autoText,
                                                 int lenOfAutoText, std::uint16_t tag, char c, bool& doContinue)>;
using TEditStateEvent = std::function<void(void* sender, bool selectionMarked, bool clipboardNotEmpty)>;
using TProvideObjectEvent = std::function<void(void* sender, std::uint16_t id, std::shared_ptr<plat::TGraphic>& object)>;
using TBeforePasteEvent = std::function<void(void* sender, TParagraph* paragraph, bool& doIt)>;
using TNewParCreatedEvent = std::function<void(void* sender, TParagraph* paragraph)>;

// Attribute set used for insert points, automatic text and the hyperlink look.
class TCharacterAttr {
public:
    TThreeState Bold() const { return bold_; }
    TThreeState Italic() const { return italic_; }
    TThreeState Underline() const { return underline_; }
    TThreeState StrikeOut() const { return strikeOut_; }
    TThreeState SuperScript() const { return superScript_; }
    TThreeState SubScript() const { return subScript_; }
    bool Hidden() const { return hidden_; }
    std::uint32_t UnderlineColor() const { return underlineColor_; }
    std::uint32_t TextColor() const { return textColor_; }
    std::uint32_t BackgroundColor() const { return backgroundColor_; }
    bool UseUnderlineColor() const { return useUnderlineColor_; }
    bool UseTextColor() const { return useTextColor_; }
    bool UseBackgroundColor() const { return useBackgroundColor_; }
    bool Used() const { return used_; }

    void SetBold(TThreeState v) { Set(bold_, v); }
    void SetItalic(TThreeState v) { Set(italic_, v); }
    void SetUnderline(TThreeState v) { Set(underline_, v); }
    void SetStrikeOut(TThreeState v) { Set(strikeOut_, v); }
    void SetSuperScript(TThreeState v) { Set(superScript_, v); }
    void SetSubScript(TThreeState v) { Set(subScript_, v); }
    void SetHidden(bool v) { Set(hidden_, v); }
    void SetUnderlineColor(std::uint32_t v) { Set(underlineColor_, v); }
    void SetTextColor(std::uint32_t v) { Set(textColor_, v); }
    void SetBackgroundColor(std::uint32_t v) { Set(backgroundColor_, v); }
    void SetUseUnderlineColor(bool v) { Set(useUnderlineColor_, v); }
    void SetUseTextColor(bool v) { Set(useTextColor_, v); }
    void SetUseBackgroundColor(bool v) { Set(useBackgroundColor_, v); }

    std::function<void()> onChange;

private:
    template <typename T>
    void Set(T& field, T v) {
        field = v;
        used_ = true;
        if (onChange) onChange();
    }
    TThreeState bold_ = TThreeState::tsIgnore, italic_ = TThreeState::tsIgnore,
                underline_ = TThreeState::tsIgnore, strikeOut_ = TThreeState::tsIgnore,
                superScript_ = TThreeState::tsIgnore, subScript_ = TThreeState::tsIgnore;
    bool hidden_ = false;
    std::uint32_t underlineColor_ = 0, textColor_ = 0, backgroundColor_ = 0;
    bool useUnderlineColor_ = false, useTextColor_ = false, useBackgroundColor_ = false;
    bool used_ = false;
};

}  // namespace richtext
