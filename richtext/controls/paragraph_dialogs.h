// The paragraph dialogs of the rich-text editors (borders; indents and
// spacing), the table-size picker and the tiled wallpaper.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/lists.h"
#include "platform/gui/std_controls.h"
#include "richtext/controls/rich_text.h"
#include "richtext/controls/rtf_edit.h"

namespace richtext {

// --- borders ---------------------------------------------------------------------------------

// The border flags the dialog's boxes stand for.
constexpr std::uint16_t kBoxFlag = 0x40, kTopFlag = 0x04, kLeftFlag = 0x10, kBottomFlag = 0x08, kRightFlag = 0x20,
                        kDoubleFlag = 0x80, kDottedFlag = 0x100;

class TJDParagraphBord : public gui::TForm {
public:
    TJDParagraphBord(gui::TComponent* AOwner, TJDCustomRtfEdit* editor);

    gui::TCheckBox *leftBox, *topBox, *RightBox, *BottomBox, *box, *all, *double_, *Dotted;
    gui::TComboBox *ColCmb, *WidthCmb;
    gui::TLabel *ColorText, *WidthText;
    // Space between border and text, 0..15 mm.
    gui::TEdit* SpaceText;
    gui::TButton *OKBtn, *CancelBtn;

    // The flag word the ticked boxes make.
    std::uint16_t Flags() const;
    // Sets the boxes, colour, width and space from the paragraph at the editor's cursor.
    void ReadParagraph();
    // Applies the choice to the paragraph (no flag removes its border) and
    // closes; a space that is not 0..15 is named in a message and the form stays.
    void OkClick();

private:
    TJDCustomRtfEdit* editor_;
    bool settingAll_ = false;
};

class TJDParagraphBorderDlg : public gui::TComponent {
public:
    explicit TJDParagraphBorderDlg(gui::TComponent* AOwner) : gui::TComponent(AOwner) {}
    TJDCustomRtfEdit* EditBox = nullptr;
    // Called with the form once it is built, before it shows.
    std::function<void(TJDParagraphBord&)> OnFormCreated;
    // Nothing without an editor; else the form runs modally. Result: the form's modal result.
    int Execute();
};

// --- indents and spacing -------------------------------------------------------------------------

class TJDParagraphProp : public gui::TForm {
public:
    enum TUnit { uInch, uCm, uTwips };
    TJDParagraphProp(gui::TComponent* AOwner, TJDCustomRtfEdit* editor);

    // First indent, left indent, right indent, space before, line height, space after.
    std::array<gui::TEdit*, 6> Edits{};
    std::array<gui::TLabel*, 6> Labels{};
    gui::TComboBox* UnitCmb;
    gui::TButton *OKBtn, *CancelBtn;
    // The character between whole and fraction in the edits: the library's,
    // which follows its language.
    char DecimalSeparator = JDDecimalChar();

    // The six values in twips.
    const std::array<int, 6>& Values() const { return twips_; }
    TUnit Unit() const { return static_cast<TUnit>(UnitCmb->ItemIndex()); }
    void SetUnit(TUnit u);
    // Reads the paragraph at the editor's cursor and shows its values.
    void ReadParagraph();
    // Applies indents and spacing; a field that is not a number is named in a
    // message and the form stays open.
    void OkClick();
    // The text a value in twips shows in the unit.
    std::string Format(int twips) const;
    // A field's text in the unit as twips; false when it is not a number.
    bool Parse(const std::string& text, int& twips) const;

private:
    void EditChanged(int index);
    void ShowValues();
    TJDCustomRtfEdit* editor_;
    std::array<int, 6> twips_{};
    std::array<bool, 6> valid_{};
    bool showing_ = false;
};

class TJDParagraphPropDlg : public gui::TComponent {
public:
    explicit TJDParagraphPropDlg(gui::TComponent* AOwner) : gui::TComponent(AOwner) {}
    TJDCustomRtfEdit* EditBox = nullptr;
    char DecimalSeparator = JDDecimalChar();
    std::function<void(TJDParagraphProp&)> OnFormCreated;
    int Execute();
};

// --- table size picker -----------------------------------------------------------------------------

class TJDTableSelect : public gui::TForm {
public:
    explicit TJDTableSelect(gui::TComponent* AOwner);
    // The most columns a row of the text keeps.
    static constexpr int kMaxCols = 50;
    static constexpr int kMaxRows = 50;

    gui::TPanel* LeftPanel;
    gui::TSpeedButton *CancelBtn, *OKBtn, *ShowBorder;
    gui::TPaintBox* Box;

    // The size picked: at least one row and one column.
    int Rows() const { return std::max(rows_, 1); }
    int Cols() const { return std::max(cols_, 1); }
    bool Borders() const { return ShowBorder->Down(); }
    bool Tracking() const { return tracking_; }
    int CellSize() const { return cell_; }

private:
    void Track(int x, int y);
    void PaintGrid();
    int rows_ = 0, cols_ = 0;
    bool tracking_ = false;
    int cell_ = 16;
};

// --- wallpaper ---------------------------------------------------------------------------------------

class TJDWallPaper : public gui::TGraphicControl {
public:
    explicit TJDWallPaper(gui::TComponent* AOwner);
    gui::TPicture& Picture() { return *picture_; }
    void SetPicture(const gui::TPicture& p);
    // Re-reads the picture after it was changed in place.
    void PictureChanged();
    std::int32_t LeftOffset() const { return left_; }
    void SetLeftOffset(std::int32_t v);
    std::int32_t TopOffset() const { return top_; }
    void SetTopOffset(std::int32_t v);
    // Drawing is in true colour: there is no palette to realise.
    void* GetPalette() const { return nullptr; }

protected:
    void Paint() override;

private:
    std::unique_ptr<gui::TPicture> picture_;
    std::int32_t left_ = 0, top_ = 0;
};

}  // namespace richtext
