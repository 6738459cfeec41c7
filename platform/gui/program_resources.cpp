#include "platform/gui/program_resources.h"

#include "platform/core/streams.h"

#include "platform/core/codepage.h"
#include "platform/gui/graphics.h"

#include <QFile>
#include <QFileInfo>
#include <QCoreApplication>
#include <QImage>

#include <cctype>
#include <map>
#include <mutex>

namespace gui {
namespace {

constexpr HMODULE kProgramModule = 0x00400000;

std::mutex& Lock() {
    static std::mutex m;
    return m;
}
std::map<std::pair<int, std::string>, std::string>& Table() {
    static std::map<std::pair<int, std::string>, std::string> t;
    return t;
}
std::string& ModuleNameOverride() {
    static std::string n;
    return n;
}

// Names are found without regard to case; numbers in one canonical form.
std::string Key(const std::string& name) {
    bool digits = !name.empty() && name.size() < 10;
    for (char c : name) digits = digits && std::isdigit(static_cast<unsigned char>(c));
    if (digits) return "#" + std::to_string(std::stoul(name));
    std::string k;
    for (char c : name) k += static_cast<char>(plat::CharUpper(static_cast<unsigned char>(c)));
    return k;
}

std::string StripExe(std::string name) {
    const std::string upper = Key(name);
    if (upper.size() > 4 && upper.substr(upper.size() - 4) == ".EXE") name.resize(name.size() - 4);
    return name;
}

// A packed 24-bit DIB of an image.
std::string PackedDib(const QImage& source) {
    const QImage img = source.convertToFormat(QImage::Format_RGB32);
    const int w = img.width(), h = img.height();
    const int stride = (w * 3 + 3) & ~3;
    std::string s(40, '\0');
    auto put = [&](std::size_t at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put(0, 40, 4);
    put(4, static_cast<std::uint32_t>(w), 4);
    put(8, static_cast<std::uint32_t>(h), 4);
    put(12, 1, 2);
    put(14, 24, 2);
    put(20, static_cast<std::uint32_t>(stride * h), 4);
    for (int y = h - 1; y >= 0; --y) {
        std::string row(static_cast<std::size_t>(stride), '\0');
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            row[3 * x] = static_cast<char>(qBlue(line[x]));
            row[3 * x + 1] = static_cast<char>(qGreen(line[x]));
            row[3 * x + 2] = static_cast<char>(qRed(line[x]));
        }
        s += row;
    }
    return s;
}

}  // namespace

HMODULE HInstance() { return kProgramModule; }

std::string ProgramModuleName() {
    if (!ModuleNameOverride().empty()) return ModuleNameOverride();
    const QString exe = QCoreApplication::instance() ? QCoreApplication::applicationFilePath()
                                                     : QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return QFileInfo(exe).completeBaseName().toStdString();
}

void SetProgramModuleName(const std::string& name) { ModuleNameOverride() = name; }

HMODULE GetModuleHandle(const std::string& moduleName) {
    if (moduleName.empty()) return kProgramModule;
    return Key(StripExe(moduleName)) == Key(StripExe(ProgramModuleName())) ? kProgramModule : 0;
}

void RegisterResource(int type, const std::string& name, const std::string& bytes) {
    std::lock_guard<std::mutex> g(Lock());
    Table()[{type, Key(name)}] = bytes;
}

void RegisterBitmapResource(const std::string& name, const TBitmap& bitmap) {
    if (!bitmap.Image()) return;
    RegisterResource(RT_BITMAP, name, PackedDib(*bitmap.Image()));
}

void UnregisterResource(int type, const std::string& name) {
    std::lock_guard<std::mutex> g(Lock());
    Table().erase({type, Key(name)});
}

bool LoadBitmapResource(HMODULE module, const std::string& name, TBitmap& into) {
    const std::string* dib = FindResource(module, name, RT_BITMAP);
    if (!dib || dib->size() < 4) return false;
    // A packed DIB, as a resource holds it: the file header goes in front.
    const std::uint32_t size = static_cast<std::uint32_t>(14 + dib->size());
    const std::uint32_t headerSize =
        static_cast<unsigned char>((*dib)[0]) | (static_cast<unsigned char>((*dib)[1]) << 8);
    const std::uint32_t offset = 14 + headerSize;
    std::string file = "BM";
    for (int i = 0; i < 4; ++i) file += static_cast<char>((size >> (8 * i)) & 0xFF);
    file.append(4, '\0');
    for (int i = 0; i < 4; ++i) file += static_cast<char>((offset >> (8 * i)) & 0xFF);
    file += *dib;
    TBitmap picture;
    try {
        plat::MemoryStream stream(file);
        picture.LoadFromStream(stream);
    } catch (const std::exception&) {
        return false;
    }
    if (picture.Empty()) return false;
    into.Assign(picture);
    return true;
}

const std::string* FindResource(HMODULE module, const std::string& name, int type) {
    if (module != kProgramModule || name.empty()) return nullptr;
    const std::string key = Key(name);
    std::lock_guard<std::mutex> g(Lock());
    auto it = Table().find({type, key});
    if (it != Table().end()) return &it->second;
    if (type == RT_BITMAP) {
        // A bitmap compiled in as a Qt resource: the .bmp file less its file header.
        QFile f(QStringLiteral(":/tavrin/bitmaps/") + QString::fromStdString(key) + QStringLiteral(".bmp"));
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray data = f.readAll();
            if (data.size() > 14 && data.startsWith("BM")) {
                auto& slot = Table()[{type, key}];
                slot.assign(data.constData() + 14, static_cast<std::size_t>(data.size() - 14));
                return &slot;
            }
        }
    }
    return nullptr;
}

std::string LoadResString(int id) {
    const std::string* s = FindResource(kProgramModule, std::to_string(id), RT_STRING);
    return s ? *s : std::string();
}

}  // namespace gui
