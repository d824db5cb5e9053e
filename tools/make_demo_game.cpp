// make-demo-game <folder> [--scale <factor>]
//
// Writes Gearloft's demo game into folder: the stand-in executable "Qel.exe"
// and the level files under "Qel_Rifs". --scale shrinks (or grows) the bulky
// chunks; 1 gives levels of 100 KB to 2 MB.
#include "tools/demo_game.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    std::string folder;
    gearloft::demo::Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
            char* end = nullptr;
            options.scale = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(options.scale > 0.0) || options.scale > 16.0) {
                std::fprintf(stderr,
                             "make-demo-game: --scale wants a number above 0, at most 16\n");
                return 2;
            }
        } else if (folder.empty() && argv[i][0] != '-') {
            folder = argv[i];
        } else {
            folder.clear();
            break;
        }
    }
    if (folder.empty()) {
        std::fprintf(stderr, "usage: make-demo-game <folder> [--scale <factor>]\n");
        return 2;
    }
    std::string error;
    if (!gearloft::demo::WriteDemoGame(folder, options, &error)) {
        std::fprintf(stderr, "make-demo-game: %s\n", error.c_str());
        return 1;
    }
    std::printf("Demo game written to %s\n", folder.c_str());
    return 0;
}
