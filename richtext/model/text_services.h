// What the text engine needs from the edit control that owns it. The engine
// never calls its owner directly: it keeps these method pointers and calls
// each only when it is assigned, so an engine without a control (a hidden
// buffer, a test) works with all of them empty.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "richtext/model/jd_txt_def.h"

namespace richtext {

class TJDTextFinder;
class TJDRTFText;

// Base of the control's set-mode object: the engine tells it after cursor
// moves and changes. The base leaves all three empty.
class TJDSetModeControl {
public:
    virtual ~TJDSetModeControl() = default;
    virtual void RefreshAttributes() {}
    virtual void RefreshParagraph() {}
    virtual void ApplySelection() {}
    // The page size or margins changed (the ruler shows them).
    virtual void HeaderChanged() {}

    // The editor whose current attribute the getters read (none: all empty).
    const TJDRTFText* editor = nullptr;
    std::uint16_t CurrentStyle() const;
    int CurrentTextColor() const;  // colour table index
    int CurrentBackColor() const;
    // Empty for font numbers outside the font table.
    std::string CurrentFontName() const;
    int CurrentFontSize() const;  // points
};

// Operations the owning control carries and the engine (or the spell
// checker through the control) asks for.
class TJDRichTextOwner {
public:
    virtual ~TJDRichTextOwner() = default;
    // Runs the page loop on the printer and raises the header/footer events.
    virtual void Print() = 0;
    // The next word of the text for the spell checker, empty at the end.
    virtual std::string NextWord() = 0;
    // The control's finder, pointed at this engine's text.
    virtual TJDTextFinder* GetFinder() = 0;
    // Client height of the optional scroll container; negative when there is none.
    virtual std::int32_t ScrollContainerHeight() const { return -1; }
    // The scroll container re-reads the text's size after a deletion shrank it.
    virtual void UpdateScrollContainer() {}
    // The window caret exists only while the control has the focus.
    virtual bool HasFocus() const { return true; }
};

// The event slots of one engine. `Sender` is the owner handed in `sender`.
struct TJDEngineServices {
    void* sender = nullptr;
    TJDRichTextOwner* owner = nullptr;
    TJDSetModeControl* setMode = nullptr;

    TNotifyEvent SaveForUNDO;
    TNotifyEvent OnYPosChanged;
    TNotifyEvent OnXPosChanged;
    TNewParCreatedEvent OnNewParCreatedEvent;
    std::function<void()> CaretHideCallback;
    std::function<void()> CaretShowCallback;
    std::function<void()> CaretUpdateCallback;
    std::function<void()> StatusCallback;
    std::function<void()> VScrollCallback;
    std::function<void()> PaginationCallbacks[2];
    std::function<void()> SelectionChangedCallback;
    TProvideObjectEvent OnProvideObject;
    THTMLBitmapRequestEvent OnHTMLBitmapRequest;
    TProtectedChangeEvent OnProtectedChange;
    TNotifyEvent OnChange;
    TNotifyEvent OnLoaded;
    TBeforePasteEvent OnBeforePaste;
    // A load or save failed: the text says why.
    TJDErrorEvent OnJDErrorEvent;

    // Calls a slot only when it is assigned.
    template <typename F, typename... A>
    static void Call(const F& f, A&&... args) {
        if (f) f(std::forward<A>(args)...);
    }
};

}  // namespace richtext
