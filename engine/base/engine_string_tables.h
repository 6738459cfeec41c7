// Entries of the engine's message tables (see string_resource.h).
#pragma once

#include <vector>

#include "engine/base/string_resource.h"

namespace qv {

extern const std::vector<StringEntry> kSrMgrStrings;
extern const std::vector<StringEntry> kGeneralStrings;
extern const std::vector<StringEntry> kNetBIOSStrings;
extern const std::vector<StringEntry> kWinsockStrings;
extern const std::vector<StringEntry> kServerStrings;

// Message numbers of the server table that the storage layer raises.
namespace srv {
constexpr int kInvalidFileInfo = 0, kOpenFailed = 1, kCloseFailed = 3, kReadFailed = 6, kReadShort = 7,
              kWriteFailed = 8, kWriteShort = 9, kSeekFailed = 10, kFlushFailed = 11, kDeleteFailed = 33,
              kRenameFailed = 34, kNotTableFile = 48, kBadBlockNumber = 49, kEncrypted = 50, kBadRecordRef = 52,
              kBadDataBlock = 53, kBadStreamBlock = 61, kMaxIndexes = 66, kBadFreeChain = 71,
              kBadStoredDictionary = 72, kBadJournal = 73, kPageBoundElsewhere = 74, kUnknownFieldType = 101, kNoDictionary = 105,
              kCompareBlob = 194;
}  // namespace srv

}  // namespace qv
