// The same as StartupPlatform with SDL2 alone: a window the size of the display, filled
// and presented once through the window framebuffer.
#include <SDL.h>

int main() {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return 1;
    SDL_Rect bounds{0, 0, 1280, 1024};
    SDL_GetDisplayBounds(0, &bounds);
    SDL_Window* w = SDL_CreateWindow("startup", 0, 0, bounds.w, bounds.h,
                                     SDL_WINDOW_RESIZABLE | SDL_WINDOW_MAXIMIZED);
    SDL_Surface* s = SDL_GetWindowSurface(w);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 255, 255, 255));
    SDL_UpdateWindowSurface(w);
    SDL_Event ev;
    while (SDL_PollEvent(&ev)) {
    }
    SDL_DestroyWindow(w);
    SDL_Quit();
    return 0;
}
