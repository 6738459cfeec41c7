#include "engine/client/filter.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/client/cursor_base.h"
#include "engine/client/day_numbers.h"

namespace qv {
namespace {

template <class T>
T Load(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

bool IsIntegerType(std::uint16_t t) { return t == 5 || t == 6 || t == 12 || t == 13; }

std::int64_t IntegerValue(const FilterValue& v) {
    switch (v.type) {
        case 5: return Load<std::int16_t>(v.data);
        case 6: return Load<std::int32_t>(v.data);
        case 12: return Load<std::uint16_t>(v.data);
        default: return Load<std::uint32_t>(v.data);
    }
}

std::string Printf(const char* format, long long value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

// The text a value shows when it meets a value of another type.
std::string TextForm(const FilterValue& v) {
    switch (v.type) {
        case 1: return std::string(reinterpret_cast<const char*>(v.data), strnlen(reinterpret_cast<const char*>(v.data), FilterValue::kDataSize));
        case 4: return Load<std::uint16_t>(v.data) != 0 ? "1" : "0";
        case 5: return Printf("%5.5lld", Load<std::int16_t>(v.data));
        case 12: return Printf("%5.5lld", Load<std::uint16_t>(v.data));
        case 6: return Printf("%10.10lld", Load<std::int32_t>(v.data));
        case 7: {
            char buf[400];
            std::snprintf(buf, sizeof buf, "%f", Load<double>(v.data));
            return buf;
        }
        case 9: return std::string(reinterpret_cast<const char*>(v.data), v.size);
        case kFilterTextType: {
            std::size_t n = v.data[0];
            return std::string(reinterpret_cast<const char*>(v.data) + 1, n);
        }
        case 2: {
            int y = 0, m = 0, d = 0;
            DateDecode(Load<std::int32_t>(v.data), y, m, d);
            char buf[32];
            std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", m, d, y);
            return buf;
        }
        case 10: {
            int h = 0, mi = 0, ms = 0;
            TimeDecode(Load<std::int32_t>(v.data), h, mi, ms);
            char buf[32];
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, mi, ms / 1000);
            return buf;
        }
        default: return {};
    }
}

int CompareTexts(const std::string& a, const std::string& b) {
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace

TFilterListItem::TFilterListItem(TBaseTable* cursor, std::uint32_t clientData, std::uint16_t priority,
                                 bool canAbort, const void* expression, FilterCallback callback)
    : cursor_(cursor), clientData_(clientData), priority_(priority), canAbort_(canAbort), callback_(callback) {
    if (expression != nullptr) {
        const auto* p = static_cast<const std::uint8_t*>(expression);
        std::uint16_t size = static_cast<std::uint16_t>(p[2] | (p[3] << 8));
        if (size != 0) expression_.assign(p, p + size);
    }
    valid_ = Prepare();
}

bool TFilterListItem::Readable(std::uint32_t at, std::uint32_t size) const {
    return static_cast<std::uint64_t>(at) + size <= expression_.size();
}

std::uint16_t TFilterListItem::U16(std::uint32_t at) const {
    return static_cast<std::uint16_t>(expression_[at] | (expression_[at + 1] << 8));
}

std::uint32_t TFilterListItem::U32(std::uint32_t at) const {
    return static_cast<std::uint32_t>(U16(at)) | (static_cast<std::uint32_t>(U16(at + 2)) << 16);
}

bool TFilterListItem::Prepare() {
    nodes_.clear();
    values_.clear();
    if (expression_.empty()) return true;
    if (expression_.size() < static_cast<std::size_t>(kFilterHeaderSize)) return false;
    // Node starts already reached: a second visit is a cycle or a shared node.
    std::vector<bool> seen(expression_.size(), false);
    if (Decode(0, 1, seen) != 0) {
        nodes_.clear();
        values_.clear();
        return false;
    }
    std::size_t longest = FilterValue::kDataSize;
    for (const Node& n : nodes_) {
        if (n.fieldNumber == 0) continue;
        TFieldCacheItem* item = cursor_->CacheItem(n.fieldNumber);
        if (item != nullptr && item->desc.length > longest) longest = item->desc.length;
    }
    scratch_.assign(longest, 0);
    return true;
}

// Decodes the node at `nodeOffset` and its operands; the node's index, or
// -1 when anything about it is out of bounds, too deep or seen before.
int TFilterListItem::Decode(std::uint32_t nodeOffset, int level, std::vector<bool>& seen) {
    if (level > kMaxFilterDepth) return -1;
    const std::uint32_t node = static_cast<std::uint32_t>(U16(6)) + nodeOffset;
    if (!Readable(node, 8) || seen[node]) return -1;
    seen[node] = true;
    const int index = static_cast<int>(nodes_.size());
    nodes_.emplace_back();
    values_.emplace_back();
    Node n;
    n.cls = U32(node);
    n.op = U32(node + 4);
    FilterValue& value = values_[static_cast<std::size_t>(index)];
    value.nodeClass = kNodeContinue;
    switch (n.cls) {
        case kNodeContinue:
            if (!Readable(node, 10)) return -1;
            n.continueValue = U16(node + 8);
            break;
        case kNodeConst: {
            if (!Readable(node, 14)) return -1;
            const std::uint16_t size = U16(node + 10);
            const std::uint32_t lit = static_cast<std::uint32_t>(U16(8)) + U16(node + 12);
            if (!Readable(lit, size)) return -1;
            const std::uint16_t keep = size < FilterValue::kDataSize ? size : FilterValue::kDataSize;
            value.type = U16(node + 8);
            value.size = keep;
            std::memcpy(value.data, expression_.data() + lit, keep);
            break;
        }
        case kNodeField: {
            if (!Readable(node, 12)) return -1;
            const std::uint32_t lit = static_cast<std::uint32_t>(U16(8)) + U16(node + 10);
            if (lit >= expression_.size()) return -1;
            const auto* start = expression_.data() + lit;
            const void* nul = std::memchr(start, 0, expression_.size() - lit);
            if (nul == nullptr) return -1;
            const std::string name(reinterpret_cast<const char*>(start), static_cast<const std::uint8_t*>(nul) - start);
            if (name.empty()) {
                n.emptyName = true;
                value.op = 29;
                break;
            }
            n.fieldNumber = cursor_->FieldNumberByName(name, false);
            if (n.fieldNumber == 0) {
                // Not a field: the name stands for itself, as text.
                std::string text;
                for (char c : name)
                    if (c != '"') text += c;
                if (text.size() > 255) text.resize(255);
                value.type = kFilterTextType;
                value.data[0] = static_cast<std::uint8_t>(text.size());
                std::memcpy(value.data + 1, text.data(), text.size());
                value.size = static_cast<std::uint16_t>(text.size());
            }
            break;
        }
        case kNodeUnary:
            if (!Readable(node, 10)) return -1;
            value.op = 29;
            n.first = Decode(U16(node + 8), level + 1, seen);
            if (n.first < 0) return -1;
            break;
        case kNodeBinary:
            if (!Readable(node, 12)) return -1;
            value.op = 29;
            n.first = Decode(U16(node + 8), level + 1, seen);
            if (n.first < 0) return -1;
            n.second = Decode(U16(node + 10), level + 1, seen);
            if (n.second < 0) return -1;
            break;
        case kNodeCompare:
            if (!Readable(node, 16)) return -1;
            value.op = 29;
            n.caseInsensitive = U16(node + 8) != 0;
            n.partial = U16(node + 10);
            n.first = Decode(U16(node + 12), level + 1, seen);
            if (n.first < 0) return -1;
            n.second = Decode(U16(node + 14), level + 1, seen);
            if (n.second < 0) return -1;
            break;
        default:
            break;  // evaluates to false
    }
    nodes_[static_cast<std::size_t>(index)] = n;
    return index;
}

bool TFilterListItem::Accepts(void* record) {
    if (!active_) return true;
    record_ = record;
    if (callback_ != nullptr && callback_(clientData_, record, 0) == 0) return false;
    if (!valid_) return false;
    if (nodes_.empty()) return true;
    try {
        return Evaluate(0);
    } catch (...) {
        return false;
    }
}

bool TFilterListItem::EvaluateField(const Node& node, FilterValue& value) {
    if (node.emptyName) return false;
    if (node.fieldNumber == 0) return true;  // its text, filled when decoded
    if (record_ == nullptr) return false;
    TFieldCacheItem* item = cursor_->CacheItem(node.fieldNumber);
    if (item == nullptr && (cursor_->GetCacheItem(node.fieldNumber, item) != 0 || item == nullptr)) return false;
    value.type = item->desc.fieldType;
    // The value record holds 256 bytes; a longer field is read whole and
    // compared over its first 256.
    const std::size_t length = item->desc.length;
    if (scratch_.size() < length) scratch_.assign(length, 0);
    const std::size_t keep = length < FilterValue::kDataSize ? length : FilterValue::kDataSize;
    // What the read leaves out of the kept part counts as zeros.
    std::memset(scratch_.data(), 0, keep);
    bool blank = false;
    DBIResult rc = cursor_->ReadFieldValue(*item, record_, scratch_.data(), blank);
    std::memcpy(value.data, scratch_.data(), keep);
    value.size = static_cast<std::uint16_t>(keep);
    value.blank = blank;
    return rc == 0;
}

// Operands were checked when the tree was decoded: each is reached once and
// the recursion is at most kMaxFilterDepth deep.
bool TFilterListItem::Evaluate(int index) {
    const Node& n = nodes_[static_cast<std::size_t>(index)];
    FilterValue& value = values_[static_cast<std::size_t>(index)];
    switch (n.cls) {
        case kNodeContinue:
            return n.continueValue != 0;
        case kNodeConst:
            return true;
        case kNodeField:
            return EvaluateField(n, value);
        case kNodeUnary: {
            const bool ok = Evaluate(n.first);
            bool truth;
            if (ok) {
                const bool blank = values_[static_cast<std::size_t>(n.first)].blank;
                truth = n.op == kOpIsBlank ? blank : (n.op == kOpNotBlank ? !blank : false);
            } else {
                truth = n.op == kOpNot;
            }
            value.data[0] = truth ? 1 : 0;
            return truth;
        }
        case kNodeBinary:
        case kNodeCompare: {
            bool truth = false;
            if (n.cls == kNodeBinary && (n.op == kOpAnd || n.op == kOpOr)) {
                if (Evaluate(n.first))
                    truth = n.op == kOpOr ? true : Evaluate(n.second);
                else
                    truth = n.op == kOpAnd ? false : Evaluate(n.second);
                value.data[0] = truth ? 1 : 0;
                return truth;
            }
            value.data[0] = 0;
            if (!Evaluate(n.first) || !Evaluate(n.second)) return false;
            const FilterValue& a = values_[static_cast<std::size_t>(n.first)];
            const FilterValue& b = values_[static_cast<std::size_t>(n.second)];
            if (a.blank != b.blank) {
                // A null value neither equals nor orders against a value:
                // only "not equal" holds. (Ordering nulls first would let
                // "Count < 2" pick up every row without a count.)
                truth = n.op == kOpNe;
            } else {
                const int c = CompareFilterValues(a, b, n.partial, n.caseInsensitive);
                switch (n.op) {
                    case kOpEq: truth = c == 0; break;
                    case kOpNe: truth = c != 0; break;
                    case kOpGt: truth = c > 0; break;
                    case kOpLt: truth = c < 0; break;
                    case kOpGe: truth = c >= 0; break;
                    case kOpLe: truth = c <= 0; break;
                    default: truth = false; break;
                }
            }
            value.data[0] = truth ? 1 : 0;
            return truth;
        }
        default:
            return false;
    }
}

int TFilterListItem::CompareFilterValues(const FilterValue& a, const FilterValue& b, std::uint16_t partialLength,
                                         bool caseInsensitive) {
    if (a.blank || b.blank) return a.blank && b.blank ? 0 : (a.blank ? -1 : 1);
    std::uint32_t length = partialLength != 0 ? partialLength : a.size;
    if (length > FilterValue::kDataSize) length = FilterValue::kDataSize;
    if (a.type == b.type) {
        if (a.type == kFilterTextType) return CompareTexts(TextForm(a), TextForm(b));
        return cursor_->CompareValues(a.type, a.data, b.data, caseInsensitive, length);
    }
    if (IsIntegerType(a.type) && IsIntegerType(b.type)) {
        std::int64_t x = IntegerValue(a), y = IntegerValue(b);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return CompareTexts(TextForm(a), TextForm(b));
}

// ---- the cursor's filter calls ----------------------------------------------------------

void TBaseTable::RecomputeFiltersActive() {
    filtersActive_ = false;
    for (const auto& f : filters_) filtersActive_ = filtersActive_ || f->Active();
}

int TBaseTable::FilterIndex(TFilterListItem* filter) {
    for (std::size_t i = 0; i < filters_.size(); ++i)
        if (filters_[i].get() == filter) return static_cast<int>(i);
    return -1;
}

DBIResult TBaseTable::AddFilter(std::uint32_t clientData, std::uint16_t priority, bool canAbort,
                                const void* expression, void* callback, TFilterListItem*& filter) {
    filter = nullptr;
    SetResult(kDbiErrInvalidHandle);
    auto item = std::make_unique<TFilterListItem>(this, clientData, priority, canAbort, expression,
                                                  reinterpret_cast<FilterCallback>(callback));
    // A tree that cannot be evaluated is refused here, not discovered as
    // a filter that lets nothing through.
    if (!item->Valid()) return SetResult(kDbiErrInvalidParam);
    filter = item.get();
    filters_.push_back(std::move(item));
    RecomputeFiltersActive();
    return SetResult(0);
}

DBIResult TBaseTable::DropFilter(TFilterListItem* filter) {
    if (filter == nullptr) {
        filters_.clear();
        RecomputeFiltersActive();
        return SetResult(0);
    }
    int at = FilterIndex(filter);
    if (at < 0) return SetResult(kDbiErrNoSuchFilter);
    filters_.erase(filters_.begin() + at);
    RecomputeFiltersActive();
    return SetResult(0);
}

DBIResult TBaseTable::ActivateFilter(TFilterListItem* filter) {
    if (filter == nullptr) {
        for (auto& f : filters_) f->SetActive(true);
        RecomputeFiltersActive();
        return SetResult(0);
    }
    int at = FilterIndex(filter);
    if (at < 0) return SetResult(kDbiErrNoSuchFilter);
    filter->SetActive(true);
    filtersActive_ = true;
    return SetResult(0);
}

DBIResult TBaseTable::DeactivateFilter(TFilterListItem* filter) {
    if (filter == nullptr) {
        for (auto& f : filters_) f->SetActive(false);
        filtersActive_ = false;
        return SetResult(0);
    }
    int at = FilterIndex(filter);
    if (at < 0) return SetResult(kDbiErrNoSuchFilter);
    if (!filter->Active()) return SetResult(kDbiErrNotApplicable);
    filter->SetActive(false);
    RecomputeFiltersActive();
    return SetResult(0);
}

DBIResult TBaseTable::GetFilterInfo(TFilterListItem* filter, void* info) {
    if (info == nullptr) return SetResult(kDbiErrInvalidParam);
    auto* p = static_cast<std::uint8_t*>(info);
    std::memset(p, 0, kFilterInfoSize);
    int sequence = 0;
    if (filter != nullptr) {
        sequence = FilterIndex(filter);
        if (sequence < 0) return SetResult(kDbiErrNoSuchFilter);
    } else if (!filters_.empty()) {
        filter = filters_.front().get();
    }
    if (filter == nullptr) return SetResult(0);
    auto put16 = [&](int at, std::uint32_t v) {
        p[at] = static_cast<std::uint8_t>(v);
        p[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto put32 = [&](int at, std::uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    // Handles are 32-bit on the wire; the filter's and the routine's low
    // 32 bits identify them within this process.
    put16(0, static_cast<std::uint32_t>(sequence));
    put32(2, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(filter)));
    put32(6, filter->ClientData());
    put16(10, filter->Priority());
    put16(12, filter->CanAbort() ? 1 : 0);
    put32(14, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(filter->Callback())));
    put32(18, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(filter->Expression().data())));
    put16(22, filter->Active() ? 1 : 0);
    return SetResult(0);
}

bool TBaseTable::FiltersAccept() {
    for (auto& f : filters_)
        if (!f->Accepts(activeRecord_)) return false;
    return true;
}

}  // namespace qv
