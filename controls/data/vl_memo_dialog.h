// Editing one memo field in a modal window: TvlMemoDialog is the component a
// form (or the grid, for a memo cell) drops and runs; TvlMemoDlg is the
// window, a memo with OK and Cancel and up to two user buttons. View-only,
// OK stands alone (centred without user buttons). Ctrl+Enter and F2 are OK;
// closing otherwise asks about losing changes only after a change. The
// window is freed on every path. controls_demo --form memo shows it.
#pragma once

#include "data/data_source.h"
#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vl {

enum TvlMemoAttribute { mSizeable, mWordWrap, mGridShow, mViewOnly, mDisableDialog };
using TvlMemoAttributes = std::uint8_t;
constexpr TvlMemoAttributes MemoAttr(TvlMemoAttribute a) { return static_cast<TvlMemoAttributes>(1u << a); }

class TvlMemoDlg;
class TvlMemoDialog;
using TvlOnInitMemoDlgEvent = std::function<void(plat::TObject* Sender, TvlMemoDlg* Dialog)>;
using TvlMemoUserButtonEvent = std::function<void(plat::TObject* Sender, TvlMemoDlg* Dialog, gui::TMemo* Memo)>;

// Where the window's pieces go for a form of the given size.
struct TvlMemoLayout {
    gui::TRect memo;
    int buttonTop = 0;
    int okLeft = 0, cancelLeft = 0;
    bool cancelVisible = true;
    int panelTop = 0;
};
TvlMemoLayout MemoDialogLayout(int formWidth, int formHeight, int dlgFrameHeight, int captionHeight, int okWidth,
                               bool editable, bool userButtons);

class TvlMemoDlg : public gui::TForm {
public:
    explicit TvlMemoDlg(gui::TComponent* AOwner);

    gui::TMemo* Memo = nullptr;
    gui::TPanel* UserButtonPanel = nullptr;
    gui::TButton* UserButton1 = nullptr;
    gui::TButton* UserButton2 = nullptr;
    gui::TButton* OKBtn = nullptr;
    gui::TButton* CancelBtn = nullptr;

    bool Editable() const { return editable_; }
    // The texts component's question was asked (tests count these).
    void ResizeControls();

private:
    friend class TvlMemoDialog;
    void FormShow();
    void FormCloseQuery(bool& CanClose);
    void MemoKeyDown(unsigned& Key, gui::TShiftState Shift);

    TvlMemoDialog* component_ = nullptr;
    bool editable_ = true;
    bool okPressed_ = false, closingByOK_ = false, shownOnce_ = false;
    gui::TRect wanted_;
};

class TvlMemoDialog : public gui::TComponent {
public:
    explicit TvlMemoDialog(gui::TComponent* AOwner);
    ~TvlMemoDialog() override;

    db::TDataSource* DataSource() const { return link_->DataSource(); }
    void SetDataSource(db::TDataSource* s) { link_->SetDataSource(s); }
    std::string DataField;
    gui::TFont& Font() { return *font_; }
    void SetFont(const gui::TFont& f) { font_->Assign(f); }
    TvlMemoAttributes MemoAttributes = MemoAttr(mSizeable) | MemoAttr(mWordWrap);
    std::string Caption;
    int DlgLeft = 0, DlgTop = 0, DlgWidth = 561, DlgHeight = 396;
    TvlOnInitMemoDlgEvent OnInitDialog, OnCloseDialog;
    TvlMemoUserButtonEvent OnUserButton1Click, OnUserButton2Click;
    std::string UserButton1Caption, UserButton2Caption;

    // The window while it shows; nullptr otherwise.
    TvlMemoDlg* Dialog() const { return dialog_; }
    virtual void NotifyInitDialog();
    virtual void NotifyCloseDialog();
    // Runs the window; true when the user closed it with OK.
    virtual bool Execute();

private:
    friend class TvlMemoDlg;
    std::unique_ptr<db::TDataLink> link_;
    std::unique_ptr<gui::TFont> font_;
    TvlMemoDlg* dialog_ = nullptr;
};

}  // namespace vl
