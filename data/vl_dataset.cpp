#include "data/vl_dataset.h"

#include "data/vl_helpers.h"

namespace vl {

IvlDataSet* AsVlDataSet(db::TDataSet* dataSet) { return dynamic_cast<IvlDataSet*>(dataSet); }

bool IvlDataSet::RecordFilterCallback() {
    db::TDataSet& ds = DataSet();
    if (ds.Destroying() || !onFilter_ || inOnFilter_ || !(filterOptions_ & ofoEnabled)) return true;
    bool accept = true;
    inOnFilter_ = true;
    try {
        onFilter_(&ds, accept);
    } catch (...) {
        inOnFilter_ = false;
        throw;
    }
    inOnFilter_ = false;
    if (filterOptions_ & ofoCancelOnEscape) {
        if (++filterCalls_ >= kFilterCallsWrap) filterCalls_ = 0;
        if (filterCalls_ % kFilterEscapeEvery == 0 && CheckFilterEscape(&ds)) {
            SetOnFilterOptions(filterOptions_ & ~ofoEnabled);
            if (OnFilterEscape) OnFilterEscape(&ds);
        }
    }
    return accept;
}

}  // namespace vl
