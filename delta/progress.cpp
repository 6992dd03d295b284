#include "delta/progress.h"

ProgressTickFn g_progressTick = nullptr;
int32_t g_activityCounter = 0;

void RegisterProgressTick(ProgressTickFn tick) {
    g_progressTick = tick;
}
