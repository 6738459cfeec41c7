// The dataset's ring of window rows against a plain list doing the same
// operations: inserts anywhere, erases anywhere, and the recycling steps at
// both edges, with storage left behind by earlier rows.
#include "data/record_window.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace db {
namespace {

// Each row is told apart by its bookmark text.
void ExpectSame(const TRecordWindow& w, const std::deque<std::string>& model, const std::string& step) {
    ASSERT_EQ(w.Count(), static_cast<int>(model.size())) << step;
    for (int i = 0; i < w.Count(); ++i) {
        EXPECT_EQ(w[i].bookmark, model[i]) << step << ", row " << i;
        EXPECT_EQ(w.IndexOf(&w[i].rec), i) << step;
    }
}

TEST(RecordWindowTest, FollowsAListThroughEveryKindOfChange) {
    enum Op { kInsert, kErase, kFrontToBack, kBackToFront, kClear };
    struct Step {
        Op op;
        int at;  // for inserts and erases
    };
    // Fills, a full window stepped both ways, a blank row inserted in the
    // middle and dropped again, a window that shrinks and grows.
    const Step steps[] = {
        {kInsert, 0},     {kInsert, 1},     {kInsert, 0},     {kInsert, 3},     {kFrontToBack, 0},
        {kFrontToBack, 0}, {kBackToFront, 0}, {kInsert, 2},     {kFrontToBack, 0}, {kErase, 4},
        {kErase, 0},      {kBackToFront, 0}, {kBackToFront, 0}, {kBackToFront, 0}, {kInsert, 1},
        {kInsert, 4},     {kFrontToBack, 0}, {kErase, 2},      {kFrontToBack, 0}, {kClear, 0},
        {kInsert, 0},     {kBackToFront, 0}, {kInsert, 1},     {kFrontToBack, 0}, {kErase, 1},
        {kErase, 0},      {kInsert, 0},     {kFrontToBack, 0}, {kFrontToBack, 0},
    };
    TRecordWindow w;
    std::deque<std::string> model;
    int made = 0;
    for (const Step& s : steps) {
        const std::string name = "row " + std::to_string(++made);
        ASSERT_LE(s.at, static_cast<int>(model.size()) - (s.op == kErase ? 1 : 0)) << "a step off the window";
        std::string what;
        switch (s.op) {
        case kInsert: {
            what = "insert at " + std::to_string(s.at);
            TWindowRow& r = w.InsertAt(s.at);
            r.bookmark = name;
            model.insert(model.begin() + s.at, name);
            break;
        }
        case kErase:
            what = "erase at " + std::to_string(s.at);
            w.EraseAt(s.at);
            model.erase(model.begin() + s.at);
            break;
        case kFrontToBack: {
            what = "first row out, new last row";
            TWindowRow& r = w.RecycleFrontAsBack();
            r.bookmark = name;
            model.pop_front();
            model.push_back(name);
            break;
        }
        case kBackToFront: {
            what = "last row out, new first row";
            TWindowRow& r = w.RecycleBackAsFront();
            r.bookmark = name;
            model.pop_back();
            model.push_front(name);
            break;
        }
        case kClear:
            what = "clear";
            w.Clear();
            model.clear();
            break;
        }
        ExpectSame(w, model, what);
        if (HasFailure()) return;
    }
}

TEST(RecordWindowTest, ARecycledRowKeepsTheStorageOfTheRowItReplaces) {
    TRecordWindow w;
    for (int i = 0; i < 3; ++i) {
        TWindowRow& r = w.InsertAt(i);
        r.rec = TRecord{TValue{std::string(100, static_cast<char>('a' + i))}};
    }
    const std::string* first = &std::get<std::string>(w[0].rec[0]);
    TWindowRow& again = w.RecycleFrontAsBack();
    // The row pushed out is handed back as it was, for the caller to overwrite.
    EXPECT_EQ(&std::get<std::string>(again.rec[0]), first);
    EXPECT_EQ(std::get<std::string>(w[0].rec[0]), std::string(100, 'b'));
    EXPECT_EQ(w.IndexOf(&again.rec), 2);
    TRecord elsewhere;
    EXPECT_EQ(w.IndexOf(&elsewhere), -1);
}

}  // namespace
}  // namespace db
