// Helpers shared by the GUI tests: a control that records the messages it
// gets, and a shown form to put controls on.
#pragma once

#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <QTimer>

namespace guitest {

// Paints a white face with a navy frame and "Hi" in black, and keeps a log
// of the input, focus and notification messages it receives.
class Recorder : public gui::TCustomControl {
public:
    explicit Recorder(gui::TComponent* owner) : gui::TCustomControl(owner) { SetColor(gui::clWhite); }
    std::vector<gui::TMessage> log;
    std::vector<gui::UINT> Messages() const {
        std::vector<gui::UINT> out;
        for (auto& m : log) out.push_back(m.Msg);
        return out;
    }
    // Only the messages of one kind.
    std::vector<gui::TMessage> Of(gui::UINT msg) const {
        std::vector<gui::TMessage> out;
        for (auto& m : log)
            if (m.Msg == msg) out.push_back(m);
        return out;
    }
    void WndProc(gui::TMessage& m) override;
    gui::LRESULT dlgCode = 0;
    int paints = 0;

protected:
    void Paint() override;
};

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    gui::TForm* form = nullptr;
    // Ends a modal loop that runs too long, so a broken timer fails the test instead of hanging it.
    std::unique_ptr<QTimer> watchdog;
};

}  // namespace guitest
