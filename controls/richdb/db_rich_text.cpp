#include "controls/richdb/db_rich_text.h"

#include "platform/core/streams.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"

namespace richtext {

using namespace gui;

TDBJDRichText::TDBJDRichText(TComponent* AOwner) : TJDCustomRichText(AOwner) {
    link_.SetControl(this);
    link_.OnDataChange = [this] { DataChange(); };
    link_.OnEditingChange = [this] { EditingChange(); };
    link_.OnUpdateData = [this] { UpdateData(); };
}

TDBJDRichText::~TDBJDRichText() {
    if (link_.DataSource()) link_.DataSource()->RemoveFreeNotification(this);
    link_.OnDataChange = nullptr;
    link_.OnEditingChange = nullptr;
    link_.OnUpdateData = nullptr;
    link_.SetDataSource(nullptr);
}

void TDBJDRichText::Notification(TComponent* AComponent, TOperation Operation) {
    TJDCustomRichText::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent && AComponent == link_.DataSource()) SetDataSource(nullptr);
}

void TDBJDRichText::SetDataSource(db::TDataSource* source) {
    if (source == link_.DataSource()) return;
    if (link_.DataSource()) link_.DataSource()->RemoveFreeNotification(this);
    link_.SetDataSource(source);
    if (source) source->FreeNotification(this);
    else memoLoaded_ = false;
    EditingChange();
}

void TDBJDRichText::SetDataField(const std::string& name) { link_.SetFieldName(name); }

void TDBJDRichText::SetAutoDisplay(bool v) {
    if (v == autoDisplay_) return;
    autoDisplay_ = v;
    if (v) LoadMemo();
}

void TDBJDRichText::SetReadOnly(bool v) {
    link_.SetReadOnly(v);
    TJDCustomRichText::SetReadOnly(v);
}

bool TDBJDRichText::GetReadOnly() const { return link_.ReadOnly(); }

bool TDBJDRichText::IsBlob(const db::TField* f) { return dynamic_cast<const db::TBlobField*>(f) != nullptr; }

bool TDBJDRichText::SourceUsable() const {
    db::TDataSource* s = link_.DataSource();
    return s && s->DataSet() && s->State() != db::dsInactive;
}

bool TDBJDRichText::MayChange() const {
    if (!SourceUsable() || GetReadOnly()) return false;
    db::TField* f = link_.Field();
    return f && link_.CanModify() && link_.DataSet()->CanModify();
}

// --- the data link's calls -------------------------------------------------------------------

void TDBJDRichText::DataChange() {
    if (!SourceUsable()) return;
    db::TField* f = link_.Field();
    Engine().readOnly = false;  // the loads below write the text
    if (!f) {
        if (ComponentState() & csDesigning) ShowPlain(Name());
        else ClearText();
        memoLoaded_ = false;
    } else if (!IsBlob(f)) {
        ShowPlain((focused_ && link_.CanModify()) ? f->Text() : f->DisplayText());
        memoLoaded_ = true;
        Modified = false;
    } else if (!autoDisplay_ && (!link_.Editing() || !memoLoaded_)) {
        ShowPlain("(" + f->DisplayName() + ")");
        memoLoaded_ = false;
        Modified = false;
    } else {
        memoLoaded_ = false;
        LoadMemo();
        return;
    }
    EditingChange();
    Invalidate();
}

// Text put in by the control itself: read as plain text, no change bracket.
void TDBJDRichText::ShowPlain(const std::string& text) {
    ClearText();
    if (text.empty()) return;
    TJDRTFTextInput& e = Engine();
    const TJDLoadFormat keepFormat = e.LoadFormat;
    const TThreeState keepInsert = e.insertSelection;
    e.LoadFormat = TJDLoadFormat::FormatANSI;
    e.insertSelection = TThreeState::tsFALSE;
    try {
        e.LoadFromString(text);
    } catch (...) {
        e.LoadFormat = keepFormat;
        e.insertSelection = keepInsert;
        throw;
    }
    e.LoadFormat = keepFormat;
    e.insertSelection = keepInsert;
}

void TDBJDRichText::LoadMemo() {
    if (memoLoaded_) return;
    db::TField* f = link_.Field();
    auto* blob = dynamic_cast<db::TBlobField*>(f);
    if (!blob) return;
    plat::MemoryStream stream;
    blob->SaveToStream(stream);
    Engine().readOnly = false;
    // Clearing and loading would each paint the window at once; the page
    // is drawn once, by the paint the Invalidate below asks for.
    struct Postpone {
        TJDRTFTextInput& e;
        bool was;
        explicit Postpone(TJDRTFTextInput& engine) : e(engine), was(engine.postponeRepaint) { e.postponeRepaint = true; }
        ~Postpone() { e.postponeRepaint = was; }
    } postpone(Engine());
    const bool loads = stream.Size() > 0;
    // A load lays the whole page out and shows its attributes on the bar:
    // the layout of the empty text in between would be thrown away.
    if (loads) Engine().PostponeFormat(true);
    try {
        Clear();
    } catch (...) {
        if (loads) Engine().PostponeFormat(false);
        throw;
    }
    if (loads) Engine().DropPostponedFormat();
    stream.Seek(0, plat::SeekOrigin::Begin);
    try {
        if (loads) LoadFromStream(stream);
    } catch (...) {
        // A refused page still shows what was read of it, laid out.
        Engine().FormatAll();
        memoLoaded_ = true;
        Modified = false;
        EditingChange();
        Invalidate();
        throw;
    }
    memoLoaded_ = true;
    Modified = false;
    EditingChange();
    Invalidate();
}

void TDBJDRichText::EditingChange() {
    if (GetReadOnly()) Engine().readOnly = true;
    else Engine().readOnly = !link_.Editing() || !memoLoaded_;
    UpdateDatabaseIcons();
}

void TDBJDRichText::UpdateData() {
    if ((ComponentState() & csDesigning) || !SourceUsable()) return;
    db::TField* f = link_.Field();
    if (!f) return;
    if (auto* blob = dynamic_cast<db::TBlobField*>(f)) {
        plat::MemoryStream stream;
        SaveToStream(stream);
        stream.Seek(0, plat::SeekOrigin::Begin);
        blob->LoadFromStream(stream);
    } else {
        f->SetText(GetPlainText());
    }
    // The text is in the field now: Post and Cancel have nothing left to do.
    Modified = false;
}

// --- the change bracket ----------------------------------------------------------------------

bool TDBJDRichText::CanEdit() {
    // A refused change never touches the dataset.
    if (!MayChange()) return false;
    if (!link_.Editing() && !enteringEdit_) {
        TJDRTFTextInput& e = Engine();
        const std::uint32_t options = e.PaintOptions();
        e.SetPaintOptions(options | poHoldPaint);
        const std::int32_t top = e.TopOffset, left = e.LeftOffset;
        int pos = 0, line = 0, par = 0, inPar = 0;
        e.GetCursor(pos, line, par, inPar);
        int selStart = 0, selLen = 0;
        if (!e.GetSelection(selStart, selLen)) selStart = selLen = 0;
        e.DropSelection();
        bool editing = false;
        enteringEdit_ = true;
        try {
            editing = link_.Edit();
        } catch (...) {
            enteringEdit_ = false;
            e.SetPaintOptions(options);
            throw;
        }
        enteringEdit_ = false;
        e.SetPaintOptions(options);
        e.TopOffset = top;
        e.LeftOffset = left;
        e.FormatAll();
        e.SetCursor(pos, 0);
        if (selLen > 0) e.SetSelPosLen(selStart, selLen);
        e.TopOffset = top;
        e.LeftOffset = left;
        e.Repaint();
        if (!editing) return false;
    }
    link_.Modified();
    memoLoaded_ = true;
    Engine().readOnly = GetReadOnly();
    const bool wasModified = Modified;
    const bool ok = TJDCustomRichText::CanEdit();
    if (Modified != wasModified) UpdateDatabaseIcons();  // Post and Cancel come on
    return ok;
}

// --- keys and mouse -------------------------------------------------------------------------

void TDBJDRichText::KeyDown(unsigned& Key, TShiftState Shift) {
    TJDCustomRichText::KeyDown(Key, Shift);
    if (!memoLoaded_) {
        // Enter still makes its character: KeyPress opens the field with it.
        if (Key != VK_RETURN) Key = 0;
        return;
    }
    if ((Key == VK_DELETE || (Key == VK_INSERT && (Shift & ssShift))) && !link_.Editing() && MayChange())
        link_.Edit();
}

void TDBJDRichText::KeyPress(char& Key) {
    const auto k = static_cast<unsigned char>(Key);
    if (!memoLoaded_) {
        if (Key == 13) LoadMemo();
        Key = 0;
    } else {
        db::TField* f = link_.Field();
        if (k >= 32 && f && !f->IsValidChar(Key)) {
            MessageBeep(0);
            Key = 0;
        } else if (k == 8 || k == 9 || k == 10 || k == 13 || k == 22 || k == 24 || k >= 32) {
            if (!link_.Editing()) CanEdit();
        } else if (k == 27) {
            link_.Reset();
            Key = 0;
        }
    }
    TJDCustomRichText::KeyPress(Key);
}

void TDBJDRichText::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TJDCustomRichText::MouseDown(Button, Shift, X, Y);
    if ((Shift & ssDouble) && !memoLoaded_) LoadMemo();
}

void TDBJDRichText::SetFocused(bool v) {
    if (v == focused_) return;
    focused_ = v;
    if (link_.Field() && !IsBlob(link_.Field())) link_.Reset();
}

void TDBJDRichText::WndProc(TMessage& m) {
    if (m.Msg == CM_ENTER) SetFocused(true);
    TJDCustomRichText::WndProc(m);
    // The bars came to this editor: its dataset's icons with them.
    if (m.Msg == WM_SETFOCUS && Focused()) UpdateDatabaseIcons();
}

// --- tool bar -------------------------------------------------------------------------------

void TDBJDRichText::IconSelection(TJdSelNr& typ, const std::string& name, int group, int num) {
    db::TDataSource* s = link_.DataSource();
    if (typ == jdSelIconDown && group == jdgDatabase && s && s->DataSet() && s->State() != db::dsInactive) {
        db::TDataSet* ds = s->DataSet();
        switch (num) {
            case 1: ds->Next(); break;
            case 2: ds->Prior(); break;
            case 3: ds->Insert(); break;
            case 4: ds->Delete(); break;
            case 5:
                if (!link_.Editing()) ds->Edit();
                break;
            case 6: ds->Cancel(); break;
            case 7: ds->First(); break;
            case 8: ds->Last(); break;
            case 9: ds->Post(); break;
            default: break;
        }
        if (JDToolBar()) JDToolBar()->SetIconUp("", jdgDatabase, num);
        UpdateDatabaseIcons();
        typ = 0;
    } else if (typ == jdSelIconDown && Focused() && group == jdgFile && num == 5) {
        if (JDToolBar()) JDToolBar()->SetIconUp("", jdgFile, 5);
        typ = 0;
    }
    TJDCustomRichText::IconSelection(typ, name, group, num);
}

void TDBJDRichText::UpdateDatabaseIcons() {
    TJDCustomToolPanel* bar = JDToolBar();
    if (!bar) return;
    if (SourceUsable()) {
        db::TDataSet* ds = link_.DataSet();
        for (int n : {2, 7}) bar->EnableIcon("", jdgDatabase, !ds->Bof(), n);
        for (int n : {1, 8}) bar->EnableIcon("", jdgDatabase, !ds->Eof(), n);
        bar->EnableIcon("", jdgDatabase, !GetReadOnly(), 5);
        for (int n : {9, 6}) bar->EnableIcon("", jdgDatabase, Modified, n);
    } else {
        for (int n : {1, 8, 2, 7, 3, 4, 5, 6, 9}) bar->EnableIcon("", jdgDatabase, false, n);
    }
}

}  // namespace richtext
