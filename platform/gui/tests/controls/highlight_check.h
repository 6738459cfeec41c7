// The selection band of an edit-type control, seen in its grab: no
// highlight colour without a selection on show, and with one only over the
// selected characters. Shared by the tests of every edit-type control.
#pragma once

#include "platform/gui/edits.h"
#include "platform/gui/gui_test_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

namespace guitest {

struct PixelsOf {
    int count = 0;
    gui::TRect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
};

inline PixelsOf FindPixels(gui::TControl* control, gui::TColor color) {
    gui::TBitmap grab;
    Grab(control, grab);
    PixelsOf found;
    for (int y = 0; y < grab.Height(); ++y)
        for (int x = 0; x < grab.Width(); ++x)
            if (grab.Canvas().Pixel(x, y) == gui::ColorToRGB(color)) {
                ++found.count;
                found.box = {std::min(found.box.Left, x), std::min(found.box.Top, y), std::max(found.box.Right, x + 1),
                             std::max(found.box.Bottom, y + 1)};
            }
    return found;
}

// `edit` shows `text` (at least 4 characters); `elsewhere` can take the focus.
inline void ExpectHighlightOnlyOnSelection(gui::TCustomEdit* edit, gui::TWinControl* elsewhere, const std::string& what) {
    ASSERT_GE(edit->Text().size(), 4u) << what;
    if (elsewhere) {
        elsewhere->SetFocus();
        ProcessEvents();
        EXPECT_EQ(FindPixels(edit, gui::clHighlight).count, 0) << what << ": highlight without focus";
    }
    edit->SetFocus();
    ProcessEvents();
    edit->SetSelStart(1);
    edit->SetSelLength(3);
    gui::TBitmap measure(10, 10);
    measure.Canvas().Font().Assign(edit->Font());
    int selected = measure.Canvas().TextWidth(edit->Text().substr(1, 3));
    int before = measure.Canvas().TextWidth(edit->Text().substr(0, 1));
    PixelsOf band = FindPixels(edit, gui::clHighlight);
    EXPECT_GT(band.count, 0) << what << ": no selection band";
    EXPECT_EQ(band.box.Width(), selected) << what;
    EXPECT_GE(band.box.Left, before) << what;
    EXPECT_LE(band.box.Height(), measure.Canvas().TextHeight("Wg")) << what;
}

}  // namespace guitest
