// A table of ten rows with a field of every kind the locate reads, opened
// through a TvlTable with a calculated field; the locate's tests and the
// locate dialog's share it.
#pragma once

#include "data/fields.h"
#include "data/tests/engine_fixture.h"
#include "data/vl_table.h"
#include "platform/core/datetime.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vltest {

inline const char* const kNames[] = {"Alpha", "beta", "Gamma", "delta", "Epsilon", "zeta", "Eta", "theta", "Iota", ""};

class LocateTest : public EngineTables {
protected:
    void SetUp() override {
        EngineTables::SetUp();
        db::TTable t(nullptr);
        t.DatabaseName = Folder();
        t.TableName = "Loc.QVD";
        t.FieldDefs().Add("Num", db::ftInteger, 0, true);
        t.FieldDefs().Add("Name", db::ftString, 20);
        t.FieldDefs().Add("Price", db::ftFloat);
        t.FieldDefs().Add("Active", db::ftBoolean);
        t.FieldDefs().Add("Day", db::ftDate);
        t.FieldDefs().Add("Notes", db::ftMemo);
        t.FieldDefs().Add("Cost", db::ftBCD, 2);
        t.FieldDefs().Add("Oem", db::ftString, 10);
        t.IndexDefs().Add("", "Num", db::ixPrimary);
        t.IndexDefs().Add("ByName", "Name", db::ixCaseInsensitive);
        t.CreateTable();
        t.Open();
        for (int i = 1; i <= 10; ++i) {
            t.Append();
            t.FieldByName("Num")->SetAsInteger(i);
            t.FieldByName("Name")->SetAsString(kNames[i - 1]);
            t.FieldByName("Price")->SetAsFloat(i * 1.5);
            t.FieldByName("Active")->SetAsBoolean(i % 2 == 0);
            t.FieldByName("Day")->SetAsDateTime(plat::EncodeDate(2026, 1, i));
            t.FieldByName("Notes")->SetAsString(std::string("note ") + kNames[i - 1] + (i == 7 ? " special" : ""));
            t.FieldByName("Cost")->SetAsFloat(i * 0.25);
            // Row 5 holds "\xe9t\xe9" (a word with two e-acute) in the OEM character set.
            t.FieldByName("Oem")->SetAsString(i == 5 ? "\x82t\x82" : "plain");
            t.Post();
        }
        t.Close();

        table = std::make_unique<vl::TvlTable>(nullptr);
        table->SetName("locTable");
        table->DatabaseName = Folder();
        table->SetTableName("Loc.QVD");
        AddField<db::TIntegerField>("Num", db::fkData);
        AddField<db::TStringField>("Name", db::fkData)->Size = 20;
        AddField<db::TFloatField>("Price", db::fkData);
        AddField<db::TBooleanField>("Active", db::fkData);
        AddField<db::TDateField>("Day", db::fkData);
        AddField<db::TMemoField>("Notes", db::fkData);
        AddField<db::TBCDField>("Cost", db::fkData)->Size = 2;
        AddField<db::TStringField>("Oem", db::fkData)->Size = 10;
        AddField<db::TStringField>("Twice", db::fkCalculated)->Size = 10;
        table->OnCalcFields = [](db::TDataSet* ds) {
            ds->FieldByName("Twice")->SetAsString(std::to_string(ds->FieldByName("Num")->AsInteger() * 2));
        };
        table->Open();
    }
    void TearDown() override {
        table.reset();
        EngineTables::TearDown();
    }
    template <class F> F* AddField(const char* name, db::TFieldKind kind) {
        auto f = std::make_unique<F>();
        f->FieldName = name;
        f->FieldKind = kind;
        F* raw = f.get();
        table->AddField(std::move(f));
        return raw;
    }
    void GoTo(int num) {
        table->First();
        while (!table->Eof() && table->FieldByName("Num")->AsInteger() != num) table->Next();
        ASSERT_EQ(table->FieldByName("Num")->AsInteger(), num);
    }
    int Current() { return static_cast<int>(table->FieldByName("Num")->AsInteger()); }

    std::unique_ptr<vl::TvlTable> table;
};

}  // namespace vltest
