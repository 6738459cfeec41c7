#include "platform/gui/file_controls.h"

#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/gui/std_controls.h"

#include <algorithm>
#include <filesystem>

namespace gui {

namespace {

std::vector<std::string> SplitMasks(const std::string& mask) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= mask.size()) {
        std::size_t semi = mask.find(';', start);
        std::string m = mask.substr(start, semi == std::string::npos ? std::string::npos : semi - start);
        while (!m.empty() && m.front() == ' ') m.erase(m.begin());
        while (!m.empty() && m.back() == ' ') m.pop_back();
        if (!m.empty()) out.push_back(m);
        if (semi == std::string::npos) break;
        start = semi + 1;
    }
    if (out.empty()) out.push_back("*.*");
    return out;
}

}  // namespace

// ===========================================================================
// TFileListBox

TFileListBox::TFileListBox(TComponent* AOwner) : TCustomListBox(AOwner) { SetSorted(true); }

void TFileListBox::SetDirectory(const std::string& dir) {
    directory_ = dir;
    Update();
}

void TFileListBox::SetMask(const std::string& mask) {
    mask_ = mask.empty() ? "*.*" : mask;
    Update();
}

void TFileListBox::Update() {
    Items().BeginUpdate();
    Items().Clear();
    std::vector<std::string> masks = SplitMasks(mask_);
    plat::SearchRec rec;
    std::uint32_t attrs = 0;
    if (FileType & ftDirectory) attrs |= plat::faDirectory;
    if (FileType & ftHidden) attrs |= plat::faHidden;
    // One pass over the folder; each name is tested against every mask, so
    // a name that several masks match is listed once.
    if (plat::FindFirst(plat::JoinPath(directory_, "*"), attrs, rec) == 0) {
        do {
            if (rec.IsDirectory() && !(FileType & ftDirectory)) continue;
            if (!rec.IsDirectory() && !(FileType & (ftNormal | ftArchive | ftReadOnly))) continue;
            bool match = std::any_of(masks.begin(), masks.end(), [&](const std::string& m) { return plat::MatchesMask(rec.Name, m); });
            if (!match) continue;
            Items().Add(rec.IsDirectory() ? "[" + rec.Name + "]" : rec.Name);
        } while (plat::FindNext(rec) == 0);
        plat::FindClose(rec);
    }
    Items().EndUpdate();
    if (FileEdit) FileEdit->SetText(mask_);
}

std::string TFileListBox::FileName() const {
    if (ItemIndex() < 0) return {};
    return plat::JoinPath(directory_, const_cast<TFileListBox*>(this)->Items()[ItemIndex()]);
}

void TFileListBox::SetFileName(const std::string& name) {
    std::string dir = plat::ExtractFileDir(name);
    if (!dir.empty() && dir != directory_) SetDirectory(dir);
    int i = Items().IndexOf(plat::ExtractFileName(name));
    SetItemIndex(i);
    if (FileEdit && i >= 0) FileEdit->SetText(Items()[i]);
}

void TFileListBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
    if (!ShowGlyphs) {
        TCustomListBox::DrawItem(Index, Rect, State);
        return;
    }
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor((State & odSelected) ? clHighlight : Color());
    c.FillRect(Rect);
    // A small sheet (a folder for bracketed names) before the name.
    const std::string& name = Items()[Index];
    bool folder = !name.empty() && name.front() == '[';
    int gy = Rect.Top + std::max(0, (Rect.Height() - 12) / 2);
    c.Pen().SetColor(clBlack);
    c.Brush().SetColor(folder ? clYellow : clWhite);
    c.Rectangle(Rect.Left + 2, gy, Rect.Left + (folder ? 16 : 12), gy + 12);
    c.Font().SetColor((State & odSelected) ? clHighlightText : Font().Color());
    c.Brush().SetStyle(bsClear);
    c.TextOut(Rect.Left + 20, Rect.Top + std::max(0, (Rect.Height() - c.TextHeight("Wg")) / 2), name);
}

void TFileListBox::SelectionChangedByUser() {
    if (FileEdit && ItemIndex() >= 0) FileEdit->SetText(Items()[ItemIndex()]);
    if (OnChange) OnChange(this);
    TCustomListBox::SelectionChangedByUser();
}

// ===========================================================================
// TDirectoryListBox

TDirectoryListBox::TDirectoryListBox(TComponent* AOwner) : TCustomListBox(AOwner) {
    SetStyle(lbOwnerDrawFixed);  // drawn indented by level
    SetDirectory(plat::ExpandFileName("."));
}

void TDirectoryListBox::SetDirectory(const std::string& dir) {
    std::string full = plat::ExpandFileName(dir.empty() ? "." : dir);
    if (!plat::DirectoryExists(full)) return;  // an unknown folder changes nothing
    directory_ = plat::ExcludeTrailingBackslash(full);
    if (directory_.empty()) directory_ = full.substr(0, 1);  // the root keeps its one delimiter
    paths_.clear();
    levels_.clear();
    Items().BeginUpdate();
    Items().Clear();
    // The chain of folders from the root down to this one.
    std::vector<std::string> chain;
    for (std::string p = directory_;;) {
        chain.insert(chain.begin(), p);
        std::string parent = plat::ExtractFileDir(p);
        if (parent.empty() || parent == p) break;
        p = parent;
    }
    for (std::size_t i = 0; i < chain.size(); ++i) {
        std::string name = i == 0 ? chain[i] : plat::ExtractFileName(chain[i]);
        Items().Add(name);
        paths_.push_back(chain[i]);
        levels_.push_back(static_cast<int>(i));
    }
    int current = static_cast<int>(chain.size()) - 1;
    std::vector<std::string> subs;
    plat::SearchRec rec;
    if (plat::FindFirst(plat::JoinPath(directory_, "*"), plat::faDirectory, rec) == 0) {
        do {
            if (rec.IsDirectory()) subs.push_back(rec.Name);
        } while (plat::FindNext(rec) == 0);
        plat::FindClose(rec);
    }
    std::sort(subs.begin(), subs.end(), [](const std::string& a, const std::string& b) { return plat::CompareAnsi(a, b, true) < 0; });
    for (const std::string& s : subs) {
        Items().Add(s);
        paths_.push_back(plat::JoinPath(directory_, s));
        levels_.push_back(current + 1);
    }
    Items().EndUpdate();
    SetItemIndex(current);
    if (FileList) FileList->SetDirectory(directory_);
    if (DirLabel) DirLabel->SetCaption(directory_);
    if (OnChange) OnChange(this);
}

std::string TDirectoryListBox::GetItemPath(int index) const {
    return index >= 0 && index < static_cast<int>(paths_.size()) ? paths_[index] : std::string();
}

void TDirectoryListBox::OpenCurrent() {
    std::string p = GetItemPath(ItemIndex());
    if (!p.empty()) SetDirectory(p);
}

void TDirectoryListBox::DblClick() {
    OpenCurrent();
    TCustomListBox::DblClick();
}

void TDirectoryListBox::KeyPress(char& Key) {
    if (Key == '\r') {
        OpenCurrent();
        Key = 0;
        return;
    }
    TCustomListBox::KeyPress(Key);
}

void TDirectoryListBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor((State & odSelected) ? clHighlight : Color());
    c.FillRect(Rect);
    c.Font().SetColor((State & odSelected) ? clHighlightText : Font().Color());
    int indent = Index < static_cast<int>(levels_.size()) ? levels_[Index] * 8 : 0;
    c.Brush().SetStyle(bsClear);
    c.TextOut(Rect.Left + 2 + indent, Rect.Top + 1, Items()[Index]);
}

// ===========================================================================
// TDriveComboBox

TDriveComboBox::TDriveComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {
    SetStyle(csDropDownList);
    for (char d : AvailableDrives()) Items().Add(std::string(1, static_cast<char>(plat::CharLower(d))) + ":");
    // This system's own root: every folder is under it, mapped drive or not.
    Items().Add(std::string(1, kRootDrive));
    SetDrive('C');
    if (ItemIndex() < 0) SetDrive(kRootDrive);
}

std::string TDriveComboBox::AvailableDrives() {
    std::string out;
    for (char d = 'A'; d <= 'Z'; ++d)
        if (std::filesystem::is_directory(plat::DriveRoot(d))) out += d;
    return out;
}

void TDriveComboBox::SetDrive(char letter) {
    letter = static_cast<char>(plat::CharUpper(static_cast<unsigned char>(letter)));
    const bool root = letter == kRootDrive;
    int i = Items().IndexOf(root ? std::string(1, kRootDrive)
                                 : std::string(1, static_cast<char>(plat::CharLower(letter))) + ":");
    if (i < 0) return;
    drive_ = letter;
    setting_ = true;
    SetItemIndex(i);
    setting_ = false;
    if (DirList) DirList->SetDirectory(root ? std::string(1, kRootDrive) : std::string(1, letter) + ":\\");
}

void TDriveComboBox::Change() {
    TCustomComboBox::Change();
    if (setting_ || ItemIndex() < 0) return;
    char letter = Items()[ItemIndex()][0];
    SetDrive(letter);
}

// ===========================================================================
// TFilterComboBox

TFilterComboBox::TFilterComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {
    SetStyle(csDropDownList);
    SetFilter("All files (*.*)|*.*");
}

void TFilterComboBox::SetFilter(const std::string& f) {
    filter_ = f;
    masks_.clear();
    Items().Clear();
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t bar = f.find('|', start);
        parts.push_back(f.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    // A description without a mask is left out.
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        Items().Add(parts[i]);
        masks_.push_back(parts[i + 1]);
    }
    if (!masks_.empty()) SetItemIndex(0);
    // A linked file list shows the first filter's files at once.
    if (FileList) FileList->SetMask(Mask());
}

std::string TFilterComboBox::Mask() const {
    int i = ItemIndex();
    return i >= 0 && i < static_cast<int>(masks_.size()) ? masks_[i] : std::string("*.*");
}

void TFilterComboBox::Change() {
    TCustomComboBox::Change();
    if (FileList) FileList->SetMask(Mask());
}

}  // namespace gui
