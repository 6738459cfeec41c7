#include "engine/client/cfg_record.h"

#include "engine/base/qv_base.h"
#include "engine/api/dbi_types.h"

namespace qv {

TBaseCfgrecord::TBaseCfgrecord(TBapiListItem* parent, TBapiCollection* list, const std::string& path,
                               std::uint16_t fieldCount, const void* fieldDescs, const void* values)
    : TBapiListItem(parent, list), path_(path) {
    SetRecord(fieldCount, fieldDescs, values);
}

void TBaseCfgrecord::SetRecord(std::uint16_t fieldCount, const void* fieldDescs, const void* values) {
    descs_.clear();
    values_.clear();
    fieldCount_ = fieldDescs != nullptr ? fieldCount : 0;
    if (fieldCount_ == 0) return;
    const auto* d = static_cast<const std::uint8_t*>(fieldDescs);
    descs_.assign(d, d + static_cast<std::size_t>(fieldCount_) * FLDDesc::kSize);
    std::size_t size = 0;
    for (std::uint16_t i = 0; i < fieldCount_; ++i) size += GetU16(d + i * FLDDesc::kSize + 44);
    if (values != nullptr) {
        const auto* v = static_cast<const std::uint8_t*>(values);
        values_.assign(v, v + size);
    } else {
        values_.assign(size, 0);
    }
}

}  // namespace qv
