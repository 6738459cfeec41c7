// The look of the library's dialog buttons, and the global texts owned by
// the application once the GUI runs.
#include "controls/data/vl_dialog_style.h"
#include "data/vl_intl.h"
#include "platform/gui/forms.h"

#include <gtest/gtest.h>

using namespace vl;

namespace {

// The global instance is shared by the whole program: each test puts back
// what it changed by starting from a fresh copy of the defaults.
class DialogStyle : public ::testing::Test {
protected:
    void SetUp() override {
        gui::InitApplication();
        TvlIntl defaults(nullptr);
        global = &CreateGlobalIntl();
        defaults.CopyTextsToGlobal();
    }
    TvlIntl* global = nullptr;
};

TEST_F(DialogStyle, GlobalInstanceIsOwnedAndForgottenWhenFreed) {
    EXPECT_EQ(GlobalIntl(), global);
    EXPECT_EQ(&CreateGlobalIntl(), global);  // made once
    EXPECT_EQ(global->Owner(), gui::Application);
}

TEST_F(DialogStyle, DialogButtonsHaveTheirSizes) {
    gui::TForm form(nullptr);
    struct Case { bool bitmapped; int kind; int height; const char* caption; int result; bool cancel; };
    const Case cases[] = {
        {false, dbkOK, 24, "&OK", gui::mrOk, false},
        {false, dbkCancel, 24, "Cancel", gui::mrCancel, true},
        {false, dbkCaptionOnly, 24, "", gui::mrNone, false},
        {true, dbkOK, 27, "&OK", gui::mrOk, false},
        {true, dbkCancel, 27, "Cancel", gui::mrCancel, true},
    };
    for (const Case& c : cases) {
        global->OKCancelBitmapped = c.bitmapped;
        global->DialogFontStyle = gui::fsItalic;
        gui::TButton* b = ApplyDialogStyle(&form, c.kind);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->Owner(), &form);
        EXPECT_EQ(b->Width(), 77);
        EXPECT_EQ(b->Height(), c.height);
        EXPECT_EQ(b->Caption(), c.caption);
        EXPECT_EQ(b->ModalResult, c.result);
        EXPECT_EQ(b->Cancel, c.cancel);
        auto* bit = dynamic_cast<gui::TBitBtn*>(b);
        EXPECT_EQ(bit != nullptr, c.bitmapped);
        if (bit) {
            EXPECT_EQ(bit->Font().Name(), "MS Sans Serif");
            EXPECT_EQ(bit->Font().Height(), -11);
            EXPECT_EQ(bit->Font().Style(), gui::fsItalic);
            EXPECT_EQ(bit->Font().Color(), gui::clBtnText);
        }
    }
    global->OKCancelBitmapped = false;
    global->DialogFontStyle = 0;
}

}  // namespace
