// An installed program folder with the editor's context open, and small
// helpers that read and write the project tables past the rules.
#pragma once

#include "project/editor_context.h"
#include "project/page_rules.h"
#include "project/project_tables.h"
#include "editor_test_support.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lctest {

using Row = std::map<std::string, std::string>;

class Lifecycle : public ::testing::Test {
protected:
    edtest::ProgramFolder folder;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
    std::unique_ptr<editor::EditorContext> ctx;

    void SetUp() override {
        ctx = std::make_unique<editor::EditorContext>();
        ctx->ProgramDir = folder.dir;
        ctx->ScreenFonts = {"Arial"};
        ctx->ShowTipOfTheDayWindow = [](bool&) {};
        ASSERT_TRUE(ctx->FormCreate());
    }
    void TearDown() override { ctx.reset(); }

    static std::unique_ptr<vl::TvlTable> Open(const std::string& file) {
        auto t = std::make_unique<vl::TvlTable>(nullptr);
        t->DatabaseName = editor::kTavrinAlias;
        t->SetTableName(file);
        t->Open();
        return t;
    }
    // Appends one row; fields by name as text (numbers convert).
    static void Add(const std::string& file, const Row& row) {
        auto t = Open(file);
        t->Append();
        for (const auto& [k, v] : row) t->FieldByName(k)->SetAsString(v);
        t->Post();
    }
    // The rows whose field equals the value (all rows when field is empty).
    static std::vector<Row> Rows(const std::string& file, const std::string& field = "",
                                 const std::string& value = "") {
        std::vector<Row> out;
        auto t = Open(file);
        for (t->First(); !t->Eof(); t->Next()) {
            if (!field.empty() && t->FieldByName(field)->AsString() != value) continue;
            Row r;
            for (int i = 0; i < t->FieldCount(); ++i) r[t->Fields(i)->FieldName] = t->Fields(i)->AsString();
            out.push_back(r);
        }
        return out;
    }
    static int Count(const std::string& file, const std::string& app) {
        return static_cast<int>(Rows(file, "Application", app).size());
    }
    static Row Page(const std::string& app, long id) {
        for (const Row& r : Rows(editor::kItemTableFile, "Application", app))
            if (r.at("HelpId") == std::to_string(id)) return r;
        return {};
    }
    void Select(const std::string& name) {
        ctx->mainTable->Refresh();
        ASSERT_TRUE(ctx->mainTable->FindKey({db::TValue(name)}));
        ctx->detailTable->Refresh();
    }
    void GoToPage(long id) {
        auto* d = ctx->detailTable;
        d->Refresh();
        for (d->First(); !d->Eof(); d->Next())
            if (d->FieldByName("HelpId")->AsInteger() == id) return;
        FAIL() << "no page " << id;
    }
    // The texts of the boxes shown so far.
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& r : dialogs.Requests()) out.push_back(r.text);
        return out;
    }
};

}  // namespace lctest
