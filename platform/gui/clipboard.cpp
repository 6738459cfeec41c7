#include "platform/gui/clipboard.h"

#include "platform/core/codepage.h"
#include "platform/core/exceptions.h"
#include "platform/gui/control_widget.h"
#include "platform/gui/qt_bridge.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <cstring>
#include <mutex>

namespace gui {

namespace {

struct Registry {
    std::mutex lock;
    std::map<std::string, UINT> byName;  // upper-cased name
    std::map<UINT, std::string> names;
    UINT next = 0xC000;
};

Registry& Formats() {
    static Registry r;
    return r;
}

struct Block {
    ClipboardBytes bytes;
    int locks = 0;
};

struct Heap {
    std::mutex lock;
    std::map<HGLOBAL, Block> blocks;
    HGLOBAL next = 1;
};

Heap& GlobalHeap() {
    static Heap h;
    return h;
}

HGLOBAL NewBlock(ClipboardBytes bytes) {
    Heap& h = GlobalHeap();
    std::lock_guard g(h.lock);
    HGLOBAL id = h.next++;
    h.blocks[id].bytes = std::move(bytes);
    return id;
}

// Takes a block's bytes and frees it.
bool TakeBlock(HGLOBAL mem, ClipboardBytes& out) {
    Heap& h = GlobalHeap();
    std::lock_guard g(h.lock);
    auto it = h.blocks.find(mem);
    if (it == h.blocks.end()) return false;
    out = std::move(it->second.bytes);
    h.blocks.erase(it);
    return true;
}

// --- the system backend ---------------------------------------------------------------
const char* const kRtfMime = "text/rtf";
const char* const kRtfMimeAlt = "application/rtf";
const char* const kWmfMime = "image/x-wmf";
const char* const kOwnMimePrefix = "application/x-tavrin-";

std::string UpToZero(const ClipboardBytes& b) {
    auto end = std::find(b.begin(), b.end(), 0);
    return std::string(b.begin(), end);
}

ClipboardBytes WithZero(const std::string& s) {
    ClipboardBytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

// A device-independent bitmap is a BMP file without its 14-byte file header.
ClipboardBytes ImageToDib(const QImage& image) {
    QByteArray bmp;
    QBuffer buf(&bmp);
    buf.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_RGB888).save(&buf, "BMP");
    if (bmp.size() <= 14) return {};
    return ClipboardBytes(bmp.begin() + 14, bmp.end());
}

QImage DibToImage(const ClipboardBytes& dib) {
    if (dib.size() < 40) return {};
    auto rd32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(dib[at]) | (static_cast<std::uint32_t>(dib[at + 1]) << 8) |
               (static_cast<std::uint32_t>(dib[at + 2]) << 16) | (static_cast<std::uint32_t>(dib[at + 3]) << 24);
    };
    std::uint32_t headerSize = rd32(0);
    std::uint32_t bitCount = static_cast<std::uint32_t>(dib[14]) | (static_cast<std::uint32_t>(dib[15]) << 8);
    std::uint32_t colorsUsed = rd32(32);
    if (headerSize < 12 || headerSize > dib.size()) return {};
    std::uint64_t palette = bitCount <= 8 ? (colorsUsed ? colorsUsed : (1u << bitCount)) * 4ull : 0;
    std::uint64_t offBits = 14ull + headerSize + palette;
    if (rd32(16) == 3 /* BI_BITFIELDS */ && headerSize == 40) offBits += 12;
    std::uint64_t fileSize = 14ull + dib.size();
    if (offBits > fileSize) return {};
    QByteArray file;
    file.reserve(static_cast<int>(fileSize));
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) file.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    file.append('B');
    file.append('M');
    put32(static_cast<std::uint32_t>(fileSize));
    put32(0);
    put32(static_cast<std::uint32_t>(offBits));
    file.append(reinterpret_cast<const char*>(dib.data()), static_cast<int>(dib.size()));
    QImage image;
    image.loadFromData(file, "BMP");
    return image;
}

class SystemClipboardBackend final : public ClipboardBackend {
public:
    void Store(const std::map<UINT, ClipboardBytes>& blocks) override {
        QClipboard* cb = SystemClipboard();
        if (!cb) return;
        auto* mime = new QMimeData;
        for (const auto& [format, bytes] : blocks) {
            QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
            if (format == CF_TEXT) {
                mime->setText(QString::fromStdString(plat::AnsiToUtf8(UpToZero(bytes))));
            } else if (format == CF_OEMTEXT) {
                if (!blocks.count(CF_TEXT)) mime->setText(QString::fromStdString(plat::AnsiToUtf8(plat::OemToAnsi(UpToZero(bytes)))));
            } else if (format == CF_RTF()) {
                QByteArray rtf = QByteArray::fromStdString(UpToZero(bytes));
                mime->setData(kRtfMime, rtf);
                mime->setData(kRtfMimeAlt, rtf);
            } else if (format == CF_DIB) {
                QImage image = DibToImage(bytes);
                if (!image.isNull()) mime->setImageData(image);
            } else if (format == CF_METAFILEPICT || format == CF_ENHMETAFILE) {
                mime->setData(kWmfMime, data);
            } else if (format >= 0xC000) {
                mime->setData(QString(kOwnMimePrefix) + QString::fromStdString(GetClipboardFormatName(format)), data);
            }
        }
        cb->setMimeData(mime);
    }

    std::map<UINT, ClipboardBytes> Load() override {
        std::map<UINT, ClipboardBytes> out;
        QClipboard* cb = SystemClipboard();
        if (!cb) return out;
        const QMimeData* mime = cb->mimeData();
        if (!mime) return out;
        for (const QString& type : mime->formats()) {
            QByteArray data = mime->data(type);
            ClipboardBytes bytes(data.begin(), data.end());
            if (type == kRtfMime || type == kRtfMimeAlt) {
                if (!bytes.empty() && bytes.back() != 0) bytes.push_back(0);
                out[CF_RTF()] = bytes;
            } else if (type == kWmfMime) {
                out[CF_METAFILEPICT] = bytes;
            } else if (type.startsWith(kOwnMimePrefix)) {
                UINT f = RegisterClipboardFormat(type.mid(static_cast<int>(std::strlen(kOwnMimePrefix))).toStdString());
                if (f) out[f] = bytes;
            }
        }
        if (mime->hasText()) out[CF_TEXT] = WithZero(plat::Utf8ToAnsi(mime->text().toStdString()));
        if (mime->hasImage()) {
            QImage image = qvariant_cast<QImage>(mime->imageData());
            if (!image.isNull()) out[CF_DIB] = ImageToDib(image);
        }
        return out;
    }

private:
    static QClipboard* SystemClipboard() {
        EnsureQtApplication();
        return QGuiApplication::clipboard();
    }
};

ClipboardBackend* g_backend = nullptr;

ClipboardBackend& Backend() {
    static std::unique_ptr<ClipboardBackend> system = CreateSystemClipboardBackend();
    return g_backend ? *g_backend : *system;
}

struct OpenState {
    bool open = false;
    HWND owner = 0;
    bool loaded = false;
    bool changed = false;
    std::map<UINT, ClipboardBytes> blocks;
    std::vector<HGLOBAL> handedOut;  // blocks given by GetClipboardData, freed on close
};

OpenState& State() {
    static OpenState s;
    return s;
}

void EnsureLoaded() {
    OpenState& s = State();
    if (!s.loaded) {
        s.blocks = Backend().Load();
        s.loaded = true;
    }
}

// The formats Win32 synthesises from the ones present.
std::map<UINT, ClipboardBytes> WithSynthesised(std::map<UINT, ClipboardBytes> b) {
    if (b.count(CF_TEXT) && !b.count(CF_OEMTEXT)) b[CF_OEMTEXT] = WithZero(plat::AnsiToOem(UpToZero(b[CF_TEXT])));
    if (b.count(CF_OEMTEXT) && !b.count(CF_TEXT)) b[CF_TEXT] = WithZero(plat::OemToAnsi(UpToZero(b[CF_OEMTEXT])));
    if (b.count(CF_DIB) && !b.count(CF_BITMAP)) b[CF_BITMAP] = b[CF_DIB];
    if (b.count(CF_BITMAP) && !b.count(CF_DIB)) b[CF_DIB] = b[CF_BITMAP];
    return b;
}

}  // namespace

UINT RegisterClipboardFormat(const std::string& name) {
    if (name.empty()) return 0;
    Registry& r = Formats();
    std::lock_guard g(r.lock);
    std::string key = plat::AnsiUpperCase(name);
    auto it = r.byName.find(key);
    if (it != r.byName.end()) return it->second;
    if (r.next == 0xFFFF) return 0;
    UINT id = r.next++;
    r.byName[key] = id;
    r.names[id] = name;
    return id;
}

std::string GetClipboardFormatName(UINT format) {
    Registry& r = Formats();
    std::lock_guard g(r.lock);
    auto it = r.names.find(format);
    return it == r.names.end() ? std::string() : it->second;
}

UINT CF_RTF() {
    static const UINT id = RegisterClipboardFormat("Rich Text Format");
    return id;
}

UINT CF_PICTURE() {
    static const UINT id = RegisterClipboardFormat("Picture");
    return id;
}

HGLOBAL GlobalAlloc(unsigned flags, std::size_t bytes) {
    (void)flags;  // blocks are always zero-filled: no stale bytes leak through
    if (bytes > (std::size_t(1) << 31)) return 0;
    return NewBlock(ClipboardBytes(bytes, 0));
}

void* GlobalLock(HGLOBAL mem) {
    Heap& h = GlobalHeap();
    std::lock_guard g(h.lock);
    auto it = h.blocks.find(mem);
    if (it == h.blocks.end()) return nullptr;
    ++it->second.locks;
    // A zero-sized block still locks to a valid address.
    if (it->second.bytes.empty()) it->second.bytes.reserve(1);
    return it->second.bytes.data();
}

bool GlobalUnlock(HGLOBAL mem) {
    Heap& h = GlobalHeap();
    std::lock_guard g(h.lock);
    auto it = h.blocks.find(mem);
    if (it == h.blocks.end() || it->second.locks == 0) return false;
    return --it->second.locks > 0;
}

std::size_t GlobalSize(HGLOBAL mem) {
    Heap& h = GlobalHeap();
    std::lock_guard g(h.lock);
    auto it = h.blocks.find(mem);
    return it == h.blocks.end() ? 0 : it->second.bytes.size();
}

HGLOBAL GlobalFree(HGLOBAL mem) {
    Heap& h = GlobalHeap();
    std::lock_guard g(h.lock);
    return h.blocks.erase(mem) ? 0 : mem;
}

int GlobalBlockCount() {
    Heap& h = GlobalHeap();
    std::lock_guard g(h.lock);
    return static_cast<int>(h.blocks.size());
}

std::unique_ptr<ClipboardBackend> CreateSystemClipboardBackend() { return std::make_unique<SystemClipboardBackend>(); }

void SetClipboardBackend(ClipboardBackend* backend) { g_backend = backend; }

bool OpenClipboard(HWND owner) {
    OpenState& s = State();
    if (s.open) return s.owner == owner;
    s = OpenState{};
    s.open = true;
    s.owner = owner;
    return true;
}

bool CloseClipboard() {
    OpenState& s = State();
    if (!s.open) return false;
    if (s.changed) Backend().Store(s.blocks);
    for (HGLOBAL h : s.handedOut) GlobalFree(h);
    s = OpenState{};
    return true;
}

bool EmptyClipboard() {
    OpenState& s = State();
    if (!s.open) return false;
    s.blocks.clear();
    s.loaded = true;
    s.changed = true;
    return true;
}

HGLOBAL SetClipboardData(UINT format, HGLOBAL mem) {
    OpenState& s = State();
    if (!s.open || format == 0) return 0;
    ClipboardBytes bytes;
    if (!TakeBlock(mem, bytes)) return 0;
    EnsureLoaded();
    s.blocks[format] = std::move(bytes);
    s.changed = true;
    return mem;
}

HGLOBAL GetClipboardData(UINT format) {
    OpenState& s = State();
    if (!s.open) return 0;
    EnsureLoaded();
    auto all = WithSynthesised(s.blocks);
    auto it = all.find(format);
    if (it == all.end()) return 0;
    HGLOBAL h = NewBlock(it->second);
    s.handedOut.push_back(h);
    return h;
}

bool IsClipboardFormatAvailable(UINT format) {
    OpenState& s = State();
    if (s.open) {
        EnsureLoaded();
        return WithSynthesised(s.blocks).count(format) > 0;
    }
    return WithSynthesised(Backend().Load()).count(format) > 0;
}

int CountClipboardFormats() {
    OpenState& s = State();
    if (s.open) {
        EnsureLoaded();
        return static_cast<int>(WithSynthesised(s.blocks).size());
    }
    return static_cast<int>(WithSynthesised(Backend().Load()).size());
}

UINT EnumClipboardFormats(UINT format) {
    OpenState& s = State();
    if (!s.open) return 0;
    EnsureLoaded();
    auto all = WithSynthesised(s.blocks);
    auto it = all.upper_bound(format);
    return it == all.end() ? 0 : it->first;
}

// ===========================================================================
// TClipboard

void TClipboard::Open() {
    if (openCount_++ == 0 && !OpenClipboard(0)) {
        openCount_ = 0;
        throw plat::Exception("Cannot open clipboard");
    }
}

void TClipboard::Close() {
    if (openCount_ == 0) return;
    if (--openCount_ == 0) CloseClipboard();
}

void TClipboard::Clear() {
    Open();
    EmptyClipboard();
    Close();
}

bool TClipboard::HasFormat(UINT format) { return IsClipboardFormatAvailable(format); }

int TClipboard::FormatCount() { return CountClipboardFormats(); }

UINT TClipboard::Formats(int index) {
    Open();
    UINT f = 0;
    for (int i = 0; i <= index; ++i) {
        f = EnumClipboardFormats(f);
        if (!f) break;
    }
    Close();
    if (!f) throw plat::Exception("List index out of bounds");
    return f;
}

std::string TClipboard::AsText() {
    ClipboardBytes b = GetBuffer(CF_TEXT);
    return UpToZero(b);
}

void TClipboard::SetAsText(const std::string& text) {
    std::string upTo = text.substr(0, text.find('\0'));
    SetBuffer(CF_TEXT, upTo.c_str(), upTo.size() + 1);
}

void TClipboard::SetTextBuf(const char* buffer) { SetAsText(buffer ? buffer : ""); }

void TClipboard::SetBuffer(UINT format, const void* data, std::size_t size) {
    Open();
    try {
        // A lone set replaces what was there; inside an Open/Close pair the
        // caller adds formats after its own EmptyClipboard.
        if (openCount_ == 1) EmptyClipboard();
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
        if (size) std::memcpy(GlobalLock(h), data, size);
        GlobalUnlock(h);
        SetClipboardData(format, h);
    } catch (...) {
        Close();
        throw;
    }
    Close();
}

ClipboardBytes TClipboard::GetBuffer(UINT format) {
    Open();
    ClipboardBytes out;
    HGLOBAL h = GetClipboardData(format);
    if (h) {
        auto* p = static_cast<std::uint8_t*>(GlobalLock(h));
        out.assign(p, p + GlobalSize(h));
        GlobalUnlock(h);
    }
    Close();
    return out;
}

void TClipboard::SetAsHandle(UINT format, HGLOBAL mem) {
    Open();
    if (openCount_ == 1) EmptyClipboard();
    SetClipboardData(format, mem);
    Close();
}

HGLOBAL TClipboard::GetAsHandle(UINT format) {
    // The block stays valid until the clipboard closes, as on Win32: callers
    // that keep it beyond must hold the clipboard open.
    Open();
    HGLOBAL h = GetClipboardData(format);
    Close();
    return h;
}

void TClipboard::Assign(const TBitmap& bitmap) {
    const QImage* image = bitmap.Image();
    ClipboardBytes dib = image ? ImageToDib(*image) : ClipboardBytes{};
    Open();
    EmptyClipboard();
    if (!dib.empty()) {
        HGLOBAL a = GlobalAlloc(GMEM_MOVEABLE, dib.size());
        std::memcpy(GlobalLock(a), dib.data(), dib.size());
        GlobalUnlock(a);
        SetClipboardData(CF_DIB, a);
        HGLOBAL b = GlobalAlloc(GMEM_MOVEABLE, dib.size());
        std::memcpy(GlobalLock(b), dib.data(), dib.size());
        GlobalUnlock(b);
        SetClipboardData(CF_PICTURE(), b);
    }
    Close();
}

void TClipboard::Assign(const TPicture& picture) {
    const TGraphic* g = picture.Graphic();
    TBitmap bmp;
    if (g && g->Image()) bmp.SetImage(*g->Image());
    Assign(bmp);
}

bool TClipboard::AssignTo(TBitmap& bitmap) {
    ClipboardBytes dib = GetBuffer(CF_DIB);
    if (dib.empty()) dib = GetBuffer(CF_PICTURE());
    QImage image = DibToImage(dib);
    if (image.isNull()) return false;
    bitmap.SetImage(image);
    return true;
}

bool TClipboard::AssignTo(TPicture& picture) {
    TBitmap bmp;
    if (!AssignTo(bmp)) return false;
    picture.SetGraphic(&bmp);
    return true;
}

TClipboard* Clipboard() {
    static TClipboard clipboard;
    return &clipboard;
}

}  // namespace gui
