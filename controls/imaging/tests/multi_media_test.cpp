// The media control with a scripted player: opening and auto-play, replay
// at 100 %, the progress hook, hiding the player for pictures, a zero
// length, no timer without a player, and the player going away.

#include "controls/imaging/multi_media.h"

#include "controls/imaging/tests/fake_media.h"
#include "platform/core/ini_file.h"
#include "platform/core/codepage.h"
#include "platform/core/paths.h"
#include "platform/gui/tests/gui_fixture.h"
#include "platform/imaging/tests/picture_fixtures.h"
#include "tests/support/test_support.h"

namespace controls {
namespace {

using namespace gui;

std::vector<int> g_hookCalls;
std::int32_t RecordingHook(std::int32_t percent) {
    g_hookCalls.push_back(percent);
    return 1;
}

class MultiMedia : public guitest::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        plat::SetDataHome((dir_ / "home").string());
        plat::WriteProfileString("mci extensions", "WAV", "waveaudio");
        media = new TPMultiMedia(form);
        media->SetParent(form);
        media->SetBounds(10, 10, 120, 90);
        player = new TMIMediaPlayer(form);
        player->SetParent(form);
        player->SetBounds(10, 110, 120, 30);
        media->SetMediaPlayer(player);
        form->Show();
        g_hookCalls.clear();
        SetMediaProgressHook(RecordingHook);
    }
    void TearDown() override {
        SetMediaProgressHook(nullptr);
        GuiTest::TearDown();
        plat::SetDataHome("");
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        testsupport::WriteFileBytes(dir_ / name, bytes);
        return (dir_ / name).string();
    }
    testsupport::TempDir dir_;
    testing::ScopedFakeMedia fake_;
    ScriptedDialogService dialogs_;
    ScopedDialogService scope_{dialogs_};
    TPMultiMedia* media = nullptr;
    TMIMediaPlayer* player = nullptr;
};

TEST_F(MultiMedia, AMediaFileOpensInTheLinkedPlayerAndAutoPlays) {
    media->AutoPlayMultiMedia = true;
    player->SetVisible(false);
    const std::string wav = Write("tune.wav", "RIFF");
    media->SetMediaName(wav);
    EXPECT_EQ(fake_.script.loads, 1);
    EXPECT_EQ(fake_.script.lastPath, plat::NativePath(wav));
    EXPECT_EQ(fake_.script.plays, 1);
    EXPECT_TRUE(player->Visible());
    EXPECT_EQ(player->FileName(), wav);
    EXPECT_EQ(player->Display(), media);
    EXPECT_EQ(fake_.script.display, media);
    EXPECT_EQ(fake_.script.displayRect, Rect(0, 0, 120, 90));
    EXPECT_EQ(player->Mode(), mpPlaying);
    EXPECT_TRUE(media->MediaTimerRunning());
    // Resizing the control resizes the video.
    media->SetBounds(10, 10, 160, 100);
    EXPECT_EQ(fake_.script.displayRect, Rect(0, 0, 160, 100));
}

TEST_F(MultiMedia, WithoutAutoPlayTheFileOnlyOpens) {
    media->SetMediaName(Write("tune.wav", "RIFF"));
    EXPECT_EQ(fake_.script.plays, 0);
    EXPECT_EQ(player->Mode(), mpStopped);
}

TEST_F(MultiMedia, ProgressReachesTheHookAndReplaysAt100) {
    media->AutoRePlayMultiMedia = true;
    media->SetMediaName(Write("tune.wav", "RIFF"));
    fake_.script.length = 3000;
    fake_.script.position = 1500;
    media->MediaTimerTick();
    EXPECT_EQ(g_hookCalls, std::vector<int>{50});
    EXPECT_EQ(fake_.script.plays, 0);
    fake_.script.position = 3000;  // finished
    media->MediaTimerTick();
    EXPECT_EQ(g_hookCalls.back(), 100);
    EXPECT_EQ(fake_.script.plays, 1);
    EXPECT_EQ(fake_.script.position, 0);  // played again from the start
}

TEST_F(MultiMedia, AStoppedPlayerWithoutReplayReportsNothing) {
    media->SetMediaName(Write("tune.wav", "RIFF"));
    fake_.script.position = 500;
    media->MediaTimerTick();
    EXPECT_TRUE(g_hookCalls.empty());
    fake_.script.playing = true;
    media->MediaTimerTick();
    EXPECT_EQ(g_hookCalls, std::vector<int>{50});
}

TEST_F(MultiMedia, ALengthOfZeroGivesNoProgressValue) {
    media->AutoRePlayMultiMedia = true;
    media->SetMediaName(Write("tune.wav", "RIFF"));
    fake_.script.length = 0;
    fake_.script.position = 0;
    media->MediaTimerTick();
    EXPECT_TRUE(g_hookCalls.empty());
    EXPECT_EQ(fake_.script.plays, 0);
}

TEST_F(MultiMedia, APictureClosesAndHidesThePlayerAfterTellingTheHookZero) {
    media->AutoHideMediaPlayer = true;
    media->AutoPlayMultiMedia = true;
    plat::WriteProfileString("mci extensions", "AVI", "avivideo");
    media->SetMediaName(Write("clip.avi", "RIFF"));
    ASSERT_TRUE(player->IsOpen());
    g_hookCalls.clear();
    media->SetMediaName(Write("p.pcx", fixtures::MakePcx(fixtures::Pattern(40, 40, 0), 24)));
    EXPECT_FALSE(player->IsOpen());
    EXPECT_FALSE(player->Visible());
    EXPECT_FALSE(media->MediaTimerRunning());
    ASSERT_FALSE(g_hookCalls.empty());
    EXPECT_EQ(g_hookCalls.front(), 0);
    EXPECT_GT(g_hookCalls.size(), 2u);  // the reader reports through the same hook
    EXPECT_EQ(media->Picture().Width(), 40);
}

TEST_F(MultiMedia, WithoutAPlayerAMediaFileOnlySetsTheStatus) {
    media->SetMediaPlayer(nullptr);
    const std::string wav = Write("tune.wav", "RIFF");
    media->SetMediaName(wav);
    EXPECT_EQ(media->MediaName(), plat::AnsiUpperCase(wav));
    EXPECT_FALSE(media->MediaTimerRunning());
    EXPECT_EQ(fake_.script.loads, 0);
}

TEST_F(MultiMedia, AnUnregisteredKindOpensNothing) {
    // No key AVI under [mci extensions]: nothing opens, no box, an empty status.
    media->SetMediaName(Write("PLAY.AVI", "RIFF"));
    EXPECT_EQ(media->MediaName(), "");
    EXPECT_EQ(fake_.script.loads, 0);
    plat::WriteProfileString("mci extensions", "AVI", "none");
    media->SetMediaName(Write("PLAY.AVI", "RIFF"));
    EXPECT_EQ(media->MediaName(), "");
    EXPECT_EQ(fake_.script.loads, 0);
    EXPECT_TRUE(dialogs_.Requests().empty());
}

TEST_F(MultiMedia, ADeviceThatCannotOpenRaisesAndPutsTheCursorBack) {
    fake_.script.result = TMediaBackend::TLoadState::Failed;
    Screen->SetCursor(crDefault);
    EXPECT_THROW(media->SetMediaName(Write("song.wav", "MThd")), EMCIDeviceError);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_FALSE(player->IsOpen());
    EXPECT_FALSE(media->MediaTimerRunning());
}

TEST_F(MultiMedia, OpenWaitsOnlyAsLongAsItsBound) {
    fake_.script.loadingPolls = 1 << 30;  // never answers
    player->OpenTimeoutMs = 50;
    player->SetFileName(Write("slow.wav", "RIFF"));
    EXPECT_THROW(player->Open(), EMCIDeviceError);
    EXPECT_FALSE(player->IsOpen());
}

TEST_F(MultiMedia, FreeingThePlayerClearsTheLink) {
    media->SetMediaName(Write("tune.wav", "RIFF"));
    delete player;
    EXPECT_EQ(media->MediaPlayer(), nullptr);
    media->MediaTimerTick();  // nothing left to ask
    media->SetMediaName(Write("tune2.wav", "RIFF"));
    EXPECT_EQ(fake_.script.loads, 1);
}

TEST_F(MultiMedia, PlayerButtonsDriveTheDevice) {
    media->SetMediaName(Write("tune.wav", "RIFF"));
    const TRect play = player->ButtonRect(btPlay), stop = player->ButtonRect(btStop);
    guitest::Click(player, Point((play.Left + play.Right) / 2, 10));
    EXPECT_EQ(player->Mode(), mpPlaying);
    guitest::Click(player, Point((stop.Left + stop.Right) / 2, 10));
    EXPECT_EQ(player->Mode(), mpStopped);
    player->Close();
    EXPECT_THROW(player->Play(), EMCIDeviceError);
}

TEST_F(MultiMedia, AnimatePostsOneStepOfEachEffect) {
    media->SetMediaName(Write("m.scm", "/sp|0/sm|Text/eo|"));
    ASSERT_TRUE(media->ScrollingActive());
    const int x = media->EffectPosition().x;
    media->Animate();
    guitest::ProcessEvents();
    EXPECT_EQ(media->EffectPosition().x, x - 1);
}

}  // namespace
}  // namespace controls

namespace controls {
namespace {

// A short tone as a WAV file: 8 kHz, 16-bit mono, `ms` milliseconds.
std::string Tone(int ms) {
    const int samples = 8 * ms;
    std::string s = "RIFF";
    auto put32 = [&](unsigned v) {
        for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto put16 = [&](unsigned v) {
        for (int i = 0; i < 2; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put32(36 + samples * 2);
    s += "WAVEfmt ";
    put32(16), put16(1), put16(1), put32(8000), put32(16000), put16(2), put16(16);
    s += "data";
    put32(samples * 2);
    for (int i = 0; i < samples; ++i) put16(static_cast<unsigned>((i % 16 < 8 ? 6000 : -6000) & 0xFFFF));
    return s;
}

using QtMedia = guitest::GuiTest;

// The program's own backend: a WAV plays, a kind it cannot play raises the device error.
TEST_F(QtMedia, TheProgramsBackendOpensWaveAndRefusesMidi) {
    gui::SetMediaBackendFactory(nullptr);
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "tone.wav", Tone(500));
    testsupport::WriteFileBytes(dir / "song.mid", std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60", 14));
    gui::TMediaPlayer player(nullptr);
    player.SetFileName((dir / "tone.wav").string());
    player.Open();
    EXPECT_NEAR(static_cast<double>(player.Length()), 500, 50);
    EXPECT_EQ(player.Mode(), gui::mpStopped);
    player.SetFileName((dir / "song.mid").string());
    EXPECT_THROW(player.Open(), gui::EMCIDeviceError);
    EXPECT_FALSE(player.IsOpen());
}

}  // namespace
}  // namespace controls
