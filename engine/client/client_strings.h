// The client's two message tables: the client strings (captions, call names
// of the not-supported report, configuration words) and the result texts,
// keyed by the full result code.
#pragma once

#include <cstdint>
#include <string>

#include "engine/client/handle_base.h"

namespace qv {

// Resource names of the two tables.
constexpr const char* kQvClientStrings = "QV_CLIENT_STRINGS";
constexpr const char* kQvBdeErrorStrings = "QV_BDE_ERROR_STRINGS";

// Ids of the client strings used by code.
namespace cs {
constexpr int kCollectionIndex = 80;
constexpr int kUserName = 609, kStandard = 610;
constexpr int kFormFullName = 611, kOpenIndexList = 612, kOpenLockList = 613, kOpenVchkList = 614,
              kOpenRintList = 615, kOpenSecurityList = 616, kOpenFamilyList = 617,
              kOpenFunctionList = 618, kOpenFunctionArgsList = 619, kBeginTran = 620, kEndTran = 621,
              kCopyTable = 622, kPackTable = 623, kReindexTable = 624, kSortTable = 625,
              kCreateTable = 626, kCreateInMemoryTable = 627, kCreateTempTable = 628,
              kDoRestructure = 629, kRenameTable = 630, kDeleteTable = 631, kLogin = 632,
              kAcqPersistentTableLock = 633, kRelPersistentTableLock = 634, kQExecDirect = 635,
              kQAlloc = 636, kQPrepare = 637, kQPrepareExt = 638, kQExecProcDirect = 639,
              kQPrepareProc = 640, kOpenSPList = 641, kOpenSPParamsList = 642, kGetErrorContext = 643;
constexpr int kBdeErrorColon = 644, kPath = 645;
constexpr int kOpenTableTypesList = 646, kGetTableTypeDesc = 647, kOpenFieldTypesList = 648,
              kGetFieldTypeDesc = 649, kOpenIndexTypesList = 650, kOpenLdList = 651, kGetLdName = 652,
              kAddPassword = 653, kDropPassword = 654, kOpenFieldXlt = 655, kTranslateField = 656,
              kCloseFieldXlt = 657, kOpenUserList = 658, kRegisterCallBack = 659, kGetCallBack = 660,
              kGetNumberFormat = 661, kSetNumberFormat = 662, kGetIndexTypeDesc = 663, kAddAlias = 664,
              kDeleteAlias = 665, kOpenCfgInfoList = 666, kOpenConfigFile = 667, kCloseConfigFile = 668,
              kConfigSave = 669, kCfgBuildPath = 670, kConfigPosition = 671, kCfgNextNode = 672,
              kConfigTranslate = 673, kCfgGetHelp = 674, kCfgMerge = 675;
constexpr int kGetObjFromName = 718, kBatchMove = 719;
constexpr int kCommsErrorCaption = 721, kDbList = 722, kEngineName = 729;
constexpr int kSystemMessageCaption = 752, kNotSupportedFmt = 753, kBdeErrorFmt = 754,
              kNotSupportedNoStoreFmt = 755, kNativeErrorFmt = 773, kKeyContext = 774,
              kNotSupportedShort = 775, kNetworkProtocolFailure = 777;
}  // namespace cs

// A client string ("" when the id has none).
std::string ClientString(int id);
// The text of a result code in the result table ("" when it has none).
std::string BdeErrorString(DBIResult code);
// Registers both tables (done on first use of the accessors above).
void RegisterClientStringTables();

}  // namespace qv
