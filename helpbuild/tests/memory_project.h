// A project held in plain rows, for tests of the build without tables.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "helpbuild/build_project.h"

namespace buildtest {

class MemoryProject : public build::IBuildProject {
public:
    build::ProjectFields fields;
    std::vector<build::PageRow> pages;  // kept in HelpId order by the caller
    std::string header;
    std::vector<build::ContentsRow> contents;
    bool postFails = false;
    bool setCompileFails = false;
    bool storeFails = false;
    // Pages that pass the main window's page filter.
    std::function<bool(const build::PageRow&)> pageFilter;

    int prepared = 0;  // records stored
    int textReads = 0; // pages whose memos were read

    build::ProjectFields Project() override {
        build::ProjectFields p = fields;
        p.projectFolder = build::ResolveFolder(p.projectDir);
        p.graphicsFolder = build::ResolveFolder(p.graphicsDir, false);
        return p;
    }
    bool PostPendingEdits() override { return !postFails; }
    void SetCompile(const std::string& value) override {
        if (setCompileFails) throw std::runtime_error("post failed");
        fields.compile = value;
    }
    void SelectBuildPages(bool filteredOnly) override {
        set_.clear();
        for (std::size_t i = 0; i < pages.size(); ++i)
            if (!filteredOnly || !pageFilter || pageFilter(pages[i])) set_.push_back(i);
        at_ = 0;
    }
    int PageCount() override { return static_cast<int>(set_.size()); }
    bool FirstPage() override {
        at_ = 0;
        return at_ < set_.size();
    }
    bool NextPage() override { return ++at_ < set_.size(); }
    build::PageRow CurrentPage(bool withTexts) override {
        build::PageRow r = Row();
        if (withTexts) ++textReads;
        else r.fullTitle = r.helpText = r.prepared = "";
        return r;
    }
    std::string CurrentPrepared() override { return Row().prepared; }
    void StorePrepared(const std::string& record, const std::string* helpText) override {
        if (storeFails) throw std::runtime_error("the page row cannot be saved");
        build::PageRow& r = pages[set_.at(at_)];
        r.prepared = record;
        r.titleUserModified = "Y";
        if (helpText) r.helpText = *helpText;
        ++prepared;
    }
    std::string HeaderRtf() override { return header; }
    void ReplaceContents(const std::vector<build::ContentsRow>& rows) override { contents = rows; }

private:
    build::PageRow& Row() { return pages[set_.at(at_)]; }
    std::vector<std::size_t> set_;
    std::size_t at_ = 0;
};

}  // namespace buildtest
