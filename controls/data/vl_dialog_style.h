// The look of the data-aware library's dialog buttons, taken from the
// global texts component (data/vl_intl.h): captions, bitmapped or plain,
// the dialog font style.
#pragma once

#include "platform/gui/buttons.h"
#include "platform/gui/component.h"

namespace vl {

// The kinds of button ApplyDialogStyle makes.
enum TvlDialogButtonKind { dbkOK = 1, dbkCancel = 2, dbkCaptionOnly = 3 };

// A button for one of the library's dialogs: 77 x 24 pixels at 96 pixels per
// inch (a bitmapped one 77 x 27, with the dialog font style), scaled to the
// screen. Kind 1 is OK, 2 Cancel (it answers Escape), 3 a caption-only button.
gui::TButton* ApplyDialogStyle(gui::TComponent* owner, int kind);

}  // namespace vl
