// Shared between the window and the activity pump, not part of the splash interface.
#pragma once

#include <windows.h>

// Where a window of this size sits when centred in the current full-screen area.
POINT SplashOrigin(int width, int height);
