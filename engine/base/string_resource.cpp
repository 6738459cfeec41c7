#include "engine/base/string_resource.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "engine/base/engine_string_tables.h"
#include "engine/base/qv_base.h"
#include "platform/core/codepage.h"

namespace qv {
namespace {

struct Registry {
    std::mutex mutex;
    // Values are never erased, only replaced by a new node, so a pointer
    // handed out stays valid for the process.
    std::map<std::string, std::unique_ptr<std::string>> byName;
    std::vector<std::unique_ptr<std::string>> retired;
};

Registry& TheRegistry() {
    static Registry* r = [] {
        auto* reg = new Registry;
        auto add = [reg](const char* name, const std::vector<StringEntry>& e) {
            reg->byName[plat::AnsiUpperCase(name)] = std::make_unique<std::string>(BuildStr0(e));
        };
        add("SRMGR_STRINGS", kSrMgrStrings);
        add("QV_GENERAL_STRINGS", kGeneralStrings);
        add("QV_NETBIOS_ERROR_STRINGS", kNetBIOSStrings);
        add("QV_WINSOCK_ERROR_STRINGS", kWinsockStrings);
        add("QV_SERVER_STRINGS", kServerStrings);
        return reg;
    }();
    return *r;
}

[[noreturn]] void RaiseReader(std::int32_t id, std::initializer_list<QvArg> args) {
    throw ETzrStringResourceError(CreateFmtFromTable(QvTable::SrMgr, id, args));
}

}  // namespace

std::string BuildStr0(std::vector<StringEntry> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; });
    std::string out(8 + 12 * entries.size(), '\0');
    std::memcpy(out.data(), "STR0", 4);
    PutU32(out.data() + 4, static_cast<std::uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        std::u16string w = plat::AnsiToWide(entries[i].text);
        char* e = out.data() + 8 + 12 * i;
        PutU32(e, static_cast<std::uint32_t>(entries[i].id));
        PutU32(e + 4, static_cast<std::uint32_t>(out.size()));
        PutU32(e + 8, static_cast<std::uint32_t>(w.size()));
        for (char16_t c : w) {
            out.push_back(static_cast<char>(c & 0xFF));
            out.push_back(static_cast<char>(c >> 8));
        }
    }
    return out;
}

void RegisterStringResource(const std::string& name, std::string bytes) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> g(r.mutex);
    auto& slot = r.byName[plat::AnsiUpperCase(name)];
    if (slot) r.retired.push_back(std::move(slot));
    slot = std::make_unique<std::string>(std::move(bytes));
}

const std::string* FindStringResource(std::string_view name) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> g(r.mutex);
    auto it = r.byName.find(plat::AnsiUpperCase(name));
    return it == r.byName.end() ? nullptr : it->second.get();
}

void TzrStringResource::Open(const void*, std::string_view resourceName) {
    Close();
    if (resourceName.empty()) return;
    name_ = QvLongToShStr(resourceName);
    const std::string* data = FindStringResource(name_);
    if (!data) RaiseReader(3, {name_});
    data_ = data;
    valid_ = false;
    count_ = 0;
    if (data->size() < 8 || data->compare(0, 4, "STR0") != 0) RaiseReader(5, {});
    std::uint32_t n = GetU32(data->data() + 4);
    // A count the entry table cannot hold marks the resource as bad too.
    if (n > (data->size() - 8) / 12) RaiseReader(5, {});
    count_ = n;
    valid_ = true;
}

void TzrStringResource::Close() {
    data_ = nullptr;
    valid_ = false;
    count_ = 0;
}

int TzrStringResource::FindEntry(std::int32_t id) const {
    if (valid_) {
        int lo = 0, hi = static_cast<int>(count_) - 1;
        while (lo <= hi) {
            int mid = (lo + hi) >> 1;
            auto eid = static_cast<std::int32_t>(GetU32(data_->data() + 8 + 12 * mid));
            if (eid == id) return mid;
            if (eid > id)
                hi = mid - 1;
            else
                lo = mid + 1;
        }
    }
    if (raiseOnMissingId) RaiseReader(1, {id});
    return -1;
}

std::u16string TzrStringResource::GetWide(std::int32_t id) const {
    int at = FindEntry(id);
    if (at < 0) return {};
    const char* e = data_->data() + 8 + 12 * at;
    std::uint64_t off = GetU32(e + 4), len = GetU32(e + 8);
    if (off > data_->size() || len > (data_->size() - off) / 2) return {};
    std::u16string w(static_cast<std::size_t>(len), u'\0');
    for (std::size_t i = 0; i < w.size(); ++i) w[i] = static_cast<char16_t>(GetU16(data_->data() + off + 2 * i));
    return w;
}

std::string TzrStringResource::GetAsString(std::int32_t id) const { return plat::WideToAnsi(GetWide(id)); }

void TzrStringResource::GetAsPChar(std::int32_t id, char* buf, std::size_t size) const {
    if (!buf || size == 0) return;
    std::u16string w = GetWide(id);
    std::string a = plat::WideToAnsi(w);
    while (a.size() >= size && !w.empty()) {
        w.pop_back();
        a = plat::WideToAnsi(w);
    }
    std::memcpy(buf, a.data(), a.size());
    buf[a.size()] = '\0';
}

const TzrStringResource& QvStrings(QvTable table) {
    static const TzrStringResource* tables = [] {
        static TzrStringResource t[5];
        t[0].Open(nullptr, "SRMGR_STRINGS");
        t[1].Open(nullptr, "QV_GENERAL_STRINGS");
        t[2].Open(nullptr, "QV_NETBIOS_ERROR_STRINGS");
        t[3].Open(nullptr, "QV_WINSOCK_ERROR_STRINGS");
        t[4].Open(nullptr, "QV_SERVER_STRINGS");
        return t;
    }();
    return tables[static_cast<int>(table)];
}

}  // namespace qv
