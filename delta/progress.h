// The applier's progress points. The splash display registers its activity tick here while it is
// up; with nothing registered a progress point costs one test.
#pragma once

#include <cstdint>

// Point A passes with force false once per top-level delta byte; point B with force true before
// every copy block.
using ProgressTickFn = void (*)(bool force);

// Unforced ticks pump on reaching this count; any pump starts the count again from 0.
constexpr int32_t kActivityPumpThreshold = 10000;

extern ProgressTickFn g_progressTick;

// Ticks since the last pump. It lives here, beside the hook, so the applier can account for a run
// of literals in one step and still pass a single tick exactly where per-byte ticking would pump.
extern int32_t g_activityCounter;

void RegisterProgressTick(ProgressTickFn tick);  // nullptr unregisters
