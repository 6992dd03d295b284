#include "patch/messages.h"

HWND g_ownerWindow = nullptr;
MessageBoxFn g_messageBox = &MessageBoxA;

int ShowMessage(const char* text, UINT type) {
    return g_messageBox(g_ownerWindow, text, kMessageTitle, type);
}
