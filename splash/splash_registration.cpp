#include "delta/progress.h"
#include "splash/splash.h"

namespace {

SplashState* g_splash = nullptr;

}  // namespace

void RegisterSplash(SplashState* state) {
    g_splash = state;
    // The applier ticks only while a splash is registered, so its hook follows the registration.
    RegisterProgressTick(state ? ActivityTick : nullptr);
}

SplashState* RegisteredSplash() {
    return g_splash;
}
