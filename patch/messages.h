// Every message box of the run goes through ShowMessage: one owner, one title, one place that
// calls MessageBoxA.
#pragma once

#include <windows.h>

// The window that owns every message box: none at start; the splash window while it is up.
extern HWND g_ownerWindow;

// Replaceable so that in-process tests can record the boxes and answer them without a modal
// loop. The program itself never changes it.
using MessageBoxFn = int(WINAPI*)(HWND owner, LPCSTR text, LPCSTR title, UINT type);
extern MessageBoxFn g_messageBox;

constexpr char kMessageTitle[] = "ORVEK Demo Patch";

constexpr char kIntroductionText[] =
    "This will install the ORVEK Demo patch on your computer.\nThis might take several minutes.";
constexpr char kSuccessText[] = "The patch has been successfully installed on your system";
constexpr char kFailureText[] = "The patch has not been installed on your system";
constexpr char kGameRunningText[] =
    "ORVEK Demo is running. You need to quit it in order to install this patch.";
constexpr char kNotInstalledText[] = "ORVEK Demo is not installed on your system!";
constexpr char kWrongVersionText[] = "Cannot patch this version of ORVEK Demo.";
constexpr char kCannotInstallText[] =
    "Cannot install the patch! Please ensure you have enough space on your disk.";

// Shows a modal box owned by g_ownerWindow with the run's title; `type` gives the buttons and
// the icon. Returns the button chosen (IDOK, IDRETRY, ...).
int ShowMessage(const char* text, UINT type);
