// The edit control's clipboard, drag and drop, and printing.
#include <algorithm>
#include <cstring>
#include <sstream>

#include "platform/core/streams.h"
#include "platform/gui/buttons.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/metafile.h"
#include "platform/gui/printer.h"
#include "platform/gui/std_controls.h"
#include "platform/imaging/graphic.h"
#include "richtext/controls/rtf_edit.h"
#include "richtext/io/text_reader.h"

namespace richtext {

using namespace gui;

// --- clipboard -------------------------------------------------------------------------------------

std::string TJDCustomRtfEdit::SelectionAs(TJDLoadFormat format) {
    TJDLoadFormat keep = engine_->SaveFormat;
    engine_->SaveFormat = format;
    std::ostringstream out;
    try {
        engine_->SaveSelectionToStream(out);
    } catch (...) {
        engine_->SaveFormat = keep;
        throw;
    }
    engine_->SaveFormat = keep;
    return out.str();
}

void TJDCustomRtfEdit::CopyToClipboard() {
    bool doIt = true;
    if (OnBeforeCopyEvent) OnBeforeCopyEvent(this, doIt);
    if (!doIt || !engine_->HasSelection() || engine_->SelectionEmpty()) return;
    auto block = [](const std::string& bytes) {
        // The bytes, four zero bytes, and room to spare.
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size() + 4 + 32);
        if (void* p = GlobalLock(h)) {
            std::memcpy(p, bytes.data(), bytes.size());
            GlobalUnlock(h);
        }
        return h;
    };
    HGLOBAL rtf = block(SelectionAs(TJDLoadFormat::FormatRTF));
    HGLOBAL text = block(SelectionAs(TJDLoadFormat::FormatANSI));
    if (!OpenClipboard(HandleAllocated() ? Handle() : 0)) {
        GlobalFree(rtf);
        GlobalFree(text);
        return;
    }
    EmptyClipboard();
    SetClipboardData(CF_RTF(), rtf);
    SetClipboardData(CF_TEXT, text);
    CloseClipboard();
}

void TJDCustomRtfEdit::CutToClipboard() {
    if (!engine_->HasSelection() || engine_->SelectionEmpty()) return;
    bool doIt = true;
    if (OnBeforeCopyEvent) OnBeforeCopyEvent(this, doIt);
    if (!doIt) return;
    // Copy without asking twice.
    TBeforeCopyEvent ask = std::move(OnBeforeCopyEvent);
    OnBeforeCopyEvent = nullptr;
    try {
        CopyToClipboard();
    } catch (...) {
        OnBeforeCopyEvent = std::move(ask);
        throw;
    }
    OnBeforeCopyEvent = std::move(ask);
    if (!GetReadOnly() && CanEdit()) {
        if (engine_->DeleteSelection()) {
            engine_->FormatAll();
            engine_->ScrollToCursor();
            Invalidate();
            Changed();
            return;
        }
    }
    engine_->ScrollToCursor();
    Invalidate();
}

void TJDCustomRtfEdit::InsertStreamAtCursor(const std::string& bytes, bool rtf) {
    TJDEngineServices::Call(engine_->services.SaveForUNDO, engine_->services.sender);
    engine_->DeleteSelection();
    std::istringstream in(bytes);
    TThreeState keep = engine_->insertSelection;
    TBeforePasteEvent keepPaste = engine_->services.OnBeforePaste;
    engine_->insertSelection = TThreeState::tsTRUE;
    engine_->services.OnBeforePaste = OnBeforePasteEvent;
    auto restore = [&] {
        engine_->insertSelection = keep;
        engine_->services.OnBeforePaste = keepPaste;
    };
    try {
        if (rtf) {
            TJDRtfReader reader;
            engine_->LoadWithReader(in, reader);
        } else {
            TJDPlainTextReader reader;
            reader.SetStartAttr(engine_->currentAttr);
            engine_->LoadWithReader(in, reader);
        }
    } catch (...) {
        restore();
        engine_->FormatAll();
        throw;
    }
    restore();
    engine_->FormatAll();
    engine_->ScrollToCursor();
}

void TJDCustomRtfEdit::PasteFromClipboard() {
    lastPasteChanged_ = false;
    if (GetReadOnly()) return;
    if (!OpenClipboard(HandleAllocated() ? Handle() : 0)) return;
    // A block's bytes up to its first zero, never beyond the block.
    auto blockText = [](HGLOBAL h, std::string& out) {
        const char* p = static_cast<const char*>(GlobalLock(h));
        if (!p) return false;
        std::size_t size = GlobalSize(h);
        const void* zero = std::memchr(p, 0, size);
        out.assign(p, zero ? static_cast<const char*>(zero) : p + size);
        GlobalUnlock(h);
        return true;
    };
    bool pasted = false;
    std::string bytes;
    try {
        if (HGLOBAL h = GetClipboardData(CF_RTF()); h && blockText(h, bytes)) {
            InsertStreamAtCursor(bytes, true);
            pasted = true;
        } else if (HGLOBAL t = GetClipboardData(CF_TEXT); t && blockText(t, bytes)) {
            InsertStreamAtCursor(bytes, false);
            pasted = true;
        }
    } catch (...) {
        CloseClipboard();
        Invalidate();
        throw;
    }
    std::shared_ptr<plat::TGraphic> picture;
    if (!pasted) {
        // Failures of the picture path are no error: nothing is pasted.
        try {
            if (HGLOBAL m = GetClipboardData(CF_METAFILEPICT)) {
                const char* p = static_cast<const char*>(GlobalLock(m));
                if (p) {
                    std::string mf(p, GlobalSize(m));
                    GlobalUnlock(m);
                    TMetafile meta;
                    meta.SetBytes(mf);
                    plat::MemoryStream ms;
                    meta.SaveToStream(ms);
                    picture = std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Metafile, ms.Bytes(), meta.Width(),
                                                                  meta.Height());
                }
            } else if (IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_BITMAP) ||
                       IsClipboardFormatAvailable(CF_PICTURE())) {
                CloseClipboard();
                TPicture pic;
                if (Clipboard()->AssignTo(pic) && !pic.Empty()) {
                    plat::MemoryStream ms;
                    pic.Graphic()->SaveToStream(ms);
                    picture = std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Dib, ms.Bytes(), pic.Width(),
                                                                  pic.Height());
                }
                OpenClipboard(HandleAllocated() ? Handle() : 0);
            }
        } catch (...) {
            picture.reset();
        }
    }
    CloseClipboard();
    lastPasteChanged_ = pasted;
    if (picture) {
        TJDEngineServices::Call(engine_->services.SaveForUNDO, engine_->services.sender);
        engine_->DeleteSelection();
        try {
            lastPasteChanged_ = InsertPicture(picture, 0, 0) != 0;
        } catch (...) {
        }
    }
    Invalidate();
}

// --- drag and drop ----------------------------------------------------------------------------------

void TJDCustomRtfEdit::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
    if (DragAndDropSupport) {
        Accept = !GetReadOnly();
        if (Accept) engine_->CursorToPoint(X, Y, false, true);
    }
    if (OnDragOverUser) OnDragOverUser(this, Source, X, Y, State, Accept);
}

void TJDCustomRtfEdit::CopyDropSelection(TJDCustomRtfEdit& source, int X, int Y) {
    TJDLoadFormat keepSrc = source.Engine().SaveFormat, keepDst = engine_->SaveFormat;
    std::string rtf = source.SelectionAs(TJDLoadFormat::FormatRTF);
    engine_->SaveFormat = TJDLoadFormat::FormatRTF;
    if (&source == this) {
        // Moving within this text: the drop point is found before the
        // selection goes, and moves back by its length when it lies after it.
        int start = GetSelStart(), len = GetSelLength();
        int drop = GetCPPosition();
        if (drop >= start && drop <= start + len) drop = start;
        else if (drop > start + len) drop -= len;
        engine_->DeleteSelection();
        engine_->FormatAll();
        engine_->SetCursor(drop, 0);
    } else {
        source.HideSelection();
        source.Invalidate();
        engine_->DropSelection();
        engine_->CursorToPoint(X, Y, false, false);
    }
    source.Engine().SaveFormat = keepSrc;
    InsertStreamAtCursor(rtf, true);
    engine_->SaveFormat = keepDst;
}

void TJDCustomRtfEdit::DragDrop(TObject* Source, int X, int Y) {
    if (DragAndDropSupport && !GetReadOnly()) {
        auto* edit = dynamic_cast<TJDCustomRtfEdit*>(Source);
        std::string text;
        bool typed = false;
        if (auto* l = dynamic_cast<TLabel*>(Source)) text = l->Caption(), typed = true;
        else if (auto* b = dynamic_cast<TButton*>(Source)) text = b->Caption(), typed = true;
        else if (auto* p = dynamic_cast<TPanel*>(Source)) text = p->Caption(), typed = true;
        else if (auto* e = dynamic_cast<TEdit*>(Source)) text = e->Text(), typed = true;
        if (edit || typed) {
            if (edit && (!edit->Engine().HasSelection() || edit->Engine().SelectionEmpty())) return;
            // The drop point decides where the text goes.
            if (!edit || edit != this) {
                engine_->DropSelection();
                engine_->CursorToPoint(X, Y, false, false);
            } else {
                // A drop inside the selection keeps the anchor; the point still counts.
                TParagraph* par;
                TLine* line;
                int dx = X - engine_->LeftOffset - engine_->leftMargin, dy = Y + engine_->TopOffset - engine_->topMargin;
                if (engine_->LineAtPoint(dx, dy, par, line))
                    engine_->cursor = {par, line, engine_->PositionAtX(par, line, dx)};
            }
            TJDEngineServices::Call(engine_->services.SaveForUNDO, engine_->services.sender);
            if (!CanEdit()) return;
            if (edit) CopyDropSelection(*edit, X, Y);
            else InputString(text);
            Invalidate();
            Changed();
            return;
        }
    }
    if (OnDragDropUser) OnDragDropUser(this, Source, X, Y);
}

}  // namespace richtext
