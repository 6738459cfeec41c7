// The helpers that speak to windows and classes: a posted key stroke with a
// held shift key, and the class-chain name test.
#include "platform/gui/tests/gui_fixture.h"

#include "controls/data/vl_control_helpers.h"
#include "data/vl_helpers.h"
#include "data/vl_table.h"
#include "platform/win/message_queue.h"

#include <QCoreApplication>

namespace {

using namespace gui;

class HelpersGui : public guitest::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        rec = new guitest::Recorder(form);
        rec->SetParent(form);
        rec->SetBounds(10, 10, 200, 100);
        form->Show();
        QCoreApplication::processEvents();
        rec->log.clear();
    }
    guitest::Recorder* rec = nullptr;
};

TEST_F(HelpersGui, APostedKeyStrokeCarriesItsShiftKeyAndLeavesTheKeyboardAsItWas) {
    struct {
        unsigned shiftKey;
        bool alt;
    } cases[] = {{VK_MENU, true}, {VK_SHIFT, false}, {0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shiftKey);
        rec->log.clear();
        vl::PostKeyStroke(rec->Handle(), VK_DOWN, c.shiftKey);
        EXPECT_TRUE(rec->log.empty());  // posted, not sent
        EXPECT_GE(GetKeyState(VK_MENU), 0);
        EXPECT_GE(GetKeyState(VK_SHIFT), 0);
        plat::ProcessMessages();
        const auto downs = rec->Of(WM_KEYDOWN), ups = rec->Of(WM_KEYUP);
        ASSERT_EQ(downs.size(), 1u);
        ASSERT_EQ(ups.size(), 1u);
        EXPECT_EQ(downs[0].WParam, static_cast<WPARAM>(VK_DOWN));
        EXPECT_EQ(ups[0].WParam, static_cast<WPARAM>(VK_DOWN));
        EXPECT_EQ(downs[0].LParam & 0xFFFF, 1);  // repeat count
        EXPECT_EQ((downs[0].LParam >> 29 & 1) != 0, c.alt);
        EXPECT_EQ((ups[0].LParam >> 29 & 1) != 0, c.alt);
        EXPECT_NE(ups[0].LParam >> 31 & 1, 0);  // released
    }
}

TEST(Helpers, ClassChainNames) {
    vl::TvlTable table(nullptr);
    EXPECT_TRUE(vl::ClassChainHasName(&table, "TvlTable"));
    EXPECT_TRUE(vl::ClassChainHasName(&table, "ttable"));
    EXPECT_TRUE(vl::ClassChainHasName(&table, "TDataSet"));
    EXPECT_TRUE(vl::ClassChainHasName(&table, "TComponent"));
    EXPECT_FALSE(vl::ClassChainHasName(&table, "TQuery"));
    EXPECT_FALSE(vl::ClassChainHasName(&table, "vlTable"));
    EXPECT_FALSE(vl::ClassChainHasName(nullptr, "TvlTable"));
}

}  // namespace
