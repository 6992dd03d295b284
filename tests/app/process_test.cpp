// The game-running guard, RunPatch and WinMain. The guard takes two mutex names and holds them
// until the process ends, so every case here needs a process of its own: ctest runs each one
// alone with --gtest_filter (see tests/app/CMakeLists.txt). This executable carries the same
// payload as app_test (payloads/apply_ok.delta).
#include <gtest/gtest.h>

#include <windows.h>

#include "app/run_patch.h"
#include "patch/messages.h"
#include "splash/splash.h"
#include "test_support.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);

namespace {

constexpr char kRunningName[] = "Global\\ORVEK_Running";
constexpr char kDemoName[] = "Global\\ORVEK DEMO";
constexpr UINT kRetryQuestion = MB_RETRYCANCEL | MB_ICONERROR;

class OwnProcessTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(MutexNameExists(kRunningName))
            << "the name is taken already: another process runs the game or the patch, or an "
               "earlier case ran in this process (each case needs a process of its own)";
        ASSERT_FALSE(MutexNameExists(kDemoName));
        start_ = GetTickCount64();
    }

    // Stands in for the running game: a handle of our own keeps the name in existence.
    void StartGame() {
        game_ = CreateMutexA(nullptr, FALSE, kRunningName);
        ASSERT_NE(game_, nullptr);
    }
    void QuitGame() {
        if (game_ != nullptr) {
            CloseHandle(game_);
            game_ = nullptr;
        }
    }
    void TearDown() override { QuitGame(); }

    uint64_t ElapsedMs() const { return GetTickCount64() - start_; }

    MessageBoxRecorder boxes_;
    HANDLE game_ = nullptr;
    uint64_t start_ = 0;
};

// ---- EnsureGameNotRunning, alone and through RunPatch -------------------------------------

TEST_F(OwnProcessTest, GuardWithoutTheGameTakesBothNames) {
    EXPECT_TRUE(EnsureGameNotRunning());
    EXPECT_TRUE(boxes_.boxes().empty());
    EXPECT_LT(ElapsedMs(), 1500u) << "no pause without the game";
    EXPECT_TRUE(MutexNameExists(kRunningName));
    EXPECT_TRUE(MutexNameExists(kDemoName));
}

// Retry while the game still runs asks again; once it has quit, Retry lets the patch go on.
TEST_F(OwnProcessTest, GuardRetryGoesOnOnceTheGameHasQuit) {
    StartGame();
    std::vector<uint64_t> askedAt;
    boxes_.SetAnswerer([&](const RecordedBox&, size_t index) {
        askedAt.push_back(ElapsedMs());
        if (index == 1) {
            QuitGame();
        }
        return IDRETRY;
    });

    EXPECT_TRUE(EnsureGameNotRunning());

    ASSERT_EQ(boxes_.boxes().size(), 2u);
    for (const RecordedBox& box : boxes_.boxes()) {
        EXPECT_TRUE(IsBox(box, texts::kGameRunning, kRetryQuestion, nullptr));
    }
    EXPECT_GE(askedAt[0], 1900u) << "2 seconds before the question";
    EXPECT_GE(askedAt[1] - askedAt[0], 1900u) << "2 seconds before each question";
    EXPECT_TRUE(MutexNameExists(kRunningName));
    EXPECT_TRUE(MutexNameExists(kDemoName));
}

// Through RunPatch: Cancel ends the run before the install path is looked up (there is no key,
// yet "not installed" is not shown).
TEST_F(OwnProcessTest, CancelWhileTheGameRunsEndsTheRunAndTakesNothing) {
    InstallKeyGuard noKey;
    StartGame();

    EXPECT_FALSE(RunPatch());  // the recorder answers Cancel

    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_TRUE(IsBox(boxes_.boxes()[0], texts::kGameRunning, kRetryQuestion, nullptr));
    EXPECT_LT(ElapsedMs(), 3500u) << "no second pause after Cancel";
    QuitGame();
    EXPECT_FALSE(MutexNameExists(kRunningName));
    EXPECT_FALSE(MutexNameExists(kDemoName));
}

// The game quits while the question is up, then the user cancels: the guard still says no, but
// it has taken both names.
TEST_F(OwnProcessTest, GuardCancelAfterTheGameQuitTakesBothNames) {
    StartGame();
    boxes_.SetAnswerer([&](const RecordedBox&, size_t) {
        QuitGame();
        return IDCANCEL;
    });

    EXPECT_FALSE(EnsureGameNotRunning());

    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_TRUE(MutexNameExists(kRunningName));
    EXPECT_TRUE(MutexNameExists(kDemoName));
}

// ---- WinMain ---------------------------------------------------------------------------------

// The splash window while a box is up, found by its class and title.
HWND SplashWindowNow() {
    return FindWindowA(kSplashClassName, kSplashTitle);
}

// After WinMain: the owner window and the splash registration are none and the window is gone.
void ExpectTornDown() {
    EXPECT_EQ(g_ownerWindow, nullptr);
    EXPECT_EQ(RegisteredSplash(), nullptr);
    EXPECT_EQ(SplashWindowNow(), nullptr);
}

TEST_F(OwnProcessTest, WinMainWithoutTheInstallKeyReportsNotInstalled) {
    InstallKeyGuard noKey;
    std::vector<uint64_t> shownAt;
    std::vector<HWND> splashAt;
    boxes_.SetAnswerer([&](const RecordedBox&, size_t) {
        shownAt.push_back(ElapsedMs());
        splashAt.push_back(SplashWindowNow());
        return IDOK;
    });

    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWNORMAL), 0);

    ASSERT_EQ(boxes_.boxes().size(), 3u);
    ASSERT_NE(splashAt[0], nullptr) << "the splash is up when the first box shows";
    EXPECT_TRUE(IsBox(boxes_.boxes()[0], texts::kIntroduction, MB_OK | MB_ICONINFORMATION, splashAt[0]));
    EXPECT_TRUE(IsBox(boxes_.boxes()[1], texts::kNotInstalled, MB_OK | MB_ICONERROR, splashAt[0]));
    EXPECT_TRUE(IsBox(boxes_.boxes()[2], texts::kFailure, MB_OK | MB_ICONINFORMATION, splashAt[0]));
    EXPECT_EQ(splashAt[2], splashAt[0]) << "one splash for the whole run";
    EXPECT_GE(shownAt[0], 4900u) << "5 seconds before the introduction";
    ExpectTornDown();
    EXPECT_TRUE(MutexNameExists(kRunningName));
    EXPECT_TRUE(MutexNameExists(kDemoName));
}

TEST_F(OwnProcessTest, WinMainPatchesTheBundleAndReportsSuccess) {
    InstallKeyGuard key;
    StandInInstall demo;
    ASSERT_TRUE(demo.Create());
    const std::string value = demo.install.path();
    ASSERT_TRUE(SetInstallValue(kNativeView, REG_SZ, std::string(value.c_str(), value.size() + 1)));
    HWND splash = nullptr;
    boxes_.SetAnswerer([&](const RecordedBox&, size_t) {
        splash = SplashWindowNow();
        return IDOK;
    });

    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWNORMAL), 0);

    ASSERT_EQ(boxes_.boxes().size(), 2u);
    ASSERT_NE(splash, nullptr);
    EXPECT_TRUE(IsBox(boxes_.boxes()[0], texts::kIntroduction, MB_OK | MB_ICONINFORMATION, splash));
    EXPECT_TRUE(IsBox(boxes_.boxes()[1], texts::kSuccess, MB_OK | MB_ICONINFORMATION, splash));
    EXPECT_EQ(FolderEntries(demo.bundles), std::vector<std::string>{"quick.bundle"});
    EXPECT_EQ(ReadSmallFile(demo.bundle), "HEADNEWTAIL");
    ExpectTornDown();
}

// A window class of the same name already registered for this module makes the splash's own
// registration fail: the run goes on without a splash, and its boxes have no owner.
TEST_F(OwnProcessTest, WinMainWithoutTheSplashClassRunsWithOwnerlessBoxes) {
    WNDCLASSEXA taken = {};
    taken.cbSize = sizeof taken;
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = GetModuleHandleA(nullptr);
    taken.lpszClassName = kSplashClassName;
    ASSERT_NE(RegisterClassExA(&taken), 0);
    InstallKeyGuard noKey;
    std::vector<HWND> splashAt;
    boxes_.SetAnswerer([&](const RecordedBox&, size_t) {
        splashAt.push_back(SplashWindowNow());
        return IDOK;
    });

    EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWNORMAL), 0);

    ASSERT_EQ(boxes_.boxes().size(), 3u);
    EXPECT_TRUE(IsBox(boxes_.boxes()[0], texts::kIntroduction, MB_OK | MB_ICONINFORMATION, nullptr));
    EXPECT_TRUE(IsBox(boxes_.boxes()[1], texts::kNotInstalled, MB_OK | MB_ICONERROR, nullptr));
    EXPECT_TRUE(IsBox(boxes_.boxes()[2], texts::kFailure, MB_OK | MB_ICONINFORMATION, nullptr));
    EXPECT_EQ(splashAt, std::vector<HWND>(3, nullptr));
    ExpectTornDown();
    UnregisterClassA(kSplashClassName, GetModuleHandleA(nullptr));
}

}  // namespace
