// One configuration record kept in a session's memory: a path, the caller's
// field descriptors and a copy of the caller's record data, whose size is the
// sum of the descriptors' lengths.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/client/handle_base.h"

namespace qv {

class TBaseCfgrecord : public TBapiListItem {
public:
    TBaseCfgrecord(TBapiListItem* parent, TBapiCollection* list, const std::string& path, std::uint16_t fieldCount,
                   const void* fieldDescs, const void* values);

    // Replaces descriptors and values with copies of the new ones.
    void SetRecord(std::uint16_t fieldCount, const void* fieldDescs, const void* values);

    const std::string& Path() const { return path_; }
    std::uint16_t FieldCount() const { return fieldCount_; }
    const std::vector<std::uint8_t>& FieldDescs() const { return descs_; }
    const std::vector<std::uint8_t>& Values() const { return values_; }

private:
    std::string path_;
    std::uint16_t fieldCount_ = 0;
    std::vector<std::uint8_t> descs_;
    std::vector<std::uint8_t> values_;
};

}  // namespace qv
