// TvlLocateDialog: finds the first or next record whose field matches a
// value, directly (SearchField and FieldValue set by the program) or through
// the modal TvlLocateDlg, in which the user picks the field, types the value
// and chooses how to compare. Texts come from the texts component.
#pragma once

#include "data/vl_locate.h"
#include "data/data_source.h"
#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/lists.h"
#include "platform/gui/std_controls.h"

#include <functional>
#include <string>

namespace vl {

enum TvlFieldSortType { fsSortByFieldNo, fsSortByFieldName };
enum TvlDefaultButtonType { dbFindFirst, dbFindNext };
enum TvlFieldSelection { fsAllFields, fsVisibleFields };

class TvlLocateDlg;
using TvlOnInitLocateDlgEvent = std::function<void(TvlLocateDlg* dialog)>;

class TvlLocateDialog : public gui::TComponent {
public:
    explicit TvlLocateDialog(gui::TComponent* AOwner);
    ~TvlLocateDialog() override;

    std::string Caption = "Locate Field Value";
    db::TDataSource* DataSource() const { return dataSource_; }
    void SetDataSource(db::TDataSource* source);
    std::string SearchField;
    TvlLocateMatchType MatchType = mtPartialMatchStart;
    bool CaseSensitive = false;
    TvlFieldSortType SortFields = fsSortByFieldName;
    TvlDefaultButtonType DefaultButton = dbFindNext;
    TvlFieldSelection FieldSelection = fsAllFields;
    bool ShowMessages = true;
    TvlOnInitLocateDlgEvent OnInitDialog;

    // The value to look for; empty makes FindFirst and FindNext open the dialog.
    std::string FieldValue;
    // The form while it is open.
    TvlLocateDlg* Dialog() const { return dialog_; }

    virtual void DoInitDialog();
    // True when the form closed with OK. Without an open dataset: the error
    // box and False (nothing was searched).
    virtual bool Execute();
    bool FindFirst();
    bool FindNext();

protected:
    void Notification(gui::TComponent* AComponent, gui::TOperation Operation) override;

private:
    friend class TvlLocateDlg;
    db::TDataSet* ActiveDataSet() const;
    bool Find(bool first);

    db::TDataSource* dataSource_ = nullptr;
    TvlLocateDlg* dialog_ = nullptr;
};

class TvlLocateDlg : public gui::TForm {
public:
    TvlLocateDlg(gui::TComponent* AOwner, TvlLocateDialog* owner, db::TDataSet* dataSet);

    gui::TGroupBox* ValueGroup;
    gui::TEdit* SearchValue;
    gui::TGroupBox* SearchTypeGroup;
    gui::TCheckBox* CaseSensitiveCheckBox;
    gui::TRadioButton* ExactMatchBtn;
    gui::TRadioButton* PartialMatchStartBtn;
    gui::TRadioButton* PartialMatchAnyBtn;
    gui::TGroupBox* FieldsGroup;
    gui::TComboBox* FieldNameComboBox;
    gui::TButton* FirstButton;
    gui::TButton* NextButton;
    gui::TButton* CancelButton;

    // The field whose label (a "~" read as a blank) is chosen; stored fields
    // are tried before calculated ones. "" when none.
    std::string ChosenFieldName() const;
    TvlLocateMatchType ChosenMatchType() const;

    void FindFirst(gui::TObject* sender);
    void FindNextBtnClick(gui::TObject* sender);
    void FormShow(gui::TObject* sender);

private:
    bool Search(bool fromBeginning);
    TvlLocateDialog* locate_;
    db::TDataSet* dataSet_;
    gui::TButton* savedDefault_ = nullptr;
};

// The display label of a field as the dialog lists it: "~" shown as a blank.
std::string LocateFieldLabel(const db::TField* field);

}  // namespace vl
