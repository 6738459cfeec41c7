// The data dictionary of a table: its files, its fields (and so the byte
// layout of its records) and its indexes, with the record and key routines
// built on that layout. Stored in the table's base file as a "DICT" stream
// in the class library's value encoding.
//
// Record layout: fields in number order, then a null bitmap of
// ceil(fields / 8) bytes (bit k of byte k div 8 set = field k is null).
// Composite key layout: the key fields' bytes in key order, then a bitmap of
// 1 (up to 8 fields) or 2 (9 to 16) bytes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/storage/field_types.h"
#include "engine/storage/table_file.h"

namespace plat {
class Stream;
}

namespace qv {

constexpr std::uint32_t kQvMaxKeyFields = 16;
constexpr std::uint32_t kQvMaxIndexes = 256;
constexpr std::uint32_t kQvIndexDescriptorSize = 179;
// The largest units a field may declare: no record can hold more.
constexpr std::uint32_t kQvMaxFieldUnits = 32768;

struct TqvFileDescriptor {
    std::uint32_t number = 0;
    std::string description;  // <= 63
    std::string extension;    // 1..3
    std::uint32_t blockSize = 4096;
    std::uint8_t kind = 0;  // 0 data file, 2 BLOB file, others further files
};

// Minimum, maximum and default in the field's storage form, field-length bytes each.
struct TqvValidityCheck {
    bool hasMinimum = false, hasMaximum = false, hasDefault = false;
    std::string minimum, maximum, defaultValue;
    std::string picture;  // <= 175
};

struct TqvFieldDescriptor {
    std::uint32_t number = 0;
    std::string name;         // <= 31
    std::string description;  // <= 63
    std::uint32_t units = 0, decimals = 0, offset = 0, length = 0;
    std::shared_ptr<TqvValidityCheck> validity;
    TqvFieldType type = 0;
    bool required = false;
};

struct TqvIndexDescriptor {
    std::uint32_t number = 0;
    std::string name;         // <= 31
    std::string description;  // <= 63
    std::uint32_t fileNumber = 0;
    std::uint32_t keyLength = 0;
    std::int32_t keyFieldCount = -1;  // -1: keys come from a key routine
    std::array<std::uint32_t, kQvMaxKeyFields> fields{};
    bool allowDuplicates = false, ascending = true, ignoreCase = false;
    bool IsUserIndex() const { return keyFieldCount < 0; }
};

// The 179-byte record that also travels in requests. Decoding raises an
// engine exception for a key-field count above 16 (other than -1).
std::string EncodeIndexDescriptor(const TqvIndexDescriptor& d);
TqvIndexDescriptor DecodeIndexDescriptor(const void* bytes, std::size_t size);

class TqvDataDictionary {
public:
    explicit TqvDataDictionary(std::uint32_t blockSize = 4096);

    void Clear(bool all);
    void Assign(const TqvDataDictionary& source);

    void SetTableName(const std::string& name);
    const std::string& TableName() const { return tableName_; }
    void SetEncrypted(bool on);
    bool Encrypted() const { return encrypted_; }
    bool Locked() const { return locked_; }
    void Unlock() { locked_ = false; }

    std::uint32_t AddFile(const std::string& description, const std::string& extension, std::uint32_t blockSize,
                          std::uint8_t kind);
    void AddField(const std::string& name, const std::string& description, TqvFieldType type, std::uint32_t units,
                  std::uint32_t decimals, bool required);
    // Sizes of minimum, maximum and default must equal the field length.
    void SetFieldValidityCheck(std::uint32_t field, const TqvValidityCheck& check);
    void AddIndex(const std::string& name, const std::string& description, std::uint32_t fileNumber,
                  std::uint32_t fieldCount, const std::uint32_t* fields, bool allowDups, bool ascending,
                  bool ignoreCase);
    void AddUserIndex(const std::string& name, const std::string& description, std::uint32_t fileNumber,
                      std::uint32_t keyLength, bool allowDups, bool ascending, bool ignoreCase);
    void RemoveIndex(std::uint32_t n);

    std::uint32_t FieldCount() const { return static_cast<std::uint32_t>(fields_.size()); }
    std::uint32_t IndexCount() const { return static_cast<std::uint32_t>(indexes_.size()); }
    std::uint32_t FileCount() const { return static_cast<std::uint32_t>(files_.size()); }
    std::uint32_t BlobFile() const { return blobFile_; }
    std::uint32_t DataLength() const { return dataLength_; }

    // Inline: key compares reach these for every field of every compare.
    const TqvFieldDescriptor& Field(std::uint32_t n) const {
        if (n >= fields_.size()) [[unlikely]] NoSuchItem(n);
        return fields_[n];
    }
    std::uint32_t FieldLength(std::uint32_t n) const { return Field(n).length; }
    std::uint32_t FieldOffset(std::uint32_t n) const { return Field(n).offset; }
    bool FieldRequired(std::uint32_t n) const { return Field(n).required; }
    TqvFieldType FieldType(std::uint32_t n) const { return Field(n).type; }
    const TqvValidityCheck* FieldValidityCheck(std::uint32_t n) const { return Field(n).validity.get(); }
    const TqvFileDescriptor& File(std::uint32_t n) const;
    std::uint32_t FileBlockSize(std::uint32_t n) const { return File(n).blockSize; }
    const std::string& FileExtension(std::uint32_t n) const { return File(n).extension; }
    const TqvIndexDescriptor& Index(std::uint32_t n) const {
        if (n >= indexes_.size()) [[unlikely]] NoSuchItem(n);
        return indexes_[n];
    }
    std::uint32_t IndexFileNumber(std::uint32_t n) const { return Index(n).fileNumber; }
    std::uint32_t IndexKeyLength(std::uint32_t n) const { return Index(n).keyLength; }
    bool IndexAllowDuplicates(std::uint32_t n) const { return Index(n).allowDuplicates; }
    bool IndexAscending(std::uint32_t n) const { return Index(n).ascending; }
    bool IndexIgnoreCase(std::uint32_t n) const { return Index(n).ignoreCase; }
    bool IndexIsUserIndex(std::uint32_t n) const { return Index(n).IsUserIndex(); }
    int GetFieldNumber(const std::string& name) const;
    int GetIndexNumber(const std::string& name) const;
    std::uint32_t GetBlockSize() const;

    // ---- records ----
    std::uint32_t GetRecordLength() const;
    void InitRecord(std::uint8_t* record) const;
    // Copies the field into `value` (field-length bytes); true when null.
    bool GetRecordField(std::uint32_t n, const std::uint8_t* record, std::uint8_t* value) const;
    void SetRecordField(std::uint32_t n, std::uint8_t* record, const std::uint8_t* value) const;
    bool IsRecordFieldNull(std::uint32_t n, const std::uint8_t* record) const;
    bool RequiredFieldsPresent(const std::uint8_t* record) const;
    bool HasAutoIncField(std::uint32_t& n) const;

    // ---- keys ----
    void BuildKey(std::uint32_t index, const std::uint8_t* record, std::uint8_t* key) const;
    void InitKey(std::uint32_t index, std::uint8_t* key) const;
    bool IsKeyFieldNull(std::uint32_t index, const std::uint8_t* key, std::uint32_t keyField) const;
    void SetKeyFieldNotNull(std::uint32_t index, std::uint8_t* key, std::uint32_t keyField) const;

    bool IsIndexDescriptorValid(const TqvIndexDescriptor& d) const;
    void CheckValid() const;
    void WriteToStream(plat::Stream& stream) const;
    // Raises 72 (with the table name) for a stream that does not describe a
    // consistent dictionary.
    void ReadFromStream(plat::Stream& stream);
    void WriteDictionaryToFile(TbtdFileInfo* file) const;
    void ReadDictionaryFromFile(TbtdFileInfo* file);

private:
    [[noreturn]] void Raise(int id, std::initializer_list<QvArg> args) const;
    [[noreturn]] void NoSuchItem(std::uint32_t n) const;
    void CheckUnlocked() const;
    void CheckIndexName(const std::string& name) const;
    std::uint32_t KeyBitmapBytes(std::uint32_t index) const;
    void ReadFromStreamImpl(plat::Stream& stream);

    std::uint32_t blobFile_ = 0;
    std::string tableName_;
    std::uint32_t dataLength_ = 0;
    bool encrypted_ = false;
    bool locked_ = false;
    std::vector<TqvFileDescriptor> files_;
    std::vector<TqvFieldDescriptor> fields_;
    std::vector<TqvIndexDescriptor> indexes_;
};

struct TqvKeyContext {
    std::uint32_t keyLength = 0;
    const TqvDataDictionary* dictionary = nullptr;
    std::uint32_t index = 0;
    std::uint32_t fieldCount = 0;     // leading key fields to compare, 0 = all
    std::uint32_t partialLength = 0;  // of the field after them, 0 = none
    bool ascending = true;
    bool ignoreCase = false;
};

// Composite keys of one index, field by field; a null field sorts first in
// either direction.
int CompareKeys(const std::uint8_t* a, const std::uint8_t* b, const TqvKeyContext& ctx);

}  // namespace qv
