// The rows a dataset holds around its active record, kept as a ring: a step
// past either edge turns the row it pushes out into the row it reads, so a
// walk moves no other row and allocates nothing once the window is full.
// Rows past the count keep their storage for the next row that comes in.
#pragma once

#include "data/field_defs.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace db {

struct TWindowRow {
    TRecord rec;
    std::string bookmark;   // empty until someone needs it
    std::vector<int> lazy;  // BLOB slots not read yet
    // A row a step read stays in the cursor's own bytes until a field of
    // it is wanted; `rec` is then filled from them.
    std::vector<std::uint8_t> raw;
    bool undecoded = false;
};

class TRecordWindow {
public:
    int Count() const { return count_; }
    bool Empty() const { return count_ == 0; }
    TWindowRow& operator[](int i) { return rows_[Slot(i)]; }
    const TWindowRow& operator[](int i) const { return rows_[Slot(i)]; }

    // The row whose record `rec` is, or -1.
    int IndexOf(const TRecord* rec) const {
        for (int i = 0; i < count_; ++i)
            if (&rows_[Slot(i)].rec == rec) return i;
        return -1;
    }

    void Clear() {
        head_ = 0;
        count_ = 0;
    }

    // A row at `at`, the rows from there on one further. Its contents are
    // whatever a former row left: the caller sets all of them.
    TWindowRow& InsertAt(int at) {
        if (count_ == static_cast<int>(rows_.size())) {
            std::rotate(rows_.begin(), rows_.begin() + head_, rows_.end());
            head_ = 0;
            rows_.emplace_back();
        }
        ++count_;
        for (int i = count_ - 1; i > at; --i) std::swap(rows_[Slot(i)], rows_[Slot(i - 1)]);
        return rows_[Slot(at)];
    }

    void EraseAt(int at) {
        for (int i = at; i + 1 < count_; ++i) std::swap(rows_[Slot(i)], rows_[Slot(i + 1)]);
        --count_;
        if (count_ == 0) head_ = 0;
    }

    // The first row leaves and its storage becomes a new last row; the
    // caller sets its contents.
    TWindowRow& RecycleFrontAsBack() {
        if (count_ < static_cast<int>(rows_.size())) std::swap(rows_[Slot(0)], rows_[Slot(count_)]);
        head_ = Slot(1);
        return rows_[Slot(count_ - 1)];
    }
    // The last row leaves and its storage becomes a new first row.
    TWindowRow& RecycleBackAsFront() {
        const int cap = static_cast<int>(rows_.size());
        const int front = head_ == 0 ? cap - 1 : head_ - 1;
        if (front != Slot(count_ - 1)) std::swap(rows_[front], rows_[Slot(count_ - 1)]);
        head_ = front;
        return rows_[head_];
    }

private:
    int Slot(int i) const {
        const int cap = static_cast<int>(rows_.size());
        const int s = head_ + i;
        return s >= cap ? s - cap : s;
    }

    std::vector<TWindowRow> rows_;
    int head_ = 0;
    int count_ = 0;
};

}  // namespace db
