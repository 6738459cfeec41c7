// The progress of a long operation (build, import, font synchronisation,
// backup, printable document): a status text, a meter of 0 to 100 and a
// cancel request the operation polls once per item. The progress window
// implements it on screen; `NullProgress` serves headless runs and tests.
#pragma once

#include <memory>
#include <string>

namespace build {

class IProgress {
public:
    virtual ~IProgress() = default;
    virtual void SetStatus(const std::string& text) = 0;
    virtual void SetPercent(int percent) = 0;
    virtual void Show() = 0;
    // Lets pending window messages run (painting, the Cancel button).
    virtual void ProcessMessages() = 0;
    virtual bool CancelRequested() const = 0;
    virtual void ClearCancel() = 0;
};

// Keeps what it is told; cancels when its flag is set. The flag may be the
// program's shared one.
class NullProgress : public IProgress {
public:
    explicit NullProgress(bool* cancelFlag = nullptr) : cancel_(cancelFlag ? cancelFlag : &ownCancel_) {}
    void SetStatus(const std::string& text) override { status_ = text; }
    void SetPercent(int percent) override { percent_ = percent < 0 ? 0 : percent > 100 ? 100 : percent; }
    void Show() override { shown_ = true; }
    void ProcessMessages() override {}
    bool CancelRequested() const override { return *cancel_; }
    void ClearCancel() override { *cancel_ = false; }
    void RequestCancel() { *cancel_ = true; }

    const std::string& Status() const { return status_; }
    int Percent() const { return percent_; }
    bool Shown() const { return shown_; }

private:
    bool ownCancel_ = false;
    bool* cancel_;
    std::string status_;
    int percent_ = 0;
    bool shown_ = false;
};

}  // namespace build
