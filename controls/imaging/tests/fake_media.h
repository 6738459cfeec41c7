// A scripted media backend: it loads as the script says, plays and reports
// the position and length the test sets, and counts what it was asked.
#pragma once

#include "platform/gui/media_player.h"

#include <memory>
#include <string>

namespace controls::testing {

struct FakeMediaScript {
    gui::TMediaBackend::TLoadState result = gui::TMediaBackend::TLoadState::Loaded;
    int loadingPolls = 2;  // answers "loading" this often first
    std::string error = "The device cannot play this kind of file.";
    std::int64_t length = 1000;
    std::int64_t position = 0;
    bool playing = false, paused = false;
    int loads = 0, plays = 0, stops = 0, backends = 0;
    std::string lastPath;
    gui::TWinControl* display = nullptr;
    gui::TRect displayRect;
};

class FakeMediaBackend : public gui::TMediaBackend {
public:
    explicit FakeMediaBackend(FakeMediaScript& s) : s_(s) { ++s_.backends; }
    void Load(const std::string& path) override {
        ++s_.loads;
        s_.lastPath = path;
        polls_ = s_.loadingPolls;
    }
    TLoadState LoadState() override {
        if (polls_ > 0) {
            --polls_;
            return TLoadState::Loading;
        }
        return s_.result;
    }
    std::string ErrorText() override { return s_.error; }
    void Play() override {
        ++s_.plays;
        s_.playing = true;
        s_.paused = false;
    }
    void Pause() override {
        s_.playing = false;
        s_.paused = true;
    }
    void Stop() override {
        ++s_.stops;
        s_.playing = s_.paused = false;
    }
    bool Playing() override { return s_.playing; }
    bool Paused() override { return s_.paused; }
    std::int64_t Position() override { return s_.position; }
    void SetPosition(std::int64_t ms) override { s_.position = ms; }
    std::int64_t Length() override { return s_.length; }
    void SetDisplay(gui::TWinControl* d, const gui::TRect& r) override {
        s_.display = d;
        s_.displayRect = r;
    }

private:
    FakeMediaScript& s_;
    int polls_ = 0;
};

// Installs the fake for a scope.
class ScopedFakeMedia {
public:
    ScopedFakeMedia() {
        gui::SetMediaBackendFactory([this] { return std::make_unique<FakeMediaBackend>(script); });
    }
    ~ScopedFakeMedia() { gui::SetMediaBackendFactory(nullptr); }
    FakeMediaScript script;
};

}  // namespace controls::testing
