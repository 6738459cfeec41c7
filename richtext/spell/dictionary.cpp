#include "richtext/spell/dictionary.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/core/paths.h"
#include "platform/core/safe_file.h"
#include "richtext/spell/spell_files.h"

namespace spell {

// A 43-character notice followed by seven zero bytes.
const unsigned char kDictionarySignature[50] = {
    'T', 'a', 'v', 'r', 'i', 'n', ' ', 's', 'p', 'e', 'l', 'l', ' ', 'c', 'h', 'e', 'c',
    'k', 'e', 'r', ' ', 'd', 'i', 'c', 't', 'i', 'o', 'n', 'a', 'r', 'y', ',', ' ', 'v',
    'e', 'r', 's', 'i', 'o', 'n', ' ', '1', '.', 0,   0,   0,   0,   0,   0,   0};

namespace {

bool gDictionaryExists = false;

void DefaultErrorBox(const std::string& text) { std::cerr << text << '\n'; }
DictionaryErrorBoxProc gErrorBox = DefaultErrorBox;

int CompareNoCase(std::string_view a, std::string_view b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

std::string CutWord(std::string_view s) { return std::string(s.substr(0, std::min(s.size(), kMaxWordLength))); }

std::string LowerAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return r;
}

std::string FoldWord(std::string_view oem) {
    // The capitals with accents of the OEM code page and their small letters
    // (Ç Ü É Ä Å Æ Ö Ñ), as the dictionary builder lower-cases its words.
    static constexpr unsigned char kCapital[] = {0x80, 0x9A, 0x90, 0x8E, 0x8F, 0x92, 0x99, 0xA5};
    static constexpr unsigned char kSmall[] = {0x87, 0x81, 0x82, 0x84, 0x86, 0x91, 0x94, 0xA4};
    std::string r = LowerAscii(oem);
    for (char& c : r)
        for (std::size_t k = 0; k < sizeof kCapital; ++k)
            if (static_cast<unsigned char>(c) == kCapital[k]) c = static_cast<char>(kSmall[k]);
    return r;
}

// --- TWordList ---------------------------------------------------------------

bool TWordList::Contains(std::string_view w) const {
    auto it = std::lower_bound(words_.begin(), words_.end(), w,
                               [](const std::string& a, std::string_view b) { return CompareNoCase(a, b) < 0; });
    return it != words_.end() && CompareNoCase(*it, w) == 0;
}

bool TWordList::Add(std::string_view w) {
    auto it = std::lower_bound(words_.begin(), words_.end(), w,
                               [](const std::string& a, std::string_view b) { return CompareNoCase(a, b) < 0; });
    if (it != words_.end() && CompareNoCase(*it, w) == 0) return false;
    words_.insert(it, std::string(w));
    return true;
}

bool TWordList::LoadFromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) Add(CutWord(line));
    }
    return true;
}

void TWordList::SaveToFile(const std::string& path) const {
    // A failed or interrupted save leaves the previous words in place.
    std::string text;
    for (const std::string& w : words_) text += w + "\r\n";
    if (!plat::WriteFileSafely(path, text, plat::PathText::Native))
        throw Exception("Cannot write user dictionary : " + path);
}

// --- TDCTFile ----------------------------------------------------------------

TDCTFile::TDCTFile(const std::string& FileName) : fileName_(FileName) {
    if (FindFileNoCase(FileName).empty()) throw Exception("Dictionary not found : " + FileName);
    pageBuffer_.assign(kDctPageSize, 0);
    OpenDictionaryFile();
}

TDCTFile::~TDCTFile() = default;

void TDCTFile::OpenDictionaryFile() {
    nativePath_ = FindFileNoCase(fileName_);
    std::FILE* f = nativePath_.empty() ? nullptr : std::fopen(nativePath_.c_str(), "rb");
    if (!f) throw Exception("Dictionary not found : " + fileName_);
    // The whole file is held in memory (the largest is under 2 MB); pages are
    // served from it, so a walk that jumps between pages costs no system call.
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    bool readError = std::ferror(f) != 0;
    std::fclose(f);
    auto fail = [this] {
        image_.clear();
        pageBuffer_.clear();
        throw TEDictionaryCorrupt();
    };
    if (readError) fail();
    fileSize_ = bytes.size();
    if (fileSize_ < kDctHeaderSize) fail();
    std::memcpy(header_, bytes.data(), kDctHeaderSize);
    if (!CheckDictionarySignature()) fail();
    // Only whole entries count; indexes beyond them are corrupt. Entry 1 must
    // exist, since it begins the list of first letters.
    std::uint64_t entries = (fileSize_ - kDctHeaderSize) / 4;
    if (entries == 0) fail();
    entryCount_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(entries, kMaxEntryIndex));
    image_ = std::move(bytes);
    ReadDictionaryPage(0);
}

bool TDCTFile::CheckDictionarySignature() const {
    return std::memcmp(header_ + 1, kDictionarySignature, sizeof kDictionarySignature) == 0;
}

void TDCTFile::ReadDictionaryPage(std::uint32_t p) {
    currentPage_ = p;
    std::uint64_t offset = kDctHeaderSize + std::uint64_t(kDctPageSize) * p;
    if (offset + kDctPageSize <= image_.size()) {
        page_ = image_.data() + offset;  // a whole page: no copy needed
        return;
    }
    // A short last page is fine; entries past the file's end are refused by
    // DictionaryEntry before anyone reads them, and the rest of the buffer is
    // zeroed so nothing of an earlier page survives.
    std::fill(pageBuffer_.begin(), pageBuffer_.end(), 0);
    if (offset < image_.size())
        std::memcpy(pageBuffer_.data(), image_.data() + offset, static_cast<std::size_t>(image_.size() - offset));
    page_ = pageBuffer_.data();
}

std::uint32_t TDCTFile::DictionaryEntry(std::uint32_t i) {
    if (i == 0 || i > entryCount_ || image_.empty()) throw TEDictionaryCorrupt();
    std::uint32_t page = i / kDctEntriesPerPage;
    std::uint32_t slot = i % kDctEntriesPerPage;
    if (slot == 0) {  // entry 128p is the last one of page p - 1
        --page;
        slot = kDctEntriesPerPage;
    }
    if (page != currentPage_) ReadDictionaryPage(page);
    const unsigned char* b = page_ + 4 * (slot - 1);
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
}

std::uint32_t TDCTFile::FindLetterEntry(std::uint32_t i, unsigned char letter, std::uint32_t* at) {
    for (;; ++i) {
        // Running past the last entry without a last-sibling bit is corruption.
        std::uint32_t e = DictionaryEntry(i);
        if (EntryLetter(e) == letter || IsLastSibling(e)) {
            if (at) *at = i;
            return e;
        }
    }
}

bool TDCTFile::LookupWord(std::string_view word) {
    std::string w = CutWord(word);
    std::size_t pos = 0;
    std::uint32_t index = 1;
    while (index != 0 && pos < w.size()) {
        unsigned char letter = static_cast<unsigned char>(w[pos]);
        std::uint32_t e = FindLetterEntry(index, letter);
        if (EntryLetter(e) != letter) return false;
        ++pos;
        if (pos == w.size() && IsEndOfWord(e)) return true;
        index = ChildIndex(e);
    }
    return false;
}

// --- TDictionary -------------------------------------------------------------

void SetDictionaryErrorBox(DictionaryErrorBoxProc proc) { gErrorBox = proc ? proc : DefaultErrorBox; }

void InitDictionaryUnit() { gDictionaryExists = false; }

bool DictionaryExists() { return gDictionaryExists; }

TDictionary::TDictionary() {
    if (gDictionaryExists) {
        gErrorBox("Programmer Error. Only one dictionary\robject can be initialized at once.");
        throw TEDictionaryInUse();
    }
    gDictionaryExists = true;
}

TDictionary::~TDictionary() {
    try {
        CloseDictionaries();
    } catch (const std::exception& e) {
        // A destructor cannot raise; callers that must know call
        // CloseDictionaries first.
        gErrorBox(e.what());
    }
    gDictionaryExists = false;
}

bool TDictionary::IsDictionaryOpen(const std::string& FileName) const {
    std::string name = LowerAscii(plat::ExtractFileName(FileName));
    for (TLinkedListNode* n = Files.First; n; n = n->Next)
        if (LowerAscii(plat::ExtractFileName(static_cast<TDCTFile*>(n)->FileName())) == name) return true;
    return false;
}

bool TDictionary::AddDictionary(const std::string& FileName) {
    if (!IsDictionaryOpen(FileName)) {
        Files.Append(new TDCTFile(FileName));
        IsOpen = true;
        // Its abbreviations, when the list is there (older dictionaries have none).
        std::string list = FindFileNoCase(plat::ChangeFileExt(FileName, ".abb"));
        if (!list.empty()) Abbreviations.LoadFromFile(list);
    }
    return true;
}

std::string TDictionary::FirstDictionaryDir() const {
    if (!Files.First) return {};
    // The folder as found on disk, so that a new user dictionary lands beside it.
    return plat::SystemText(plat::ExtractFilePath(static_cast<TDCTFile*>(Files.First)->NativePath()));
}

void TDictionary::OpenUserDictionary(const std::string& FileName) {
    std::string name = FileName;
    if (name == "CUSTOM.DIC") {
        std::string shared = plat::WindowsDir() + "\\MSAPPS\\PROOF\\" + "CUSTOM.DIC";
        if (!FindFileNoCase(shared).empty()) name = shared;
    }
    // Without a dictionary file there is no folder to borrow: the name stays as given.
    if (plat::ExtractFilePath(name).empty()) name = FirstDictionaryDir() + name;
    UserDictionaryFile = name;
    UserWords.Clear();
    UserFileAge = 0;
    std::string found = FindFileNoCase(name);
    if (!found.empty()) {
        UserFileAge = NativeFileAge(found);
        UserWords.LoadFromFile(found);
    }
}

void TDictionary::OpenExclusionList(const std::string& FileName) {
    ExclusionWords.reset();
    std::string found = FindFileNoCase(FileName);
    if (found.empty() && Files.First) found = FindFileNoCase(FirstDictionaryDir() + plat::ExtractFileName(FileName));
    if (found.empty()) return;
    auto list = std::make_unique<TWordList>();
    if (list->LoadFromFile(found)) ExclusionWords = std::move(list);
}

bool TDictionary::IsWord(std::string_view word) {
    std::string w = FoldWord(CutWord(word));
    if (w.size() >= 2 && w.compare(w.size() - 2, 2, "'s") == 0) w.resize(w.size() - 2);
    if (ExclusionWords && ExclusionWords->Contains(w)) return false;
    if (!w.empty() && UserWords.Contains(w)) return true;
    for (TLinkedListNode* n = Files.First; n; n = n->Next)
        if (static_cast<TDCTFile*>(n)->LookupWord(w)) return true;
    return false;
}

void TDictionary::AddWord(std::string_view word) {
    if (IsWord(word)) return;
    std::string w = FoldWord(CutWord(word));
    if (w.empty()) return;
    UserWords.Add(w);
    UserModified = true;
}

void TDictionary::SaveUserDictionary() {
    if (UserDictionaryFile.empty()) return;
    std::string found = FindFileNoCase(UserDictionaryFile);
    std::int64_t age = found.empty() ? 0 : NativeFileAge(found);
    if (age != UserFileAge && !found.empty()) {
        // Another writer saved the file since we loaded it: keep its words.
        TWordList theirs;
        theirs.LoadFromFile(found);
        for (const std::string& w : theirs.Words()) UserWords.Add(w);
    }
    std::string target = found.empty() ? plat::NativePath(UserDictionaryFile) : found;
    UserWords.SaveToFile(target);
    UserModified = false;
    UserFileAge = NativeFileAge(target);
}

void TDictionary::CloseDictionaries() {
    // The files close even when saving fails; the failure is then raised.
    struct CloseFiles {
        TDictionary* d;
        ~CloseFiles() {
            d->Files.Clear();
            d->Abbreviations.Clear();
            d->IsOpen = false;
        }
    } closer{this};
    if (UserModified) SaveUserDictionary();
}

}  // namespace spell
