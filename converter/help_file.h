// One open compiled help file: its container (file header, internal
// directory kept as a B-tree), the |SYSTEM header and records, and the
// record every other converter unit works on.
//
// A help file comes from anywhere, so the whole file is held in memory and
// every read goes through HelpStream, which never reads past the end. Fatal
// conditions are thrown as HelpFileError carrying the user-facing message;
// recoverable damage becomes a numbered warning of the read or of the
// conversion that met it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace conv {

// Option bits of one conversion.
using ConversionFlags = std::uint32_t;
inline constexpr ConversionFlags kNoShg = 0x0001;
inline constexpr ConversionFlags kBmpInRtf = 0x0002;
inline constexpr ConversionFlags kForPrint = 0x0004;
inline constexpr ConversionFlags kBrowseSequences = 0x0008;
inline constexpr ConversionFlags kPageBreak = 0x0010;
inline constexpr ConversionFlags kJumps = 0x0020;
inline constexpr ConversionFlags kEwSupport = 0x0040;
inline constexpr ConversionFlags kPageLinks = 0x0100;
inline constexpr ConversionFlags kToc = 0x0200;
inline constexpr ConversionFlags kIndex = 0x0400;
inline constexpr ConversionFlags kSplitRtf = 0x0800;
inline constexpr ConversionFlags kShowProgress = 0x1000;
inline constexpr ConversionFlags kLocalize = 0x4000;
inline constexpr ConversionFlags kProbe = 0x8000;

inline constexpr std::uint32_t kHelpFileMagic = 0x00035F3F;

// Warning numbers (the shell turns them into localized lines).
inline constexpr int kWarnCompiler = 34;        // "File created by %s. handling incomplete"
inline constexpr int kWarnPhraseSize = 21;      // "Phrase header: expected size ..."
inline constexpr int kWarnPhraseRef = 46;       // "Illegal phrase reference"
inline constexpr int kWarnDamaged = 47;         // "Damaged help file: %s" (our own)
inline constexpr int kWarnLocalizationMoved = 48;  // "Localization file %s could not be created; ..." (our own)
// What is damaged, for warning 47 (our own texts, each with the internal
// file's name).
inline constexpr int kDamageTooShort = 49;
inline constexpr int kDamageHeader = 50;
inline constexpr int kDamagePastEnd = 51;
inline constexpr int kDamageCompressed = 52;
inline constexpr int kDamageIncomplete = 53;
inline constexpr int kDamageTooLong = 54;
inline constexpr int kDamageChain = 55;
// Pictures whose header claims more than their data holds (our own texts).
inline constexpr int kWarnPictureRefused = 56;  // "Picture %s refused: ..."
inline constexpr int kWarnPictureCut = 57;      // "Picture %s cut to %ld rows: ..."
inline constexpr int kWarnPictureBudget = 58;   // "Picture %s left out: ..."
inline constexpr int kWarnOutputRenamed = 59;   // "%s written as %s: ..."

// Bounds on what the pictures of one help file may cost, whatever their
// headers claim: pixels of one picture, of all pictures together, and the
// picture bytes embedded into the document.
inline constexpr std::uint64_t kMaxPictureBytes = 64ull << 20;
inline constexpr std::uint64_t kMaxPictureBytesTotal = 256ull << 20;
inline constexpr std::uint64_t kMaxEmbeddedBytesTotal = 256ull << 20;

// Fatal messages.
inline constexpr const char* kMsgBadMagic =
    "Magic Number of HLP-File incorrect. Possibly it isn't a WinHelp-File?";
inline constexpr const char* kMsgBadVersion =
    "This Program can only Convert HLP-Files created by HC31,HC30 or HCRTF";
inline constexpr const char* kMsgFileFormat = "Fileformat-Problem. FileNumber=%ld";
inline constexpr const char* kMsgNoMemory = "Not enough Memory\n";

// The largest help file read: its offsets are 32-bit.
inline constexpr std::uint64_t kMaxHelpFileSize = 0xFFFFFFF0u;

// A fatal condition: the shell shows the message and ends the conversion.
class HelpFileError : public std::runtime_error {
public:
    explicit HelpFileError(const std::string& message) : std::runtime_error(message) {}
};

// Thrown by a progress callback to stop a conversion where it stands; what
// was written so far stays. Deliberately no std::exception, so no handler
// for damaged input can mistake it for one and carry on.
struct ConversionAborted {};

// One argument of a warning: a number or a text, kept unformatted so the
// shell can put it into the warning's text in the user's language.
struct WarningArg {
    bool isText = false;
    std::int64_t number = 0;
    std::string text;

    WarningArg(int v) : number(v) {}
    WarningArg(long v) : number(v) {}
    WarningArg(long long v) : number(v) {}
    WarningArg(unsigned v) : number(v) {}
    WarningArg(unsigned long v) : number(static_cast<std::int64_t>(v)) {}
    WarningArg(unsigned long long v) : number(static_cast<std::int64_t>(v)) {}
    WarningArg(const char* v) : isText(true), text(v ? v : "") {}
    WarningArg(std::string v) : isText(true), text(std::move(v)) {}
    // A text of the string table with its own arguments, for a "%s".
    static WarningArg Localized(int id, std::vector<WarningArg> args) {
        WarningArg a("");
        a.stringId = id;
        a.inner = std::move(args);
        return a;
    }
    int stringId = 0;
    std::vector<WarningArg> inner;
};

// A warning as the reader found it: the string id of its text and the
// arguments of that text. FormatWarning (converter_strings.h) makes the line.
struct HelpWarning {
    int number = 0;
    std::vector<WarningArg> args;
};

// printf-style formatting into a std::string.
std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Unsigned decimal number up to the first non-digit (0 for none).
std::uint32_t ParseDecimal(std::string_view text);

// The bytes of the open help file with a read position. Reads never go past
// the end: a short read returns what is there and the typed readers fail.
// A copy is a second read position over the same bytes, which are never
// changed once loaded.
class HelpStream {
public:
    HelpStream() = default;
    explicit HelpStream(std::string bytes) { Take(std::move(bytes)); }
    // Reads a regular file whole; false for anything else (a missing file,
    // a device, a FIFO, a file too large to address). A file that cannot be
    // held in memory throws HelpFileError(kMsgNoMemory).
    bool LoadFile(const std::filesystem::path& path);

    std::uint32_t Size() const { return size_; }
    std::uint32_t Tell() const { return pos_; }
    // Positions beyond the end are clamped to the end; false then.
    bool Seek(std::uint64_t pos);
    std::uint32_t Remaining() const { return Size() - pos_; }
    const std::uint8_t* Data() const { return data_; }
    const std::uint8_t* Here() const { return Data() + pos_; }
    void Skip(std::uint32_t n) { pos_ += n < Remaining() ? n : Remaining(); }

    std::size_t Read(void* dst, std::size_t n);
    int Get();  // next byte, -1 at the end
    bool ReadU8(std::uint8_t& v);
    bool ReadU16(std::uint16_t& v);
    bool ReadI16(std::int16_t& v);
    bool ReadU32(std::uint32_t& v);
    // Zero-terminated text of at most `limit` bytes before `end` (absolute);
    // false when no terminator was found in that range.
    bool ReadCString(std::string& out, std::uint32_t end, std::size_t limit = 1u << 20);

private:
    void Take(std::string bytes);

    std::shared_ptr<const std::string> bytes_;
    const std::uint8_t* data_ = reinterpret_cast<const std::uint8_t*>("");
    std::uint32_t size_ = 0;
    std::uint32_t pos_ = 0;
};

// Little-endian field readers over a bounded byte range.
inline std::uint16_t GetU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct FileHeader {
    std::uint32_t magic = 0;
    std::uint32_t directoryStart = 0;
    std::uint32_t firstFreeBlock = 0;
    std::uint32_t fileSize = 0;
};

inline constexpr std::uint32_t kBTreeHeaderSize = 38;
struct BTreeHeader {
    std::uint16_t magic = 0;
    std::uint16_t flags = 0;
    std::uint16_t pageSize = 0;
    char structure[17] = {};
    std::uint16_t mustBeZero = 0;
    std::uint16_t pageSplits = 0;
    std::uint16_t rootPage = 0;
    std::uint16_t mustBeNegOne = 0;
    std::uint16_t totalPages = 0;
    std::uint16_t levels = 0;
    std::uint32_t totalEntries = 0;
};

struct SystemHeader {
    std::uint16_t magic = 0;
    std::uint16_t minor = 0;
    std::uint16_t major = 0;
    std::uint32_t generationDate = 0;
    std::uint16_t flags = 0;
};

// Data offset and used size of one internal file; zero when absent.
struct InternalFile {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    bool present() const { return offset != 0; }
};

struct DirectoryEntry {
    std::uint32_t offset = 0;  // data offset (header + 9)
    std::uint32_t size = 0;    // used space
    std::string name;
};

struct KnownContextName {
    std::uint32_t hash = 0;
    std::string name;
};

struct ContextEntry {
    std::uint32_t hash = 0;
    std::uint32_t topicOffset = 0;
};

struct KeywordEntry {
    std::uint32_t topicOffset = 0;
    std::uint32_t keywordPosition = 0;  // file offset of the keyword text
};
using KeywordTable = std::vector<KeywordEntry>;

struct BrowseEntry {
    std::uint32_t browsePrevious = 0;
    std::uint32_t topicKey = 0;
    std::uint32_t browseNext = 0;
};

// State of the sequential |TOPIC reader.
struct TopicReaderState {
    std::vector<std::uint8_t> buffer;
    bool started = false;
    bool ended = false;
    std::uint32_t readPosition = 0;
    std::uint32_t validBytes = 0;
    std::int64_t blockNumber = -1;
    std::uint32_t nextRecordPosition = 0;
    std::uint32_t currentRecordPosition = 0;
    // The record being delivered: bytes so far, its size once known, and
    // its first 16 header bytes, taken from the delivered bytes themselves
    // so a header that runs over a block end is read correctly.
    bool inRecord = false;
    std::uint32_t recordDone = 0;
    std::uint32_t recordSize = 0;
    std::uint8_t header[16] = {};
    // Block holding the first byte of the current record, and of the
    // record ReadTopicLink returned before it.
    std::int64_t recordStartBlock = -1;
    std::int64_t lastLinkBlock = -1;
};

inline constexpr int kMaxWindowNames = 60;

// A table's entries sorted by topic offset, so that the per-record lookups
// of the topic loop cost a search, not a scan of the whole table (a file
// with many topics and entries would otherwise make the loop quadratic).
// Built on first use (topic_stream.cpp) and dropped when the table is
// loaded again.
struct OffsetLookup {
    const void* table = nullptr;  // the table it was built for
    std::size_t size = 0;
    std::vector<std::pair<std::int64_t, std::uint32_t>> sorted;  // (offset, table index)
    // Contexts: a segment tree of the smallest table index over `sorted`,
    // so "the first entry in table order within a range" is one query.
    std::vector<std::uint32_t> firstIndex;
    // Keywords: for each place in `sorted`, the next place not yet given to
    // a record (places are skipped with path halving).
    std::vector<std::uint32_t> nextFree;
    std::vector<bool> taken;  // by table index, so a rebuild keeps it
    bool stale = false;       // keys changed around taken places: sort again
};

// One |SYSTEM record as stored.
struct SystemRecord {
    std::uint16_t type = 0;
    std::string data;
};

struct FontDescriptor {
    std::uint8_t attributes = 0;  // 0x01 bold, 0x02 italic, 0x04 underline
    std::uint8_t halfPoints = 0;
    std::uint8_t family = 0;      // 1 modern, 2 roman, 3 swiss, 4 script, 5 decor
    std::uint16_t faceIndex = 0;
    std::uint8_t foreground[3] = {};
    std::uint8_t background[3] = {};
};

struct FontTable {
    std::vector<std::string> faceNames;
    std::vector<FontDescriptor> descriptors;
};

// What reading one table of a file reported: the progress positions it
// passed in `phase`, then the warnings it found. A conversion that takes
// the table into use reports them as if it had read the table itself, so
// every conversion of one read reports what a conversion of its own read
// would.
struct ReadReport {
    int phase = 0;
    std::vector<int> positions;
    std::vector<HelpWarning> warnings;
};

// What a help file is, read once when it is opened: its bytes, container,
// directory, |SYSTEM header and records, phrase tables, fonts, contexts and
// keyword indexes. Nothing changes it afterwards, so any number of
// conversions can share one read.
struct HelpFileData {
    std::string path;
    // The bytes; each conversion reads them through its own copy.
    HelpStream stream;
    FileHeader fileHeader;
    BTreeHeader directoryHeader;
    SystemHeader systemHeader;
    bool compressed = false;
    bool isHC30 = false;
    bool isHCRTF = false;
    bool isWMVC = false;
    std::uint16_t firstDirectoryLeaf = 0;
    std::uint32_t directoryPagesStart = 0;

    InternalFile phrases, phrImage, phrIndex, system, font, topic, tomap, context;
    InternalFile kwBtree, kwData, awBtree, awData, ctxoMap, ttlBtree;

    std::int32_t directoryEntryCount = 0;
    std::vector<DirectoryEntry> directoryEntries;

    std::vector<std::uint8_t> oldPhrases;       // offsets then text
    std::vector<std::uint8_t> hallPhraseImage;
    std::vector<std::uint32_t> hallPhraseOffsets;
    std::int32_t phraseCount = 0;

    std::vector<SystemRecord> systemRecords;  // none for HC30 files
    bool systemRecordsCut = false;            // the last one ran past |SYSTEM

    // The tables a conversion may take into use, read with the file unless
    // it was only probed. A conversion copies the keyword tables: its
    // topic loop moves their entries.
    bool tablesRead = false;
    FontTable fonts;
    std::optional<bool> wideFonts;  // 42-byte descriptors; unset without any
    ReadReport fontReport;
    std::vector<ContextEntry> contextTable;
    ReadReport contextReport;
    std::optional<KeywordTable> kTable, aTable;
    ReadReport kReport, aReport;

    // Found while reading the container; every conversion of the file
    // starts with them.
    std::vector<HelpWarning> warnings;

    HelpFileData() = default;
    HelpFileData(const HelpFileData&) = delete;
    HelpFileData& operator=(const HelpFileData&) = delete;
};

// What one conversion was asked for.
struct ConvertOptions {
    ConversionFlags flags = 0;
    // Progress (position, phase string id); empty when no dialog is shown.
    std::function<void(int position, int phase)> progress;
    // Told of each warning as it is recorded (the progress list shows them
    // while the conversion runs).
    std::function<void(const HelpWarning&)> onWarning;
    std::int32_t wordProcessor = 0;
    std::string rtfBaseName;  // the RTF files are <base>.RTF or <base><n>.RTF
};

// Everything one conversion changes while it runs.
struct ConversionState {
    // Its own read position over the file's bytes.
    HelpStream stream;
    std::vector<HelpWarning> warnings;

    // Tables this conversion took into use (which ones depends on its
    // options), copies of the read's, and what it learnt while it ran: the
    // topic loop moves keyword entries as it takes them.
    std::vector<ContextEntry> contextTable;
    std::vector<std::uint32_t> contextHashes;   // sorted hashes of the context table
    KeywordTable kTable, aTable;
    std::vector<KnownContextName> knownNames;
    std::vector<std::string> fontCommands;
    bool newFontFormat = false;
    std::vector<std::optional<std::string>> pictureFiles;
    OffsetLookup contextLookup;
    std::size_t contextCursor = 0;  // places of contextLookup given to records this pass
    std::vector<OffsetLookup> keywordLookups;  // one per keyword table in use

    // The topic walk: the |TOPIC reader, which pass runs, and what the
    // collecting pass gathers for the writing pass.
    TopicReaderState topicReader;
    bool realPass = false;
    std::vector<std::string> windowNames;       // at most kMaxWindowNames
    std::vector<std::vector<BrowseEntry>> browseGroups;
    bool openTocGroup = false;
    std::FILE* localizationFile = nullptr;
    int localizationCounter = 0;
    bool localizationLineFlag = false;

    // Writer state: escaped characters written so far (a line feed follows
    // every 64th) and the open hotspot's target.
    std::uint64_t escapedCharCount = 0;
    std::optional<std::string> openHotspot;
    // Page references of a printable document name only bookmarks that are
    // written: the index bookmarks of the writing pass, and the title
    // bookmarks planned before it (the contents list comes first).
    std::set<std::uint32_t> indexBookmarks;
    std::vector<std::uint32_t> titleBookmarks;  // per titled topic, in order
    std::set<std::uint32_t> plannedTitleBookmarks;

    // Pixels (or metafile records) unpacked and picture bytes embedded so
    // far, against the bounds above.
    std::uint64_t pictureBytes = 0;
    std::uint64_t embeddedBytes = 0;
    // With BmpInRtf: the private folder (made by mkdtemp, mode 0700) that
    // holds the pictures while the document is written; removed with the
    // conversion, on every path.
    std::string pictureFolder;
    bool pictureFolderTried = false;
    // Names of files this conversion wrote into the output folder, upper
    // case, so no file of the help file replaces another (project writer).
    std::set<std::string> writtenNames;
};

// One conversion of a read file: the file and the options it was given,
// neither changed by it, and its own state.
struct Conversion {
    Conversion(const HelpFileData& file, const ConvertOptions& options);
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;
    ~Conversion();

    const HelpFileData& file;
    const ConvertOptions& options;
    ConversionState state;
};

// Holds what a conversion refers to, so that it is made before the
// conversion and outlives it.
struct HelpFileParts {
    HelpFileData fileData;
    ConvertOptions ownOptions;
};

// A file read and one conversion of it, owned together: the road of a
// single conversion, of probing a file, and of tests. The read part is
// `fileData`, the options are `ownOptions`.
struct HelpFile : HelpFileParts, Conversion {
    HelpFile() : Conversion(fileData, ownOptions) {}
};

struct SystemInfo {
    std::optional<std::string> title;
    std::optional<std::string> citation;
    std::optional<std::string> copyright;
};

// Progress phases (string ids of the shell).
inline constexpr int kPhaseScanningKeywords = 1;
inline constexpr int kPhaseReadingContext = 4;
inline constexpr int kPhaseLoadingSystem = 8;

void AddWarning(Conversion& hf, int number, std::vector<WarningArg> args = {});
void AddWarning(HelpFileData& file, int number, std::vector<WarningArg> args = {});
// Warning 47 with one of the kDamage texts about the internal file `what`.
void AddDamageWarning(Conversion& hf, int detail, const std::string& what);
void AddDamageWarning(HelpFileData& file, int detail, const std::string& what);
void SetProgress(Conversion& hf, int position, int phase);
void AddDamageWarning(ReadReport& report, int detail, const std::string& what);
// Gives a table's read report to the conversion taking the table into use.
void Report(Conversion& hf, const ReadReport& report);

// Reads a help file. Null when it cannot be opened, or in probe mode (the
// only flag read here) when it is no help file; throws HelpFileError on
// fatal damage.
std::unique_ptr<HelpFileData> ReadHelpFile(const std::filesystem::path& path, ConversionFlags flags);
// The same on bytes already in memory (tests, fuzzing); `path` is only kept.
std::unique_ptr<HelpFileData> ReadHelpFileBytes(std::string bytes, const std::string& path,
                                                ConversionFlags flags);
// Reads a help file and readies one conversion of it with `flags`.
std::unique_ptr<HelpFile> OpenHelpFile(const std::filesystem::path& path, ConversionFlags flags);
std::unique_ptr<HelpFile> OpenHelpFileBytes(std::string bytes, const std::string& path,
                                            ConversionFlags flags);
// With BmpInRtf deletes the picture files made by the conversion.
void RemovePictureFiles(Conversion& hf);
// Frees the record; with BmpInRtf deletes the picture files made for it.
void CloseHelpFile(std::unique_ptr<HelpFile> hf);

// Scratch folders of the process: removed with their contents by
// RemoveScratchFolder, and at the latest when the process exits (a run
// ended by exit() skips the destructors that would remove them).
void RegisterScratchFolder(const std::string& path);
void RemoveScratchFolder(const std::string& path);

void FindFirstDirectoryLeaf(HelpFileData& file);
void ReadDirectoryEntry(HelpFileData& file, std::int32_t n, DirectoryEntry& entry);
void ReadInternalDirectory(HelpFileData& file);

// Reads a B-tree header at `offset`; false when it does not fit in the file.
bool ReadBTreeHeader(HelpStream& stream, std::uint32_t offset, BTreeHeader& header);
// Descends from the root to the first leaf. The descent is bounded by the
// tree's levels and page count; nullopt when a page lies outside the file or
// the tree is inconsistent.
std::optional<std::uint16_t> FindFirstLeafPage(const BTreeHeader& header, HelpStream& stream,
                                               std::uint32_t pagesStart);

// Walks the leaf pages of a B-tree from its first leaf along the next-leaf
// links, visiting each page at most once. `visit` gets the page's file
// offset, the end of its bytes inside the file and its entry count; it
// returns false to stop. Returns false when the chain was damaged.
bool ForEachLeafPage(const BTreeHeader& header, HelpStream& stream, std::uint32_t pagesStart,
                     std::uint32_t fileEnd,
                     const std::function<bool(std::uint32_t pageStart, std::uint32_t pageEnd,
                                              std::int16_t count)>& visit);

void ReadSystemInfo(Conversion& hf, SystemInfo& info);
void FreeSystemInfo(SystemInfo& info);
// All |SYSTEM records in file order (none for HC30 files); a warning when
// the last one was cut.
const std::vector<SystemRecord>& ReadSystemRecords(Conversion& hf);

}  // namespace conv
