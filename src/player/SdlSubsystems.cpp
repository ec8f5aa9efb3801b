#include "player/SdlSubsystems.h"

#include <SDL2/SDL.h>

#include <mutex>

namespace {
std::mutex &sdlInitMutex()
{
    static std::mutex s_mutex;
    return s_mutex;
}
} // namespace

bool initSdlSubsystem(Uint32 iFlags)
{
    std::lock_guard<std::mutex> lock(sdlInitMutex());
    // The program handles SIGINT and SIGTERM itself.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    return SDL_InitSubSystem(iFlags) == 0;
}

void quitSdlSubsystem(Uint32 iFlags)
{
    std::lock_guard<std::mutex> lock(sdlInitMutex());
    SDL_QuitSubSystem(iFlags);
}
