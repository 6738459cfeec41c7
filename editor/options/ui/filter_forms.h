// The page filter windows: the full dialog with its seventeen criteria and
// the small dialog for one criterion beside the mouse.
#pragma once

#include "controls/dates/tool_edit.h"
#include "project/editor_context.h"
#include "editor/options/page_filters.h"
#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/lists.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/tabs.h"

#include <array>

namespace editor {

// The controls of the seventeen criteria, in line order: edits, combo
// boxes and date edits alike answer their text.
struct FilterControls {
    gui::TEdit *fHelpID = nullptr, *fHelpIDTo = nullptr;
    gui::TComboBox* fTopicPopup = nullptr;
    gui::TEdit *fTitle = nullptr, *fKeys = nullptr, *fBrowseName = nullptr, *fBrowseID = nullptr,
               *fBrowseIDTo = nullptr;
    zb::TDateEdit *fModifiedDate = nullptr, *fModifiedDateTo = nullptr;
    gui::TEdit *fModifiedTime = nullptr, *fModifiedTimeTo = nullptr, *fVersion = nullptr;
    gui::TComboBox *fCompileFor = nullptr, *fRevised = nullptr;
    gui::TEdit *fFlag = nullptr, *fUserField = nullptr;

    std::array<gui::TCustomEdit*, kFilterLineCount> All() const;
    FilterValues Values() const;
    void SetValues(const FilterValues& v);
};

class TfrmFilter : public gui::TForm {
public:
    TfrmFilter(gui::TComponent* owner, EditorContext& ctx);

    FilterControls c;
    gui::TButton *Button1, *Button2, *Button3, *Button4, *Button5;  // Apply, Cancel, Help, Reset All, Apply and Close

    void FormShow(gui::TObject*);       // fills from the stored lines
    void Button1Click(gui::TObject*);   // applies
    void Button5Click(gui::TObject*);   // applies and closes
    void resetAll();
    bool Apply();

private:
    EditorContext& ctx_;
};

// The fill and apply steps of the full dialog on a given dialog object.
void PrepareFieldFilter(TfrmFilter& dialog);
bool ApplyFieldFilter(TfrmFilter& dialog);

class TfrmMiniFilter : public gui::TForm {
public:
    static constexpr long kHelpContext = 15300;
    explicit TfrmMiniFilter(gui::TComponent* owner);

    gui::TGroupBox* pnl;
    gui::TNotebook* nb;
    FilterControls c;
    gui::TButton *Button1, *Button2;  // OK, Cancel
    // The mouse position the dialog opens beside (screen coordinates).
    int MouseX = 0, MouseY = 0;

    // Caption, group box, page and values for a criterion from the stored lines.
    void Prepare(FilterCriterion criterion, const std::vector<std::string>& storedLines);
    // This criterion's value(s), in its line order.
    std::vector<std::string> CriterionValues() const;
    void FormShow(gui::TObject*);

private:
    FilterCriterion criterion_ = FilterCriterion::None;
};

// A column filter from its criterion: the small dialog prepared and shown;
// OK applies it with the other stored criteria. False on Cancel or None.
bool RunColumnFilter(EditorContext& ctx, TfrmMiniFilter& mini, FilterCriterion criterion);

}  // namespace editor
