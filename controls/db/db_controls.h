// The plain data-aware controls: each holds a field link to one field of a
// data source's current record, shows that field, and writes what the user
// changed back into it when the record is posted or the control is left.
#pragma once

#include "data/data_source.h"
#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/lists.h"
#include "platform/gui/std_controls.h"

#include <array>
#include <functional>
#include <string>

namespace db {

// Runs what a user's action asked for. A failure cannot travel up through
// the window system's event handling, so it ends here: a silent abort shows
// nothing, any other error is shown in an error box. True when it succeeded.
bool RunUserAction(const std::function<void()>& action);

class TDBEdit : public gui::TEdit {
public:
    explicit TDBEdit(gui::TComponent* AOwner);
    ~TDBEdit() override;
    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source) { link_.SetDataSource(source); }
    const std::string& DataField() const { return link_.FieldName(); }
    void SetDataField(const std::string& name) { link_.SetFieldName(name); }
    TField* Field() const { return link_.Field(); }
    bool ReadOnlyField() const { return readOnly_; }
    void SetReadOnlyField(bool on);

protected:
    void KeyDown(unsigned& Key, gui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void Change() override;
    void DoExit() override;

private:
    void DataChange();
    void UpdateData();
    TFieldDataLink link_;
    bool showing_ = false;
    bool readOnly_ = false;
};

class TDBMemo : public gui::TMemo {
public:
    explicit TDBMemo(gui::TComponent* AOwner);
    ~TDBMemo() override;
    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source) { link_.SetDataSource(source); }
    const std::string& DataField() const { return link_.FieldName(); }
    void SetDataField(const std::string& name) { link_.SetFieldName(name); }
    TField* Field() const { return link_.Field(); }

protected:
    void KeyPress(char& Key) override;
    void Change() override;
    void DoExit() override;

private:
    TFieldDataLink link_;
    bool showing_ = false;
};

// Label text: the field's display text, never edited.
class TDBText : public gui::TLabel {
public:
    explicit TDBText(gui::TComponent* AOwner);
    ~TDBText() override;
    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source) { link_.SetDataSource(source); }
    const std::string& DataField() const { return link_.FieldName(); }
    void SetDataField(const std::string& name) { link_.SetFieldName(name); }
    TField* Field() const { return link_.Field(); }

private:
    TFieldDataLink link_;
};

// Checked when the field's text equals ValueChecked (without regard to case)
// or, for a boolean field, when it is true.
class TDBCheckBox : public gui::TCheckBox {
public:
    explicit TDBCheckBox(gui::TComponent* AOwner);
    ~TDBCheckBox() override;
    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source) { link_.SetDataSource(source); }
    const std::string& DataField() const { return link_.FieldName(); }
    void SetDataField(const std::string& name) { link_.SetFieldName(name); }
    TField* Field() const { return link_.Field(); }
    std::string ValueChecked = "True";
    std::string ValueUnchecked = "False";
    void Click() override;

private:
    void DataChange();
    TFieldDataLink link_;
    bool showing_ = false;
};

// A combo box whose text is the field's text; picking or typing edits the record.
class TDBComboBox : public gui::TCustomComboBox {
public:
    explicit TDBComboBox(gui::TComponent* AOwner);
    ~TDBComboBox() override;
    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source) { link_.SetDataSource(source); }
    const std::string& DataField() const { return link_.FieldName(); }
    void SetDataField(const std::string& name) { link_.SetFieldName(name); }
    TField* Field() const { return link_.Field(); }

protected:
    void KeyPress(char& Key) override;
    void Change() override;
    void DoExit() override;

private:
    TFieldDataLink link_;
    bool showing_ = false;
};

// Shows ListField of the ListSource rows and stores the chosen row's KeyField
// value in the DataField.
class TDBLookupComboBox : public gui::TCustomComboBox {
public:
    explicit TDBLookupComboBox(gui::TComponent* AOwner);
    ~TDBLookupComboBox() override;
    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source) { link_.SetDataSource(source); }
    const std::string& DataField() const { return link_.FieldName(); }
    void SetDataField(const std::string& name) { link_.SetFieldName(name); }
    TDataSource* ListSource() const { return listLink_.DataSource(); }
    void SetListSource(TDataSource* source);
    std::string KeyField, ListField;
    // Reloads the list from the list source.
    void RefreshList();
    // The key value of the row shown, as text.
    std::string KeyValue() const;
    void SelectKey(const std::string& key);

protected:
    void Change() override;

private:
    void DataChange();
    TFieldDataLink link_;
    TFieldDataLink listLink_;
    std::vector<std::string> keys_;
    bool showing_ = false;
};

enum TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };
constexpr int kNavigateButtonCount = 10;

// The row of buttons that move through and edit a data source's dataset.
// Buttons are enabled only when their operation makes sense.
class TDBNavigator : public gui::TCustomControl {
public:
    explicit TDBNavigator(gui::TComponent* AOwner);
    ~TDBNavigator() override;
    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source);
    // Asks "Delete record?" before deleting.
    bool ConfirmDelete = true;
    gui::TSpeedButton* Buttons(TNavigateBtn b) const { return buttons_[b]; }
    void BtnClick(TNavigateBtn b);
    std::function<void(TDBNavigator*, TNavigateBtn)> OnClick;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

private:
    class Link : public TDataLink {
    public:
        explicit Link(TDBNavigator* n) : nav_(n) {}
    protected:
        void ActiveChanged() override { nav_->UpdateButtons(); }
        void DataSetChanged() override { nav_->UpdateButtons(); }
        void EditingChanged() override { nav_->UpdateButtons(); }
    private:
        TDBNavigator* nav_;
    };
    void UpdateButtons();
    void LayoutButtons();
    Link link_{this};
    std::array<gui::TSpeedButton*, kNavigateButtonCount> buttons_{};
};

}  // namespace db
