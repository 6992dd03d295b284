// The program's entry: one pass from start to exit, no command line, exit code always 0.
#include <windows.h>

#include "app/run_patch.h"
#include "patch/messages.h"
#include "splash/splash.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // 1. The splash comes first and owns every box of the run; when it cannot come up, the run
    //    goes on without it and the boxes have no owner.
    SplashState splash;
    BringUpSplash(splash);
    g_ownerWindow = splash.window;

    // 2. Nothing is dispatched during the pause; the splash has been painted once already.
    Sleep(kIntroductionPauseMs);

    // 3. Only an OK button: the run goes on when it is dismissed.
    ShowMessage(kIntroductionText, MB_OK | MB_ICONINFORMATION);

    // 4 and 5. Every failure of the run ends here with the failure message.
    const bool ok = RunPatch();
    ShowMessage(ok ? kSuccessText : kFailureText, MB_OK | MB_ICONINFORMATION);

    // 6. Teardown: nothing may reach the window or the state once they are going.
    g_ownerWindow = nullptr;
    RegisterSplash(nullptr);
    TearDownSplash(splash);
    return 0;
}
