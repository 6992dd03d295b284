// The clock the activity tick reads. It is QueryCounterPinned unless a test puts its own clock in
// to decide exactly how much time has passed.
#pragma once

#include <cstdint>

using CounterReadFn = bool (*)(int64_t& out);

// Returns the clock that was in use; nullptr puts QueryCounterPinned back.
CounterReadFn SetActivityClock(CounterReadFn read);
