// The program's entry: one pass from start to exit, no command line, exit code always 0.
#include <windows.h>

#include "app/run_patch.h"
#include "patch/messages.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // 1. The splash display comes up here; when it creates a window, that window becomes
    //    g_ownerWindow. Until then every box of the run has no owner.

    // 2. Nothing is dispatched during the pause; a splash has been painted once already.
    Sleep(kIntroductionPauseMs);

    // 3. Only an OK button: the run goes on when it is dismissed.
    ShowMessage(kIntroductionText, MB_OK | MB_ICONINFORMATION);

    // 4, 5.
    const bool ok = RunPatch();
    ShowMessage(ok ? kSuccessText : kFailureText, MB_OK | MB_ICONINFORMATION);

    // 6. Teardown: no box after this has an owner. The splash registration is cleared and the
    //    splash display torn down here, in that order.
    g_ownerWindow = nullptr;

    return 0;
}
