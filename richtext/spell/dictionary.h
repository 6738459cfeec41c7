// The spell dictionary: read-only letter-tree files (.DCT), a user word list
// and an optional exclusion list. Words are OEM (CP437) bytes, lower case,
// at most 50 characters.
//
// .DCT layout (little-endian): a length byte, the 50-byte signature, 32 free
// header bytes, then 32-bit entries numbered from 1 at offset 83. An entry
// holds a letter (bits 24-31), a last-sibling bit (23), an end-of-word bit
// (22) and the index of its children's list (bits 0-21, 0 = none). Siblings
// are consecutive; entry 1 begins the list of first letters.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/exceptions.h"
#include "richtext/spell/linked_list.h"

namespace spell {

constexpr std::size_t kMaxWordLength = 50;
constexpr std::size_t kDctHeaderSize = 83;
constexpr std::size_t kDctPageSize = 512;
constexpr std::uint32_t kDctEntriesPerPage = 128;
constexpr std::uint32_t kMaxEntryIndex = 0x3FFFFF;  // 22 bits of child index

// The 50 bytes at offset 1 of every dictionary file.
extern const unsigned char kDictionarySignature[50];

class Exception : public plat::Exception {
public:
    using plat::Exception::Exception;
};
class TEDictionaryInUse : public Exception {
public:
    TEDictionaryInUse() : Exception("Multiple Dictionaries not supported.") {}
};
class TEDictionaryCorrupt : public Exception {
public:
    TEDictionaryCorrupt() : Exception("Dictionary Corrupt.") {}
};

inline bool IsLastSibling(std::uint32_t e) { return (e & 0x800000u) != 0; }
inline bool IsEndOfWord(std::uint32_t e) { return (e & 0x400000u) != 0; }
inline std::uint32_t ChildIndex(std::uint32_t e) { return e & 0x3FFFFFu; }
inline unsigned char EntryLetter(std::uint32_t e) { return static_cast<unsigned char>(e >> 24); }

// Cuts a word to the 50 characters a word variable holds.
std::string CutWord(std::string_view s);
// Lower-cases ASCII letters only, as word lists compare words.
std::string LowerAscii(std::string_view s);
// Lower-cases an OEM word as dictionary words are: ASCII letters and the
// code page's capitals with accents ("École" looks up "école").
std::string FoldWord(std::string_view oem);

// A sorted list of words without duplicates, compared without regard to
// ASCII letter case.
class TWordList {
public:
    bool Contains(std::string_view w) const;
    // False when the word was there already.
    bool Add(std::string_view w);
    void Clear() { words_.clear(); }
    std::size_t Count() const { return words_.size(); }
    const std::vector<std::string>& Words() const { return words_; }
    // One word a line; CR LF and LF both end a line; empty lines are skipped.
    // False when the file cannot be read.
    bool LoadFromFile(const std::string& path);
    // One word a line with CR LF, replacing the file whole; throws Exception
    // when it cannot be written.
    void SaveToFile(const std::string& path) const;

private:
    std::vector<std::string> words_;
};

// One open .DCT file, read in 512-byte pages of 128 entries. Every entry index is checked against the file's size:
// an index outside the file, or a sibling list that runs off its end, raises
// TEDictionaryCorrupt instead of reading stale page bytes.
class TDCTFile : public TLinkedListNode {
public:
    // Throws Exception "Dictionary not found : <name>" or TEDictionaryCorrupt.
    explicit TDCTFile(const std::string& FileName);
    ~TDCTFile() override;
    TDCTFile(const TDCTFile&) = delete;
    TDCTFile& operator=(const TDCTFile&) = delete;

    std::uint32_t DictionaryEntry(std::uint32_t i);
    // The first entry of the sibling list starting at `i` whose letter is
    // `letter`, else the list's last entry; `at` receives its index.
    std::uint32_t FindLetterEntry(std::uint32_t i, unsigned char letter, std::uint32_t* at = nullptr);
    bool LookupWord(std::string_view word);

    const std::string& FileName() const { return fileName_; }
    // The native path the file was opened from.
    const std::string& NativePath() const { return nativePath_; }
    std::uint64_t FileSize() const { return fileSize_; }
    std::uint32_t EntryCount() const { return entryCount_; }
    std::uint32_t CurrentPage() const { return currentPage_; }
    // Upper bound on entries a tree walk may visit before the file counts as
    // corrupt (a cycle of child links would otherwise never end).
    std::uint64_t WalkBudget() const { return std::uint64_t(entryCount_) * 64 + 65536; }

private:
    void OpenDictionaryFile();
    bool CheckDictionarySignature() const;
    void ReadDictionaryPage(std::uint32_t p);

    std::vector<unsigned char> image_;  // the whole file
    std::string fileName_;
    std::string nativePath_;
    std::uint64_t fileSize_ = 0;
    std::uint32_t entryCount_ = 0;
    unsigned char header_[kDctHeaderSize] = {};
    std::uint32_t currentPage_ = 0;
    std::vector<unsigned char> pageBuffer_;  // the short last page
    const unsigned char* page_ = nullptr;     // the current page's 512 bytes
};

// Shown before TEDictionaryInUse is raised; the user interface installs a
// message box here. The default writes to stderr.
using DictionaryErrorBoxProc = void (*)(const std::string& text);
void SetDictionaryErrorBox(DictionaryErrorBoxProc proc);

void InitDictionaryUnit();

class TDictionary {
public:
    TDictionary();
    ~TDictionary();
    TDictionary(const TDictionary&) = delete;
    TDictionary& operator=(const TDictionary&) = delete;

    bool AddDictionary(const std::string& FileName);
    void OpenUserDictionary(const std::string& FileName);
    void OpenExclusionList(const std::string& FileName);
    bool IsWord(std::string_view word);
    void AddWord(std::string_view word);
    void SaveUserDictionary();
    void CloseDictionaries();

    // Ranked replacements for a misspelt OEM word, in ANSI and in the word's
    // capitalisation (suggest.cpp).
    std::vector<std::string> Suggest(std::string_view word, std::uint16_t MaxCount);
    // Dictionary words beginning with an ANSI prefix (suggest.cpp).
    std::vector<std::string> CompleteWord(std::string_view prefix, std::uint16_t MaxCount);

    bool IsDictionaryOpen(const std::string& FileName) const;

    TLinkedList Files;  // of TDCTFile, the main dictionary first
    bool IsOpen = false;
    std::string UserDictionaryFile;
    TWordList UserWords;
    // Abbreviations of the open dictionaries (each one's list beside it, made
    // by the dictionary writer): words, but never parts of a split suggestion.
    TWordList Abbreviations;
    std::unique_ptr<TWordList> ExclusionWords;
    std::int64_t UserFileAge = 0;
    bool UserModified = false;

private:
    std::string FirstDictionaryDir() const;
};

// True while a TDictionary exists.
bool DictionaryExists();

}  // namespace spell
