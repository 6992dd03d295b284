// The program's single pass, apart from its entry: the game-running guard, the install path
// lookup and the patch itself.
#pragma once

#include <string>

constexpr char kGameRunningMutex[] = "Global\\ORVEK_Running";  // the game holds it while it runs
constexpr char kDemoMutex[] = "Global\\ORVEK DEMO";            // only taken, never tested

constexpr char kInstallKey[] = "SOFTWARE\\PELLANTIS\\Halvenmoor Demo";
constexpr char kInstallValue[] = "InstalledPath";
constexpr unsigned long kInstallValueBytes = 1024;
constexpr unsigned long kExpandedPathBytes = 2048;

constexpr unsigned long kIntroductionPauseMs = 5000;
constexpr unsigned long kGameRunningPauseMs = 2000;

// True when the bundle was patched. Shows the guard's and the lookup's messages itself; the
// closing success or failure message is the caller's.
bool RunPatch();

// True when the patch may go ahead. Asks Retry/Cancel while the game runs. Once the game is
// not (or no longer) running, takes both mutex names and holds them until the process ends,
// even when the answer was Cancel.
bool EnsureGameNotRunning();

// The demo's install directory with environment references expanded, or the empty text when
// the key or the value is missing, empty, longer than 1,024 bytes, or expands beyond 2,048 bytes.
std::string ReadInstallPath();
