// The library's edit with picture masks: typing is checked (and literals
// filled in) key by key against the picture, leaving with a text the picture
// does not accept keeps the focus and beeps. The data-aware edit binds it to
// a field; a bound edit's mask is the dataset's PictureMasks line. The focus
// comes back through a posted message, once, so a focus change already under
// way finishes first and a second exit meanwhile does not fight it.
#pragma once

#include "data/vl_dataset.h"
#include "data/data_source.h"
#include "platform/gui/mask_edit.h"

#include "platform/core/datetime.h"

#include <functional>
#include <string>

namespace vl {

using TvlValidateEvent = std::function<void(plat::TObject* Sender, bool PassesPictureTest)>;

enum TvlEditDataType { vlDefault, vlEdtDate, vlEdtTime, vlEdtDateTime };

// Space in a date, time or date-time edit appends the next part of `now`
// (or a separator) to `text`, in the short date format's order; false when
// the text is already complete.
bool DateAutoFill(std::string& text, TvlEditDataType kind, plat::TDateTime now);

class TvlCustomMaskEdit;
class TvlDBCustomEdit;

// The window style bits the edit is created with.
namespace edit_style {
constexpr unsigned ES_MULTILINE = 0x0004, ES_AUTOVSCROLL = 0x0040, ES_AUTOHSCROLL = 0x0080,
                   ES_WANTRETURN = 0x1000, WS_VSCROLL = 0x00200000, WS_CLIPCHILDREN = 0x02000000;
}

// The Picture property's settings; while the edit is bound they live in the
// dataset's PictureMasks line of the field.
class TvlDBPicture {
public:
    explicit TvlDBPicture(TvlCustomMaskEdit* owner) : owner_(owner) {}
    std::string PictureMask() const;
    void SetPictureMask(const std::string& mask);
    bool AutoFill() const;
    void SetAutoFill(bool on);
    bool AllowInvalidExit() const { return allowInvalidExit_; }
    void SetAllowInvalidExit(bool on);
    // The mask and auto-fill flag as `other` reports them.
    void Assign(const TvlDBPicture& other);
    // Bound: the owner is a data-aware edit with a dataset and a field name.
    bool Bound() const;

private:
    TvlCustomMaskEdit* owner_;
    std::string mask_;
    bool autoFill_ = true;
    bool allowInvalidExit_ = false;
};

class TvlCustomMaskEdit : public gui::TCustomMaskEdit {
public:
    explicit TvlCustomMaskEdit(plat::TComponent* AOwner);
    TvlDBPicture& Picture() { return picture_; }
    // Read freely; the setters create the window again with the new style.
    bool WordWrap = false;
    bool WantReturns = false;
    bool ShowVertScrollBar = false;
    void SetWordWrap(bool on);
    void SetWantReturns(bool on);
    void SetShowVertScrollBar(bool on);
    // The style bits the window has (or would be created with).
    virtual unsigned WindowStyle() const;
    // The rectangle the text is edited in.
    virtual gui::TRect EditRect() const;
    TvlValidateEvent OnCheckValue;
    bool InvalidExit() const { return invalidExit_; }
    bool PictureAccepted() const { return pictureAccepted_; }
    virtual bool HasPictureMask() { return !picture_.PictureMask().empty(); }
    // Empty texts and empty masks pass; otherwise only a complete match.
    // The outcome always goes to ReportCheckValue.
    bool TestPictureText(const std::string& text);
    virtual void ReportCheckValue(bool Passes);

protected:
    void KeyPress(char& Key) override;
    void DoExit() override;
    void WndProc(gui::TMessage& Message) override;
    // Called before the picture changes the text.
    virtual void BeginPictureEdit() {}
    gui::TRect TextArea() const override { return EditRect(); }
    // Puts WindowStyle() in force, as creating the window again would.
    void RecreateWnd();

    TvlDBPicture picture_{this};
    bool invalidExit_ = false;
    bool pictureAccepted_ = false;
    bool refocusPending_ = false;
};

class TvlDBCustomEdit : public TvlCustomMaskEdit {
public:
    explicit TvlDBCustomEdit(plat::TComponent* AOwner);
    ~TvlDBCustomEdit() override;
    db::TDataSource* DataSource() const { return dataLink_.DataSource(); }
    void SetDataSource(db::TDataSource* source);
    std::string DataField() const { return dataLink_.FieldName(); }
    void SetDataField(const std::string& name) { dataLink_.SetFieldName(name); }
    db::TField* Field() const { return dataLink_.Field(); }
    db::TFieldDataLink& DataLink() { return dataLink_; }
    bool UsePictureMask = true;
    bool AutoFillDate = true;
    TvlEditDataType UnboundDataType = vlDefault;
    // Date, time or date-time by the field's type (or UnboundDataType).
    TvlEditDataType DateKind() const;
    bool HasPictureMask() override { return UsePictureMask && TvlCustomMaskEdit::HasPictureMask(); }
    // Writes the text into the field (the mask checks first, as the dataset asks).
    void UpdateData();
    // Escape: a bound edit reads its field again, an unbound one gets back
    // the text it had when it took the focus; all text is selected.
    void Reset();
    // The alignment the text is shown in while the edit has no focus.
    gui::TAlignment ShownAlignment() const;
    // The text a grid cell edited by this control shows for the field's
    // value; false leaves the field's display text. The plain edit has none.
    virtual bool GridDisplayText(const std::string& value, std::string& text) { return false; }

protected:
    void KeyDown(unsigned& Key, gui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void KeyUp(unsigned& Key, gui::TShiftState Shift) override;
    void Change() override;
    void DoEnter() override;
    void DoExit() override;
    void Paint() override;
    void WndProc(gui::TMessage& Message) override;
    void BeginPictureEdit() override;
    void Notification(plat::TComponent* AComponent, plat::TOperation Operation) override;
    // The field's value shown in the edit, and the text the field receives.
    virtual void DataChange();
    virtual std::string StoredText() { return Text(); }
    // Set while the field's value is being shown: the text that changes
    // then is no change to the record.
    bool showingField_ = false;

private:
    db::TFieldDataLink dataLink_;
    std::string enterText_;
};

class TvlDBEdit : public TvlDBCustomEdit {
public:
    using TvlDBCustomEdit::TvlDBCustomEdit;
};

}  // namespace vl
