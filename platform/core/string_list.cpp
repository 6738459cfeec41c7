#include "platform/core/string_list.h"

#include <algorithm>

#include "platform/core/codepage.h"
#include "platform/core/exceptions.h"
#include "platform/core/format.h"

namespace plat {

int StringList::CompareStrings(std::string_view a, std::string_view b) const {
    return CompareAnsi(a, b, !caseSensitive_);
}

void StringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(Format("List index out of bounds (%d)", {FmtArg(index)}));
}

const std::string& StringList::Strings(int index) const {
    CheckIndex(index);
    return items_[index].text;
}

void StringList::SetString(int index, std::string value) {
    CheckIndex(index);
    if (sorted_) throw EListError("Operation not allowed on sorted list");
    items_[index].text = std::move(value);
    Changed();
}

void* StringList::Objects(int index) const {
    CheckIndex(index);
    return items_[index].object;
}

void StringList::SetObject(int index, void* object) {
    CheckIndex(index);
    items_[index].object = object;
}

std::vector<std::string> SplitLines(std::string_view text, EmptyLines empty) {
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t e = i;
        while (e < text.size() && text[e] != '\r' && text[e] != '\n') ++e;
        if (e > i || empty == EmptyLines::Keep) lines.emplace_back(text.substr(i, e - i));
        if (e < text.size() && text[e] == '\r') ++e;
        if (e < text.size() && text[e] == '\n') ++e;
        i = e;
    }
    return lines;
}

int StringList::Add(std::string s, void* object) {
    int index = Count();
    if (sorted_) {
        if (Find(s, index)) {
            if (duplicates_ == Duplicates::Ignore) return index;
            if (duplicates_ == Duplicates::Error) throw EListError("String list does not allow duplicates");
        }
    }
    items_.insert(items_.begin() + index, Item{std::move(s), object});
    Changed();
    return index;
}

void StringList::Insert(int index, std::string s, void* object) {
    if (sorted_) throw EListError("Operation not allowed on sorted list");
    if (index < 0 || index > Count()) throw EListError(Format("List index out of bounds (%d)", {FmtArg(index)}));
    items_.insert(items_.begin() + index, Item{std::move(s), object});
    Changed();
}

void StringList::Delete(int index) {
    CheckIndex(index);
    items_.erase(items_.begin() + index);
    Changed();
}

void StringList::Clear() {
    if (items_.empty()) return;
    items_.clear();
    Changed();
}

void StringList::Exchange(int a, int b) {
    CheckIndex(a);
    CheckIndex(b);
    std::swap(items_[a], items_[b]);
    Changed();
}

void StringList::AddStrings(const StringList& other) {
    BeginUpdate();
    for (const Item& it : other.items_) Add(it.text, it.object);
    EndUpdate();
}

void StringList::Assign(const StringList& other) {
    if (this == &other) return;
    BeginUpdate();
    items_.clear();
    AddStrings(other);
    EndUpdate();
}

bool StringList::Find(std::string_view s, int& index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = CompareStrings(items_[mid].text, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) found = true;
        }
    }
    index = lo;
    return found;
}

int StringList::IndexOf(std::string_view s) const {
    if (sorted_) {
        int index;
        return Find(s, index) ? index : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (CompareStrings(items_[i].text, s) == 0) return i;
    return -1;
}

int StringList::IndexOfObject(const void* object) const {
    for (int i = 0; i < Count(); ++i)
        if (items_[i].object == object) return i;
    return -1;
}

void StringList::SetSorted(bool value) {
    if (sorted_ == value) return;
    if (value) Sort();
    sorted_ = value;
}

void StringList::SetCaseSensitive(bool value) {
    if (caseSensitive_ == value) return;
    caseSensitive_ = value;
    if (sorted_) Sort();
}

void StringList::Sort() {
    std::stable_sort(items_.begin(), items_.end(),
                     [this](const Item& a, const Item& b) { return CompareStrings(a.text, b.text) < 0; });
    Changed();
}

void StringList::CustomSort(const std::function<int(const StringList&, int, int)>& compare) {
    if (sorted_) return;
    // Sort a permutation, since the comparer reads the list by index.
    std::vector<int> order(items_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(*this, a, b) < 0; });
    std::vector<Item> sortedItems;
    sortedItems.reserve(items_.size());
    for (int i : order) sortedItems.push_back(std::move(items_[i]));
    items_ = std::move(sortedItems);
    Changed();
}

std::string StringList::Names(int index) const {
    const std::string& s = Strings(index);
    auto eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string StringList::ValueFromIndex(int index) const {
    const std::string& s = Strings(index);
    auto eq = s.find('=');
    return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

int StringList::IndexOfName(std::string_view name) const {
    for (int i = 0; i < Count(); ++i) {
        const std::string& s = items_[i].text;
        auto eq = s.find('=');
        if (eq != std::string::npos && CompareStrings(std::string_view(s).substr(0, eq), name) == 0) return i;
    }
    return -1;
}

std::string StringList::Values(std::string_view name) const {
    int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void StringList::SetValue(std::string_view name, std::string_view value) {
    int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Delete(i);
        return;
    }
    std::string line = std::string(name) + "=" + std::string(value);
    if (i < 0) {
        Add(line);
    } else if (sorted_) {
        Delete(i);
        Add(line);
    } else {
        SetString(i, line);
    }
}

std::string StringList::Text() const {
    std::string out;
    for (const Item& it : items_) {
        out += it.text;
        out += "\r\n";
    }
    return out;
}

void StringList::SetText(std::string_view text) {
    BeginUpdate();
    items_.clear();
    for (std::string& line : SplitLines(text)) Add(std::move(line));
    EndUpdate();
}

std::string StringList::CommaText() const {
    std::string out;
    for (int i = 0; i < Count(); ++i) {
        if (i) out += ',';
        const std::string& s = items_[i].text;
        bool quote = s.empty() || s.find_first_of(" ,\"") != std::string::npos;
        if (!quote) {
            out += s;
            continue;
        }
        out += '"';
        for (char c : s) {
            if (c == '"') out += '"';
            out += c;
        }
        out += '"';
    }
    return out;
}

void StringList::SetCommaText(std::string_view text) {
    BeginUpdate();
    items_.clear();
    std::size_t i = 0;
    auto skipBlanks = [&] { while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i; };
    skipBlanks();
    while (i < text.size()) {
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < text.size() && text[i] != ',' && static_cast<unsigned char>(text[i]) > ' ') item += text[i++];
        }
        Add(item);
        skipBlanks();
        if (i < text.size() && text[i] == ',') {
            ++i;
            skipBlanks();
        }
    }
    EndUpdate();
}

void StringList::LoadFromStream(Stream& stream) {
    std::int64_t left = stream.Size() - stream.Position();
    std::string bytes(static_cast<std::size_t>(std::max<std::int64_t>(left, 0)), '\0');
    stream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    SetText(bytes);
}

void StringList::SaveToStream(Stream& stream) const { stream.WriteString(Text()); }

void StringList::LoadFromFile(std::string_view path) {
    FileStream f(path, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(f);
}

void StringList::SaveToFile(std::string_view path) const {
    FileStream f(path, fmCreate);
    SaveToStream(f);
}

void StringList::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

void StringList::Changed() {
    if (updateCount_ == 0 && OnChange) OnChange(*this);
}

}  // namespace plat
