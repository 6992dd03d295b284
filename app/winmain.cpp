// The program's entry: one pass from start to exit, no command line, exit code always 0.
#include <windows.h>

#include "app/run_patch.h"
#include "patch/messages.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // 1. The splash display belongs here (BringUpSplash); a window it creates becomes
    //    g_ownerWindow. The program has no splash yet, so the owner window stays none.

    // 2. Nothing is dispatched during the pause; a splash has been painted once already.
    Sleep(kIntroductionPauseMs);

    // 3. Only an OK button: the run goes on when it is dismissed.
    ShowMessage(kIntroductionText, MB_OK | MB_ICONINFORMATION);

    // 4 and 5. Every failure of the run ends here with the failure message.
    const bool ok = RunPatch();
    ShowMessage(ok ? kSuccessText : kFailureText, MB_OK | MB_ICONINFORMATION);

    // 6. Teardown: the owner window goes back to none. With a splash, the splash registration is
    //    cleared next and then TearDownSplash runs.
    g_ownerWindow = nullptr;

    return 0;
}
