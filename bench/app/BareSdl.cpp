// The peer of the start-up figure: a bare SDL2 program that opens a maximised window,
// fills it and presents it (again whenever the window is shown or exposed), then waits
// to be ended.
#include <SDL2/SDL.h>

int main() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return 1;
    SDL_Window* window = SDL_CreateWindow("bare", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          1280, 1024, SDL_WINDOW_MAXIMIZED | SDL_WINDOW_SHOWN);
    if (!window)
        return 1;
    auto present = [window] {
        SDL_Surface* surface = SDL_GetWindowSurface(window);
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0x1B, 0x22, 0x33));
        SDL_UpdateWindowSurface(window);
    };
    present();
    for (SDL_Event e; SDL_WaitEvent(&e) && e.type != SDL_QUIT;)
        if (e.type == SDL_WINDOWEVENT)
            present(); // shown, exposed, resized: draw again

    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
