#pragma once

// SDL's subsystems are initialised one by one, from whichever thread uses
// them (video on the display thread only), so that a missing display never
// costs the sound. SDL's own init bookkeeping is not thread-safe, so every
// call goes through here.

#include <SDL2/SDL_stdinc.h>

// SDL_InitSubSystem under a process-wide lock, with SDL's signal handlers
// off. False (and SDL's error text set) when it failed.
bool initSdlSubsystem(Uint32 iFlags);
void quitSdlSubsystem(Uint32 iFlags);
