// The peer of the start-up figures: a bare SDL2 program that does what the catalogue's
// platform layer does before its first frame and nothing more. It sets the same hints,
// opens a maximised window of the same size, fills it with the catalogue's first-frame
// colour and presents it (again whenever the window is shown or exposed), then waits to
// be ended. With --once it ends as soon as the first frame is presented, for scripts that
// time the whole process.
#include <SDL2/SDL.h>

#include <cstring>

int main(int argc, char** argv) {
    const bool once = argc > 1 && std::strcmp(argv[1], "--once") == 0;
    // The hints of the catalogue's SDL backend, so that neither side is handicapped.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
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
    if (!once)
        for (SDL_Event e; SDL_WaitEvent(&e) && e.type != SDL_QUIT;)
            if (e.type == SDL_WINDOWEVENT)
                present(); // shown, exposed, resized: draw again

    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
