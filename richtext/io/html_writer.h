// Writing the document model as a simple HTML page. Jumps of help pages
// (jump text followed by its hidden target) and anchors (insert-point text
// followed by automatic text) become links.
#pragma once

#include <string>
#include <string_view>

#include "richtext/io/text_writer.h"

namespace richtext {

class TJDHTMLWriter : public TJDTextWriter {
public:
    using TJDTextWriter::TJDTextWriter;

    // A run that is a single non-breaking space is left out.
    bool leaveOutNonBreakingSpace = false;
    // Off: footnote marks are ordinary text and their notes are lost. Else a
    // footnote becomes an HTML comment holding its text (the reader turns
    // such comments back into footnotes).
    TStoreHTMLComment storeComment = TStoreHTMLComment::shcOFF;
    // An anchor object (reference text "mtj " and a name) is written as the
    // text "\{mtj name\}", which an export turns into a mark; otherwise it
    // shows nothing. So is a "#" footnote (its text the name), and its mark
    // then shows nothing either.
    bool anchorMarks = false;
    // A run's size is written as its points (a FONT tag's STYLE) rather than
    // the 1..7 scale, which rounds 9 points down to the size of 8; for pages
    // whose body states the base size in points too.
    bool pointSizes = false;

protected:
    bool WriteLine(TLine* line, int from, int to) override;
    bool EndParagraph(TParagraph* par, bool last) override;
    bool StartParagraph(TParagraph* par) override;
    bool WriteObject(TLine* line, int index) override;
    bool WriteFootnote(TLine* line, int index) override;
    bool BeginDocument() override;
    bool EndDocument() override;

private:
    enum class ParKind { None, Plain, Cell, Bordered };

    bool OpenRun(const TJDCharAttr& a, bool link);
    bool CloseRun();
    bool Escaped(std::string_view text, bool rtfCode);
    bool WriteLink(const TJDCharAttr& a, const std::string& text, const std::string& target, bool jump);
    bool CloseParagraph();
    bool CloseTable();
    std::string ColorHex(int index) const;
    const std::string& FontName(int index) const;

    // the run whose tags are open
    bool runOpen_ = false;
    TJDCharAttr run_{};
    bool runFont_ = false, runLink_ = false;
    ParKind par_ = ParKind::None;
    bool parCellFollows_ = false;
    bool tableOpen_ = false, rowOpen_ = false;
    std::string baseFace_;
    int baseHtmlSize_ = 2;
    int basePoints_ = 10;
};

}  // namespace richtext
