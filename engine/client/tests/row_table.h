// A table cursor over rows held in memory, standing in for the client table
// cursor underneath the cursor base: records in the dictionary's layout,
// fields read and written through the API conversions, keys of one index
// (its fields' API values one after another), bookmarks by row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/client/cursor_base.h"
#include "engine/storage/dictionary.h"

namespace qv::testing {

class RowTable : public TBaseTable {
public:
    // `keyIndex` is the dictionary index used as the current one (-1: none).
    RowTable(const TqvDataDictionary& dict, int keyIndex = -1, TBapiListItem* owner = nullptr,
             TBapiCollection* list = nullptr);

    // A zeroed record with every field null.
    std::vector<std::uint8_t> NewRecord() const;
    // Field numbers from 1; values in the API's form.
    void SetField(std::vector<std::uint8_t>& record, int field, const void* apiValue, std::size_t size) const;
    void SetText(std::vector<std::uint8_t>& record, int field, const std::string& text) const;
    void SetInt32(std::vector<std::uint8_t>& record, int field, std::int32_t v) const;
    // The first `n` bytes of field `field`'s API value in `record`.
    std::string Text(const std::vector<std::uint8_t>& record, int field);
    std::int32_t Int32(const std::vector<std::uint8_t>& record, int field);

    DBIResult Open() override;
    DBIResult First() override;
    DBIResult Last() override;
    DBIResult NextRaw() override;
    DBIResult PriorRaw() override;
    DBIResult ReadFieldValue(const TFieldCacheItem& item, const void* record, void* dest, bool& blank) override;
    DBIResult WriteFieldValue(const TFieldCacheItem& item, void* record, const void* source) override;
    DBIResult GetNativeDesc(std::uint16_t fieldNumber, FLDDesc& desc, std::uint16_t& engineType,
                            std::uint16_t& engineLength) override;
    DBIResult GetBookMark(void* bookmark) override;
    DBIResult SetToBookMark(const void* bookmark) override;
    DBIResult RereadAtBookmark(const void* bookmark, void* record) override;
    DBIResult SetToKeySpecial(std::uint16_t condition, bool keyIsKey, std::uint16_t fieldCount,
                              std::uint16_t partialLength, const void* key, void* record) override;
    DBIResult ExtractKeyPrecise(const void* record, void* key) override;
    DBIResult GetIndexDesc(std::uint16_t indexNumber, void* desc) override;
    DBIResult DeleteRecord(void* record) override;

    TqvDataDictionary dict;
    std::vector<std::vector<std::uint8_t>> rows;
    // Index of the current row; -1 before the first, rows.size() after the last.
    long pos = -1;
    int opens = 0;

private:
    DBIResult Land(long at);
    bool afterDelete_ = false;
};

}  // namespace qv::testing
