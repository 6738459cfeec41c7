// The data grid's in-place editor and its indicator-corner button. The
// editor checks typed text against the column field's picture mask (when the
// field's PictureMasks line says the mask applies in the grid), reports each
// check through the grid's OnCheckValue, wraps words with the grid's
// dgWordWrap, and hands Enter (dgEnterToTab) and Ctrl+Delete to the grid.
// The button sits in the top-left corner and sets the indicator width and
// the least title height. The record enters edit state at the first change
// or paste, not when the editor shows, so looking at a cell leaves the
// dataset in browse state.
#pragma once

#include "controls/data/vl_db_edit.h"
#include "platform/gui/buttons.h"
#include "platform/gui/grids.h"

#include <string>

namespace vl {

class TvlCustomDBGrid;

class TvlInplaceEdit : public gui::TInplaceEdit {
public:
    explicit TvlInplaceEdit(TvlCustomDBGrid* grid);

    TvlDBPicture& Picture() { return picture_; }
    TvlCustomDBGrid* DBGrid() const { return dbGrid_; }
    bool WordWrap() const { return wordWrapFlag_; }
    // Stores the flag and makes the window anew (multi-line style).
    void SetWordWrap(bool value);
    // How often the window was made anew (a style change).
    int WindowGeneration() const { return generation_; }
    // The rows the text shows in (more than one when it wraps).
    int ShownRows() const { return static_cast<int>(Rows().size()); }
    // The column's mask applies in the grid and is not empty.
    bool HasPictureMask() const;
    bool UseMask() const { return useMask_; }
    // True when the text is empty, there is no mask, or it matches the mask
    // completely; the grid's OnCheckValue hears the answer.
    bool ValidatePictureText(const std::string& text);
    // The column field's PictureMasks line into the picture settings.
    void LoadColumnPicture();
    // Loads the cell without asking whether it may change: the record goes
    // into edit state at the first change, not when the editor shows.
    void UpdateContents() override;

protected:
    void KeyDown(unsigned& Key, gui::TShiftState Shift) override;
    void KeyUp(unsigned& Key, gui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void WndProc(gui::TMessage& Message) override;
    gui::TRect TextArea() const override;

private:
    void RecreateWindow();
    // The grid lets the cell change (the record is then being edited).
    bool MayModify();
    void ReportCheck(bool passes);

    TvlCustomDBGrid* dbGrid_;
    TvlDBPicture picture_{nullptr};
    bool wordWrapFlag_ = false;
    bool useMask_ = false;
    int generation_ = 0;
};

class TvlIButton : public gui::TSpeedButton {
public:
    explicit TvlIButton(plat::TComponent* AOwner);
    ~TvlIButton() override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

protected:
    void Loaded() override;
    void Paint() override;

private:
    TvlCustomDBGrid* ParentGrid() const;
};

}  // namespace vl
