// What the compile options dialog reads and changes of the current
// project row: its fields as text, edit and post, the contents filter
// history and the contents filter. The program implements it on the project
// table; MemoryCompileOptions holds plain values for tests and the demo.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace build {

class ICompileOptionsData {
public:
    virtual ~ICompileOptionsData() = default;
    // A project field as text ("Compile", "DosName", "16bitName", ...).
    virtual std::string Field(const std::string& name) = 0;
    // Puts the row into edit state when needed and assigns the field.
    virtual void EditField(const std::string& name, const std::string& value) = 0;
    virtual bool Editing() = 0;
    // Posts the row; throws when it cannot be saved.
    virtual void Post() = 0;
    // Drops the changes of an edit in progress.
    virtual void CancelEdit() = 0;
    // The main window's contents filter history.
    virtual std::vector<std::string> ContentsFilterHistory() = 0;
    virtual void ApplyContentsFilter() = 0;
};

// Plain values (tests, demo); `failPost` makes Post throw.
class MemoryCompileOptions : public ICompileOptionsData {
public:
    std::map<std::string, std::string> fields;
    std::map<std::string, std::string> posted;
    std::vector<std::string> history{"1", "2", "3"};
    bool failPost = false;
    int posts = 0;
    int filterApplied = 0;

    std::string Field(const std::string& name) override { return fields[name]; }
    void EditField(const std::string& name, const std::string& value) override {
        if (!editing_) before_ = fields;
        editing_ = true;
        fields[name] = value;
    }
    bool Editing() override { return editing_; }
    void Post() override;
    void CancelEdit() override;
    std::vector<std::string> ContentsFilterHistory() override { return history; }
    void ApplyContentsFilter() override { ++filterApplied; }

private:
    bool editing_ = false;
    std::map<std::string, std::string> before_;
};

}  // namespace build
