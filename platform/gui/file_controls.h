// The file controls: a list of a folder's files matching a mask, a list of
// a folder's path and subfolders, a combo of drives and a combo of file
// filters, which can be linked so that choosing in one updates the next.
// Paths are the system's (drive letters and "\" allowed; see paths.h).
#pragma once

#include "platform/gui/lists.h"

#include <string>

namespace gui {

class TLabel;

using TFileType = unsigned;
constexpr TFileType ftReadOnly = 0x01, ftHidden = 0x02, ftSystem = 0x04, ftVolumeID = 0x08, ftDirectory = 0x10,
                    ftArchive = 0x20, ftNormal = 0x80;

class TFileListBox : public TCustomListBox {
public:
    explicit TFileListBox(TComponent* AOwner);
    const std::string& Directory() const { return directory_; }
    void SetDirectory(const std::string& dir);
    // One or more masks separated by ';' ("*.bmp;*.gif").
    const std::string& Mask() const { return mask_; }
    void SetMask(const std::string& mask);
    TFileType FileType = ftNormal;
    // A small sheet before each name.
    bool ShowGlyphs = false;
    // The selected file with its folder; empty when none is selected.
    std::string FileName() const;
    void SetFileName(const std::string& name);
    // An edit that shows the selected name (or the mask).
    TCustomEdit* FileEdit = nullptr;
    TNotifyEvent OnChange;
    // Reads the folder again.
    void Update();

protected:
    void SelectionChangedByUser() override;
    void DrawItem(int Index, TRect Rect, TOwnerDrawState State) override;

private:
    std::string directory_ = ".";
    std::string mask_ = "*.*";
};

class TDirectoryListBox : public TCustomListBox {
public:
    explicit TDirectoryListBox(TComponent* AOwner);
    const std::string& Directory() const { return directory_; }
    // Lists the folder's ancestors (indented) and then its subfolders.
    void SetDirectory(const std::string& dir);
    TFileListBox* FileList = nullptr;
    TLabel* DirLabel = nullptr;
    TNotifyEvent OnChange;
    // The full path of an item.
    std::string GetItemPath(int index) const;
    // Opens the item (as a double click does).
    void OpenCurrent();

protected:
    void DblClick() override;
    void KeyPress(char& Key) override;
    void DrawItem(int Index, TRect Rect, TOwnerDrawState State) override;

private:
    std::string directory_;
    std::vector<std::string> paths_;
    std::vector<int> levels_;
};

// The drives whose folders exist ("c:"), then this system's root ("/"),
// which is chosen when drive C is not there.
class TDriveComboBox : public TCustomComboBox {
public:
    static constexpr char kRootDrive = '/';
    explicit TDriveComboBox(TComponent* AOwner);
    // The letter in upper case, or kRootDrive.
    char Drive() const { return drive_; }
    void SetDrive(char letter);
    TDirectoryListBox* DirList = nullptr;
    // Drive letters whose folders exist, in order.
    static std::string AvailableDrives();

protected:
    void Change() override;

private:
    char drive_ = 'C';
    bool setting_ = false;
};

class TFilterComboBox : public TCustomComboBox {
public:
    explicit TFilterComboBox(TComponent* AOwner);
    // "Description|mask|Description|mask".
    const std::string& Filter() const { return filter_; }
    void SetFilter(const std::string& f);
    // The mask of the chosen description.
    std::string Mask() const;
    TFileListBox* FileList = nullptr;

protected:
    void Change() override;

private:
    std::string filter_;
    std::vector<std::string> masks_;
};

}  // namespace gui
