// The clipboard: Win32's calls (formats, moveable memory blocks, open,
// empty, set, get, close) and the class library's TClipboard over them.
//
// The contents are a set of blocks, one per format. Where they live is a
// backend: the system clipboard by default (text, RTF, bitmaps, metafiles
// and our own registered formats as MIME types), or an in-memory store that
// tests install so they neither see nor disturb the desktop's clipboard.
#pragma once

#include "platform/gui/graphics.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace gui {

using ClipboardBytes = std::vector<std::uint8_t>;

// Standard formats; registered ones count up from 0xC000.
constexpr UINT CF_TEXT = 1, CF_BITMAP = 2, CF_METAFILEPICT = 3, CF_OEMTEXT = 7, CF_DIB = 8,
               CF_UNICODETEXT = 13, CF_ENHMETAFILE = 14;
// The same name (without regard to case) always gives the same number; 0
// for an empty name.
UINT RegisterClipboardFormat(const std::string& name);
// The name of a registered format; empty for standard or unknown ones.
std::string GetClipboardFormatName(UINT format);
// The registered format of rich text ("Rich Text Format") and of the class
// library's pictures.
UINT CF_RTF();
UINT CF_PICTURE();

// --- moveable memory blocks ---------------------------------------------------------
// Handles are ids that count up and are never reused; a freed or unknown
// handle locks to nullptr.
using HGLOBAL = std::uint32_t;
constexpr unsigned GMEM_FIXED = 0x0000, GMEM_MOVEABLE = 0x0002, GMEM_ZEROINIT = 0x0040,
                   GMEM_DDESHARE = 0x2000, GHND = 0x0042;
HGLOBAL GlobalAlloc(unsigned flags, std::size_t bytes);
void* GlobalLock(HGLOBAL mem);
bool GlobalUnlock(HGLOBAL mem);
std::size_t GlobalSize(HGLOBAL mem);
// Returns 0 on success, the handle when it was unknown.
HGLOBAL GlobalFree(HGLOBAL mem);
// Live blocks (tests check that nothing leaks).
int GlobalBlockCount();

// --- where the contents live --------------------------------------------------------
class ClipboardBackend {
public:
    virtual ~ClipboardBackend() = default;
    // Replaces the whole contents.
    virtual void Store(const std::map<UINT, ClipboardBytes>& blocks) = 0;
    virtual std::map<UINT, ClipboardBytes> Load() = 0;
};

// Keeps the contents in the process.
class MemoryClipboardBackend : public ClipboardBackend {
public:
    void Store(const std::map<UINT, ClipboardBytes>& blocks) override { blocks_ = blocks; }
    std::map<UINT, ClipboardBytes> Load() override { return blocks_; }

private:
    std::map<UINT, ClipboardBytes> blocks_;
};

// The system clipboard through Qt: CF_TEXT as text/plain (Windows-1252 to
// UTF-8, up to the first zero byte), "Rich Text Format" as text/rtf, CF_DIB
// (with CF_BITMAP) as an image, the metafile as image/x-wmf, other
// registered formats under application/x-tavrin-<name>.
std::unique_ptr<ClipboardBackend> CreateSystemClipboardBackend();
// The backend in force (not owned); nullptr restores the system one.
void SetClipboardBackend(ClipboardBackend* backend);

// --- Win32 calls ------------------------------------------------------------------------
// Fails while another window holds the clipboard open.
bool OpenClipboard(HWND owner);
bool CloseClipboard();
// Only while open.
bool EmptyClipboard();
// The clipboard takes the block (frees it); returns it, or 0 when not open.
HGLOBAL SetClipboardData(UINT format, HGLOBAL mem);
// A block owned by the clipboard, valid until it is closed; 0 when absent.
HGLOBAL GetClipboardData(UINT format);
bool IsClipboardFormatAvailable(UINT format);
int CountClipboardFormats();
// The format after `format` (0 starts), 0 after the last.
UINT EnumClipboardFormats(UINT format);

// --- the class library's clipboard object ------------------------------------------------
class TClipboard : public TObject {
public:
    // Nested opens are counted; the clipboard is written on the last close.
    void Open();
    void Close();
    void Clear();
    bool HasFormat(UINT format);
    int FormatCount();
    UINT Formats(int index);
    // CF_TEXT up to its zero byte.
    std::string AsText();
    void SetAsText(const std::string& text);
    void SetTextBuf(const char* buffer);
    // Raw blocks of any format.
    void SetBuffer(UINT format, const void* data, std::size_t size);
    ClipboardBytes GetBuffer(UINT format);
    void SetAsHandle(UINT format, HGLOBAL mem);
    HGLOBAL GetAsHandle(UINT format);
    // Pictures: a bitmap goes in as CF_DIB and CF_PICTURE.
    void Assign(const TBitmap& bitmap);
    void Assign(const TPicture& picture);
    // False when no bitmap format is present.
    bool AssignTo(TBitmap& bitmap);
    bool AssignTo(TPicture& picture);

private:
    int openCount_ = 0;
};

// The one clipboard object (created on first use).
TClipboard* Clipboard();

}  // namespace gui
