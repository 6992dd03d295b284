#include "splash/splash.h"

namespace {

using CounterQuery = BOOL(WINAPI*)(LARGE_INTEGER*);

// The counter is read on the first processor only, so successive reads stay comparable on
// systems whose processors' counters disagree.
bool ReadPinned(CounterQuery query, int64_t& out) {
    HANDLE thread = GetCurrentThread();
    DWORD_PTR previous = SetThreadAffinityMask(thread, 1);
    LARGE_INTEGER value{};
    BOOL ok = query(&value);
    if (previous != 0) {
        SetThreadAffinityMask(thread, previous);
    }
    if (!ok) {
        return false;
    }
    out = value.QuadPart;
    return true;
}

}  // namespace

bool QueryFrequencyPinned(int64_t& out) {
    return ReadPinned(QueryPerformanceFrequency, out);
}

bool QueryCounterPinned(int64_t& out) {
    return ReadPinned(QueryPerformanceCounter, out);
}
