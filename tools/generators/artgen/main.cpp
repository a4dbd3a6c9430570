// artgen: writes the program's artwork.
//   artgen pictures DIR   MainImage.gif, start.gif, SelectImage.gif, SelectImage_eng.gif
//   artgen glyphs DIR     the 27 glyph bitmaps of the media button bar, EN_MPPLAY.bmp ...
//   artgen icon FILE      the program icon (FILE, an .ico) and FILE's stem-SIZE.png
#include <cstdio>
#include <filesystem>
#include <string>

#include "gif/GifImage.h"
#include "graphics/Graphics.h"
#include "rtl/Exceptions.h"
#include "tools/generators/artgen/Artgen.h"

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (argc != 3 || (command != "pictures" && command != "glyphs" && command != "icon")) {
        std::fprintf(stderr, "Usage: artgen pictures DIR | artgen glyphs DIR | artgen icon FILE\n");
        return 2;
    }
    const std::string target = argv[2];
    try {
        graphics::RegisterGraphicsUnit();
        gif::RegisterGifUnit();
        if (command != "icon" && !std::filesystem::is_directory(target))
            throw rtl::Exception("not a directory: " + target);
        if (command == "pictures")
            artgen::WritePictures(target);
        else if (command == "glyphs")
            artgen::WriteGlyphs(target);
        else
            artgen::WriteIcon(target);
    } catch (const rtl::Exception& e) {
        std::fprintf(stderr, "artgen: %s\n", e.Message().c_str());
        return 1;
    }
    return 0;
}
