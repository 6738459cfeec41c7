// A program folder with the fake help compilers and viewer, a project in
// plain rows and an environment that records what the build asked of it.
#pragma once

#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "helpbuild/build_driver.h"
#include "helpbuild/tests/memory_project.h"
#include "platform/core/paths.h"
#include "platform/core/dialog_service.h"
#include "richtext/view/rtf_text_io.h"
#include "tests/support/test_support.h"

namespace buildtest {

namespace fs = std::filesystem;

// Records the meter and status; asks to cancel when the meter reaches a value.
class RecordingProgress : public build::IProgress {
public:
    RecordingProgress(std::vector<int>& percents, std::vector<std::string>& statuses, bool& cancel, int cancelAt)
        : percents_(percents), statuses_(statuses), cancel_(cancel), cancelAt_(cancelAt) {}
    void SetStatus(const std::string& text) override { statuses_.push_back(text); }
    void SetPercent(int percent) override {
        percents_.push_back(percent);
        if (percent == cancelAt_) cancel_ = true;
    }
    void Show() override {}
    void ProcessMessages() override {}
    bool CancelRequested() const override { return cancel_; }
    void ClearCancel() override { cancel_ = false; }

private:
    std::vector<int>& percents_;
    std::vector<std::string>& statuses_;
    bool& cancel_;
    int cancelAt_;
};

// The program folder with the fake tools, the project folder and an
// environment that records what a build asked of it.
struct BuildRecorder {
    static inline const std::string kPlain = "\\plain\\f0\\fs20\\cf0 ";

    testsupport::TempDir home;
    std::string folder;  // native project folder
    std::string baseName = "demo";
    build::BuildEnvironment env;
    gui::ScriptedDialogService dialogs;

    std::vector<int> percents;
    std::vector<std::string> statuses;
    bool cancelFlag = false;
    // The meter starts below zero (round(100 * i / n - 3)), so "never" is a
    // value it cannot show.
    int cancelAtPercent = std::numeric_limits<int>::min();
    int optionDialogs = 0;
    bool optionsAnswer = true;
    int cntWrites = 0;
    int errorLogs = 0;
    std::vector<std::string> helpFiles;
    std::string shownHelp;

    explicit BuildRecorder(const std::string& folderName) {
        plat::SetDataHome(home.path().string());
        for (const char* tool : {"hcw", "HCP.EXE", "WinHlp32"}) {
            fs::copy_file(FAKE_HELP_TOOL, home / tool, fs::copy_options::overwrite_existing);
        }
        fs::create_directories(home / folderName);
        folder = (home / folderName).string();
        env.cancelRequested = &cancelFlag;
        env.createProgress = [this]() -> std::unique_ptr<build::IProgress> {
            return std::make_unique<RecordingProgress>(percents, statuses, cancelFlag, cancelAtPercent);
        };
        env.showOptionsDialog = [this] {
            ++optionDialogs;
            return optionsAnswer;
        };
        env.writeCntFile = [this] {
            ++cntWrites;
            testsupport::WriteFileBytes(Path(baseName + ".cnt"), ":Base demo.hlp\r\n");
        };
        env.showErrorLog = [this] { ++errorLogs; };
        env.setHelpFile = [this](const std::string& f) { helpFiles.push_back(f); };
        env.showHelp = [this](const std::string& f, unsigned c, long d) {
            shownHelp = f + " " + std::to_string(c) + " " + std::to_string(d);
        };
    }
    ~BuildRecorder() { plat::SetDataHome(""); }

    static std::string Memo(const std::string& plain) {
        richtext::TJDRTFTextIo e;
        if (!plain.empty()) e.LoadFromString(plain);
        return e.SaveToString();
    }
    static std::string Opener(char c) {
        std::string l(1, c);
        return "{\\cs16\\super " + l + "{\\*\\footnote \\pard\\plain \\s15\\widctlpar \\f4\\fs20\\lang1031 {\\cs16\\super " +
               l + "} ";
    }
    // The engine's head for the default header document.
    static std::string Head() {
        return "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil\\charset0 Arial;}}{\\colortbl"
               "\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green128\\blue0;\\red0\\green0\\blue255;"
               "\\red255\\green255\\blue0;\\red255\\green0\\blue255;\\red128\\green0\\blue128;\\red128\\green0\\blue0;"
               "\\red0\\green255\\blue0;\\red0\\green255\\blue255;\\red0\\green128\\blue128;\\red0\\green0\\blue128;"
               "\\red255\\green255\\blue255;\\red192\\green192\\blue192;\\red128\\green128\\blue128;\\red0\\green0\\blue0;}"
               "\\paperw12240\\paperh15840\\margl1880\\margr1880\\margt1440\\margb1440";
    }

    build::BuildOutcome Run(build::IBuildProject& project, bool full, bool showOptions = false) {
        dialogs.Clear();
        gui::ScopedDialogService scope(dialogs);
        return full ? build::RunFullCompile(project, env, showOptions) : build::RunPartialCompile(project, env);
    }

    fs::path Path(const std::string& name) const { return fs::path(folder) / name; }
    std::string Read(const std::string& name) const {
        return fs::exists(Path(name)) ? testsupport::ReadFileBytes(Path(name)) : std::string("<missing>");
    }
    // For files a program started without waiting writes.
    std::string WaitAndRead(const std::string& name) const {
        for (int i = 0; i < 500 && !fs::exists(Path(name)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return Read(name);
    }
    std::string Messages() const {
        std::string s;
        for (const gui::DialogRequest& r : dialogs.Requests()) s += r.caption + ": " + r.text + "\n";
        return s;
    }
};

// A project in plain rows.
struct BuildFixture : BuildRecorder {
    MemoryProject project;

    explicit BuildFixture(const std::string& folderName = "proj") : BuildRecorder(folderName) {
        build::ProjectFields& p = project.fields;
        p.application = "Demo";
        p.helpTitle = "Demo Help";
        p.dosName = "demo";
        p.name16 = "demo16";
        p.compile = "32";
        p.projectDir = folder;
        p.autogeneratePrjFile = "Y";
    }

    void AddPage(std::int32_t id, const std::string& kind, const std::string& context, const std::string& title,
                 const std::string& body, const std::string& titleText) {
        build::PageRow r;
        r.helpId = id;
        r.topicPopup = kind;
        r.contextString = context;
        r.title = title;
        r.helpText = body.empty() ? "" : Memo(body);
        r.fullTitle = titleText.empty() ? "" : Memo(titleText);
        r.titleUserModified = "N";
        project.pages.push_back(r);
    }

    build::BuildOutcome Full(bool showOptions = false) { return Run(project, true, showOptions); }
    build::BuildOutcome Partial() { return Run(project, false); }
};

}  // namespace buildtest
