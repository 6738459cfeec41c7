// The editor's project tables in a temporary program folder with one
// project, scripted boxes, and helpers to fill and read its contents rows.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "helpbuild/contents/contents_tables.h"
#include "project/editor_context.h"
#include "project/project_tables.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "tests/support/test_support.h"

namespace cnttest {

struct Row {
    int sequence;
    int level;
    std::string type, title, jump, helpFile;
    bool operator==(const Row&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << "{" << r.sequence << "," << r.level << "," << r.type << ",\"" << r.title << "\",\"" << r.jump
              << "\",\"" << r.helpFile << "\"}";
}

struct ContentsFixture {
    testsupport::TempDir tmp;
    std::string home;
    std::shared_ptr<db::TEngineDriver> driver;
    std::unique_ptr<editor::EditorContext> ctx;
    gui::ScriptedDialogService dialogs;
    std::unique_ptr<gui::ScopedDialogService> scope;

    explicit ContentsFixture(const std::string& projectDir = "proj") {
        home = (tmp.path() / "home").string();
        std::filesystem::create_directories(home);
        plat::SetDataHome(home);
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home);
        ctx = std::make_unique<editor::EditorContext>();
        ctx->ProgramDir = home;
        ctx->ProcessMessages = [] {};
        ctx->BindAlias();
        ctx->OpenTables();
        scope = std::make_unique<gui::ScopedDialogService>(dialogs);
        AddProject("Demo", projectDir);
        if (!projectDir.empty()) std::filesystem::create_directories(home + "/" + projectDir);
    }
    ~ContentsFixture() {
        scope.reset();
        ctx.reset();
        db::Session().SetDriver(nullptr);
        plat::SetDataHome("");
    }

    void AddProject(const std::string& name, const std::string& projectDir) {
        db::TDataSet* m = ctx->mainTable;
        m->Append();
        m->FieldByName("Application")->SetAsString(name);
        m->FieldByName("DosName")->SetAsString("demo");
        m->FieldByName("HelpTitle")->SetAsString("Demo Help");
        m->FieldByName("ProjectDir")->SetAsString(projectDir);
        m->FieldByName("Compile")->SetAsString("32");
        m->FieldByName("AutogenerateContents")->SetAsString("Y");
        m->Post();
    }
    void SetProject(const char* field, const std::string& value) {
        ctx->mainTable->Edit();
        ctx->mainTable->FieldByName(field)->SetAsString(value);
        ctx->mainTable->Post();
    }
    std::string Project(const char* field) { return ctx->mainTable->FieldByName(field)->AsString(); }

    void Fill(const std::vector<Row>& rows) {
        vl::TvlTable* t = ctx->cntTable;
        for (const Row& r : rows) {
            t->Append();
            t->FieldByName("Application")->SetAsString(ctx->mainTable->FieldByName("Application")->AsString());
            t->FieldByName("Sequence")->SetAsInteger(r.sequence);
            t->FieldByName("Level")->SetAsInteger(r.level);
            t->FieldByName("EntryType")->SetAsString(r.type);
            t->FieldByName("Title")->SetAsString(r.title);
            t->FieldByName("Jump")->SetAsString(r.jump);
            t->FieldByName("HelpFile")->SetAsString(r.helpFile);
            t->Post();
        }
        t->First();
    }
    // Back to a project without contents rows, boxes or answers (one
    // fixture serves a table of cases).
    void Reset() {
        vl::TvlTable* s = ctx->cntShadow;
        s->vlFilter().Clear();
        s->ApplyFilter();
        for (s->First(); !s->IsEmpty(); s->First()) s->Delete();
        ctx->cntTable->Refresh();
        SetProject("AutogenerateContents", "Y");
        dialogs.Clear();
    }
    // Every row of the current project, in Sequence order, on a cursor of its own.
    std::vector<Row> Rows() {
        db::TTable t(nullptr);
        t.DatabaseName = editor::kTavrinAlias;
        t.TableName = editor::kCntTableFile;
        t.SetIndexFieldNames("Application;Sequence");
        t.Open();
        std::vector<Row> rows;
        const std::string app = ctx->mainTable->FieldByName("Application")->AsString();
        for (t.First(); !t.Eof(); t.Next()) {
            if (t.FieldByName("Application")->AsString() != app) continue;
            rows.push_back({static_cast<int>(t.FieldByName("Sequence")->AsInteger()),
                            static_cast<int>(t.FieldByName("Level")->AsInteger()),
                            t.FieldByName("EntryType")->AsString(), t.FieldByName("Title")->AsString(),
                            t.FieldByName("Jump")->AsString(), t.FieldByName("HelpFile")->AsString()});
        }
        return rows;
    }
    // Makes the row with that Sequence the grid's current entry.
    void Current(int seq) {
        vl::TvlTable* t = ctx->cntTable;
        t->Refresh();
        for (t->First(); !t->Eof(); t->Next())
            if (t->FieldByName("Sequence")->AsInteger() == seq) return;
        ADD_FAILURE() << "no row " << seq;
    }
    std::string CntPath() { return home + "/proj/demo.cnt"; }
};

}  // namespace cnttest
