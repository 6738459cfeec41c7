// TvlIntl: every text the data-aware library shows, in groups of named
// items, so a program translates the library by changing properties. One
// global instance serves the library; a further instance on a form with
// Connected set copies its texts into the global one. It also carries the
// look of the library's dialog buttons and of check boxes in grids, as plain
// values: the controls that draw them read them (controls/data).
#pragma once

#include "data/vl_intl_items.h"
#include "platform/core/component.h"

#include <functional>
#include <memory>
#include <string>

namespace vl {

// One group of texts: its items are string members generated from the
// group's table, and can be visited by name.
#define VL_INTL_MEMBER(name, text) std::string name = text;
#define VL_INTL_VISIT(name, text) f(#name, name);
#define VL_INTL_GROUP(Class, TABLE)                                   \
    class Class {                                                     \
    public:                                                           \
        TABLE(VL_INTL_MEMBER)                                         \
        template <class F> void ForEachItem(F&& f) { TABLE(VL_INTL_VISIT) } \
    };

VL_INTL_GROUP(TvlUserMessagesIntl, VL_INTL_USER_MESSAGES)
VL_INTL_GROUP(TvlLocateDialogIntl, VL_INTL_LOCATE_DIALOG)
VL_INTL_GROUP(TvlSearchDialogIntl, VL_INTL_SEARCH_DIALOG)
VL_INTL_GROUP(TvlFilterDialogIntl, VL_INTL_FILTER_DIALOG)
VL_INTL_GROUP(TvlRichEditMenuLabels, VL_INTL_MENU_LABELS)
VL_INTL_GROUP(TvlRichEditPopupMenuLabels, VL_INTL_POPUP_MENU_LABELS)
VL_INTL_GROUP(TvlRichEditParagraphDlg, VL_INTL_PARAGRAPH_DIALOG)
VL_INTL_GROUP(TvlRichEditTabDlg, VL_INTL_TAB_DIALOG)

// The rich-text editor's own items and its four sub-groups.
class TvlDBRichEditIntl {
public:
    VL_INTL_RICH_EDIT(VL_INTL_MEMBER)
    template <class F> void ForEachItem(F&& f) { VL_INTL_RICH_EDIT(VL_INTL_VISIT) }
    TvlRichEditMenuLabels& MenuLabels() { return *menuLabels_; }
    TvlRichEditPopupMenuLabels& PopupMenuLabels() { return *popupMenuLabels_; }
    TvlRichEditParagraphDlg& ParagraphDialog() { return *paragraphDialog_; }
    TvlRichEditTabDlg& TabDialog() { return *tabDialog_; }

private:
    std::unique_ptr<TvlRichEditMenuLabels> menuLabels_ = std::make_unique<TvlRichEditMenuLabels>();
    std::unique_ptr<TvlRichEditPopupMenuLabels> popupMenuLabels_ = std::make_unique<TvlRichEditPopupMenuLabels>();
    std::unique_ptr<TvlRichEditParagraphDlg> paragraphDialog_ = std::make_unique<TvlRichEditParagraphDlg>();
    std::unique_ptr<TvlRichEditTabDlg> tabDialog_ = std::make_unique<TvlRichEditTabDlg>();
};

#undef VL_INTL_GROUP

enum TvlCheckBoxInGridStyle { cbStyleAuto, cbStyleCheckmark, cbStyleXmark };

class TvlIntl : public plat::TComponent {
public:
    explicit TvlIntl(plat::TComponent* AOwner);
    ~TvlIntl() override;

    TvlSearchDialogIntl& SearchDialog() { return *searchDialog_; }
    TvlLocateDialogIntl& LocateDialog() { return *locateDialog_; }
    TvlFilterDialogIntl& FilterDialog() { return *filterDialog_; }
    TvlDBRichEditIntl& RichEdit() { return *richEdit_; }
    TvlUserMessagesIntl& UserMessages() { return *userMessages_; }

    bool OKCancelBitmapped = false;
    std::string BtnOKCaption = "&OK";
    std::string BtnCancelCaption = "Cancel";
    unsigned DialogFontStyle = 0;  // font style bits (fsBold, ...) of the dialogs' buttons

    bool Connected() const { return connected_; }
    // Setting it copies every text into the global instance at once.
    void SetConnected(bool value);
    TvlCheckBoxInGridStyle CheckBoxInGridStyle() const { return checkBoxStyle_; }
    // On a connected instance other than the global one, also sets the global style.
    void SetCheckBoxInGridStyle(TvlCheckBoxInGridStyle value);
    const std::string& VersionVelloric() const { return version_; }
    void SetVersionVelloric(const std::string&) {}  // always "3.0"

    // Copies every item of every group, both captions, OKCancelBitmapped,
    // DialogFontStyle and CheckBoxInGridStyle into the global instance.
    void CopyTextsToGlobal();

    // A text by group and item ("UserMessages", "LocateNoMatches"; the
    // rich-text editor's sub-groups as "RichEdit.MenuLabels"); "" and false
    // for an unknown name.
    std::string Text(const std::string& group, const std::string& item);
    bool SetText(const std::string& group, const std::string& item, const std::string& text);
    // Visits every item of every group: (group, item, text).
    void ForEachText(const std::function<void(const std::string&, const std::string&, std::string&)>& f);

protected:
    void Loaded() override;

private:
    std::unique_ptr<TvlSearchDialogIntl> searchDialog_;
    std::unique_ptr<TvlLocateDialogIntl> locateDialog_;
    std::unique_ptr<TvlFilterDialogIntl> filterDialog_;
    std::unique_ptr<TvlDBRichEditIntl> richEdit_;
    std::unique_ptr<TvlUserMessagesIntl> userMessages_;
    bool connected_ = false;
    TvlCheckBoxInGridStyle checkBoxStyle_ = cbStyleAuto;
    std::string version_ = "3.0";
};

// The global instance; created once by CreateGlobalIntl (the process owner,
// the application when the GUI runs, owns it when there is one). nullptr before that and after it is freed.
TvlIntl* GlobalIntl();
TvlIntl& CreateGlobalIntl();

}  // namespace vl
