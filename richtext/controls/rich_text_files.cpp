// Loading, saving and the tool bar's file actions of the rich-text component.
// A failed load or save keeps the text and the file name as they were and
// tells the user why; closing drops the text only once it is saved.
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/gui/common_dialogs.h"
#include "platform/core/dialog_service.h"
#include "richtext/controls/rich_text.h"

namespace richtext {

using namespace gui;

void TJDCustomRichText::Clear() {
    ClearText();
    fileName_.clear();
    if (statusBar_) statusBar_->SetItemText(stFileName, " ");
}

void TJDCustomRichText::LoadFromStream(std::istream& in) {
    Engine().LoadFromStream(in);
    setMode_->Forget();
}

void TJDCustomRichText::SaveToStream(std::ostream& out) { Engine().SaveToStream(out); }

void TJDCustomRichText::LoadFromStream(plat::Stream& in) {
    Engine().LoadFromStream(in);
    setMode_->Forget();
}

void TJDCustomRichText::SaveToStream(plat::Stream& out) { Engine().SaveToStream(out); }

void TJDCustomRichText::SaveSelectionToStream(std::ostream& out) {
    if (setMode_->SelectionPresent || (Engine().HasSelection() && !Engine().SelectionEmpty()))
        Engine().SaveSelectionToStream(out);
    else
        ShowStatusText(JDRichTextString(jdtNoSelection));
}

void TJDCustomRichText::SaveToFile(const std::string& name) {
    ShowStatusText(JDRichTextString(jdtWriting));
    int result = 0;
    try {
        result = Engine().SaveToFile(name);
    } catch (...) {
        ShowStatusText({});
        throw;
    }
    ShowStatusText({});
    if (result != 0) throw ERichTextError("The text could not be written to \"" + name + "\".");
    fileName_ = name;
}

void TJDCustomRichText::LoadFromFile(const std::string& name) {
    std::ifstream file(name, std::ios::binary);
    if (!file) throw ERichTextError("Cannot open file \"" + name + "\".");
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) throw ERichTextError("Cannot read file \"" + name + "\".");
    ShowStatusText(JDRichTextString(jdtReading));
    // Read into a scratch text first: a file the readers refuse leaves
    // this text untouched.
    {
        TJDRTFTextIo probe(MemoryFormat());
        probe.LoadFormat = Engine().LoadFormat;
        probe.insertSelection = TThreeState::tsFALSE;
        bool ok = true;
        try {
            probe.LoadFromString(bytes);
            ok = probe.LoadResult() == 0;
        } catch (const std::exception&) {
            ok = false;
        }
        if (!ok) {
            ShowStatusText({});
            throw ERichTextError("\"" + name + "\" is no text this editor can read.");
        }
    }
    TJDRTFTextInput& e = Engine();
    TThreeState keep = e.insertSelection;
    e.insertSelection = TThreeState::tsFALSE;
    try {
        e.LoadFromString(bytes);
    } catch (...) {
        e.insertSelection = keep;
        ShowStatusText({});
        throw;
    }
    e.insertSelection = keep;
    ShowStatusText({});
    setMode_->Forget();
    if (e.LoadResult() == 0) fileName_ = name;
}

void TJDCustomRichText::ShowError(const std::string& what) { MessageDlg(what, mtError, Buttons({mbOK})); }

void TJDCustomRichText::FileOpen() {
    if (ReadOnly()) {
        resultCode_ = 11;
        return;
    }
    // A changed text is not given up without asking.
    if (Modified && MessageDlg(JDRichTextString(jdtAbortQuestion), mtConfirmation, Buttons({mbYes, mbNo})) == mrYes)
        return;
    const int before = resultCode_;
    resultCode_ = 10;
    TOpenDialog dlg(this);
    dlg.Filter = JDRichTextString(jdtFileFilter);
    dlg.Options = ofFileMustExist | ofHideReadOnly;
    if (!dlg.Execute()) {
        resultCode_ = before;
        return;
    }
    if (!CanEdit()) {
        resultCode_ = 11;
        return;
    }
    try {
        LoadFromFile(dlg.FileName);
    } catch (const std::exception& ex) {
        resultCode_ = kLoadFailed;
        ShowError(ex.what());
        return;
    }
    resultCode_ = Engine().LoadResult();
    Modified = false;
    ReformatAll();
    SetCPPosition(0);
    if (statusBar_) statusBar_->SetItemText(stFileName, fileName_);
    Invalidate();
}

void TJDCustomRichText::FileSave() {
    TSaveDialog dlg(this);
    dlg.Filter = JDRichTextString(jdtFileFilter);
    dlg.DefaultExt = "rtf";
    dlg.FileName = fileName_;
    dlg.Options = ofOverwritePrompt | ofHideReadOnly;
    if (!dlg.Execute()) return;
    try {
        SaveToFile(dlg.FileName);
    } catch (const std::exception& ex) {
        resultCode_ = Engine().SaveResult() ? Engine().SaveResult() : 1;
        ShowError(ex.what());
        return;
    }
    resultCode_ = 0;
    Modified = false;
    if (statusBar_) statusBar_->SetItemText(stFileName, fileName_);
}

void TJDCustomRichText::FileClose() {
    if (fileName_.empty()) {
        const std::string before = fileName_;
        FileSave();
        // A cancelled dialog or a failed save keeps the text.
        if (fileName_ == before || resultCode_ != 0) return;
    } else {
        try {
            SaveToFile(fileName_);
        } catch (const std::exception& ex) {
            resultCode_ = Engine().SaveResult() ? Engine().SaveResult() : 1;
            ShowError(ex.what());
            return;
        }
        resultCode_ = 0;
        Modified = false;
    }
    if (resultCode_ == 0) {
        Clear();
        Modified = false;
        Invalidate();
    }
}

std::string TJDCustomRichText::DocumentTitle() const {
    if (fileName_.empty()) return {};
    std::size_t slash = fileName_.find_last_of("/\\");
    std::string name = slash == std::string::npos ? fileName_ : fileName_.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace richtext
