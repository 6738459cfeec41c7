// The batch archiver: compresses a set of files with the LZH codec into one
// archive file, a directory of members (in the stored-value encoding)
// followed by the members' compressed streams back to back. It also reads an
// archive's directory. The program writes archives only; it never restores.
//
// Archive layout: list start 0x01; per member a string (stored name) and
// integers (size, compressed size, data offset counted from the first byte
// after the directory, attributes) and a float (last write, days since
// 30 Dec 1899); list end 0x00; then the data.
//
// A run never collects its own work files (LZHBATCH.DIR, LZHBATCH.$$$); in
// add mode the old members come first. The finished file replaces the
// archive in one rename, so a failed or cancelled run leaves the previous
// archive and no work files. A member's attributes are 0x20 (archive), plus
// 0x01 when the file has no write permission and 0x02 when its name starts
// with ".". An archive's directory is read as untrusted input.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/lzh/lzh_compressor.h"
#include "platform/core/exceptions.h"
#include "platform/core/files.h"
#include "platform/core/string_list.h"

namespace lzh {

class EListReadOnly : public plat::EListError {
public:
    EListReadOnly() : plat::EListError("This stringlist is read-only. Changes are ignored") {}
};
class EFileExist : public plat::Exception {
public:
    using plat::Exception::Exception;
};
class EOpenError : public plat::Exception {
public:
    using plat::Exception::Exception;
};

// A string list that refuses every change while ReadOnly is set.
class TReadOnlyStringList : public plat::StringList {
public:
    bool ReadOnly = false;

    void SetString(int index, std::string value);
    void SetObject(int index, void* object);
    int Add(std::string s, void* object = nullptr);
    int AddObject(std::string s, void* object) { return Add(std::move(s), object); }
    void Clear();
    void Delete(int index);
    void Exchange(int a, int b);
    void Insert(int index, std::string s, void* object = nullptr);
    void SetText(std::string_view text);

private:
    void Check() const;
};

enum TDirectoryInfo { diNone, diRelativePath, diFullPath };
enum TArchiveMode { amNew, amAdd };

// One member of the archive's directory.
struct TArchiveMember {
    std::string name;
    std::int64_t size = 0;
    std::int64_t compressedSize = 0;
    std::int64_t offset = 0;  // from DataStart
    std::uint32_t attributes = 0;
    double date = 0;
};

class TLZHBatch : public TCustomLZHCompressor {
public:
    // Action: 0 include (preset), 1 leave out, 2 abort.
    using TCollectingEvent = std::function<void(TLZHBatch* Sender, const std::string& FileName, int& Action)>;
    // Action: 1 aborts; anything else skips the file.
    using TCollectErrorEvent = std::function<void(TLZHBatch* Sender, const std::string& FileName, int& Action)>;
    using TDoneCollectingEvent =
        std::function<void(TLZHBatch* Sender, int NrOfFiles, std::int64_t TotalSize, bool& Cancel)>;
    // Action: 0 delete the archive, 1 leave it and stop, 2 abort.
    using TFileExistEvent = std::function<void(TLZHBatch* Sender, const std::string& FileName, int& Action)>;
    using TProgressEvent =
        std::function<void(TLZHBatch* Sender, const std::string& FileName, std::int64_t FileBytesWritten,
                           std::int64_t FileBytes, std::int64_t TotalBytesWritten, std::int64_t TotalBytes,
                           bool& Cancel)>;

    static constexpr const char* kDirectoryWorkFile = "LZHBATCH.DIR";
    static constexpr const char* kDataWorkFile = "LZHBATCH.$$$";
    // Deletes the work files a killed run left beside the archive.
    void ClearStaleWorkFiles() const;

    TLZHBatch();
    ~TLZHBatch() override;

    TDirectoryInfo DirectoryInfo = diNone;
    plat::StringList& InputFiles() { return inputFiles_; }
    void SetInputFiles(const plat::StringList& files) { inputFiles_.Assign(files); }
    const std::string& ArchiveFileName() const { return archiveFileName_; }
    // Stores the expanded name; a new name reads its directory (unless loading).
    void SetArchiveFileName(std::string_view value);
    TArchiveMode ArchiveMode = amNew;
    std::string OutputDirectory;  // extraction setting; nothing here uses it
    bool OverwriteExisting = true;
    const std::string& RootDirectory() const { return rootDirectory_; }
    void SetRootDirectory(std::string_view value);
    bool RecurseDirectories = false;
    bool RestoreAttributes = false, RestoreFileDate = false, UseDirectoryNames = false;  // extraction settings
    bool ValidArchive() const { return validArchive_; }

    // One line per member: name, size, compressed size, attributes and date,
    // tab-separated; each line's object is its TArchiveMember.
    const TReadOnlyStringList& ArchiveEntries() const { return entries_; }
    std::int64_t ArchiveSize() const { return archiveSize_; }
    std::int64_t ArchiveCompressedSize() const { return archiveCompressedSize_; }
    std::int64_t DataStart() const { return dataStart_; }

    TCollectingEvent OnCollecting;
    TCollectErrorEvent OnCollectError;
    TDoneCollectingEvent OnDoneCollecting;
    TFileExistEvent OnFileExist;
    TProgressEvent OnProgress;

    // While set (as when loading a stored form), names are taken without
    // reading the directory; Loaded ends it and reads.
    void BeginLoading() { loading_ = true; }
    void Loaded();

    // One archiving run with the current properties.
    void CompressFiles();
    void ReadArchiveDirectory();

    // The archiver's own work files in the archive's folder, any letter case.
    bool IsBatchWorkFile(std::string_view fullName) const;

    // Starts compressing a file in the background, one file after another,
    // so that a caller still preparing the other inputs overlaps the two. A
    // run takes such a member only when the file still holds the bytes that
    // were packed, and packs it again otherwise.
    void PackAhead(const std::string& fileName);
    // Waits until every file handed to PackAhead is packed (a run waits
    // only for the ones it archives).
    void FinishPackingAhead();
    // Members the last run took from PackAhead.
    int MembersPackedAhead() const { return packedAhead_; }

private:
    bool CheckTargetFile();
    std::int64_t CollectInputFiles();
    void CollectFiles(const std::string& spec, std::int64_t& total);
    void Offer(const std::string& fullName, std::int64_t& total);
    std::string ResolveInputName(const std::string& name, bool mustExist) const;
    std::string DescribeInputFile(const std::string& fullName, std::int64_t& total);
    void WriteBatchArchive();
    std::string StoredName(const std::string& fullName) const;
    void ClearEntries();
    // Writes a member packed ahead when it is still the file's; false: not.
    bool WritePackedAhead(const std::string& fullName);

    plat::StringList inputFiles_;
    std::string archiveFileName_;
    std::string rootDirectory_;
    bool loading_ = false;
    bool validArchive_ = false;
    TReadOnlyStringList entries_;
    std::vector<std::unique_ptr<TArchiveMember>> members_;
    std::int64_t archiveSize_ = 0, archiveCompressedSize_ = 0, dataStart_ = 0;

    // run state
    bool busy_ = false;
    bool abort_ = false;
    plat::StringList collected_;
    plat::File source_, data_;
    std::int64_t fileRead_ = 0, totalRead_ = 0, totalToDo_ = 0, memberCompressed_ = 0;
    std::string currentFile_;
    std::int64_t currentSize_ = 0;

    class AheadPacker;
    std::unique_ptr<AheadPacker> ahead_;
    int packedAhead_ = 0;
};

}  // namespace lzh
