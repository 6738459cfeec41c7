// Reading a simple HTML page into the document model: block tags become
// paragraphs, font-changing tags push and pop the character attribute,
// tables become cell paragraphs and images object characters.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "richtext/io/text_reader.h"

namespace richtext {

// HTML font sizes 1-7 in points.
extern const std::uint8_t kHtmlSizePoints[7];
// The HTML size (1-7) a point size falls into: the first whose next size is larger.
int HtmlSizeOfPoints(int points);

class TJDHTMLReader : public TJDTextReader {
public:
    // Nesting of font-changing tags kept at most; deeper tags change nothing.
    static constexpr std::size_t kMaxSavedAttrs = 4096;
    static constexpr int kMaxRowCells = 50;

    // Folder tried for pictures whose name does not resolve as given.
    std::filesystem::path pictureBaseDir;
    // Pictures named by the page that could not be read (missing, not an
    // ordinary file, or too large); their objects stay empty.
    std::vector<std::string> missingPictures;
    // The body's background picture, as named by the page.
    std::string backgroundPicture;
    // Comments of the page: skipped (off), or kept as footnotes whose mark
    // is "*", shown or hidden.
    TStoreHTMLComment storeComment = TStoreHTMLComment::shcOFF;
    // Longest comment text kept; the rest is skipped.
    static constexpr std::size_t kMaxCommentText = 65536;
    // The base size in points; HTML sizes "+n" and "-n" count from its HTML size.
    int baseSize = 10;
    // The attribute the text starts with (the engine's current attribute).
    void SetStartAttr(const TJDCharAttr& a) { attr_ = a; }

    struct TagEntry;

protected:
    int ReadAll() override;
    const char* WrongArgumentsText() const override { return "Wrong Arguments"; }

    // Supplies the graphic of an image source (the owner's handler, else the file).
    virtual void SupplyGraphic(TJDObjectRecord& rec, const std::string& source);

private:
    struct Attribute {
        std::string name, value;
    };
    struct Saved {
        const TagEntry* tag;
        TJDCharAttr attr;
        bool pre;
    };
    struct Cell {
        TParagraph* par;
        int span;
    };

    void Text(int c);
    void Entity();
    void Tag();
    void SkipComment();
    void StoreComment();
    void ReadAttributes(std::vector<Attribute>& attrs);
    bool tooManyObjects_ = false;
    static std::string DecodeEntities(const std::string& value);
    void StartTag(const TagEntry& e, const std::vector<Attribute>& attrs);
    void EndTag(const TagEntry& e);
    void ReadTitle();
    void NewParagraph(bool force = false);
    void SetParagraphDefaults();
    bool ParagraphEmpty() const;
    void Push(const TagEntry& e);
    void Pop(const TagEntry& e);
    void StartCell(const std::vector<Attribute>& attrs);
    void EndRow();
    void EndTable();
    void Image(const std::vector<Attribute>& attrs);
    void FontTag(const std::vector<Attribute>& attrs);
    std::uint8_t ColorIndex(const std::string& value);
    void Emit(int c);

    std::vector<Saved> saved_;
    bool pre_ = false;
    bool atParStart_ = true;
    int pendingBlanks_ = 0;
    bool lastWasCr_ = false;
    // lists: kind 1 bulleted, 2 numbered; one entry per open list
    struct List {
        int kind;
        int number;
        char type;
    };
    std::vector<List> lists_;
    // tables: only the outermost table makes cells
    int tableDepth_ = 0;
    bool tableBorder_ = false;
    std::vector<Cell> row_;
    bool inCell_ = false;
    TParagraph* lastCellPar_ = nullptr;
    // anchors
    bool inAnchor_ = false;
    std::string href_;
    TJDCharAttr anchorAttr_;
};

}  // namespace richtext
