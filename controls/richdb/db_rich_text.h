// The rich-text component bound to one field of a dataset: it loads the
// field when the record changes, puts the dataset into edit state the
// moment the user starts to change the text (keeping caret, selection and
// scroll position across the reload that follows), writes the text back
// when the dataset posts, and drives the tool bar's database icons.
//
// It is a library of its own (tavrin_controls_dbrichtext), so the plain
// rich-text controls build without the dataset layer. A BLOB field is
// loaded by the editor's load format, any other field as plain text. A
// change starts only when source, link, field and dataset all allow one; a
// refused change never touches the dataset. bench_rtf_dbedit walks 200
// bound records against reading them into an unbound editor by hand.
#pragma once

#include <string>

#include "data/data_source.h"
#include "richtext/controls/rich_text.h"

namespace richtext {

class TDBJDRichText : public TJDCustomRichText {
public:
    explicit TDBJDRichText(gui::TComponent* AOwner);
    ~TDBJDRichText() override;

    bool AutoDisplay() const { return autoDisplay_; }
    void SetAutoDisplay(bool v);
    const std::string& DataField() const { return link_.FieldName(); }
    void SetDataField(const std::string& name);
    db::TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(db::TDataSource* source);
    db::TField* Field() const { return link_.Field(); }
    db::TFieldDataLink& DataLink() { return link_; }
    bool MemoLoaded() const { return memoLoaded_; }

    void SetReadOnly(bool v) override;
    bool GetReadOnly() const override;
    bool CanEdit() override;
    void IconSelection(TJdSelNr& typ, const std::string& name, int group, int num) override;

    void LoadMemo();
    void SetFocused(bool v);
    void UpdateDatabaseIcons();
    void WndProc(gui::TMessage& Message) override;

protected:
    void Notification(gui::TComponent* AComponent, gui::TOperation Operation) override;
    void KeyDown(unsigned& Key, gui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void DoExit() override {}

private:
    void DataChange();
    void EditingChange();
    void UpdateData();
    void ShowPlain(const std::string& text);
    bool SourceUsable() const;
    // Whether a change may start: source, link, field and dataset allow it.
    bool MayChange() const;
    static bool IsBlob(const db::TField* f);

    db::TFieldDataLink link_;
    bool autoDisplay_ = true;
    bool focused_ = false;
    bool memoLoaded_ = false;
    bool enteringEdit_ = false;
};

}  // namespace richtext
