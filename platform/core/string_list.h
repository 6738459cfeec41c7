// A list of Windows-1252 strings with an object per string, in the class
// library's shape: optionally sorted (binary-searched, with a duplicates
// rule), optionally case-insensitive, "name=value" access, and Text with
// CR LF line ends.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/streams.h"

namespace plat {

enum class Duplicates { Ignore, Accept, Error };

enum class EmptyLines { Keep, Skip };
// The lines of a text: CR LF, LF and a lone CR each end a line, and a final
// line end adds no empty line after it. Text from Windows, Unix and old Mac
// files, and text typed into a memo, splits the same way.
std::vector<std::string> SplitLines(std::string_view text, EmptyLines empty = EmptyLines::Keep);

class StringList {
public:
    StringList() = default;
    virtual ~StringList() = default;

    int Count() const { return static_cast<int>(items_.size()); }
    // Raise EListError for an index out of range.
    const std::string& Strings(int index) const;
    void SetString(int index, std::string value);
    void* Objects(int index) const;
    void SetObject(int index, void* object);
    const std::string& operator[](int index) const { return Strings(index); }

    // Returns the index of the new (or, with Duplicates::Ignore, the existing) string.
    int Add(std::string s, void* object = nullptr);
    // Raises EListError on a sorted list.
    void Insert(int index, std::string s, void* object = nullptr);
    void Delete(int index);
    void Clear();
    void Exchange(int a, int b);
    void AddStrings(const StringList& other);
    void Assign(const StringList& other);
    int IndexOf(std::string_view s) const;
    int IndexOfObject(const void* object) const;
    // Sorted lists only: true when found; index = the first match or the insertion place.
    bool Find(std::string_view s, int& index) const;

    bool Sorted() const { return sorted_; }
    void SetSorted(bool value);
    Duplicates DuplicatesRule() const { return duplicates_; }
    void SetDuplicates(Duplicates value) { duplicates_ = value; }
    bool CaseSensitive() const { return caseSensitive_; }
    void SetCaseSensitive(bool value);
    void Sort();
    void CustomSort(const std::function<int(const StringList&, int, int)>& compare);

    // "name=value" lines.
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    int IndexOfName(std::string_view name) const;
    std::string Values(std::string_view name) const;
    // An empty value deletes the line.
    void SetValue(std::string_view name, std::string_view value);

    // Lines joined with CR LF, each line ended.
    std::string Text() const;
    // The lines of SplitLines, empty ones kept.
    void SetText(std::string_view text);
    // Comma-separated, items with blanks, commas or quotes in double quotes.
    std::string CommaText() const;
    void SetCommaText(std::string_view text);

    void LoadFromStream(Stream& stream);
    void SaveToStream(Stream& stream) const;
    // Raise EFOpenError / EFCreateError when the file cannot be opened.
    void LoadFromFile(std::string_view path);
    void SaveToFile(std::string_view path) const;

    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    std::function<void(StringList&)> OnChange;

protected:
    int CompareStrings(std::string_view a, std::string_view b) const;

private:
    struct Item {
        std::string text;
        void* object = nullptr;
    };
    void Changed();
    void CheckIndex(int index) const;

    std::vector<Item> items_;
    bool sorted_ = false;
    bool caseSensitive_ = false;
    Duplicates duplicates_ = Duplicates::Ignore;
    int updateCount_ = 0;
};

}  // namespace plat
